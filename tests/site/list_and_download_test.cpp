// A site listed and then downloaded by the two commands one after the
// other, as a user runs them: what the listing finds is what lands on disk.
#include <QtTest>

#include "support/commands_fixture.h"
#include "support/files.h"
#include "support/test_server.h"

namespace trawlbox {

class ListAndDownloadTest : public QObject {
  Q_OBJECT

 private slots:
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
                 "v</a><img src=\"end%20\"><img src=\"caf\xc3\xa9\">");
    server.Serve("/raw space.txt", "raw", 200, "text/plain");
    server.Serve("/na\xc3\xafve.txt", "naive", 200, "text/plain");
    server.Serve("/a&b.txt", "amp", 200, "text/plain");
    server.Serve("/my file.gif", "GIF89a", 200, "image/gif");
    server.Serve("/end ", "end", 200, "text/plain");
    server.Serve("/caf\xc3\xa9", "cafe", 200, "text/plain");
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
        {"end%20", "end"},
        {QString::fromUtf8("caf\u00e9"), "cafe"},
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
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::ListAndDownloadTest)
#include "list_and_download_test.moc"
