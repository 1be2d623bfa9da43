#include "crawl/link_scan.h"

#include <QtTest>

namespace trawlbox {
namespace {

QString Show(LinkKind kind, const QString& value) {
  return QString(kind == LinkKind::kSource ? "s:" : "h:") + value;
}

// "s:value" for a source link, "h:value" for a reference link, in order,
// for the page fed in pieces of `piece` bytes (the whole page at once when
// `piece` is 0).
QStringList Links(const QByteArray& page, qsizetype piece = 0) {
  QStringList links;
  LinkScanner scanner(
      [&](LinkKind kind, const QString& value) { links << Show(kind, value); });
  if (piece == 0) piece = std::max<qsizetype>(page.size(), 1);
  for (qsizetype at = 0; at < page.size(); at += piece) {
    scanner.Feed(page.constData() + at, std::min(piece, page.size() - at));
  }
  scanner.Finish();
  return links;
}

}  // namespace

class LinkScanTest : public QObject {
  Q_OBJECT

 private slots:
  void MarkerRules_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QStringList>("links");
    QTest::newRow("upper-case marker, value keeps case")
        << QByteArray("<img SRC=\"A.png\">") << QStringList{"s:A.png"};
    QTest::newRow("mixed case href")
        << QByteArray("<a HrEf=\"x/\">") << QStringList{"h:x/"};
    QTest::newRow("space before =")
        << QByteArray("<a href =\"a.html\">") << QStringList{};
    QTest::newRow("space after =")
        << QByteArray("<a href= \"a.html\">") << QStringList{};
    QTest::newRow("single quotes")
        << QByteArray("<a href='a.html'>") << QStringList{};
    QTest::newRow("unquoted") << QByteArray("<a href=a.html>") << QStringList{};
    QTest::newRow("any character before")
        << QByteArray("<img data-src=\"d.png\"><a xhref=\"x.html\">")
        << QStringList{"s:d.png", "h:x.html"};
    QTest::newRow("empty value")
        << QByteArray("<a href=\"\">") << QStringList{"h:"};
    QTest::newRow("anchor before its image")
        << QByteArray("<a href=\"a.html\"><img src=\"b.png\"></a>")
        << QStringList{"h:a.html", "s:b.png"};
    QTest::newRow("comments, scripts and text count")
        << QByteArray(
               "<!-- src=\"c.gif\" --><script>x='href=\"s/\"'</script>"
               "say src=\"t.txt\"")
        << QStringList{"s:c.gif", "h:s/", "s:t.txt"};
    QTest::newRow("values are scanned too")
        << QByteArray("<a href=\"src=\"in.png\"\">")
        << QStringList{"h:src=", "s:in.png"};
    QTest::newRow("every occurrence counts")
        << QByteArray("src=\"a\" src=\"a\"") << QStringList{"s:a", "s:a"};
    QTest::newRow("fewer than five bytes")
        << QByteArray("src=") << QStringList{};
    QTest::newRow("ends with a complete marker")
        << QByteArray("<img src=\"") << QStringList{};
    QTest::newRow("ends inside a value")
        << QByteArray("<img src=\"abc") << QStringList{};
    QTest::newRow("ends inside a marker")
        << QByteArray("<a hre") << QStringList{};
    QTest::newRow("nul bytes around")
        << QByteArray("\0\0src=\"n.png\"\0", 14) << QStringList{"s:n.png"};
    QTest::newRow("empty page") << QByteArray() << QStringList{};
  }
  void MarkerRules() {
    QFETCH(QByteArray, page);
    QFETCH(QStringList, links);
    QCOMPARE(Links(page), links);
    // Markers and values split across pieces anywhere are found the same.
    for (qsizetype piece = 1; piece <= 7; ++piece) {
      QCOMPARE(Links(page, piece), links);
    }
  }

  void ValuesKeepTheirBytes() {
    // UTF-8, Latin-1 and bytes that are valid in no encoding: each byte one
    // character, so the address is requested as the page wrote it.
    const QByteArray page =
        "<img src=\"b\xc3\xbc"
        "cher/\xe2\x82\xac.png\"><a href=\"\xff\xfe/x\">";
    QCOMPARE(Links(page),
             QStringList({"s:" + QString::fromLatin1("b\xc3\xbc"
                                                     "cher/\xe2\x82\xac.png"),
                          "h:" + QString::fromLatin1("\xff\xfe/x")}));
  }

  void PiecesOfAPageAndTheNextPage() {
    // A value open at the end of one page never runs into the next.
    QStringList links;
    LinkScanner scanner([&](LinkKind kind, const QString& value) {
      links << Show(kind, value);
    });
    scanner.Feed(QByteArray("<img src=\"cut"));
    scanner.Finish();
    scanner.Feed(QByteArray("here\" href=\"next/\""));
    scanner.Finish();
    QCOMPARE(links, QStringList{"h:next/"});
  }

  void OverlongValueIsDroppedAndTheScanGoesOn() {
    QByteArray page = "<a href=\"";
    page += QByteArray(LinkScanner::kMaxValueBytes + 1, 'x');
    page += "\"><img src=\"after.png\">";
    QCOMPARE(Links(page, 1 << 20), QStringList{"s:after.png"});
  }

  void MarkersAcrossPieceBoundaries() {
    // Put a marker across every offset of a 64 KiB piece boundary.
    for (int shift = 0; shift < 8; ++shift) {
      QByteArray page(65536 - shift, ' ');
      page += "href=\"b/\"";
      page += QByteArray(100, ' ');
      QCOMPARE(Links(page, 65536), QStringList{"h:b/"});
    }
  }

  void ManyLinksInOrder() {
    QByteArray page;
    QStringList expected;
    for (int i = 0; i < 20000; ++i) {
      page += "<a href=\"" + QByteArray::number(i) + ".html\">x</a>";
      expected << "h:" + QString::number(i) + ".html";
    }
    QCOMPARE(Links(page), expected);
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::LinkScanTest)
#include "link_scan_test.moc"
