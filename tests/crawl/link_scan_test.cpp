#include "crawl/link_scan.h"

#include <QtTest>

namespace trawlbox {
namespace {

// "s:value" for a source link, "h:value" for a reference link, in order.
QStringList Links(const QByteArray& page, qsizetype length = -1) {
  if (length < 0) length = page.size();
  QStringList links;
  CollectData(
      page, length,
      [&](LinkKind kind, qsizetype position) {
        const auto value = ReadLinkValue(page, length, position);
        links << QString(kind == LinkKind::kSource ? "s:" : "h:") +
                     (value ? *value : QString("<none>"));
      },
      nullptr);
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
        << QByteArray("<img src=\"") << QStringList{"s:<none>"};
    QTest::newRow("ends inside a value")
        << QByteArray("<img src=\"abc") << QStringList{"s:<none>"};
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
  }

  void ValuesDecodeAsOnePiece() {
    const QByteArray page =
        "<img src=\"b\xc3\xbc"
        "cher/\xe2\x82\xac.png\">";
    QCOMPARE(Links(page), QStringList{QString::fromUtf8("s:bücher/€.png")});
  }

  void InvalidBytesInAValueYieldALink() {
    const QByteArray page = "<a href=\"\xff\xfe/x\">";
    const QStringList links = Links(page);
    QCOMPARE(links.size(), 1);
    QVERIFY(links[0].startsWith("h:") && links[0].endsWith("/x"));
  }

  void BytesPastTheLengthAreNeverScanned() {
    const QByteArray page = "<img src=\"new.png\">src=\"stale.png\"";
    QCOMPARE(Links(page, 19), QStringList{"s:new.png"});
    QCOMPARE(Links(page, 0), QStringList{});
    // A value whose closing quote lies past the length has none.
    QCOMPARE(Links(page, 14), QStringList{"s:<none>"});
  }

  void MarkersAcrossScanBlocks() {
    // Put a marker across every offset of a 64 KiB block boundary.
    for (int shift = 0; shift < 8; ++shift) {
      QByteArray page(65536 - shift, ' ');
      page += "href=\"b/\"";
      page += QByteArray(100, ' ');
      QCOMPARE(Links(page), QStringList{"h:b/"});
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
