#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "support/form_fixture.h"

namespace trawlbox {
namespace {

const QString kSep = QDir::separator();

struct ChooserFixture : FormFixture {
  ChooserFixture() { window->RunStartUp(); }
  QLineEdit* Folder() { return Find<QLineEdit>("Text1"); }
  void Press() {
    QTest::mouseClick(Find<QPushButton>("PushButton2"), Qt::LeftButton);
  }
};

}  // namespace

class FolderChooserTest : public QObject {
  Q_OBJECT

 private slots:
  void ConfirmedFolderGetsOneSeparator_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("field");
    const QString sites = QDir::toNativeSeparators("/srv/sites");
    const QString root = QDir::toNativeSeparators(QDir::rootPath());
    QTest::newRow("folder") << "/srv/sites" << sites << sites + kSep;
    QTest::newRow("root keeps its one separator")
        << QDir::rootPath() << root << root;
    QTest::newRow("already ending in one")
        << "/srv/sites/" << sites + kSep << sites + kSep;
  }
  void ConfirmedFolderGetsOneSeparator() {
    QFETCH(QString, answer);
    QFETCH(QString, stored);
    QFETCH(QString, field);
    ChooserFixture fixture;
    fixture.browse_answers << answer;
    fixture.Press();
    QCOMPARE(fixture.browse_requests.size(), 1);
    // First use: the browser starts with no selection.
    QCOMPARE(fixture.browse_requests[0],
             QStringList({"Please select folder:", ""}));
    QCOMPARE(fixture.settings.ReadSetting("LastFolderDot", "absent").value(),
             stored);
    QCOMPARE(fixture.Folder()->text(), field);
    QCOMPARE(fixture.settings.ReadSetting("Text1", "absent").value(), field);
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  void CancelChangesNothing() {
    ChooserFixture fixture;
    QVERIFY(fixture.settings.WriteSetting("LastFolderDot", "/srv/last").ok());
    fixture.Folder()->setText("/typed/by/hand/");
    fixture.browse_answers << QString();
    fixture.Press();
    QCOMPARE(fixture.Folder()->text(), QString("/typed/by/hand/"));
    QCOMPARE(fixture.settings.ReadSetting("LastFolderDot", "").value(),
             QString("/srv/last"));
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  void NextBrowseStartsAtTheLastConfirmedFolder() {
    ChooserFixture fixture;
    fixture.browse_answers << "/srv/one" << QString();
    fixture.Press();
    fixture.Folder()->setText("/typed/elsewhere/");
    fixture.Press();
    QCOMPARE(fixture.browse_requests[1][1],
             QDir::toNativeSeparators("/srv/one"));
  }

  void MissingStartFolderIsPassedAsItIs() {
    ChooserFixture fixture;
    QVERIFY(fixture.settings.WriteSetting("LastFolderDot", "/gone/away").ok());
    fixture.browse_answers << "/srv/new";
    fixture.Press();
    QCOMPARE(fixture.browse_requests[0][1], QString("/gone/away"));
    QCOMPARE(fixture.Folder()->text(),
             QDir::toNativeSeparators("/srv/new") + kSep);
  }
};

}  // namespace trawlbox

QTEST_MAIN(trawlbox::FolderChooserTest)
#include "folder_chooser_test.moc"
