#include "crawl/crawler.h"

#include <QFileInfo>
#include <QtTest>
#include <map>
#include <mutex>
#include <optional>
#include <random>

#include "core/error_trap.h"
#include "core/event_pump.h"
#include "core/real_file_system.h"
#include "crawl/temp_page.h"
#include "support/fake_file_list.h"
#include "support/fake_http.h"
#include "support/files.h"
#include "support/flaky_server.h"
#include "support/https_server.h"
#include "support/raw_server.h"
#include "support/recording_prompts.h"
#include "support/test_engine.h"
#include "support/test_pages.h"
#include "support/test_server.h"

namespace trawlbox {
namespace {

// A crawler on its own list, with a temporary folder as TEMP, asking its
// pages of an `Http` service: the program's engine, or a script.
template <typename Http>
struct CrawlFixtureOn {
  CrawlFixtureOn() { qputenv("TEMP", temp.path().toLocal8Bit()); }
  ~CrawlFixtureOn() { qunsetenv("TEMP"); }

  QStringList Walk(const QString& start_address) {
    start = start_address;
    crawler.WalkSite(start_address);
    return Rows();
  }
  QStringList Rows() const { return trawlbox::Rows(list); }

  QTemporaryDir temp;
  QString start;
  FakeFileList list;
  RecordingPrompts prompts;
  EventPump pump;
  Http engine;
  // A page as the site serves it, asked for at once.
  Answer Fetch(const QString& address, FileSystem::ScratchFile& file) {
    const auto page = site.StartPage(address, file);
    return site.CompletePage(*page, [] { return false; });
  }

  HttpPageSource site{engine.run()};
  TestPages pages{site};
  RealFileSystem disk;
  Crawler crawler{list, prompts, pump, pages, disk, [this] { return start; }};
};

using CrawlFixture = CrawlFixtureOn<TestEngine>;

const QString kSite = "http://h";

// A page played in `pieces` pieces, one a pass of the event loop.
FakeHttp::Try Page(const QByteArray& body, int pieces = 1,
                   const QByteArray& type = "text/html") {
  FakeHttp::Try page{{body}, Response{.status = 200, .content_type = type}};
  for (int i = 1; i < pieces; ++i) page.pieces << " ";
  return page;
}

FakeHttp::Try Answered(int status) { return {{}, Response{.status = status}}; }

// A page of links to `names`, in that order.
FakeHttp::Try LinksTo(const QByteArrayList& names) {
  QByteArray page;
  for (const QByteArray& name : names) page += "<a href=\"" + name + "\">l</a>";
  return Page(page);
}

const FakeHttp::Try kImage = Page("<img src=\"f.png\">");

// A walk from kSite over pages played without a network, by their paths;
// any other is missing.
struct ScriptedCrawl : CrawlFixtureOn<FakeHttp> {
  ScriptedCrawl() {
    engine.serve = [this](const QString& address) {
      const auto found = site.find(address.mid(kSite.size()));
      return found == site.end() ? Answered(404) : found->second;
    };
  }
  QStringList Walk() { return CrawlFixtureOn::Walk(kSite + "/"); }

  std::map<QString, FakeHttp::Try> site;
};

// A site served page by page and walked from `start`: the rows the walk
// lists (after the server's address), which of them are marked failed, and
// the paths asked for exactly once. "{site}" in a page stands for the
// server's address.
struct WalkCase {
  struct Page {
    std::string path;
    std::string body;
    int status = 200;
  };
  const char* name;
  std::vector<Page> pages;
  QString start;
  QStringList rows;
  QStringList failed;
  std::vector<std::string> asked_once;
};

const std::vector<WalkCase>& WalkCases() {
  static const std::vector<WalkCase> cases = {
      {"depth first in the order found",
       {{"/",
         "<a href=\"f1/\">1</a><img src=\"logo.png\">"
         "<a href=\"f2/\">2</a><a href=\"page.html\">p</a>"
         "<a href=\"f3/\">3</a>"},
        {"/f1/", "<img src=\"one.gif\">"},
        {"/f2/", "<a href=\"deep/\">d</a><img src=\"two.gif\">"},
        {"/f2/deep/", "<a href=\"deeper/\">x</a><img src=\"d.gif\">"},
        {"/f2/deep/deeper/", "<img src=\"dd.gif\">"},
        {"/f3/", "<img src=\"three.gif\"><a href=\"../f1/\">up</a>"}},
       "",
       {"/", "/logo.png", "/page.html", "/f3/", "/f3/three.gif", "/f2/",
        "/f2/two.gif", "/f2/deep/", "/f2/deep/d.gif", "/f2/deep/deeper/",
        "/f2/deep/deeper/dd.gif", "/f1/", "/f1/one.gif"},
       {},
       {"/f1/"}},
      {"a folder linked from two pages is visited once",
       {{"/", "<a href=\"a/\">a</a><a href=\"b/\">b</a>"},
        {"/a/", "<a href=\"{site}/b/\">b</a>"},
        {"/b/", "<a href=\"{site}/a/\">a</a><img src=\"b.png\">"}},
       "/",
       {"/", "/b/", "/b/b.png", "/a/"},
       {},
       {"/a/", "/b/"}},
      {"directory listing sort links are not followed",
       {{"/", R"(<html><body><h1>Index of /</h1><table>
<tr><th><a href="?C=N;O=D">Name</a></th><th><a href="?C=M;O=A">Last modified</a></th>
<th><a href="?C=S;O=A">Size</a></th><th><a href="?C=D;O=A">Description</a></th></tr>
<tr><td><a href="/">Parent Directory</a></td></tr>
<tr><td><a href="docs/">docs/</a></td></tr>
<tr><td><a href="notes.txt">notes.txt</a></td></tr>
</table></body></html>)"},
        {"/docs/", R"(<h1>Index of /docs</h1>
<a href="?C=N;O=D">Name</a><a href="/">Parent Directory</a>
<a href="manual.pdf">manual.pdf</a>)"}},
       "/",
       {"/", "/notes.txt", "/docs/", "/docs/manual.pdf"},
       {},
       {"/"}},
      {"in-page anchors end at once",
       {{"/",
         "<a href=\"#top\">top</a><a href=\"sub\">s</a>"
         "<a href=\"#x\">x</a>"},
        {"/sub/", "<a href=\"#top\">top</a><img src=\"i.png\">"}},
       "/",
       {"/", "/sub/", "/sub/i.png"},
       {},
       {"/", "/sub/"}},
      {"relative dot folders end the walk",
       {{"/a/",
         "<a href=\"./\">here</a><a href=\"../a/\">again</a>"
         "<a href=\"b/\">b</a>"},
        {"/a/b/", "<a href=\"../\">up</a><img src=\"x.png\">"}},
       "/a/",
       {"/a/", "/a/b/", "/a/b/x.png"},
       {},
       {}},
      // Views of a page that only a query tells apart are not pages of
      // their own, and "./" and "../" lead where they point: a listing like
      // Caddy's is walked once through.
      {"query views and dot folders of a listing",
       {{"/",
         "<a href=\"?sort=name&amp;order=asc\">n</a>"
         "<a href='?view=list'>v</a><a href=\"?C=N;O=D\">c</a>"
         "<a href=\"./docs/\">d</a>"},
        {"/docs/",
         "<a href=\"?sort=name&amp;order=asc\">n</a>"
         "<a href='?view=list'>v</a><a href=\"?C=N;O=D\">c</a>"
         "<a href=\"../\">up</a><a href=\"./f.txt\">f</a>"}},
       "/",
       {"/", "/docs/", "/docs/f.txt"},
       {},
       {"/", "/docs/"}},
      // A dot-less link that fails as a folder and is a page, or fails as
      // itself too, adds nothing but its failed folder row.
      {"dot-less links that are no files",
       {{"/", "<a href=\"gone\">g</a><a href=\"page\">p</a>"},
        {"/page", "<html>a page</html>"}},
       "/",
       {"/", "/page/", "/gone/"},
       {"/page/", "/gone/"},
       {"/gone", "/page"}},
  };
  return cases;
}

}  // namespace

class CrawlerTest : public QObject {
  Q_OBJECT

