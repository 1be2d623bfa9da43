#include "core/error_trap.h"

#include <QtTest>

#include "core/app_error.h"
#include "support/failure_of.h"
#include "support/recording_prompts.h"

namespace trawlbox {
namespace {

// The labels these tests use, named for the lines they stand for.
enum class Line {
  k100 = 100,
  k102 = 102,
  k104 = 104,
  k106 = 106,
  k132 = 132,
  k138 = 138,
};

struct FormLoad {
  static inline const QString kTag =
      QStringLiteral("in Quaymill2021/08/31.Form1.Form_Load ");
  using Label = Line;
};

struct Tagged {
  static inline const QString kTag = QStringLiteral("tag ");
  using Label = Line;
};

}  // namespace

class ErrorTrapTest : public QObject {
  Q_OBJECT

 private slots:
  void ReportTextIsExactToTheByte() {
    const QString expected =
        QStringLiteral(
            "Overflow\r\nin Quaymill2021/08/31.Form1.Form_Load at "
            "line 132\r\rPlease email screenshot of this message "
            "to ") +
        kSupportEmail;
    QCOMPARE(ComposeErrorReport("Overflow",
                                "in Quaymill2021/08/31.Form1.Form_Load ", 132),
             expected);
  }

  void ReportIsAWarningTitledApplicationError() {
    RecordingPrompts prompts;
    prompts.set_app_title("Trawlbox");
    ErrorTrap<FormLoad> trap(prompts);
    QVERIFY(!trap.Do(Line::k132, [] { Raise(ErrorKind::kOverflow); }));
    QCOMPARE(prompts.boxes.size(), 1);
    QCOMPARE(prompts.boxes[0].title, QString("Application Error"));
    QCOMPARE(prompts.boxes[0].icon, MessageIcon::kWarning);
    QCOMPARE(prompts.boxes[0].text,
             ComposeErrorReport("Overflow",
                                "in Quaymill2021/08/31.Form1.Form_Load ", 132));
  }

  void ResumesWithTheNextStatementAfterAFailure() {
    RecordingPrompts prompts;
    ErrorTrap<Tagged> trap(prompts);
    QStringList ran;
    trap.Do(Line::k100, [&] { ran << "100"; });
    trap.Do(Line::k102, [&] {
      Raise(ErrorKind::kFileNotFound);
      ran << "102 rest";  // abandoned at the point of failure
    });
    trap.Do(Line::k104, [&] { ran << "104"; });
    QCOMPARE(ran, QStringList({"100", "104"}));
    QCOMPARE(prompts.boxes.size(), 1);
  }

  void FailingAssignmentLeavesItsTargetUnchanged() {
    RecordingPrompts prompts;
    ErrorTrap<Tagged> trap(prompts);
    QString target = "before";
    auto failing_value = []() -> QString { Raise(ErrorKind::kOverflow); };
    trap.Do(Line::k100, [&] { target = failing_value(); });
    QCOMPARE(target, QString("before"));
  }

  void FailingTestOfABlockRunsItsBody() {
    RecordingPrompts prompts;
    ErrorTrap<Tagged> trap(prompts);
    const bool run = trap.If(
        Line::k104, []() -> bool { Raise(ErrorKind::kFileNotFound); },
        OnFailure::kRunBody);
    QVERIFY(run);
    QCOMPARE(prompts.boxes.size(), 1);
    QVERIFY(prompts.boxes[0].text.contains("at line 104\r\r"));
  }

  void FailingOneStatementConditionalSkipsItsAction() {
    RecordingPrompts prompts;
    ErrorTrap<Tagged> trap(prompts);
    const bool run = trap.If(
        Line::k102, []() -> bool { Raise(ErrorKind::kOverflow); },
        OnFailure::kSkipAction);
    QVERIFY(!run);
    QCOMPARE(prompts.boxes.size(), 1);
  }

  void PassingTestsAnswerAsTheyAre() {
    RecordingPrompts prompts;
    ErrorTrap<Tagged> trap(prompts);
    QVERIFY(!trap.If(
        Line::k100, [] { return false; }, OnFailure::kRunBody));
    QVERIFY(trap.If(
        Line::k100, [] { return true; }, OnFailure::kSkipAction));
    QVERIFY(prompts.boxes.isEmpty());
  }

  void TwoFailuresGiveTwoReportsWithTheirOwnLabels() {
    RecordingPrompts prompts;
    ErrorTrap<FormLoad> trap(prompts);
    trap.Do(Line::k104, [] { Raise(ErrorKind::kPermissionDenied); });
    trap.Do(Line::k106, [] {});
    trap.Do(Line::k132, [] { Raise("Something else"); });
    QCOMPARE(prompts.boxes.size(), 2);
    QVERIFY(prompts.boxes[0].text.startsWith("Permission denied\r\n"));
    QVERIFY(prompts.boxes[0].text.contains("at line 104\r\r"));
    QVERIFY(prompts.boxes[1].text.startsWith("Something else\r\n"));
    QVERIFY(prompts.boxes[1].text.contains("at line 132\r\r"));
  }

  void AFailureInAnUntrappedRoutineIsReportedAtTheCallersLabel() {
    RecordingPrompts prompts;
    ErrorTrap<Tagged> trap(prompts);
    bool routine_resumed = false;
    auto routine = [&] {
      Raise(ErrorKind::kPathNotFound);
      routine_resumed = true;
    };
    trap.Do(Line::k138, routine);
    QVERIFY(!routine_resumed);
    QVERIFY(prompts.boxes[0].text.contains("at line 138"));
  }

  void PlatformFailuresCarryTheirOwnText() {
    RecordingPrompts prompts;
    ErrorTrap<Tagged> trap(prompts);
    trap.Do(Line::k100, [] { throw std::runtime_error("disk on fire"); });
    trap.Do(Line::k102, [] { throw std::bad_alloc(); });
    QVERIFY(prompts.boxes[0].text.startsWith("disk on fire\r\n"));
    QVERIFY(prompts.boxes[1].text.startsWith("Out of memory\r\n"));
  }

  void ShutdownIsNoFailureAndPassesThrough() {
    RecordingPrompts prompts;
    ErrorTrap<Tagged> trap(prompts);
    QVERIFY(Throws<ShutdownRequested>(
        [&] { trap.Do(Line::k100, [] { throw ShutdownRequested{}; }); }));
    QVERIFY(prompts.boxes.isEmpty());
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::ErrorTrapTest)
#include "error_trap_test.moc"
