#include "gui/file_list_model.h"

#include <QSignalSpy>
#include <QtTest>

#include "support/failure_of.h"

Q_DECLARE_METATYPE(trawlbox::ListTotals)

namespace trawlbox {

class FileListModelTest : public QObject {
  Q_OBJECT

 private slots:
  void MembershipIsExactAndCaseSensitive_data() {
    QTest::addColumn<QString>("probe");
    QTest::addColumn<bool>("listed");
    QTest::newRow("same text") << "http://site.example/a/" << true;
    QTest::newRow("scheme in capitals") << "HTTP://site.example/a/" << false;
    QTest::newRow("without final slash") << "http://site.example/a" << false;
    QTest::newRow("trailing blank") << "http://site.example/a/ " << false;
    QTest::newRow("backslash") << "http:\\\\site.example\\a\\" << false;
    QTest::newRow("empty") << "" << false;
  }
  void MembershipIsExactAndCaseSensitive() {
    QFETCH(QString, probe);
    QFETCH(bool, listed);
    FileListModel list;
    list.Add("http://site.example/a/");
    QCOMPARE(list.IsListed(probe), listed);
  }

  void EmptyListAnswersNo() {
    FileListModel list;
    QVERIFY(!list.IsListed(""));
    QCOMPARE(list.Count(), 0);
  }

  void NewRowsAreTickedAndAppendedInOrder() {
    FileListModel list;
    QSignalSpy added(&list, &FileListModel::RowAdded);
    list.Add("one");
    list.Add("two");
    QCOMPARE(list.Count(), 2);
    QCOMPARE(list.Text(1), QString("one"));
    QCOMPARE(list.Text(2), QString("two"));
    QVERIFY(list.Ticked(1) && list.Ticked(2));
    QCOMPARE(added.count(), 2);
    list.Publish();
    QCOMPARE(list.data(list.index(1, 0), Qt::CheckStateRole).toInt(),
             int(Qt::Checked));
  }