 private slots:
  void PageAddressAndBase_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("fetch");
    QTest::addColumn<QString>("base");
    const QString p = "http://h.example";
    QTest::newRow("bare scheme and host") << p << p + "/" << p + "/" << p;
    QTest::newRow("host without scheme") << "h.example" << p + "/"
                                         << "h.example/"
                                         << "h.example";
    QTest::newRow("secure site") << "https://h.example/"
                                 << "https://h.example/"
                                 << "https://h.example/"
                                 << "https://h.example";
    QTest::newRow("html page")
        << p + "/index.html" << p + "/index.html/" << p + "/index.html" << p;
    QTest::newRow("htm page")
        << p + "/a/b.htm" << p + "/a/b.htm/" << p + "/a/b.htm" << p + "/a";
    QTest::newRow("php anywhere")
        << p + "/index.php?id=2" << p + "/index.php?id=2/"
        << p + "/index.php?id=2" << p;
    QTest::newRow("capital HTM is a folder")
        << p + "/Index.HTM" << p + "/Index.HTM/" << p + "/Index.HTM/"
        << p + "/Index.HTM";
    QTest::newRow("leading slash") << "/x"
                                   << "http://x/"
                                   << "/x/"
                                   << "/x";
    QTest::newRow("empty") << ""
                           << "http:///"
                           << "/"
                           << "";
    QTest::newRow("bare http://") << "http://"
                                  << "http://"
                                  << "http://"
                                  << "http:/";
  }
  void PageAddressAndBase() {
    QFETCH(QString, address);
    QFETCH(QString, row);
    QFETCH(QString, fetch);
    QFETCH(QString, base);
    CrawlFixture fixture;
    QCOMPARE(PageRowText(address), row);
    fixture.crawler.SetPageAddress(address);
    QCOMPARE(fixture.crawler.page_address(), fetch);
    QCOMPARE(fixture.crawler.page_base(), base);
  }

  void PageWithoutSlashKeepsTheOldBase() {
    CrawlFixture fixture;
    fixture.crawler.SetPageAddress("http://h/a/");
    fixture.crawler.SetPageAddress("index.html");
    QCOMPARE(fixture.crawler.page_address(), QString("index.html"));
    QCOMPARE(fixture.crawler.page_base(), QString("http://h/a"));
  }

  void PageFilesLiveInTempUnderNamesOfTheirOwn() {
    QTemporaryDir dir;
    qputenv("TEMP", dir.path().toLocal8Bit());
    QCOMPARE(TempPageTemplate(), dir.path() + "/HTMLXXXXXX.tmp");
    qputenv("TEMP", "");
    QCOMPARE(TempPageFolder(), QDir::tempPath());
    qunsetenv("TEMP");
    QCOMPARE(TempPageFolder(), QDir::tempPath());
  }

  // A walk inside a walk (two listings at once, as two copies of the
  // program would run them) never shares a page file, and each is gone
  // when its walk ends.
  void TwoWalksAtOnceEachHaveTheirOwnPageFile() {
    TestServer server;
    server.Serve("/one/", "<img src=\"1.png\">");
    server.Serve("/two/", "<img src=\"2.png\">");
    CrawlFixture outer;
    CrawlFixture inner;
    qputenv("TEMP", outer.temp.path().toLocal8Bit());
    QStringList page_files;
    QStringList inner_rows;
    // The file each page is fetched into.
    outer.pages.serve = [&](const QString& address,
                            FileSystem::ScratchFile& file) {
      page_files << file.name();
      inner_rows = inner.Walk(server.Url() + "/two/");
      return outer.Fetch(address, file);
    };
    inner.pages.serve = [&](const QString& address,
                            FileSystem::ScratchFile& file) {
      page_files << file.name();
      return inner.Fetch(address, file);
    };
    const QString s = server.Url();
    QCOMPARE(outer.Walk(s + "/one/"),
             QStringList({s + "/one/", s + "/one/1.png"}));
    QCOMPARE(inner_rows, QStringList({s + "/two/", s + "/two/2.png"}));
    QCOMPARE(page_files.size(), 2);
    QVERIFY(page_files[0] != page_files[1]);
    for (const QString& name : page_files) {
      QVERIFY(QFileInfo(name).fileName().startsWith("HTML"));
      QVERIFY(!QFileInfo(name).fileName().contains("XXXXXX"));
      QVERIFY(!QFile::exists(name));
    }
    QVERIFY(QDir(outer.temp.path()).isEmpty());
  }

