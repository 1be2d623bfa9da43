#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <optional>

#include "gui/caption_bar.h"
#include "support/commands_fixture.h"
#include "support/files.h"
#include "support/form_fixture.h"
#include "support/test_server.h"

namespace trawlbox {
namespace {

const QString kMissingFolder =
    "Folder does not exist. Please select another folder.";

// Every file below `root`, relative path to content.
std::map<QString, QByteArray> Tree(const QString& root) {
  std::map<QString, QByteArray> tree;
  QDirIterator it(root, QDir::Files | QDir::Hidden,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    tree[QDir(root).relativeFilePath(path)] = file.readAll();
  }
  return tree;
}

// The window itself, for what only it does: its bar, its keys, its other
// buttons during a download.
struct WindowFixture : FormFixture {
  WindowFixture() {
    qputenv("TEMP", temp.path().toLocal8Bit());
    form->RunStartUp();
    Find<QLineEdit>("Text1")->setText(destination.path() + "/");
    QObject::connect(form->caption_bar(), &CaptionBar::CaptionChanged,
                     [this](const QString& caption) { captions << caption; });
  }
  ~WindowFixture() { qunsetenv("TEMP"); }
  void SetStart(const QString& start) {
    Find<QLineEdit>("txtWebsite")->setText(start);
  }
  void Click(const char* name) {
    QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton);
  }
  QString Caption() const { return form->caption_bar()->Caption(); }
  QString Dest(const QString& relative) const {
    return destination.filePath(relative);
  }

  QTemporaryDir temp;
  QTemporaryDir destination;
  QStringList captions;
};

}  // namespace

class DownloadCommandTest : public QObject {
  Q_OBJECT

 private slots:
  void MissingFolderStopsBeforeAnyRow() {
    CommandsFixture fixture;
    fixture.list().Add("http://s.example/a.gif");
    fixture.SetFolder("/no/such/folder/");
    fixture.StartDownloading();
    QCOMPARE(fixture.prompts.texts(), QStringList({kMissingFolder}));
    QCOMPARE(fixture.Caption(), QString("Progress Bar"));
    QVERIFY(!fixture.host.busy());
    // The flag is cleared: the next click is accepted.
    fixture.SetFolder(fixture.destination.path());
    fixture.list().SetTicked(1, false);
    fixture.StartDownloading();
    QCOMPARE(fixture.prompts.texts(), QStringList({kMissingFolder, "Done."}));
  }

  void EmptyListSaysDone() {
    CommandsFixture fixture;
    fixture.StartDownloading();
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
    // A plain message: the application title, no icon.
    QCOMPARE(fixture.prompts.boxes[0].title, fixture.prompts.app_title());
    QCOMPARE(fixture.prompts.boxes[0].icon, MessageIcon::kNone);
    QCOMPARE(fixture.status().Maximum(), 0);
    QCOMPARE(fixture.Caption(), QString("Progress Bar"));
    QCOMPARE(fixture.host.pointer_mode(), PointerMode::kDefault);
  }

  void OnlyTickedRowsAreTransferred() {
    TestServer server;
    for (const char* name : {"/1.txt", "/2.txt", "/3.txt"}) {
      server.Serve(name, std::string("body of ") + name, 200, "text/plain");
    }
    CommandsFixture fixture;
    const QString s = server.Url();
    fixture.SetStart(s);
    for (const char* name : {"/1.txt", "/2.txt", "/3.txt"}) {
      fixture.list().Add(s + name);
    }
    fixture.list().SetTicked(1, false);
    fixture.list().SetTicked(3, false);
    std::optional<PointerMode> pointer_at_done;
    fixture.prompts.on_show = [&](const RecordingPrompts::Box&) {
      pointer_at_done = fixture.host.pointer_mode();
    };
    fixture.StartDownloading();
    QCOMPARE(server.Requests("/1.txt") + server.Requests("/3.txt"), 0);
    QCOMPARE(server.Requests("/2.txt"), 1);
    QCOMPARE(fixture.status().Maximum(), 3);
    QCOMPARE(fixture.status().positions, QList<qint64>({2, 0}));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
    QVERIFY(pointer_at_done == PointerMode::kDefault);
    QCOMPARE(Tree(fixture.destination.path()).size(), size_t(1));
  }

