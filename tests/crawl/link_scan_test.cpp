#include "crawl/link_scan.h"

#include <QtTest>

#include "crawl/link_value.h"

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
        << QByteArray("<a href='a.html'><img SRC='b.png'>")
        << QStringList{"h:a.html", "s:b.png"};
    QTest::newRow("each quote ends its own kind")
        << QByteArray("<a href='it\"s.txt'><a href=\"it's.txt\">")
        << QStringList{"h:it\"s.txt", "h:it's.txt"};
    QTest::newRow("a value inside another comes after it")
        << QByteArray("<a onclick=\"x.href='in.html'\" href=\"a\" src='b'>")
        << QStringList{"h:in.html", "h:a", "s:b"};
    QTest::newRow("markers in order when values nest")
        << QByteArray("href=\"out src='in.png' x\" src=\"after\"")
        << QStringList{"h:out src='in.png' x", "s:in.png", "s:after"};
    QTest::newRow("a nested value that never closes")
        << QByteArray("href=\"out src='in x\" src=\"after\"")
        << QStringList{"h:out src='in x", "s:after"};
    QTest::newRow("values open across each other")
        << QByteArray("href=\"a src='b\" c' d")
        << QStringList{"h:a src='b", "s:b\" c"};
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

  // UTF-8 where the bytes are UTF-8, each byte a Latin-1 character where
  // they are not; character references that end in ";" read.
  void ValueText_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("utf-8") << QByteArray(
                                  "b\xc3\xbc"
                                  "cher/\xe2\x82\xac.png")
                           << QString::fromUtf8("b\u00fccher/\u20ac.png");
    QTest::newRow("latin-1")
        << QByteArray("na\xefve.txt") << QString::fromUtf8("na\u00efve.txt");
    QTest::newRow("no encoding at all")
        << QByteArray("\xff\xfe/x") << QString::fromLatin1("\xff\xfe/x");
    QTest::newRow("named references")
        << QByteArray("a&amp;b&lt;&gt;&quot;&apos;&nbsp;")
        << QString::fromUtf8("a&b<>\"'\u00a0");
    QTest::newRow("numeric references")
        << QByteArray("&#38;&#x26;&#X41;&#233;&#x1F600;")
        << QString::fromUtf8("&&A\u00e9\U0001F600");
    QTest::newRow("without their semicolon")
        << QByteArray("a=1&copy=2&amp=3&#38")
        << QString("a=1&copy=2&amp=3&#38");
    QTest::newRow("the last character and one past it")
        << QByteArray("&#x10FFFF;&#x110000;")
        << QString::fromUcs4(U"\U0010FFFF&#x110000;");
    QTest::newRow("unknown or no character")
        << QByteArray("&copy;&#0;&#xD800;&#x110000;&#;&#x;&#12a;&;")
        << QString("&copy;&#0;&#xD800;&#x110000;&#;&#x;&#12a;&;");
    QTest::newRow("a reference read once")
        << QByteArray("&amp;amp;") << QString("&amp;");
    QTest::newRow("semicolon too far")
        << QByteArray("&amp12345678901;") << QString("&amp12345678901;");
  }
  void ValueText() {
    QFETCH(QByteArray, value);
    QFETCH(QString, text);
    QCOMPARE(DecodeLinkValue(value), text);
    QCOMPARE(Links("src=\"" + value + "\""), QStringList{"s:" + text});
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

  // A value of the longest length is delivered, read at once or cut right
  // after its last byte; one byte more is dropped and the scan goes on.
  void LongestValues_data() {
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<qsizetype>("piece");  // 0: the page at once
    QTest::addColumn<bool>("delivered");
    const qsizetype most = LinkScanner::kMaxValueBytes;
    QTest::newRow("the longest, at once") << most << qsizetype(0) << true;
    QTest::newRow("the longest, cut after it") << most << 9 + most << true;
    QTest::newRow("one more, in pieces")
        << most + 1 << qsizetype(1 << 20) << false;
  }
  void LongestValues() {
    QFETCH(qsizetype, length);
    QFETCH(qsizetype, piece);
    QFETCH(bool, delivered);
    QByteArray page = "<a href=\"";
    page += QByteArray(length, 'x');
    page += "\"><img src=\"after.png\">";
    const QStringList links = Links(page, piece);
    QCOMPARE(links.last(), QString("s:after.png"));
    QCOMPARE(links.size(), delivered ? 2 : 1);
    QCOMPARE(links.first().size(), delivered ? 2 + length : 11);
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