  void WalksTheSiteAsLinked_data() {
    QTest::addColumn<int>("index");
    for (size_t i = 0; i < WalkCases().size(); ++i) {
      QTest::newRow(WalkCases()[i].name) << static_cast<int>(i);
    }
  }
  void WalksTheSiteAsLinked() {
    QFETCH(int, index);
    const WalkCase& walk = WalkCases()[static_cast<size_t>(index)];
    TestServer server;
    const QString s = server.Url();
    for (const WalkCase::Page& page : walk.pages) {
      QString body = QString::fromStdString(page.body);
      body.replace("{site}", s);
      server.Serve(page.path, body.toStdString(), page.status);
    }
    CrawlFixture fixture;
    QStringList rows;
    for (const QString& row : walk.rows) rows << s + row;
    QCOMPARE(fixture.Walk(s + walk.start), rows);
    for (qsizetype row = 1; row <= rows.size(); ++row) {
      const bool failed = walk.failed.contains(walk.rows[row - 1]);
      QVERIFY2(fixture.list.FailureOf(row).isEmpty() != failed,
               qPrintable(rows[row - 1]));
      QCOMPARE(fixture.list.Ticked(row), !failed);
    }
    for (const std::string& path : walk.asked_once) {
      QVERIFY2(server.Requests(path) == 1, path.c_str());
    }
    QVERIFY(fixture.prompts.boxes.isEmpty());
    // Nothing is left in the temporary folder.
    QVERIFY(QDir(fixture.temp.path()).isEmpty());
  }

  // The page itself is fetched, but only addresses that contain the whole
  // start address belong to the site.
  void PageLikeStartAddress() {
    TestServer server;
    server.Serve("/index.html",
                 "<img src=\"a.png\"><img src=\"index.html?v=2\">");
    CrawlFixture fixture;
    const QString s = server.Url();
    QCOMPARE(fixture.Walk(s + "/index.html"),
             QStringList({s + "/index.html/", s + "/index.html?v=2"}));
    QCOMPARE(server.Requests("/index.html"), 1);
    QCOMPARE(fixture.crawler.page_base(), s);
  }

  // A visit outside a walk has no page file to fetch into: it says so in a
  // report, and its row stays, marked and unticked.
  void AVisitOutsideAWalkHasNoPageFile() {
    CrawlFixture fixture;
    fixture.crawler.VisitPage("http://127.0.0.1:1/");
    QCOMPARE(fixture.Rows(), QStringList({"http://127.0.0.1:1/"}));
    QCOMPARE(fixture.prompts.boxes.size(), 1);
    const QString report = fixture.prompts.boxes[0].text;
    QVERIFY2(report.startsWith("Bad file name or number\r\n"),
             qPrintable(report));
    QVERIFY(report.contains("at line 118\r\r"));
    QCOMPARE(fixture.list.FailureOf(1), QString("Not fetched"));
    QVERIFY(!fixture.list.Ticked(1));
  }

  void SecureSiteIsFetchedSecurely() {
    CrawlFixture fixture;
    QStringList fetched;
    fixture.pages.serve = [&](const QString& address,
                              FileSystem::ScratchFile& file) {
      fetched << address;
      const QByteArray page =
          address.endsWith("/sub/")
              ? QByteArray("<img src=\"b.png\">")
              : QByteArray("<img src=\"a.png\"><a href=\"sub/\">s</a>");
      return file.Write(page.constData(), page.size()).ok()
                 ? ServedPage()
                 : Answer(Status::Failure("cannot write the page"));
    };
    const QString q = "https://h.example";
    QCOMPARE(
        fixture.Walk(q + "/"),
        QStringList({q + "/", q + "/a.png", q + "/sub/", q + "/sub/b.png"}));
    QCOMPARE(fetched, QStringList({q + "/", q + "/sub/"}));
  }

  void SecureSiteIsListedOverHttps() {
    const std::string certs = TRAWLBOX_TEST_CERT_DIR;
    HttpsServer server(certs + "/server.pem", certs + "/server.key");
    QVERIFY(server.valid());
    auto page = [](const std::string& body) {
      return [body](const httplib::Request&, httplib::Response& response) {
        response.set_content(body, "text/html");
      };
    };
    server.Handle("/", page("<img src=\"a.png\"><a href=\"/sub/\">s</a>"));
    server.Handle("/sub/", page("<img src=\"b.png\">"));
    CrawlFixture fixture;
    fixture.engine.set_ca_file(QString::fromStdString(certs + "/ca.pem"));
    const QString q = server.Url();
    QCOMPARE(
        fixture.Walk(q + "/"),
        QStringList({q + "/", q + "/a.png", q + "/sub/", q + "/sub/b.png"}));
    for (qsizetype row = 1; row <= fixture.list.Count(); ++row) {
      QVERIFY(fixture.list.FailureOf(row).isEmpty());
    }
  }

