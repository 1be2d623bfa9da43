#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include "support/form_fixture.h"

namespace trawlbox {

class ListOperationsTest : public QObject {
  Q_OBJECT

 private slots:
  void WholeListOperations_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<bool>>("before");
    QTest::addColumn<QList<bool>>("after");
    QTest::addColumn<int>("count_after");
    QTest::newRow("check all")
        << "PushButton7" << QList<bool>{false, true, false}
        << QList<bool>{true, true, true} << 3;
    QTest::newRow("check all, all ticked")
        << "PushButton7" << QList<bool>{true, true} << QList<bool>{true, true}
        << 2;
    QTest::newRow("uncheck all")
        << "PushButton8" << QList<bool>{true, false, true}
        << QList<bool>{false, false, false} << 3;
    QTest::newRow("uncheck all, none ticked")
        << "PushButton8" << QList<bool>{false} << QList<bool>{false} << 1;
    QTest::newRow("clear") << "PushButton4" << QList<bool>{true, false}
                           << QList<bool>{} << 0;
    QTest::newRow("empty list, check")
        << "PushButton7" << QList<bool>{} << QList<bool>{} << 0;
    QTest::newRow("empty list, uncheck")
        << "PushButton8" << QList<bool>{} << QList<bool>{} << 0;
    QTest::newRow("empty list, clear")
        << "PushButton4" << QList<bool>{} << QList<bool>{} << 0;
  }
  void WholeListOperations() {
    QFETCH(QString, button);
    QFETCH(QList<bool>, before);
    QFETCH(QList<bool>, after);
    QFETCH(int, count_after);
    FormFixture fixture;
    fixture.window->RunStartUp();
    FileList& list = fixture.window->file_list();
    for (int i = 0; i < before.size(); ++i) {
      list.Add("http://s/" + QString::number(i));
      list.SetTicked(i + 1, before[i]);
    }
    QTest::mouseClick(fixture.Find<QPushButton>(button), Qt::LeftButton);
    QCOMPARE(list.Count(), count_after);
    for (int i = 0; i < after.size(); ++i)
      QCOMPARE(list.Ticked(i + 1), after[i]);
    QVERIFY(fixture.prompts.boxes.isEmpty());
    QCOMPARE(fixture.window->file_list_model().headerData(0, Qt::Horizontal,
                                                          Qt::DisplayRole),
             QVariant(" File(s)"));
  }

  void ClearIsIgnoredWhileBusy() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    fixture.window->file_list().Add("row");
    // A running command keeps its rows, whatever the pointer shows.
    for (const bool listing : {true, false}) {
      const ScopedFlag running = listing ? fixture.window->BeginListing()
                                         : fixture.window->BeginDownloading();
      QTest::mouseClick(fixture.Find<QPushButton>("PushButton4"),
                        Qt::LeftButton);
      QCOMPARE(fixture.window->file_list().Count(), 1);
    }
    fixture.window->SetPointerMode(PointerMode::kBusy);
    QTest::mouseClick(fixture.Find<QPushButton>("PushButton4"), Qt::LeftButton);
    QCOMPARE(fixture.window->file_list().Count(), 0);
  }

  void DoubleClickRemovesNothing() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(fixture.window.get()));
    fixture.window->file_list().Add("http://s/a");
    fixture.window->file_list().Add("http://s/b");
    auto* view = fixture.Find<QTreeView>("ListView1");
    QTRY_COMPARE(view->model()->rowCount(), 2);
    const QRect row = view->visualRect(view->model()->index(0, 0));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(fixture.window->file_list().Count(), 2);
    QCOMPARE(fixture.window->file_list().Text(1), QString("http://s/a"));
  }
};

}  // namespace trawlbox

QTEST_MAIN(trawlbox::ListOperationsTest)
#include "list_operations_test.moc"