  void TicksChangeByProgramAndByMouse() {
    FileListModel list;
    list.Add("a");
    list.SetTicked(1, false);
    QVERIFY(!list.Ticked(1));
    list.Publish();
    // A click on the check box goes through setData.
    QVERIFY(list.setData(list.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(list.Ticked(1));
    QVERIFY(list.flags(list.index(0, 0)) & Qt::ItemIsUserCheckable);
    QVERIFY(!(list.flags(list.index(0, 0)) & Qt::ItemIsEditable));
  }

  void RowsReachViewsWhenPublished() {
    FileListModel list;
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    list.Add("a");
    list.Add("b");
    QCOMPARE(list.Count(), 2);
    QCOMPARE(list.rowCount(), 0);
    list.SetTicked(1, false);  // not yet shown: no change signal needed
    list.Publish();
    list.Publish();
    QCOMPARE(list.rowCount(), 2);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(list.data(list.index(0, 0), Qt::CheckStateRole).toInt(),
             int(Qt::Unchecked));
    list.Add("c");
    list.Publish();
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(inserted.last().at(1).toInt(), 2);
    QCOMPARE(inserted.last().at(2).toInt(), 2);
  }

  // A shown row whose tick changes is repainted once, and alone.
  void TickingAShownRowSignalsThatRow_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("position");
    QTest::newRow("the last of three") << 3 << 3;
    QTest::newRow("the first of three") << 3 << 1;
    QTest::newRow("the only one") << 1 << 1;
  }
  void TickingAShownRowSignalsThatRow() {
    QFETCH(int, rows);
    QFETCH(int, position);
    FileListModel list;
    for (int i = 0; i < rows; ++i) list.Add(QString::number(i));
    list.Publish();
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
    list.SetTicked(position, false);
    list.SetTicked(position, false);  // no change: no signal
    QCOMPARE(changed.count(), 1);
    const QModelIndex row = list.index(position - 1, 0);
    QCOMPARE(changed[0].at(0).toModelIndex(), row);
    QCOMPARE(changed[0].at(1).toModelIndex(), row);
    QCOMPARE(changed[0].at(2).value<QList<int>>(),
             QList<int>{Qt::CheckStateRole});
  }

  void DuplicatesAndClearKeepTheIndexTrue() {
    FileListModel list;
    list.Add("same");
    list.Add("same");  // callers test first, but the list allows it
    QCOMPARE(list.Count(), 2);
    QVERIFY(list.IsListed("same"));
    list.Clear();
    QVERIFY(!list.IsListed("same"));
    for (int round = 0; round < 3; ++round) {
      for (int i = 0; i < 1000; ++i) list.Add(QString::number(i));
      for (int i = 0; i < 1000; ++i) QVERIFY(list.IsListed(QString::number(i)));
      QVERIFY(!list.IsListed("1000"));
      list.Clear();
    }
  }

  void ClearEmptiesRowsAndMembership() {
    FileListModel list;
    list.Clear();  // an empty list: nothing happens
    list.Add("a");
    list.Clear();
    QCOMPARE(list.Count(), 0);
    QVERIFY(!list.IsListed("a"));
    list.Add("a");
    QCOMPARE(list.Count(), 1);
  }

  void MarkingFailedKeepsTextAndTick() {
    FileListModel list;
    list.Add("http://site.example/x.gif");
    list.SetTicked(1, false);
    list.MarkFailed(1, "HTTP 404");
    QCOMPARE(list.Text(1), QString("http://site.example/x.gif"));
    QVERIFY(!list.Ticked(1));
    QCOMPARE(list.FailureOf(1), QString("HTTP 404"));
    list.Publish();
    QCOMPARE(list.data(list.index(0, 0), Qt::ToolTipRole).toString(),
             QString("HTTP 404"));
    QCOMPARE(list.data(list.index(0, 0), Qt::ForegroundRole).value<QBrush>(),
             QBrush(Qt::red));
    QCOMPARE(list.data(list.index(0, 0), Qt::DisplayRole).toString(),
             QString("http://site.example/x.gif"));
  }

  void PositionsOutsideTheListFail() {
    FileListModel list;
    list.Add("a");
    for (qsizetype position : {qsizetype(0), qsizetype(2), qsizetype(-1)}) {
      QCOMPARE(FailureOf([&] { list.Text(position); }),
               QString("Invalid procedure call or argument"));
    }
  }

  void MoreRowsThanASixteenBitCounterHolds() {
    FileListModel list;
    for (int i = 0; i < 40000; ++i) list.Add(QString::number(i));
    QCOMPARE(list.Count(), 40000);
    QVERIFY(list.IsListed("39999"));
    QVERIFY(list.IsListed("32767"));
    QVERIFY(list.IsListed("32768"));
    QVERIFY(!list.IsListed("40000"));
    QCOMPARE(list.Text(40000), QString("39999"));
  }

  // Steps on a list of two files and a folder, all ticked: "size ROW ~N"
  // (rounded) or "=N" (exact), "untick ROW", "tick where TEXT" (rows
  // holding it). Then the size column and the total.
  void SizesAndTotalFollowTheSteps_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("column");
    QTest::addColumn<QString>("total");
    QTest::newRow("nothing known")
        << QStringList() << QStringList{"", "", ""}
        << "3 of 3 rows ticked (2 sizes not known yet)";
    QTest::newRow("rounded, then exact")
        << QStringList{"size 1 ~1258291", "size 2 =999"}
        << QStringList{"~1.3 MB", "999 B", ""}
        << "3 of 3 rows ticked \u00b7 ~1.3 MB";
    QTest::newRow("exact replaces rounded")
        << QStringList{"size 1 ~1258291", "size 1 =1200000"}
        << QStringList{"1.2 MB", "", ""}
        << "3 of 3 rows ticked \u00b7 1.2 MB (1 size not known yet)";
    QTest::newRow("rounded never replaces exact")
        << QStringList{"size 1 =500", "size 1 ~1024"}
        << QStringList{"500 B", "", ""}
        << "3 of 3 rows ticked \u00b7 500 B (1 size not known yet)";
    QTest::newRow("a folder row keeps none")
        << QStringList{"size 3 =100"} << QStringList{"", "", ""}
        << "3 of 3 rows ticked (2 sizes not known yet)";
    QTest::newRow("unticked rows leave the total")
        << QStringList{"size 1 =5000", "size 2 =999950", "untick 2"}
        << QStringList{"5.0 kB", "1.0 MB", ""}
        << "2 of 3 rows ticked \u00b7 5.0 kB";
    QTest::newRow("ticked again by text")
        << QStringList{"size 2 =99950", "untick 1", "untick 2",
                       "tick where .img"}
        << QStringList{"", "100 kB", ""} << "2 of 3 rows ticked \u00b7 100 kB";
    QTest::newRow("unticked by text")
        << QStringList{"untick where h/"} << QStringList{"", "", ""}
        << "0 of 3 rows ticked";
  }
  void SizesAndTotalFollowTheSteps() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, column);
    QFETCH(QString, total);
    FileListModel list;
    for (const char* row :
         {"http://h/a.iso", "http://h/b.img", "http://h/d/"}) {
      list.Add(row);
    }
    list.Publish();
    QSignalSpy totals(&list, &FileListModel::TotalsChanged);
    for (const QString& step : steps) {
      const QStringList words = step.split(' ');
      const int row = words[1].toInt();
      if (words[0] == "size") {
        const qint64 bytes = words[2].mid(1).toLongLong();
        list.SetSize(row, words[2][0] == '~' ? RowSize::Approx(bytes)
                                             : RowSize::Exact(bytes));
      } else if (words[1] == "where") {
        list.SetTickedWhere(
            [&](const QString& text, const RowSize&) {
              return text.contains(words[2]);
            },
            words[0] == "tick");
      } else {
        list.SetTicked(row, false);
      }
    }
    QStringList shown;
    for (int i = 0; i < 3; ++i) {
      shown << list.data(list.index(i, FileListModel::kSizeColumn),
                         Qt::DisplayRole)
                   .toString();
    }
    QCOMPARE(shown, column);
    QCOMPARE(TotalText(list.totals()), total);
    QCOMPARE(totals.isEmpty(),
             steps.isEmpty() || steps.contains("size 3 =100"));
  }

  void TotalTextCountsInWords_data() {
    QTest::addColumn<ListTotals>("totals");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << ListTotals{} << "0 of 0 rows ticked";
    QTest::newRow("one row") << ListTotals{1, 1, 0, 1, 0}
                             << "1 of 1 row ticked (1 size not known yet)";
    QTest::newRow("thousands")
        << ListTotals{4102, 312, 41'700'000'000, 18, 0}
        << "312 of 4,102 rows ticked \u00b7 41.7 GB (18 sizes not known yet)";
    QTest::newRow("rounded")
        << ListTotals{2, 2, 2048, 0, 1} << "2 of 2 rows ticked \u00b7 ~2.0 kB";
    QTest::newRow("empty files")
        << ListTotals{2, 1, 0, 0, 0} << "1 of 2 rows ticked";
  }
  void TotalTextCountsInWords() {
    QFETCH(ListTotals, totals);
    QFETCH(QString, text);
    QCOMPARE(TotalText(totals), text);
  }

  // The row shows a password as "***"; the download reads it as typed.
  void RowsHideTheirPasswords() {
    FileListModel list;
    list.Add("http://alice:s3cret@h/priv/a.txt");
    list.Publish();
    QCOMPARE(list.data(list.index(0, 0), Qt::DisplayRole).toString(),
             QString("http://alice:***@h/priv/a.txt"));
    QCOMPARE(list.Text(1), QString("http://alice:s3cret@h/priv/a.txt"));
    QCOMPARE(list.PositionOf("http://alice:s3cret@h/priv/a.txt"), 1);
  }

  void HeaderIsTheColumnTitle() {
    FileListModel list;
    list.set_header(" File(s)");
    QCOMPARE(list.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
             QString(" File(s)"));
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::FileListModelTest)
#include "file_list_model_test.moc"
