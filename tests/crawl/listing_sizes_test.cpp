#include "crawl/listing_sizes.h"

#include <QFile>
#include <QUrl>
#include <QtTest>
#include <utility>
#include <vector>

namespace trawlbox {
namespace {

using Found = std::vector<std::pair<QString, RowSize>>;

// "1023" for a size known to the byte, "~10035" for a rounded one.
QString Show(const std::optional<RowSize>& size) {
  if (!size) return "none";
  return (size->exact() ? "" : "~") + QString::number(size->bytes);
}

// The sizes found in the pages, each fed in pieces of `piece` bytes (the
// whole page at once when `piece` is 0) and finished.
Found Sizes(const QByteArrayList& pages, qsizetype piece) {
  Found found;
  ListingSizeScanner scanner([&](const QString& value, const RowSize& size) {
    found.emplace_back(value, size);
  });
  for (const QByteArray& page : pages) {
    const qsizetype step =
        piece > 0 ? piece : std::max<qsizetype>(page.size(), 1);
    for (qsizetype at = 0; at < page.size(); at += step) {
      scanner.Feed(page.constData() + at, std::min(step, page.size() - at));
    }
    scanner.Finish();
  }
  return found;
}

QByteArray Listing(const QString& name) {
  QFile file(QStringLiteral(TRAWLBOX_LISTINGS "/") + name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The real size of each file the listings show.
QHash<QString, qint64> RealSizes() {
  QHash<QString, qint64> sizes;
  for (const QByteArray& line : Listing("sizes.tsv").split('\n')) {
    const QByteArrayList fields = line.split('\t');
    if (fields.size() == 2) sizes[fields[0]] = fields[1].toLongLong();
  }
  return sizes;
}

// One unit of the last digit a server prints for a rounded size: a tenth
// of K, M, G... below ten of the unit, or always when `tenths`.
double Step(qint64 bytes, bool tenths) {
  double unit = 1024;
  while (unit * 1024 <= double(bytes)) unit *= 1024;
  return (tenths || double(bytes) < 10 * unit) ? unit / 10 : unit;
}

}  // namespace

class ListingSizesTest : public QObject {
  Q_OBJECT

 private slots:
  void Entries_data() {
    QTest::addColumn<QByteArray>("entry");  // what follows href="..."
    QTest::addColumn<QString>("size");
    const auto add = [](const char* name, const QByteArray& entry,
                        const char* size) {
      QTest::newRow(name) << entry << QString(size);
    };
    const auto row = [](const char* listed) {
      return ">x</a> 2026-12-09 20:25 " + QByteArray(listed) + "\n";
    };
    const QByteArray next = "<a href=\"c\">c</a>  09-Dec-2026 20:25  5\r\n";
    add("nginx", ">b</a>   09-Dec-2026 20:25   1023\r\n" + next, "1023");
    add("nginx folder", ">sub/</a>   09-Dec-2026 20:25   -\r\n" + next, "none");
    add("nginx, a name that reads as a size",
        ">1.2K</a>  09-Dec-2026 20:25  1258291\r\n", "1258291");
    const QByteArray cells =
        "</a></td><td align=\"right\">2026-12-09 20:25  </td><td>";
    add("apache bytes", cells + "500 </td><td>&nbsp;</td></tr>", "500");
    add("apache zero", cells + "  0 </td></tr>", "0");
    add("apache tenths", cells + "9.8K</td></tr>", "~10035");
    add("apache whole units", cells + " 98K</td></tr>", "~100352");
    add("apache gigabytes", cells + "3.0G</td></tr>", "~3221225472");
    add("apache folder", cells + "  - </td></tr>", "none");
    add("apache pre, then a description with a time",
        ">b</a>  2026-12-09 20:25  1.2M  At 20:25 x 7\n  <a href=\"c\">",
        "~1258291");
    const QByteArray lighttpd =
        "</a></td><td>2026-Dec-09 20:25:24</td><td class=\"s\">";
    add("lighttpd", lighttpd + "9.7K</td><td>text/plain</td></tr>", "~9933");
    add("lighttpd empty", lighttpd + "0.0K</td></tr>", "~0");
    add("lighttpd folder", lighttpd + "- &nbsp;</td><td>Directory", "none");
    const QByteArray time =
        "</td>\n<td><time>12/09/2026 08:25:24 PM +00:00</time></td>\n</tr>";
    add("caddy",
        ">\n<svg><use xlink:href=\"#file\"></use></svg>\n<span>b</span></a>"
        "\n</td>\n<td data-order=\"9999\">9.8 KiB" +
            time,
        "9999");
    add("caddy folder", "></a></td><td data-order=\"-1\">&mdash;" + time,
        "none");
    add("data-order of a cell showing no size",
        ">New Year</a></td><td data-order=\"1577836800\">Jan 1, 2020</td>",
        "none");
    add("bytes unit", row("999 B"), "999");
    add("binary unit", row("1.5 MiB"), "~1572864");
    add("decimal unit", row("2.5 kB"), "~2500");
    add("a fraction of bytes", row("9.8"), "none");
    add("the most bytes", row("9223372036854775807"), "9223372036854775807");
    add("beyond the most bytes", row("9223372036854775808"), "none");
    add("a unit beyond the most bytes", row("8192P"), "none");
    add("ordinary page, a year", ">Report</a> 2019</p>", "none");
    add("ordinary page, a time and a number",
        ">Keynote</a> Hall B, 09:00 60 min</li>", "none");
    add("the size in the next row",
        ">a</a></td></tr><tr><td>2026-12-09 20:25</td><td>500</td></tr>",
        "none");
    add("next link in capitals",
        ">a</a>\n<A\tHREF=\"b\">b</A> 2026-12-09 20:25 500", "none");
    add("no end of the link", ">a 2026-12-09 20:25 500", "none");
    const QByteArray last = " 2026-12-09 20:25 500";
    const qsizetype pad = kMaxListingEntryBytes - 6 - last.size();
    add("the longest entry", ">a</a>" + QByteArray(pad, ' ') + last, "500");
    add("one byte cut", ">a</a>" + QByteArray(pad + 1, ' ') + last, "50");
  }
  void Entries() {
    QFETCH(QByteArray, entry);
    QFETCH(QString, size);
    QCOMPARE(Show(ListedSize(entry)), size);
    // The scanner reads the same entry after a link, fed in any pieces.
    for (const qsizetype piece : {0, 1, 7}) {
      const Found found = Sizes({"<a href=\"v\"" + entry}, piece);
      const bool read = !found.empty() && found[0].first == "v";
      QCOMPARE(read ? Show(found[0].second) : QString("none"), size);
    }
  }

  // Every size read off a captured page matches the file: exactly where the
  // server prints bytes, within its rounding where it prints units.
  void CapturedPages_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("sized");
    QTest::addColumn<int>("exact");
    QTest::addColumn<bool>("tenths");  // one decimal at any size
    QTest::newRow("apache") << "apache.html" << 10 << 2 << false;
    QTest::newRow("apache pre") << "apache_pre.html" << 10 << 2 << false;
    QTest::newRow("nginx") << "nginx.html" << 10 << 10 << false;
    QTest::newRow("lighttpd") << "lighttpd.html" << 10 << 0 << true;
    QTest::newRow("caddy") << "caddy.html" << 10 << 10 << false;
    QTest::newRow("python") << "python.html" << 0 << 0 << false;
  }
  void CapturedPages() {
    QFETCH(QString, page);
    QFETCH(int, sized);
    QFETCH(int, exact);
    QFETCH(bool, tenths);
    const QHash<QString, qint64> real = RealSizes();
    const QByteArray bytes = Listing(page);
    QVERIFY(!bytes.isEmpty());
    for (const qsizetype piece : {0, 1, 7}) {
      const Found found = Sizes({bytes}, piece);
      QSet<QString> names;
      int exact_found = 0;
      for (const auto& [value, size] : found) {
        QString name = QUrl::fromPercentEncoding(value.toUtf8());
        if (name.startsWith("./")) name.remove(0, 2);
        QVERIFY2(real.contains(name), qPrintable(value));
        names << name;
        exact_found += size.exact() ? 1 : 0;
        const double off = std::abs(double(size.bytes - real[name]));
        QVERIFY2(size.exact() ? off == 0 : off <= Step(size.bytes, tenths),
                 qPrintable(name + ": " + Show(size)));
      }
      QCOMPARE(int(found.size()), sized);
      QCOMPARE(names.size(), sized);
      QCOMPARE(exact_found, exact);
    }
  }

  void Pages_data() {
    QTest::addColumn<QByteArrayList>("pages");  // each one finished
    QTest::addColumn<QStringList>("values");    // each 7 bytes
    const QByteArray line = "\">f</a>  09-Dec-2026 20:25  7\n";
    const QByteArray longest(ListingSizeScanner::kMaxValueBytes, 'x');
    QTest::newRow("the longest value")
        << QByteArrayList{"<a href=\"" + longest + line}
        << QStringList{QString(longest)};
    QTest::newRow("a longer value is dropped, the next one read")
        << QByteArrayList{"<a href=\"x" + longest + line + "<a href=\"b" + line}
        << QStringList{"b"};
    QTest::newRow("single quotes, any case")
        << QByteArrayList{"<A HREF='b'>b</A> 2026-12-09 20:25 7\n"}
        << QStringList{"b"};
    QTest::newRow("an entry open at the end of the page")
        << QByteArrayList{"<a href=\"b" + line.chopped(1)} << QStringList{"b"};
    QTest::newRow("a value open at the end of the page")
        << QByteArrayList{"<a href=\"cut", "here" + line} << QStringList{};
  }
  void Pages() {
    QFETCH(QByteArrayList, pages);
    QFETCH(QStringList, values);
    for (const qsizetype piece : {0, 1, 7}) {
      Found expected;
      for (const QString& value : values) {
        expected.emplace_back(value, RowSize::Exact(7));
      }
      QCOMPARE(Sizes(pages, piece), expected);
    }
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::ListingSizesTest)
#include "listing_sizes_test.moc"