  void FolderAddressBecomesIndexHtm() {
    TestServer server;
    server.Serve("/docs/", "<html>docs</html>");
    CommandsFixture fixture;
    const QString s = server.Url();
    fixture.SetStart(s);
    fixture.list().Add(s + "/docs/");
    fixture.StartDownloading();
    QCOMPARE(ReadAll(fixture.Dest("docs/index.htm")),
             QByteArray("<html>docs</html>"));
    // The caption names the folder path, in the system's form, before the
    // file name is added.
    QCOMPARE(fixture.captions.first(),
             "Processing: " + QDir::toNativeSeparators(
                                  fixture.destination.path() + "/docs/"));
    QCOMPARE(fixture.captions[1], "Downloading: " + s + "/docs/");
    QCOMPARE(fixture.captions.last(), QString("Progress Bar"));
  }

  void PercentInAnAddressIsShownAsItStands() {
    TestServer server;
    server.Serve("/100%p%v.txt", "odd", 200, "text/plain");
    WindowFixture fixture;
    const QString s = server.Url();
    fixture.SetStart(s);
    fixture.form->file_list().Add(s + "/100%p%v.txt");
    fixture.Click("PushButton6");
    QVERIFY(fixture.captions.contains("Downloading " + s +
                                      "/100%p%v.txt...100 % Downloaded"));
    QVERIFY(fixture.form->caption_bar()->text().startsWith("Progress Bar"));
  }

  // A row whose request fails leaves no folder behind.
  void FailedRowsMakeNoFolders() {
    TestServer server;
    server.Serve("/doc/a/copyright/", "gone", 404);
    CommandsFixture fixture;
    fixture.SetStart(server.Url());
    fixture.list().Add(server.Url("/doc/a/copyright/"));
    fixture.StartDownloading();
    QVERIFY(QDir(fixture.destination.path()).isEmpty());
    QVERIFY(fixture.list().FailureOf(1).startsWith("HTTP 404"));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
  }

  void UnreachableServerMarksTheRowAndMakesNoFolder() {
    CommandsFixture fixture;
    fixture.SetStart("http://127.0.0.1:1");
    fixture.list().Add("http://127.0.0.1:1/docs/");
    fixture.StartDownloading();
    QVERIFY(!QFileInfo::exists(fixture.Dest("docs")));
    QVERIFY(!QFile::exists(fixture.Dest("docs/index.htm")));
    QVERIFY(!fixture.list().FailureOf(1).isEmpty());
    QCOMPARE(fixture.prompts.boxes.size(), 2);  // the failing read, "Done."
    QVERIFY(fixture.prompts.boxes[0].text.contains(
        "in Quaymill2021/08/31.Download.DownloadFile at line 136"));
  }

