#include "crawl/link_handling.h"

#include <QtTest>

#include "crawl/pages_to_visit.h"
#include "gui/file_list_model.h"
#include "support/files.h"

namespace trawlbox {
namespace {

const QString kBase = "http://site.example/docs";  // B
const QString kStart = "http://site.example";      // T, contained in B

QStringList Queued(const PagesToVisit& pages) {
  QStringList queued;
  for (qsizetype i = 1; i <= pages.Count(); ++i) queued << pages.At(i);
  return queued;
}

}  // namespace

class LinkHandlingTest : public QObject {
  Q_OBJECT

 private slots:
  void Resolution_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("address");
    QTest::newRow("relative") << "img/a.png" << kBase + "/img/a.png";
    QTest::newRow("root-relative joins the origin")
        << "/img/a.png"
        << "http://site.example/img/a.png";
    QTest::newRow("two slashes take the scheme") << "//cdn.example/x.js"
                                                 << "http://cdn.example/x.js";
    QTest::newRow("absolute unchanged") << "http://other.example/a.png"
                                        << "http://other.example/a.png";
    QTest::newRow("absolute in capitals") << "HTTP://SITE.EXAMPLE/A.PNG"
                                          << "HTTP://SITE.EXAMPLE/A.PNG";
    QTest::newRow("https") << "https://site.example/x/"
                           << "https://site.example/x/";
    QTest::newRow("dot dot kept") << "../a.png" << kBase + "/../a.png";
    QTest::newRow("query kept") << "?C=N;O=D" << kBase + "/?C=N;O=D";
    QTest::newRow("fragment cut") << "#top" << kBase + "/";
    QTest::newRow("fragment after a file cut")
        << "a.html#part" << kBase + "/a.html";
    QTest::newRow("javascript")
        << "javascript:void(0)" << kBase + "/javascript:void(0)";
    QTest::newRow("empty") << "" << kBase + "/";
  }
  void Resolution() {
    QFETCH(QString, value);
    QFETCH(QString, address);
    QCOMPARE(ResolveLink(value, kBase), address);
  }

