#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include "core/app_error.h"
#include "core/handler_guard.h"
#include "gui/caption_bar.h"
#include "gui/twips.h"
#include "gui/window_services.h"
#include "support/cursor_file.h"
#include "support/files.h"
#include "support/form_fixture.h"
#include "support/temp_settings.h"

namespace trawlbox {
namespace {

const QString kLoadTag = "in Quaymill2021/08/31.Form1.Form_Load ";

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void StartUpRunsItsStepsInOrder() {
    QStringList order;
    FormFixture fixture([&](MainWindowServices& services) {
      services.check_online = [&] {
        order << "online:" + fixture.prompts.app_title();
      };
      services.maybe_open_home_page = [&] {
        order << "home:" + fixture.prompts.app_title();
      };
      services.desktop_folder = [&] {
        order << "desktop";
        return QString("/d/");
      };
    });
    fixture.window->RunStartUp();
    // The check still shows the full product name; the title step comes
    // between the check and the home-page visit.
    QCOMPARE(order, QStringList({"online:Trawlbox Harvester", "home:Trawlbox",
                                 "desktop"}));
    QCOMPARE(fixture.window->windowTitle(), QString("Trawlbox Harvester"));
    QCOMPARE(fixture.prompts.app_title(), QString("Trawlbox"));
    QVERIFY(!fixture.window->windowIcon().isNull());
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  // The services as the program wires them: the run's options before the
  // settings, the program's own folder, and the outside steps left out
  // only when a caller asks.
  void ServicesAreWiredFromTheRunsOptions() {
    TempSettings temp_settings;
    SettingsStore settings;
    settings.WriteSetting("Retries", "4");
    settings.WriteSetting("Connections", "3");
    RecordingPrompts prompts;
    EventPump pump;
    RunOptions options;
    options.retries = 1;
    const MainWindowServices program =
        WindowServices(settings, prompts, pump, options);
    QCOMPARE(program.settings, &settings);
    QCOMPARE(program.prompts, &prompts);
    QCOMPARE(program.pump, &pump);
    QCOMPARE(program.retry_policy.retries, 1);
    QCOMPARE(program.connections, 3);
    QCOMPARE(program.program_folder, QCoreApplication::applicationDirPath());
    QVERIFY(program.check_online && program.maybe_open_home_page &&
            program.desktop_folder);

    const MainWindowServices offline = WindowServices(
        settings, prompts, pump, {},
        {.offline = true, .program_folder = "/p", .desktop_folder = [] {
           return QString("/d/");
         }});
    offline.check_online();
    offline.maybe_open_home_page();
    QVERIFY(prompts.boxes.isEmpty());
    QCOMPARE(offline.retry_policy.retries, 4);
    QCOMPARE(offline.program_folder, QString("/p"));
    QCOMPARE(offline.desktop_folder(), QString("/d/"));
  }

  void FirstRunRestoresDefaultsAndStoresThem() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    QCOMPARE(fixture.Find<QLineEdit>("txtWebsite")->text(), QString(""));
    QCOMPARE(fixture.Find<QLineEdit>("Text1")->text(),
             QString("/home/u/Desktop/"));
    QCOMPARE(fixture.settings.ReadSetting("Web Site", "absent"), QString(""));
    QCOMPARE(fixture.settings.ReadSetting("Text1", "absent"),
             QString("/home/u/Desktop/"));
  }

  void LaterRunRestoresStoredTexts_data() {
    QTest::addColumn<QString>("web_site");
    QTest::addColumn<QString>("folder");
    QTest::newRow("ordinary") << "http://site.example/"
                              << "/srv/mirror/";
    QTest::newRow("empty folder kept, not the default") << "h"
                                                        << "";
    QTest::newRow("blanks kept") << "  http://x/  "
                                 << " /m/ ";
  }
  void LaterRunRestoresStoredTexts() {
    QFETCH(QString, web_site);
    QFETCH(QString, folder);
    FormFixture fixture;
    fixture.settings.WriteSetting("Web Site", web_site);
    fixture.settings.WriteSetting("Text1", folder);
    fixture.window->RunStartUp();
    QCOMPARE(fixture.Find<QLineEdit>("txtWebsite")->text(), web_site);
    QCOMPARE(fixture.Find<QLineEdit>("Text1")->text(), folder);
    QCOMPARE(fixture.settings.ReadSetting("Text1", "absent"), folder);
  }