  void ListedSiteIsMirroredByteForByte() {
    TestServer server;
    const std::string png("\x89PNG\r\n\x1a\n\0\0binary", 16);
    server.Serve("/",
                 "<a href=\"a/\">a</a><img src=\"logo.png\">"
                 "<a href=\"about.html\">about</a>");
    server.Serve("/logo.png", png, 200, "image/png");
    server.Serve("/about.html", "<p>About</p>");
    server.Serve("/a/",
                 "<a href=\"b/\">b</a><img src=\"pic.jpg\">"
                 "<a href=\"page.php?id=3\">p</a>");
    server.Serve("/a/pic.jpg", std::string(70'000, 'J'), 200, "image/jpeg");
    server.Serve("/a/page.php", "<p>php</p>");
    server.Serve("/a/b/", "<img src=\"deep.gif\">");
    server.Serve("/a/b/deep.gif", "GIF89a", 200, "image/gif");
    CommandsFixture fixture;
    fixture.SetStart(server.Url());
    fixture.StartListing();
    QCOMPARE(fixture.list().Count(), 8);
    const std::map<QString, QByteArray> expected = {
        {"index.htm",
         "<a href=\"a/\">a</a><img src=\"logo.png\">"
         "<a href=\"about.html\">about</a>"},
        {"logo.png", QByteArray::fromStdString(png)},
        {"about.html", "<p>About</p>"},
        {"a/index.htm",
         "<a href=\"b/\">b</a><img src=\"pic.jpg\">"
         "<a href=\"page.php?id=3\">p</a>"},
        {"a/pic.jpg", QByteArray(70'000, 'J')},
        {"a/page.php_id=3", "<p>php</p>"},
        {"a/b/index.htm", "<img src=\"deep.gif\">"},
        {"a/b/deep.gif", "GIF89a"},
    };
    for (int run = 0; run < 2; ++run) {
      fixture.StartDownloading();
      QCOMPARE(Tree(fixture.destination.path()), expected);
    }
    QCOMPARE(server.Requests("/a/pic.jpg"), 2);
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done.", "Done.", "Done."}));
    QCOMPARE(fixture.Caption(), QString("Progress Bar"));
    QCOMPARE(fixture.status().Position(), 0);
  }

  // Names a page writes raw, in a character reference or escaped: each is
  // asked for as a URL may carry it and stored under the name its link
  // gives, escapes and all.
  void HandWrittenNamesAreMirrored() {
    TestServer server;
    server.Serve("/",
                 "<meta charset=\"utf-8\"><a href=\"raw space.txt\">r</a>"
                 "<a href='na\xc3\xafve.txt'>n</a><a href=\"a&amp;b.txt\">"
                 "a</a><img src=\"my%20file.gif\"><a href=\"?view=list\">"
                 "v</a>");
    server.Serve("/raw space.txt", "raw", 200, "text/plain");
    server.Serve("/na\xc3\xafve.txt", "naive", 200, "text/plain");
    server.Serve("/a&b.txt", "amp", 200, "text/plain");
    server.Serve("/my file.gif", "GIF89a", 200, "image/gif");
    CommandsFixture fixture;
    fixture.SetStart(server.Url() + "/");
    fixture.StartListing();
    fixture.StartDownloading();
    const std::map<QString, QByteArray> expected = {
        {"index.htm", ReadAll(fixture.Dest("index.htm"))},
        {"raw space.txt", "raw"},
        {QString::fromUtf8("na\u00efve.txt"), "naive"},
        {"a&b.txt", "amp"},
        {"my%20file.gif", "GIF89a"},
    };
    QCOMPARE(Tree(fixture.destination.path()), expected);
    QCOMPARE(server.Requests("/"), 2);  // listed once, stored once
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done.", "Done."}));
  }

  // Files without a dot in their name are listed and stored; the folder
  // rows that failed while listing are not asked for again, and no empty
  // folder is left.
  void OpenDirectoryIsMirroredWhole() {
    TestServer server;
    server.Serve("/", R"(<a href="/">Parent Directory</a>
<a href="LICENSE">LICENSE</a><a href="sub/">sub/</a>)");
    server.Serve("/LICENSE", "MIT License", 200, "text/plain");
    server.Serve("/sub/", R"(<a href="/">Parent Directory</a>
<a href="TODO">TODO</a><a href="a.txt">a.txt</a>)");
    server.Serve("/sub/TODO", "nothing", 200, "application/octet-stream");
    server.Serve("/sub/a.txt", "a", 200, "text/plain");
    CommandsFixture fixture;
    fixture.SetStart(server.Url() + "/");
    fixture.StartListing();
    fixture.StartDownloading();
    const std::map<QString, QByteArray> expected = {
        {"index.htm", ReadAll(fixture.Dest("index.htm"))},
        {"LICENSE", "MIT License"},
        {"sub/index.htm", ReadAll(fixture.Dest("sub/index.htm"))},
        {"sub/TODO", "nothing"},
        {"sub/a.txt", "a"},
    };
    QCOMPARE(Tree(fixture.destination.path()), expected);
    QCOMPARE(server.Requests("/LICENSE/"), 1);
    QCOMPARE(server.Requests("/sub/TODO/"), 1);
    QCOMPARE(server.Requests("/LICENSE"), 2);  // its listing look, its copy
    QCOMPARE(QDir(fixture.destination.path())
                 .entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList({"sub"}));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done.", "Done."}));
  }

  void BadRowsAreReportedAndTheRunGoesOn() {
    TestServer server;
    server.Serve("/ok.txt", "fine", 200, "text/plain");
    server.Serve("/missing.txt", "nope", 404, "text/plain");
    CommandsFixture fixture;
    const QString s = server.Url();
    fixture.SetStart(s);
    FileList& list = fixture.list();
    list.Add(s + "/missing.txt");                // 404: marked, no box
    list.Add(s + "/x/../../escape.txt");         // climbs: never written
    list.Add("http://elsewhere.example/a.txt");  // outside the folder
    const std::string long_name = "/" + std::string(300, 'n') + ".txt";
    server.Serve(long_name, "too long a name", 200, "text/plain");
    list.Add(s + QString::fromStdString(long_name));  // refused by the disk
    list.Add(s + "/ok.txt");
    fixture.StartDownloading();
    QCOMPARE(ReadAll(fixture.Dest("ok.txt")), QByteArray("fine"));
    QVERIFY(list.FailureOf(1).startsWith("HTTP 404"));
    QVERIFY(!list.FailureOf(2).isEmpty());
    QVERIFY(!list.FailureOf(3).isEmpty());
    QVERIFY(!list.FailureOf(4).isEmpty());
    QVERIFY(list.FailureOf(5).isEmpty());
    QVERIFY(!QFile::exists(
        QFileInfo(fixture.destination.path()).dir().filePath("escape.txt")));
    QCOMPARE(fixture.prompts.texts().last(), QString("Done."));
    // The rows that could not be written are reported, then "Done.".
    QStringList reports;
    for (const auto& box : fixture.prompts.boxes) {
      if (box.title == "Application Error") {
        reports << box.text.section("\r\n", 0, 0) + " " +
                       box.text.section("at line ", 1).section("\r", 0, 0);
      }
    }
    // The climbing row and the foreign row name no place in the folder and
    // are refused before any request; the long name is refused when the
    // finished file takes its name.
    QVERIFY2(reports == QStringList({"Path not found 122", "Path not found 122",
                                     "File name too long 152"}),
             qPrintable(reports.join(" | ")));
    QCOMPARE(server.Requests("/x/../../escape.txt"), 0);
  }

  // A folder typed without its final separator holds the mirror all the
  // same, and nothing beside it is touched.
  void FolderTypedWithoutSeparator() {
    TestServer server;
    server.Serve("/", "root page");
    server.Serve("/a.txt", "inside", 200, "text/plain");
    CommandsFixture fixture;
    const QString folder = fixture.destination.filePath("m");
    QVERIFY(QDir().mkdir(folder));
    for (const QString& beside : {folder + "1", folder + "a.txt"}) {
      QFile file(beside);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("precious");
    }
    fixture.SetFolder(folder);
    const QString s = server.Url();
    fixture.SetStart(s + "/");
    fixture.list().Add(s + "/");
    fixture.list().Add(s + "/a.txt");
    fixture.StartDownloading();
    QCOMPARE(ReadAll(folder + "/index.htm"), QByteArray("root page"));
    QCOMPARE(ReadAll(folder + "/a.txt"), QByteArray("inside"));
    QCOMPARE(ReadAll(folder + "1"), QByteArray("precious"));
    QCOMPARE(ReadAll(folder + "a.txt"), QByteArray("precious"));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
  }

  // The free-name rule can move a path out of the folder (its number goes
  // before the last dot of the whole path): such a row is refused before
  // its request, and nothing is made outside.
  void RowsThatWouldLandOutsideAreRefused() {
    TestServer server;
    server.Serve("/docs", "a file named like a folder", 200, "text/plain");
    CommandsFixture fixture;
    const QString folder = fixture.destination.filePath("my.site");
    QVERIFY(QDir().mkpath(folder + "/docs"));
    fixture.SetFolder(folder);
    const QString s = server.Url();
    fixture.SetStart(s);
    fixture.list().Add(s + "/docs");
    fixture.StartDownloading();
    QCOMPARE(server.Requests("/docs"), 0);
    QVERIFY(!QFileInfo::exists(fixture.destination.filePath("my1.site")));
    QCOMPARE(fixture.list().FailureOf(1), QString("Path not found"));
    QCOMPARE(fixture.prompts.boxes.size(), 2);
    QVERIFY(fixture.prompts.boxes[0].text.startsWith("Path not found\r\n"));
    QVERIFY(fixture.prompts.boxes[0].text.contains("at line 122\r\r"));
  }

  void ClicksDuringADownload() {
    TestServer server;
    for (const char* name : {"/1.txt", "/2.txt", "/3.txt"}) {
      server.Serve(name, std::string("body ") + name, 200, "text/plain");
    }
    WindowFixture fixture;
    const QString s = server.Url();
    fixture.SetStart(s);
    for (const char* name : {"/1.txt", "/2.txt", "/3.txt"}) {
      fixture.form->file_list().Add(s + name);
    }
    server.DuringRequest("/1.txt", [&] {
      fixture.Click("PushButton6");  // ignored
      fixture.Click("PushButton5");  // ignored: no listing during a download
      fixture.Click("PushButton4");  // ignored: busy
      fixture.Click("PushButton8");  // rows still to come are not taken
    });
    fixture.Click("PushButton6");
    QCOMPARE(server.Requests("/1.txt"), 1);
    // Asked for ahead of their turn, perhaps, but never stored.
    QCOMPARE(
        QDir(fixture.destination.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList({"1.txt"}));
    QCOMPARE(fixture.form->file_list().Count(), 3);
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
  }

  void EscapeCancelsTheDownload() {
    TestServer server;
    server.Serve("/big.bin", std::string(4'000'000, 'b'), 200,
                 "application/octet-stream");
    server.Serve("/after.txt", "after", 200, "text/plain");
    WindowFixture fixture;
    fixture.form->show();
    QVERIFY(QTest::qWaitForWindowActive(fixture.form.get()));
    const QString s = server.Url();
    fixture.SetStart(s);
    fixture.form->file_list().Add(s + "/big.bin");
    fixture.form->file_list().Add(s + "/after.txt");
    {
      QFile old(fixture.Dest("big.bin"));
      QVERIFY(old.open(QIODevice::WriteOnly));
      old.write("previous");
    }
    QStringList captions;
    server.Handle(
        "/big.bin", [&](const httplib::Request&, httplib::Response& response) {
          response.set_content_provider(
              4'000'000, "application/octet-stream",
              [&](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset == 100'000) {
                  QMetaObject::invokeMethod(
                      qApp,
                      [&] {
                        QTest::keyClick(fixture.form.get(), Qt::Key_Escape);
                        captions << fixture.Caption();
                      },
                      Qt::QueuedConnection);
                  std::this_thread::sleep_for(std::chrono::milliseconds(300));
                }
                const std::string piece(50'000, 'b');
                sink.write(piece.data(), piece.size());
                return true;
              });
        });
    fixture.prompts.on_show = [&](const RecordingPrompts::Box&) {
      captions << fixture.Caption();
    };
    fixture.Click("PushButton6");
    QCOMPARE(ReadAll(fixture.Dest("big.bin")), QByteArray("previous"));
    // What ran ahead is dropped too: nothing partial, nothing beside.
    QCOMPARE(
        QDir(fixture.destination.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList({"big.bin"}));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
    // The run has ended and still says why.
    QCOMPARE(fixture.Caption(), QString("Download Stoped By User"));
    QCOMPARE(fixture.form->caption_bar()->Position(), 0);
    QVERIFY(fixture.form->file_list().FailureOf(1).isEmpty());
  }
};

}  // namespace trawlbox

QTEST_MAIN(trawlbox::DownloadCommandTest)
#include "download_command_test.moc"
