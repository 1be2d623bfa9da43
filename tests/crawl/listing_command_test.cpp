#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <optional>

#include "support/commands_fixture.h"
#include "support/files.h"
#include "support/form_fixture.h"
#include "support/test_server.h"

namespace trawlbox {
namespace {

const QString kMissingFolder =
    "Folder does not exist. Please select another folder.";

struct ListingFixture : FormFixture {
  ListingFixture() {
    qputenv("TEMP", temp.path().toLocal8Bit());
    form->RunStartUp();
    Find<QLineEdit>("Text1")->setText(destination.path());
  }
  ~ListingFixture() { qunsetenv("TEMP"); }
  void SetStart(const QString& start) {
    Find<QLineEdit>("txtWebsite")->setText(start);
  }
  void Click(const char* name) {
    QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton);
  }

  QTemporaryDir temp;
  QTemporaryDir destination;
};

}  // namespace

class ListingCommandTest : public QObject {
  Q_OBJECT

 private slots:
  void MissingFolderLeavesTheListAsItWas_data() {
    QTest::addColumn<QString>("folder");
    QTest::newRow("empty") << "";
    QTest::newRow("missing") << "/no/such/folder/";
    QTest::newRow("a file") << "FILE";
  }
  void MissingFolderLeavesTheListAsItWas() {
    QFETCH(QString, folder);
    CommandsFixture fixture;
    if (folder == "FILE") {
      folder = fixture.destination.filePath("file.txt");
      QFile file(folder);
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    fixture.SetFolder(folder);
    fixture.list().Add("earlier row");
    fixture.StartListing();
    QCOMPARE(fixture.prompts.boxes.size(), 1);
    QCOMPARE(fixture.prompts.boxes[0].text, kMissingFolder);
    QCOMPARE(fixture.prompts.boxes[0].title, fixture.prompts.app_title());
    QCOMPARE(fixture.prompts.boxes[0].icon, MessageIcon::kNone);
    QCOMPARE(Rows(fixture.list()), QStringList({"earlier row"}));
    QCOMPARE(fixture.host.pointer_mode(), PointerMode::kDefault);
  }

  void ListsTheSiteAndSaysDone() {
    TestServer server;
    server.Serve("/", "<img src=\"a.png\"><a href=\"sub/\">s</a>");
    server.Serve("/sub/", "<img src=\"b.png\">");
    CommandsFixture fixture;
    fixture.list().Add("earlier row");
    const QString s = server.Url();
    fixture.SetStart(s + "/");
    std::optional<PointerMode> pointer_at_done;
    fixture.prompts.on_show = [&](const RecordingPrompts::Box&) {
      pointer_at_done = fixture.host.pointer_mode();
    };
    fixture.StartListing();
    QCOMPARE(
        Rows(fixture.list()),
        QStringList({s + "/", s + "/a.png", s + "/sub/", s + "/sub/b.png"}));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
    QCOMPARE(fixture.prompts.boxes[0].title, fixture.prompts.app_title());
    QVERIFY(pointer_at_done == PointerMode::kBusy);
    QCOMPARE(fixture.host.pointer_mode(), PointerMode::kDefault);
    QVERIFY(!fixture.host.busy());
  }

  void UnfetchableStartGivesOneRowAndDone() {
    CommandsFixture fixture;
    fixture.SetStart("http://127.0.0.1:1/");
    fixture.StartListing();
    QCOMPARE(Rows(fixture.list()), QStringList({"http://127.0.0.1:1/"}));
    // Known to fail: listed, marked and left out of a download.
    QVERIFY(!fixture.list().Ticked(1));
    QVERIFY(!fixture.list().FailureOf(1).isEmpty());
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
  }

  void ClicksDuringAListing() {
    TestServer server;
    server.Serve("/", "<a href=\"a/\">a</a><img src=\"r.png\">");
    server.Serve("/a/", "<img src=\"x.png\">");
    ListingFixture fixture;
    const QString s = server.Url();
    fixture.SetStart(s + "/");
    server.DuringRequest("/a/", [&] {
      fixture.Click("PushButton5");  // a second listing: ignored
      fixture.Click("PushButton4");  // Clear List: ignored while busy
      fixture.Click("PushButton8");  // Uncheck All: acts at once
    });
    fixture.Click("PushButton5");
    QCOMPARE(Rows(fixture.form->file_list()),
             QStringList({s + "/", s + "/r.png", s + "/a/", s + "/a/x.png"}));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
    QVERIFY(!fixture.form->file_list().Ticked(1));
    QVERIFY(!fixture.form->file_list().Ticked(3));
    QVERIFY(fixture.form->file_list().Ticked(4));  // found after the click
    // Once the listing has ended, Clear List empties the list.
    fixture.Click("PushButton4");
    QCOMPARE(fixture.form->file_list().Count(), 0);
  }

  void EscapeStopsTheListing() {
    TestServer server;
    server.Serve("/", "<a href=\"a/\">a</a><a href=\"b/\">b</a>");
    server.Serve("/a/", "<img src=\"a.png\">");
    server.Serve("/b/", "<img src=\"b.png\">");
    ListingFixture fixture;
    fixture.form->show();
    QVERIFY(QTest::qWaitForWindowActive(fixture.form.get()));
    const QString s = server.Url();
    fixture.SetStart(s + "/");
    server.DuringRequest(
        "/b/", [&] { QTest::keyClick(fixture.form.get(), Qt::Key_Escape); });
    fixture.Click("PushButton5");
    // The page in work when Escape came is not waited for.
    // "/a/" may have been fetched ahead of its turn, but is never visited.
    QCOMPARE(Rows(fixture.form->file_list()),
             QStringList({s + "/", s + "/b/"}));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
    // No page file is left behind.
    QVERIFY(QDir(fixture.temp.path()).isEmpty());
  }

  void EditingTheStartAddressChangesTheSiteFromThenOn() {
    TestServer server;
    const QString s = server.Url();
    server.Serve("/", "<a href=\"a/\">a</a><img src=\"r.png\">");
    server.Serve("/a/", "<img src=\"x.png\">");
    ListingFixture fixture;
    fixture.SetStart(s + "/");
    server.DuringRequest(
        "/a/", [&] { fixture.SetStart("http://elsewhere.example/"); });
    fixture.Click("PushButton5");
    QCOMPARE(Rows(fixture.form->file_list()),
             QStringList({s + "/", s + "/r.png", s + "/a/"}));
  }

  void ClosingTheWindowEndsAListing() {
    TestServer server;
    server.Serve("/", "<a href=\"a/\">a</a><a href=\"b/\">b</a>");
    server.Serve("/a/", "<img src=\"a.png\">");
    server.Serve("/b/", "<img src=\"b.png\">");
    ListingFixture fixture;
    fixture.form->show();
    fixture.SetStart(server.Url() + "/");
    server.DuringRequest("/b/", [&] { fixture.form->close(); });
    fixture.Click("PushButton5");
    QVERIFY(fixture.prompts.boxes.isEmpty());  // no "Done." after a close
    QVERIFY(!Rows(fixture.form->file_list()).contains(server.Url("/a/")));
    QVERIFY(QDir(fixture.temp.path()).isEmpty());  // nor a page file
    QVERIFY(!fixture.form->busy());
  }
};

}  // namespace trawlbox

QTEST_MAIN(trawlbox::ListingCommandTest)
#include "listing_command_test.moc"