  void FailingStepsAreReportedAndStartUpGoesOn_data() {
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("label");
    QTest::newRow("connectivity check") << "online" << 102;
    QTest::newRow("home page") << "home" << 112;
    QTest::newRow("desktop folder") << "desktop" << 132;
  }
  void FailingStepsAreReportedAndStartUpGoesOn() {
    QFETCH(QString, step);
    QFETCH(int, label);
    auto fail = [] { Raise(ErrorKind::kOverflow); };
    FormFixture fixture([&](MainWindowServices& services) {
      if (step == "online") services.check_online = fail;
      if (step == "home") services.maybe_open_home_page = fail;
      if (step == "desktop") {
        services.desktop_folder = []() -> QString {
          Raise(ErrorKind::kInvalidCall);
        };
      }
    });
    fixture.window->RunStartUp();
    QCOMPARE(fixture.prompts.boxes.size(), 1);
    const auto& box = fixture.prompts.boxes[0];
    QCOMPARE(box.title, QString("Application Error"));
    QVERIFY2(box.text.contains(kLoadTag + "at line " + QString::number(label) +
                               "\r\r"),
             qPrintable(box.text));
    // The steps after the failing one still ran.
    QCOMPARE(fixture.window->file_list_model().headerData(0, Qt::Horizontal,
                                                          Qt::DisplayRole),
             QVariant(" File(s)"));
    if (step == "desktop") {
      // Text1 keeps its design-time text and its key is not read or stored.
      QCOMPARE(fixture.Find<QLineEdit>("Text1")->text(), QString(""));
      QCOMPARE(fixture.settings.ReadSetting("Text1", "absent"),
               QString("absent"));
    }
  }

  void DesktopDefaultIsComputedEvenWhenTheKeyExists() {
    int asked = 0;
    FormFixture fixture([&](MainWindowServices& services) {
      services.desktop_folder = [&] {
        ++asked;
        return QString("/d/");
      };
    });
    fixture.settings.WriteSetting("Text1", "/stored/");
    fixture.window->RunStartUp();
    QCOMPARE(asked, 1);
    QCOMPARE(fixture.Find<QLineEdit>("Text1")->text(), QString("/stored/"));
  }

  void HandPointerFromTheProgramFolder() {
    FormFixture fixture;
    WriteFile(fixture.program_folder.filePath("HAND-M.CUR"),
              MakeCursorFile(32, 6, 1));
    fixture.window->RunStartUp();
    QVERIFY(fixture.prompts.boxes.isEmpty());
    QVERIFY(fixture.window->has_hand_pointer());
    fixture.window->SetPointerMode(MainWindow::kPointerCustom);
    QCOMPARE(fixture.window->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(fixture.window->cursor().hotSpot(), QPoint(6, 1));
  }

  void CursorFileThatIsNoCursorIsReportedAt106() {
    FormFixture fixture;
    WriteFile(fixture.program_folder.filePath("HAND-M.CUR"), "garbage");
    fixture.window->RunStartUp();
    QCOMPARE(fixture.prompts.boxes.size(), 1);
    QVERIFY(fixture.prompts.boxes[0].text.startsWith("Invalid picture\r\n"));
    QVERIFY(fixture.prompts.boxes[0].text.contains("at line 106\r\r"));
    QVERIFY(!fixture.window->has_hand_pointer());
    fixture.window->SetPointerMode(MainWindow::kPointerCustom);
    QCOMPARE(fixture.window->cursor().shape(), Qt::ArrowCursor);
  }

  void WithoutSkinTheWindowStaysWhite() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    for (const char* name : {"Form1", "Frame1", "Frame2"}) {
      QWidget* widget = name == QString("Form1") ? fixture.window.get()
                                                 : fixture.Find<QWidget>(name);
      QCOMPARE(widget->palette().color(QPalette::Window), QColor(Qt::white));
    }
    for (const char* name : {"txtWebsite", "Text1"}) {
      QCOMPARE(fixture.Find<QWidget>(name)->palette().color(QPalette::Base),
               QColor(Qt::white));
    }
    QVERIFY(fixture.window->styleSheet().isEmpty());
  }

  void SkinPaintsButtonFaceAndAppliesTheSheet() {
    FormFixture fixture;
    const QByteArray sheet = "QPushButton { color: rgb(1, 2, 3); }";
    WriteFile(fixture.program_folder.filePath("x/o.cjs"), sheet);
    fixture.window->RunStartUp();
    QVERIFY(fixture.prompts.boxes.isEmpty());
    const QColor face = QPalette().color(QPalette::Button);
    QCOMPARE(fixture.window->palette().color(QPalette::Window), face);
    QCOMPARE(fixture.Find<QWidget>("Frame1")->palette().color(QPalette::Window),
             face);
    QCOMPARE(fixture.Find<QWidget>("Frame2")->palette().color(QPalette::Window),
             face);
    QCOMPARE(fixture.window->styleSheet(), QString::fromUtf8(sheet));
  }