  void ResolutionAgainstOtherBases_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("address");
    QTest::newRow("port kept in the origin")
        << "http://127.0.0.1:8080/doc/adduser"
        << "/doc/"
        << "http://127.0.0.1:8080/doc/";
    QTest::newRow("secure origin") << "https://h.example/a/b"
                                   << "/c/d.png"
                                   << "https://h.example/c/d.png";
    QTest::newRow("secure scheme for two slashes")
        << "https://h.example/a"
        << "//cdn.example/x.js"
        << "https://cdn.example/x.js";
    QTest::newRow("base that is just the origin") << "http://h.example:81"
                                                  << "/x/"
                                                  << "http://h.example:81/x/";
    QTest::newRow("origin-relative dot dot kept")
        << "http://h.example/a"
        << "/../x.png"
        << "http://h.example/../x.png";
    QTest::newRow("no scheme: one slash dropped") << "h.example/a"
                                                  << "/x.png"
                                                  << "h.example/a/x.png";
    QTest::newRow("no scheme: two slashes keep one") << "h.example"
                                                     << "//x.png"
                                                     << "h.example//x.png";
    QTest::newRow("fragment cut after the origin") << "http://h.example/a"
                                                   << "/#top"
                                                   << "http://h.example/";
    QTest::newRow("query and case kept") << "http://h.example/a"
                                         << "/B/?q=1"
                                         << "http://h.example/B/?q=1";
  }
  void ResolutionAgainstOtherBases() {
    QFETCH(QString, base);
    QFETCH(QString, value);
    QFETCH(QString, address);
    QCOMPARE(ResolveLink(value, base), address);
  }

  void SortLinks_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("sort");
    QTest::newRow("name descending") << kBase + "/?C=N;O=D" << true;
    QTest::newRow("lower case") << kBase + "/?c=m;o=a" << true;
    QTest::newRow("order before column") << kBase + "/;O=D?C=N" << false;
    QTest::newRow("no order") << kBase + "/?C=N" << false;
    QTest::newRow("no slash before") << kBase + "?C=N;O=D" << false;
    QTest::newRow("plain folder") << kBase + "/sub/" << false;
  }
  void SortLinks() {
    QFETCH(QString, address);
    QFETCH(bool, sort);
    QCOMPARE(IsSortLink(address), sort);
  }

  // What one link leaves behind: the rows and the queue.
  void Handling_data() {
    QTest::addColumn<bool>("source");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("queued");
    const QStringList none;
    QTest::newRow("source file listed")
        << true << "img/a.png" << kStart << QStringList{kBase + "/img/a.png"}
        << none;
    QTest::newRow("source without a dot is still a file")
        << true << "script" << kStart << QStringList{kBase + "/script"} << none;
    QTest::newRow("source on another site")
        << true << "http://other.example/a.png" << kStart << none << none;
    QTest::newRow("same site in other case")
        << true << "HTTP://SITE.EXAMPLE/A.PNG" << kStart
        << QStringList{"HTTP://SITE.EXAMPLE/A.PNG"} << none;
    QTest::newRow("climbing file refused")
        << true << "../a.png" << kStart << none << none;
    QTest::newRow("source with @ dropped")
        << true << "me@site.example/a.png" << kStart << none << none;
    QTest::newRow("source file:// dropped")
        << true << "http://site.example/file://a.png" << kStart << none << none;
    QTest::newRow("reference page is a file")
        << false << "page.html" << kStart << QStringList{kBase + "/page.html"}
        << none;
    QTest::newRow("reference folder queued")
        << false << "sub/" << kStart << none << QStringList{kBase + "/sub/"};
    QTest::newRow("reference folder without slash")
        << false << "sub" << kStart << none << QStringList{kBase + "/sub"};
    QTest::newRow("sort link dropped")
        << false << "?C=N;O=D" << kStart << none << none;
    QTest::newRow("mailto refused for its @")
        << false << "mailto:me@site.example" << kStart << none << none;
    QTest::newRow("anchor ends at the page itself")
        << false << "#top" << kStart << none << QStringList{kBase + "/"};
    QTest::newRow("javascript queued")
        << false << "javascript:void(0)" << kStart << none
        << QStringList{kBase + "/javascript:void(0)"};
    QTest::newRow("root-relative folder outside the start dropped")
        << false << "/" << kBase << none << none;
    QTest::newRow("root-relative folder inside the start queued")
        << false << "/docs/sub/" << kBase << none
        << QStringList{kBase + "/sub/"};
    QTest::newRow("foreign folder dropped")
        << false << "http://other.example/x/" << kStart << none << none;
    QTest::newRow("foreign file dropped")
        << false << "http://other.example/x.html" << kStart << none << none;
    QTest::newRow("empty start: every address is the site")
        << true << "http://other.example/a.png" << QString()
        << QStringList{"http://other.example/a.png"} << none;
    QTest::newRow("climbing folder not queued")
        << false << "../up/" << kStart << none << none;
    QTest::newRow("same folder again not queued")
        << false << "./" << kStart << none << none;
    QTest::newRow("dots inside a name are no segment")
        << false << "v1..2/" << kStart << none
        << QStringList{kBase + "/v1..2/"};
  }
  void Handling() {
    QFETCH(bool, source);
    QFETCH(QString, value);
    QFETCH(QString, start);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, queued);
    FileListModel list;
    PagesToVisit pages;
    LinkHandler handler(list, pages, [&] { return start; });
    handler.HandleLink(source ? LinkKind::kSource : LinkKind::kReference, value,
                       kBase);
    QCOMPARE(Rows(list), rows);
    QCOMPARE(Queued(pages), queued);
  }

  void ListedFilesAreNotAddedAgainButOtherCaseIs() {
    FileListModel list;
    PagesToVisit pages;
    LinkHandler handler(list, pages, [] { return kStart; });
    handler.HandleLink(LinkKind::kSource, "a.png", kBase);
    handler.HandleLink(LinkKind::kReference, "a.png", kBase);
    handler.HandleLink(LinkKind::kSource, "A.png", kBase);
    QCOMPARE(Rows(list), QStringList({kBase + "/a.png", kBase + "/A.png"}));
  }

  void StartAddressIsReadForEveryTest() {
    FileListModel list;
    PagesToVisit pages;
    QString start = kStart;
    LinkHandler handler(list, pages, [&] { return start; });
    handler.HandleLink(LinkKind::kSource, "a.png", kBase);
    start = "http://elsewhere.example";
    handler.HandleLink(LinkKind::kSource, "b.png", kBase);
    QCOMPARE(Rows(list), QStringList({kBase + "/a.png"}));
  }

  void QueueKeysIgnoreCaseWhileQueued() {
    PagesToVisit pages;
    pages.Append("http://s/start");  // no key
    pages.Append("http://s/a/", "http://s/a/");
    pages.Append("http://s/A/", "http://s/A/");
    pages.Append("http://s/start", "http://s/start");  // keys only clash
    QCOMPARE(Queued(pages),
             QStringList({"http://s/start", "http://s/a/", "http://s/start"}));
    pages.Remove(2);
    pages.Append("http://S/A/", "http://S/A/");  // its key is free again
    QCOMPARE(Queued(pages),
             QStringList({"http://s/start", "http://s/start", "http://S/A/"}));
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::LinkHandlingTest)
#include "link_handling_test.moc"