  void FailedPagesKeepTheirRowMarkedAndUnticked_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason");
    QTest::newRow("404") << 404 << "HTTP 404";
    QTest::newRow("500") << 500 << "HTTP 500";
    QTest::newRow("503") << 503 << "HTTP 503";
  }
  void FailedPagesKeepTheirRowMarkedAndUnticked() {
    QFETCH(int, status);
    QFETCH(QString, reason);
    TestServer server;
    server.Serve("/", "<a href=\"bad/\">b</a><a href=\"good/\">g</a>");
    server.Serve("/bad/", "<img src=\"never.png\">", status);
    server.Serve("/good/", "<img src=\"g.png\">");
    CrawlFixture fixture;
    const QString s = server.Url();
    QCOMPARE(
        fixture.Walk(s + "/"),
        QStringList({s + "/", s + "/good/", s + "/good/g.png", s + "/bad/"}));
    QVERIFY(!fixture.list.Ticked(4));
    QVERIFY(fixture.list.Ticked(3));
    QVERIFY2(fixture.list.FailureOf(4).startsWith(reason),
             qPrintable(fixture.list.FailureOf(4)));
    QVERIFY(fixture.list.FailureOf(1).isEmpty());
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  void UnreachableStartLeavesOneMarkedRow() {
    CrawlFixture fixture;
    QCOMPARE(fixture.Walk("http://127.0.0.1:1/"),
             QStringList({"http://127.0.0.1:1/"}));
    QVERIFY(!fixture.list.FailureOf(1).isEmpty());
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  void OddStartAddressesGiveTheirRows_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("row");
    QTest::newRow("empty") << ""
                           << "http:///";
    QTest::newRow("scheme only") << "http://"
                                 << "http://";
    QTest::newRow("no scheme") << "no-such-host.invalid"
                               << "http://no-such-host.invalid/";
    QTest::newRow("spaces") << "http://a b/"
                            << "http://a b/";
  }
  void OddStartAddressesGiveTheirRows() {
    QFETCH(QString, start);
    QFETCH(QString, row);
    CrawlFixture fixture;
    QCOMPARE(fixture.Walk(start), QStringList({row}));
    QVERIFY(!fixture.list.FailureOf(1).isEmpty());
  }

  void EmptyPageYieldsNothing() {
    TestServer server;
    server.Serve("/", "<a href=\"empty/\">e</a><img src=\"a.png\">");
    server.Serve("/empty/", "");
    CrawlFixture fixture;
    const QString s = server.Url();
    QCOMPARE(fixture.Walk(s + "/"),
             QStringList({s + "/", s + "/a.png", s + "/empty/"}));
    QCOMPARE(fixture.crawler.page_length(), 0);
  }

  void RedirectsAreFollowedLoopsFail() {
    TestServer server;
    server.Handle("/moved/",
                  [&](const httplib::Request&, httplib::Response& response) {
                    response.set_redirect(server.Url("/real/").toStdString());
                  });
    server.Handle("/loop/",
                  [&](const httplib::Request&, httplib::Response& response) {
                    response.set_redirect(server.Url("/loop/").toStdString());
                  });
    server.Serve("/", "<a href=\"moved/\">m</a><a href=\"loop/\">l</a>");
    server.Serve("/real/", "<img src=\"r.png\">");
    CrawlFixture fixture;
    const QString s = server.Url();
    // The base stays that of the address the page was asked for.
    QCOMPARE(fixture.Walk(s + "/"),
             QStringList(
                 {s + "/", s + "/loop/", s + "/moved/", s + "/moved/r.png"}));
    QVERIFY(!fixture.list.FailureOf(2).isEmpty());
    QVERIFY(fixture.list.FailureOf(3).isEmpty());
  }

  void StalledServerCostsOneFailedFetch() {
    TestServer server;
    server.Handle(
        "/stall/", [](const httplib::Request&, httplib::Response& response) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1500));
          response.set_content("<img src=\"late.png\">", "text/html");
        });
    server.Serve("/", "<a href=\"stall/\">s</a><img src=\"a.png\">");
    CrawlFixture fixture;
    fixture.engine.set_stall_timeout_ms(300);
    const QString s = server.Url();
    QCOMPARE(fixture.Walk(s + "/"),
             QStringList({s + "/", s + "/a.png", s + "/stall/"}));
    QVERIFY(fixture.list.FailureOf(3).contains("No data"));
  }

  void LargeAndHostilePagesYieldJustTheirLinks() {
    // 50 MB of binary junk (no double quote in it) with a few markers, and
    // a page of 100,000 links.
    std::mt19937 random(7);
    std::string junk(50 << 20, '\0');
    for (char& c : junk) {
      c = static_cast<char>(random());
      if (c == '"') c = 'x';
    }
    junk.replace(1000, 14, "src=\"one.bin\"");
    junk.replace(30 << 20, 20, "HREF=\"two.html\"\xff\xfe\x00");
    junk.replace(junk.size() - 8, 8, "src=\"cut");
    std::string many;
    for (int i = 0; i < 100'000; ++i) {
      many += "<a href=\"f" + std::to_string(i) + ".html\">x</a>";
    }
    TestServer server;
    server.Serve("/", "<a href=\"junk/\">j</a><a href=\"many/\">m</a>");
    server.Serve("/junk/", junk, 200, "application/octet-stream");
    server.Serve("/many/", many);
    CrawlFixture fixture;
    const QString s = server.Url();
    const QStringList rows = fixture.Walk(s + "/");
    QCOMPARE(rows.size(), 1 + 1 + 100'000 + 1 + 2);
    QCOMPARE(rows[2], s + "/many/f0.html");
    QCOMPARE(rows[100'001], s + "/many/f99999.html");
    QCOMPARE(rows.mid(100'002), QStringList({s + "/junk/", s + "/junk/one.bin",
                                             s + "/junk/two.html"}));
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  // Escape during a page that is still arriving ends its fetch at once;
  // the rows found so far stay and nothing else is visited.
  void StopEndsThePageFetchInWork() {
    // Declared before the server, whose thread uses them until it stops.
    std::atomic<int> pieces_sent{0};
    CrawlFixture fixture;
    TestServer server;
    server.Serve("/", "<a href=\"a/\">a</a><a href=\"slow/\">s</a>");
    server.Serve("/a/", "<img src=\"a.png\">");
    server.Handle("/slow/", [&](const httplib::Request&,
                                httplib::Response& response) {
      response.set_chunked_content_provider(
          "text/html", [&](size_t, httplib::DataSink& sink) {
            if (pieces_sent == 1) {
              QMetaObject::invokeMethod(
                  QCoreApplication::instance(),
                  [&] { fixture.crawler.RequestStop(); }, Qt::QueuedConnection);
            }
            if (pieces_sent == 200) {
              sink.done();
              return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ++pieces_sent;
            return sink.write("<img src=\"s.png\">", 17);
          });
    });
    const QString s = server.Url();
    // "/a/" may have been fetched ahead; it is never visited, and no page
    // file of the walk is left.
    QCOMPARE(fixture.Walk(s + "/"), QStringList({s + "/", s + "/slow/"}));
    QVERIFY(QDir(fixture.temp.path()).isEmpty());
    QVERIFY(pieces_sent < 200);
    QVERIFY(fixture.list.FailureOf(2).isEmpty());
    // The next walk starts afresh.
    fixture.list.Clear();
    QCOMPARE(fixture.Walk(s + "/a/"), QStringList({s + "/a/", s + "/a/a.png"}));
  }

  // A server that answers every path with the same page of root-relative
  // links (a single-page application) offers only the same few folders.
  void CatchAllSiteEnds() {
    TestServer server;
    server.server().set_pre_routing_handler(
        [](const httplib::Request& request, httplib::Response& response) {
          if (request.path.rfind("/app/", 0) != 0) {
            return httplib::Server::HandlerResponse::Unhandled;
          }
          response.set_content(
              "<a href=\"/app/home\">h</a><a href=\"/app/about/\">a</a>"
              "<a href=\"/app/x/y\">x</a><a href=\"/\">root</a>"
              "<img src=\"/app/logo.png\">",
              "text/html");
          return httplib::Server::HandlerResponse::Handled;
        });
    CrawlFixture fixture;
    const QString s = server.Url();
    QCOMPARE(fixture.Walk(s + "/app/"),
             QStringList({s + "/app/", s + "/app/logo.png", s + "/app/x/y/",
                          s + "/app/about/", s + "/app/home/"}));
  }

  // An Apache directory listing: root-relative "Parent Directory" links,
  // files with and without a dot, and a folder linked without its slash
  // that the server redirects.
  void ApacheListingsGiveNoFailedRows() {
    TestServer server;
    server.Serve("/doc/", R"(<h1>Index of /doc</h1>
<a href="?C=N;O=D">Name</a><a href="/">Parent Directory</a>
<a href="pkg/">pkg/</a>)");
    server.Serve("/doc/pkg/", R"(<h1>Index of /doc/pkg</h1>
<a href="/doc/">Parent Directory</a><a href="changelog.gz">changelog.gz</a>
<a href="copyright">copyright</a><a href="examples">examples</a>)");
    server.Serve("/doc/pkg/copyright", "Format: dep5", 200, "text/plain");
    server.Handle("/doc/pkg/examples",
                  [&](const httplib::Request&, httplib::Response& response) {
                    response.set_redirect(
                        server.Url("/doc/pkg/examples/").toStdString(), 301);
                  });
    server.Serve("/doc/pkg/examples/", R"(<h1>Index of /doc/pkg/examples</h1>
<a href="/doc/pkg/">Parent Directory</a><a href="README">README</a>)");
    server.Serve("/doc/pkg/examples/README", "read me", 200,
                 "application/octet-stream");
    CrawlFixture fixture;
    const QString s = server.Url();
    QCOMPARE(
        fixture.Walk(s + "/doc/"),
        QStringList({s + "/doc/", s + "/doc/pkg/", s + "/doc/pkg/changelog.gz",
                     s + "/doc/pkg/examples/", s + "/doc/pkg/examples/README/",
                     s + "/doc/pkg/examples/README", s + "/doc/pkg/copyright/",
                     s + "/doc/pkg/copyright"}));
    for (qsizetype row : {1, 2, 3, 4, 6, 8}) {
      QVERIFY2(fixture.list.FailureOf(row).isEmpty(),
               qPrintable(QString::number(row)));
      QVERIFY(fixture.list.Ticked(row));
    }
    // The folder that "/" made of a file is listed unticked, and asked for
    // once; the file itself once more.
    QVERIFY(!fixture.list.Ticked(5) && !fixture.list.Ticked(7));
    QCOMPARE(server.Requests("/doc/pkg/copyright/"), 1);
    QCOMPARE(server.Requests("/doc/pkg/copyright"), 1);
    QCOMPARE(server.Requests("/"), 0);
    // A folder is asked for with its slash, never redirected to it.
    QCOMPARE(server.Requests("/doc/pkg/examples"), 0);
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  // The folders next in the queue are fetched ahead, but the rows, their
  // order and the requests are those of a walk of one page at a time.
  void FetchingAheadChangesNoRow() {
    TestServer server;
    std::mutex mutex;
    QStringList asked;
    server.server().set_pre_routing_handler(
        [&](const httplib::Request& request, httplib::Response&) {
          std::lock_guard<std::mutex> lock(mutex);
          asked << QString::fromStdString(request.path);
          return httplib::Server::HandlerResponse::Unhandled;
        });
    std::string root;
    for (int d = 1; d <= 5; ++d) {
      const std::string folder = "/d" + std::to_string(d) + "/";
      root += "<a href=\"d" + std::to_string(d) + "/\">d</a>";
      server.Serve(folder,
                   "<img src=\"f.png\"><a href=\"sub/\">s</a>"
                   "<a href=\"README\">r</a>");
      server.Serve(folder + "sub/", "<img src=\"g.png\">");
      // Missing as a folder: looked at as linked, ahead or in its turn.
      server.Serve(folder + "README", "read me", 200, "text/plain");
    }
    server.Serve("/", root);
    // The first folder visited answers slowly: its siblings are asked for
    // meanwhile when they are fetched ahead.
    server.Handle("/d5/",
                  [](const httplib::Request&, httplib::Response& response) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(300));
                    response.set_content(
                        "<img src=\"f.png\"><a href=\"sub/\">s</a>"
                        "<a href=\"README\">r</a>",
                        "text/html");
                  });
    const QString s = server.Url();
    QStringList rows[2];
    QStringList requests[2];
    for (const int connections : {1, 6}) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        asked.clear();
      }
      CrawlFixture fixture;
      fixture.engine.set_connections(connections);
      rows[connections == 6] = fixture.Walk(s + "/");
      std::lock_guard<std::mutex> lock(mutex);
      requests[connections == 6] = asked;
    }
    QCOMPARE(rows[1], rows[0]);
    QCOMPARE(rows[0].size(), 1 + 5 * 6);
    QVERIFY(rows[0].contains(s + "/d3/README"));
    QCOMPARE(QSet(requests[1].begin(), requests[1].end()),
             QSet(requests[0].begin(), requests[0].end()));
    QCOMPARE(requests[1].size(), requests[0].size());  // none twice
    QVERIFY(requests[0].indexOf("/d5/sub/") < requests[0].indexOf("/d4/"));
    QVERIFY(requests[1].indexOf("/d4/") < requests[1].indexOf("/d5/sub/"));
  }

  // Each try of a page starts its file afresh: a try cut off after a long
  // start leaves nothing of it under the shorter page the next try brings.
  void EachTryOfAPageStartsItsFileAfresh() {
    CrawlFixtureOn<FakeHttp> fixture;
    fixture.engine.tries = {
        {{"a long start, then a cut"}, Status::Transient("cut")}, {{"<p>"}}};
    auto file = fixture.disk.CreateScratch(TempPageTemplate());
    QVERIFY(file.ok());
    const auto scratch = file.Take();
    QVERIFY(fixture.Fetch("http://h/", *scratch).ok());
    QVERIFY(scratch->Rewind().ok());
    QByteArray read(64, '\0');
    read.resize(scratch->Read(read.data(), read.size()).value());
    QCOMPARE(read, QByteArray("<p>"));
  }

  // With room for two requests the walk keeps at most two under way, the
  // page in its visit and the looks at missing folder forms included. It
  // asks for what a walk of one page at a time asks for (a folder form
  // answered with a file is not read for folders), and for each folder
  // before its visit lists it, also past a last entry listed already.
  void FetchingAheadKeepsToTheRoom() {
    QStringList rows[2];
    QStringList asked[2];
    for (const int room : {1, 2}) {
      ScriptedCrawl walk;
      walk.engine.SetRoom(room);
      walk.site["/"] = LinksTo({"d1/", "NOTES", "d2/", "R", "slow/", "./"});
      walk.site["/slow/"] = walk.site["/d2/"] = Page("<img src=\"f.png\">", 8);
      walk.site["/d1/"] = kImage;
      walk.site["/R"] = Page("read me", 1, "text/plain");
      walk.site["/NOTES/"] = Page("<a href=\"in/\">i</a>", 1, "text/plain");
      // The look at "R" lasts until its visit needs it.
      walk.engine.held = {kSite + "/R"};
      QStringList late;
      walk.list.on_add = [&](const QString& row) {
        if (row == kSite + "/R/") walk.engine.Release(kSite + "/R");
        if (row.endsWith('/') && !walk.engine.asked.contains(row)) late << row;
      };
      rows[room - 1] = walk.Walk();
      QCOMPARE(late, QStringList());
      QCOMPARE(walk.engine.peak, room);
      QCOMPARE(walk.engine.looked, QStringList({kSite + "/R"}));
      asked[room - 1] = walk.engine.asked;
      asked[room - 1].sort();
    }
    QCOMPARE(rows[1], rows[0]);
    QVERIFY(rows[0].contains(kSite + "/R") &&
            rows[0].contains(kSite + "/NOTES"));
    QCOMPARE(asked[1], asked[0]);
    QVERIFY(!asked[0].contains(kSite + "/NOTES/in/"));
  }

  // A page read ahead of its visit leads the walk on: what it links to is
  // asked for while an earlier page keeps its visit waiting. The first
  // bytes it keeps still tell a file served for a folder form.
  void PagesReadAheadLeadTheWalkOn() {
    ScriptedCrawl walk;
    walk.engine.SetRoom(4);
    walk.site["/"] = LinksTo({"a/", "R", "b/"});
    walk.site["/b/"] = walk.site["/a/c/"] = kImage;
    walk.site["/R/"] = Page("read me", 1, "");
    // In pieces, so R's answer is read first.
    walk.site["/a/"] = Page("<a href=\"c/\">c</a>", 8);
    const QString held = kSite + "/b/";
    walk.engine.held = {held};
    bool led_on = false;
    walk.engine.serve = [&, serve = walk.engine.serve](const QString& address) {
      if (address == kSite + "/a/c/" && walk.engine.held.contains(held)) {
        led_on = true;
        walk.engine.Release(held);
      }
      return serve(address);
    };
    QTimer valve;  // a walk not led on would wait for ever
    QObject::connect(&valve, &QTimer::timeout,
                     [&] { walk.engine.Release(held); });
    valve.start(10000);
    QCOMPARE(walk.Walk(), QStringList({kSite + "/", held, held + "f.png",
                                       kSite + "/R", kSite + "/a/",
                                       kSite + "/a/c/", kSite + "/a/c/f.png"}));
    QVERIFY(led_on);
  }

  // While a page's links are handled the end of the queue is not known: a
  // request that ends then starts no other. Escape then ends the requests
  // fetched ahead with the walk, and the next walk asks for its pages
  // afresh.
  void AScanStartsNothingAndAStopLeavesNothing() {
    ScriptedCrawl walk;
    walk.engine.SetRoom(3);
    walk.site["/"] = LinksTo({"a/", "b/", "c/", "d/"});
    walk.site["/a/"] = walk.site["/b/"] = walk.site["/c/"] = walk.site["/d/"] =
        kImage;
    // Fetched ahead, they come when they are let go.
    walk.engine.held = {kSite + "/b/", kSite + "/c/"};
    qsizetype before = -1;
    qsizetype after = -1;
    walk.list.on_add = [&](const QString& row) {
      if (row != kSite + "/d/f.png") return;
      before = walk.engine.asked.size();
      walk.engine.Release(kSite + "/c/");
      if (QTest::qWaitFor([&] { return walk.engine.Running().size() == 1; })) {
        // The request loop's pass after that end.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        after = walk.engine.asked.size();
      }
      walk.crawler.RequestStop();
    };
    QCOMPARE(walk.Walk().size(), 3);
    QVERIFY(before > 0);
    QCOMPARE(after, before);
    QCOMPARE(walk.engine.Running(), QStringList());
    // What a request left over would bring is stale by now.
    walk.engine.Release(kSite + "/b/");
    walk.site["/a/"] = walk.site["/b/"] = walk.site["/c/"] = walk.site["/d/"] =
        Page("<img src=\"new.png\">");
    walk.list.on_add = nullptr;
    walk.list.Clear();
    QCOMPARE(walk.Walk().filter("new.png").size(), 4);
  }

  // A link with its slash is no folder form: its failure costs one GET. A
  // dot-less link's folder form is looked at as linked (a HEAD) only when it
  // is missing for good; one that fails and then answers costs its tries.
  void LooksAtFolderFormsMissingForGood_data() {
    QTest::addColumn<QByteArray>("link");
    QTest::addColumn<QList<int>>("statuses");  // of the tries of "gone/"
    QTest::addColumn<QStringList>("looked");
    QTest::newRow("a folder, missing")
        << QByteArray("gone/") << QList<int>{404} << QStringList();
    QTest::newRow("a folder form, missing")
        << QByteArray("gone") << QList<int>{404}
        << QStringList{kSite + "/gone"};
    QTest::newRow("a folder form, failing, then a page")
        << QByteArray("gone") << QList<int>{503, 200} << QStringList();
  }
  void LooksAtFolderFormsMissingForGood() {
    QFETCH(QByteArray, link);
    QFETCH(QList<int>, statuses);
    QFETCH(QStringList, looked);
    ScriptedCrawl walk;
    // Visited first and slow: the other link's first answer comes before
    // its visit.
    walk.site["/"] = LinksTo({link, "slow/"});
    walk.site["/slow/"] = Page("", 8);
    qsizetype tries = 0;
    walk.engine.serve = [&, site = walk.engine.serve](const QString& address) {
      if (address != kSite + "/gone/") return site(address);
      const int status = statuses[std::min(tries++, statuses.size() - 1)];
      return status == 200 ? kImage : Answered(status);
    };
    walk.Walk();
    QCOMPARE(walk.engine.asked.count(kSite + "/gone/"), statuses.size());
    QCOMPARE(walk.engine.looked, looked);
  }

  // Escape after a folder form was fetched ahead, before its visit reads
  // the answer: the folder's row stays as it is, and no file row comes.
  void AStopBeforeAFolderFormIsRead() {
    ScriptedCrawl walk;
    walk.site["/"] = LinksTo({"README"});
    walk.site["/README/"] = Page("read me", 1, "text/plain");
    int completed = 0;  // the start page, then "README/"
    walk.pages.before_complete = [&](const PageSource::Pending& page) {
      if (++completed == 2 &&
          QTest::qWaitFor([&] { return page.finished(); })) {
        walk.crawler.RequestStop();
      }
    };
    QCOMPARE(walk.Walk(), QStringList({kSite + "/", kSite + "/README/"}));
    QVERIFY(walk.list.FailureOf(2).isEmpty() && walk.list.Ticked(2));
  }

  // A folder listed as a file by the time its visit comes is passed over,
  // and its fetch ahead ends with it: it holds no place.
  void AFolderListedMeanwhileLeavesNothingBehind() {
    ScriptedCrawl walk;
    walk.engine.SetRoom(2);
    walk.site["/"] = LinksTo({"q1/", "q2/", "a.html/", "p/"});
    walk.site["/p/"] = Page("<img src=\"/a.html/\">");
    walk.site["/q1/"] = walk.site["/q2/"] = kImage;
    // Its fetch ahead never comes.
    walk.engine.held = {kSite + "/a.html/"};
    std::optional<QStringList> running;
    walk.list.on_add = [&](const QString& row) {
      if (row == kSite + "/q2/") running = walk.engine.Running();
    };
    QCOMPARE(walk.Walk().mid(1, 3),
             QStringList({kSite + "/p/", kSite + "/a.html/", kSite + "/q2/"}));
    QCOMPARE(walk.engine.asked.count(kSite + "/a.html/"), 1);
    QVERIFY(running && !running->contains(kSite + "/a.html/"));
  }

  // A server that answers the folder form of a dot-less link with the file
  // itself: a type that is no page's, or none and a body that does not
  // start with "<", makes the link a file row as linked, unscanned.
  void FolderFormAnsweredWithTheFile_data() {
    QTest::addColumn<std::string>("type");
    QTest::addColumn<std::string>("body");
    QTest::addColumn<bool>("file");
    const std::string links = "<img src=\"inner.png\">";
    QTest::newRow("text/plain") << std::string("text/plain") << links << true;
    QTest::newRow("octet-stream")
        << std::string("application/octet-stream") << links << true;
    QTest::newRow("html with a charset")
        << std::string("text/html; charset=utf-8") << links << false;
    QTest::newRow("xhtml") << std::string("application/xhtml+xml") << links
                           << false;
  }
  void FolderFormAnsweredWithTheFile() {
    QFETCH(std::string, type);
    QFETCH(std::string, body);
    QFETCH(bool, file);
    TestServer server;
    server.Serve("/", "<a href=\"README\">r</a><a href=\"sub/\">s</a>");
    server.Handle("/README/",
                  [&](const httplib::Request&, httplib::Response& response) {
                    response.set_content(body, type);
                  });
    server.Serve("/sub/", "<a href=\"../README\">again</a>");
    CrawlFixture fixture;
    const QString s = server.Url();
    const QStringList rows = fixture.Walk(s + "/");
    if (file) {
      QCOMPARE(rows, QStringList({s + "/", s + "/sub/", s + "/README"}));
    } else {
      QCOMPARE(rows, QStringList({s + "/", s + "/sub/", s + "/README/",
                                  s + "/README/inner.png"}));
    }
    QCOMPARE(server.Requests("/README/"), 1);
    QCOMPARE(server.Requests("/README"), 0);
    for (qsizetype row = 1; row <= rows.size(); ++row) {
      QVERIFY(fixture.list.FailureOf(row).isEmpty());
      QVERIFY(fixture.list.Ticked(row));
    }
  }

  // Without a type, the body tells: markup after blanks is a page.
  void FolderFormWithoutAType_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("file");
    QTest::newRow("text") << QByteArray("  read me <img src=\"inner.png\">")
                          << true;
    QTest::newRow("markup")
        << QByteArray(" \r\n\t<img src=\"inner.png\">") << false;
    QTest::newRow("empty") << QByteArray() << false;
  }
  void FolderFormWithoutAType() {
    QFETCH(QByteArray, body);
    QFETCH(bool, file);
    RawServer server([&](QTcpSocket& socket) {
      socket.write("HTTP/1.1 200 OK\r\nContent-Length: " +
                   QByteArray::number(body.size()) + "\r\n\r\n" + body);
    });
    CrawlFixture fixture;
    const QString start = server.Url("/README");
    const QStringList rows = fixture.Walk(start);
    if (file) {
      QCOMPARE(rows, QStringList({start}));
    } else if (body.isEmpty()) {
      QCOMPARE(rows, QStringList({start + "/"}));
    } else {
      QCOMPARE(rows, QStringList({start + "/", start + "/inner.png"}));
    }
    QVERIFY(fixture.list.FailureOf(1).isEmpty());
  }

  void IsHtmlTypeLooksAtTheMediaTypeAlone_data() {
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<bool>("html");
    QTest::newRow("html") << QByteArray("text/html") << true;
    QTest::newRow("html with a charset")
        << QByteArray("text/html; charset=utf-8") << true;
    QTest::newRow("capitals") << QByteArray("TEXT/HTML; Charset=UTF-8") << true;
    QTest::newRow("blanks around")
        << QByteArray(" text/html ;charset=iso-8859-1") << true;
    QTest::newRow("xhtml") << QByteArray("application/xhtml+xml") << true;
    QTest::newRow("xhtml with a charset")
        << QByteArray("application/xhtml+xml; charset=utf-8") << true;
    QTest::newRow("plain text") << QByteArray("text/plain") << false;
    QTest::newRow("plain text with a charset")
        << QByteArray("text/plain; charset=utf-8") << false;
    QTest::newRow("octet-stream")
        << QByteArray("application/octet-stream") << false;
    QTest::newRow("none") << QByteArray() << false;
    QTest::newRow("longer name") << QByteArray("text/htmlx") << false;
    QTest::newRow("parameter first")
        << QByteArray("charset=utf-8; text/html") << false;
  }
  void IsHtmlTypeLooksAtTheMediaTypeAlone() {
    QFETCH(QByteArray, type);
    QFETCH(bool, html);
    QCOMPARE(IsHtmlType(type), html);
  }

  // A dot-less link whose folder form is missing is looked at as linked:
  // only an answer that comes, succeeds and is no page makes a file row.
  void DotlessLinkLookedAtAsLinked_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<std::string>("type");
    QTest::addColumn<bool>("file");
    QTest::newRow("a file") << 200 << std::string("text/plain") << true;
    QTest::newRow("a page") << 200 << std::string("text/html") << false;
    QTest::newRow("a page with a charset")
        << 200 << std::string("text/html; charset=utf-8") << false;
    QTest::newRow("missing, as text")
        << 404 << std::string("text/plain") << false;
    QTest::newRow("missing, as a page")
        << 404 << std::string("text/html") << false;
    QTest::newRow("failing, as text")
        << 500 << std::string("text/plain") << false;
  }
  void DotlessLinkLookedAtAsLinked() {
    QFETCH(int, status);
    QFETCH(std::string, type);
    QFETCH(bool, file);
    TestServer server;
    server.Serve("/", "<a href=\"x\">x</a>");
    server.Serve("/x", "what x is", status, type);
    CrawlFixture fixture;
    const QString s = server.Url();
    QStringList rows = {s + "/", s + "/x/"};
    if (file) rows << s + "/x";
    QCOMPARE(fixture.Walk(s + "/"), rows);
    QVERIFY(!fixture.list.FailureOf(2).isEmpty());
    QVERIFY(!fixture.list.Ticked(2));
    QCOMPARE(server.Requests("/x/"), 1);
    QVERIFY(server.Requests("/x") >= 1);
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  // The same look that gets no answer at all lists no file either.
  void DotlessLinkWhoseLookGetsNoAnswer_data() {
    QTest::addColumn<bool>("refused");
    QTest::newRow("connection closed") << false;
    QTest::newRow("connection refused") << true;
  }
  void DotlessLinkWhoseLookGetsNoAnswer() {
    QFETCH(bool, refused);
    const QByteArray page = "<a href=\"x\">x</a>";
    // Every request for "/x" ends before a byte of its answer.
    FlakyServer server({{"/", page}}, [](const QByteArray& path, int) {
      return path == "/x" ? Cut::kBeforeAnyByte : Cut::kNone;
    });
    CrawlFixture fixture;
    QString s = server.Url("");
    if (refused) {
      // Pages served without a network; the look goes to a port where
      // nothing listens.
      s = "http://127.0.0.1:1";
      fixture.pages.serve = [&](const QString& address,
                                FileSystem::ScratchFile& file) {
        if (address.endsWith("/x/")) {
          return Answer(Response{.status = 404, .reason = "Not Found"});
        }
        if (!file.Write(page.constData(), page.size()).ok()) {
          return Answer(Status::Failure("cannot write the page"));
        }
        return ServedPage();
      };
    }
    QCOMPARE(fixture.Walk(s + "/"), QStringList({s + "/", s + "/x/"}));
    QVERIFY(!fixture.list.FailureOf(2).isEmpty());
    if (!refused) QVERIFY(server.Requests("/x") >= 1);
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::CrawlerTest)
#include "crawler_test.moc"