  void CorruptSkinIsAppliedWithoutAReport() {
    FormFixture fixture;
    WriteFile(fixture.program_folder.filePath("x/o.cjs"),
              QByteArray("}}{{ not css \xff\xfe\x00 at all", 23));
    fixture.window->RunStartUp();
    QVERIFY(fixture.prompts.boxes.isEmpty());
    // The sheet is in place as it stood, and the window took the button
    // face colour that a skin brings.
    QVERIFY(fixture.window->styleSheet().startsWith("}}{{ not css"));
    QCOMPARE(fixture.window->palette().color(QPalette::Window),
             fixture.window->palette().color(QPalette::Button));
  }

  void ControlsStandWhereTheLayoutSays_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Frame1") << "Frame1"
                            << "Web Site" << QRect(120, 120, 7800, 830);
    QTest::newRow("txtWebsite") << "txtWebsite"
                                << "http://" << QRect(240, 300, 7305, 345);
    QTest::newRow("PushButton1") << "PushButton1"
                                 << "Help" << QRect(120, 1050, 3840, 405);
    QTest::newRow("PushButton3")
        << "PushButton3"
        << "Load Sample/Example Web Site" << QRect(4080, 1050, 3840, 405);
    QTest::newRow("PushButton5")
        << "PushButton5"
        << "Start Listing Web Files" << QRect(120, 1560, 7800, 405);
    QTest::newRow("ListView1") << "ListView1"
                               << "" << QRect(120, 2070, 7800, 2640);
    QTest::newRow("PushButton7") << "PushButton7"
                                 << "Check All" << QRect(120, 4800, 3840, 405);
    QTest::newRow("PushButton8")
        << "PushButton8"
        << "Uncheck All" << QRect(4080, 4800, 3840, 405);
    QTest::newRow("PushButton4") << "PushButton4"
                                 << "Clear List" << QRect(120, 5310, 7800, 405);
    QTest::newRow("Frame2")
        << "Frame2"
        << "Save Files To This Folder" << QRect(120, 5760, 7800, 830);
    QTest::newRow("Text1") << "Text1"
                           << "" << QRect(240, 300, 6645, 345);
    QTest::newRow("PushButton2") << "PushButton2"
                                 << "..." << QRect(6960, 300, 600, 345);
    QTest::newRow("PushButton6")
        << "PushButton6"
        << "Start Downloading Checked Files" << QRect(120, 6710, 7800, 405);
    QTest::newRow("ProgressBar1")
        << "ProgressBar1"
        << "Progress Bar" << QRect(120, 7230, 7800, 405);
  }
  void ControlsStandWhereTheLayoutSays() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    FormFixture fixture;
    QWidget* widget = fixture.Find<QWidget>(name);
    QVERIFY(widget != nullptr);
    const double dx = fixture.window->logicalDpiX();
    const double dy = fixture.window->logicalDpiY();
    QCOMPARE(widget->geometry(),
             QRect(TwipsToPixels(twips.x(), dx), TwipsToPixels(twips.y(), dy),
                   TwipsToPixels(twips.width(), dx),
                   TwipsToPixels(twips.height(), dy)));
    const bool in_frame2 = name == "Text1" || name == "PushButton2";
    const QString parent = widget->parentWidget()->objectName();
    QCOMPARE(parent, in_frame2              ? QString("Frame2")
                     : name == "txtWebsite" ? QString("Frame1")
                                            : QString("Form1"));
    QString shown;
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      shown = button->text();
      QCOMPARE(button->font().pointSizeF(), 11.25);
    } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
      shown = frame->title();
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      shown = edit->text();
    } else if (auto* bar = qobject_cast<CaptionBar*>(widget)) {
      shown = bar->text();
    }
    QCOMPARE(shown, caption);
    if (!qobject_cast<QPushButton*>(widget)) {
      QCOMPARE(widget->font().pointSizeF(), 9.0);
    }
    QVERIFY(widget->font().bold());
    QCOMPARE(widget->font().family(), QString("Arial"));
    QCOMPARE(widget->toolTip().isEmpty(), name != "ListView1");
  }

  void WindowHasTheFixedClientSize() {
    FormFixture fixture;
    const QSize size(TwipsToPixels(8040, fixture.window->logicalDpiX()),
                     TwipsToPixels(7755, fixture.window->logicalDpiY()));
    QCOMPARE(fixture.window->size(), size);
    QCOMPARE(fixture.window->minimumSize(), size);
    QCOMPARE(fixture.window->maximumSize(), size);
  }

  void ListHasOneColumnAfterStartUp() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    auto* view = fixture.Find<QTreeView>("ListView1");
    QCOMPARE(view->model()->columnCount(), 1);
    QCOMPARE(view->model()->rowCount(), 0);
    QCOMPARE(view->model()->headerData(0, Qt::Horizontal).toString(),
             QString(" File(s)"));
    QCOMPARE(view->columnWidth(0),
             TwipsToPixels(7000, fixture.window->logicalDpiX()));
    QCOMPARE(view->toolTip(),
             QString("Double-click item to remove it. Move | line to right "
                     "and out of window to reveal full names."));
  }

  void NewRowsAreShownAndScrolledIntoView() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(fixture.window.get()));
    auto* view = fixture.Find<QTreeView>("ListView1");
    for (int i = 1; i <= 500; ++i) {
      fixture.window->file_list().Add("http://site.example/" +
                                      QString::number(i));
    }
    QTRY_COMPARE(view->model()->rowCount(), 500);
    const QModelIndex last = view->model()->index(499, 0);
    QTRY_VERIFY(view->viewport()->rect().intersects(view->visualRect(last)));
    QCOMPARE(last.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
  }

  void TabOrderFollowsTheLayout() {
    FormFixture fixture;
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowActive(fixture.window.get()));
    QStringList order;
    QWidget* widget = fixture.Find<QWidget>("ListView1");
    for (int i = 0; i < 11; ++i) {
      order << widget->objectName();
      do {
        widget = widget->nextInFocusChain();
      } while (widget->focusPolicy() == Qt::NoFocus ||
               widget->objectName().isEmpty());
    }
    QCOMPARE(order, QStringList({"ListView1", "txtWebsite", "Text1",
                                 "PushButton2", "PushButton5", "PushButton7",
                                 "PushButton8", "PushButton6", "PushButton1",
                                 "PushButton3", "PushButton4"}));
    QCOMPARE(QApplication::focusWidget(), fixture.Find<QWidget>("ListView1"));
  }

  void HoverSetsThePointerUnlessBusy() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(fixture.window.get()));
    auto hover = [&](const char* name) {
      QWidget* target = QString(name) == "ListView1"
                            ? fixture.Find<QTreeView>(name)->viewport()
                            : fixture.Find<QWidget>(name);
      QTest::mouseMove(target, QPoint(3, 3));
      QMouseEvent move(QEvent::MouseMove, QPointF(4, 4),
                       target->mapToGlobal(QPointF(4, 4)), Qt::NoButton,
                       Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(target, &move);
    };
    hover("PushButton5");
    QCOMPARE(fixture.window->pointer_mode(), MainWindow::kPointerCustom);
    hover("ListView1");
    QCOMPARE(fixture.window->pointer_mode(), MainWindow::kPointerDefault);
    hover("PushButton2");
    QCOMPARE(fixture.window->pointer_mode(), MainWindow::kPointerCustom);
    hover("Frame1");
    QCOMPARE(fixture.window->pointer_mode(), MainWindow::kPointerDefault);
    fixture.window->SetPointerMode(MainWindow::kPointerBusy);
    QCOMPARE(fixture.window->cursor().shape(), Qt::WaitCursor);
    for (const char* name :
         {"PushButton1", "Frame2", "ListView1", "PushButton8", "Frame1"}) {
      hover(name);
      QCOMPARE(fixture.window->pointer_mode(), MainWindow::kPointerBusy);
    }
    hover("Text1");  // text boxes change nothing
    QCOMPARE(fixture.window->pointer_mode(), MainWindow::kPointerBusy);
  }

  void SampleButtonFillsAndStoresTheSampleAddress() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    fixture.Find<QLineEdit>("Text1")->setText("/keep/");
    fixture.window->file_list().Add("row");
    int writes = 0;
    connect(fixture.Find<QLineEdit>("txtWebsite"), &QLineEdit::textChanged,
            [&] { ++writes; });
    QTest::mouseClick(fixture.Find<QPushButton>("PushButton3"), Qt::LeftButton);
    QTest::mouseClick(fixture.Find<QPushButton>("PushButton3"), Qt::LeftButton);
    QCOMPARE(writes, 2);  // stored twice, the same value
    const QString sample = fixture.Find<QLineEdit>("txtWebsite")->text();
    QVERIFY(sample.startsWith("http://") && sample.endsWith("/"));
    QCOMPARE(fixture.settings.ReadSetting("Web Site", ""), sample);
    QCOMPARE(fixture.Find<QLineEdit>("Text1")->text(), QString("/keep/"));
    QCOMPARE(fixture.window->file_list().Count(), 1);
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  void ClosingDuringALongCommandEndsItAtOnce() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    fixture.window->show();
    int passes = 0;
    bool unwound = false;
    QTimer::singleShot(20, fixture.window.get(),
                       [&] { fixture.window->close(); });
    Guarded([&] {
      struct Unwound {
        bool& flag;
        ~Unwound() { flag = true; }
      } guard{unwound};
      // A command that would run for ever but for the close.
      for (;;) {
        fixture.window->pump().PassEvents();
        ++passes;
      }
    });
    QVERIFY(unwound);
    QVERIFY(passes > 0);
    QVERIFY(!fixture.window->isVisible());
  }
};

}  // namespace trawlbox

QTEST_MAIN(trawlbox::MainWindowTest)
#include "main_window_test.moc"
