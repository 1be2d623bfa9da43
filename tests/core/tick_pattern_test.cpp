#include "core/tick_pattern.h"

#include <QtTest>

namespace trawlbox {
namespace {

// "" unknown, "~N" rounded, "N" to the byte.
RowSize SizeOf(const QString& text) {
  if (text.isEmpty()) return {};
  if (text.startsWith('~')) return RowSize::Approx(text.mid(1).toLongLong());
  return RowSize::Exact(text.toLongLong());
}

// expect: "yes", "no", or "fail" when the pattern's last term is unreadable.
void Row(const char* name, const QString& pattern, const QString& address,
         const QString& size, const QString& expect,
         const QString& start = "http://h/") {
  QTest::newRow(name) << pattern << address << start << size << expect;
}

}  // namespace

class TickPatternTest : public QObject {
  Q_OBJECT

 private slots:
  void MatchesRows_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("expect");
    Row("name, case disregarded", "*.iso", "http://h/x/A.ISO", "", "yes");
    Row("name matched to its end", "*.iso", "http://h/a.iso.part", "", "no");
    Row("any of two globs", "*.iso *.img", "http://h/b.img", "", "yes");
    Row("neither of two globs", "*.iso *.img", "http://h/b.zip", "", "no");
    Row("? and case", "read?e", "http://h/x/README", "", "yes");
    Row("negated class", "[!a-c]*", "http://h/Beta", "", "no");
    Row("class range by case", "[A-C]*", "http://h/beta", "", "yes");
    Row("name is the last segment", "docs", "http://h/docs/x.txt", "", "no");
    Row("folder row by name", "docs", "http://h/docs/", "", "yes");
    Row("host root has no name", "h*", "http://h/", "", "no");
    Row("path below start", "docs/*", "http://h/docs/a/b.txt", "", "yes");
    Row("path anchored at start", "docs/*", "http://h/other/docs/x", "", "no");
    Row("folder row under its path", "docs/*", "http://h/docs/", "", "yes");
    Row("path glob names a folder", "/docs", "http://h/docs/", "", "yes");
    Row("* in a folder name", "a*/x.txt", "http://h/abc/x.txt", "", "yes");
    Row("* in a path crosses /", "a*/x.txt", "http://h/a/b/x.txt", "", "yes");
    Row("folder glob misses", "a*/x.txt", "http://h/b/x.txt", "", "no");
    Row("start without final /", "/x.txt", "http://h/docs/x.txt", "", "yes",
        "http://h/docs");
    Row("start in other case", "x.txt/", "http://h/Docs/x.txt/", "", "yes",
        "HTTP://H/DOCS/");
    Row("start ends inside a segment", "s/x.txt", "http://h/docs/x.txt", "",
        "no", "http://h/doc");
    Row("outside start: path after host", "docs/x.txt", "http://h/docs/x.txt",
        "", "yes", "http://h/doc");
    Row(">0 with 0 bytes", ">0", "http://h/a", "0", "no");
    Row(">0 with 1 byte", ">0", "http://h/a", "1", "yes");
    Row("exactly on > bound", ">100kB", "http://h/a", "100000", "no");
    Row("exactly on >= bound", ">=100kB", "http://h/a", "100000", "yes");
    Row("exactly on < bound", "<100kB", "http://h/a", "100000", "no");
    Row("below <= bound", "<=100kB", "http://h/a", "99999", "yes");
    Row("unknown vs >0", ">0", "http://h/a", "", "no");
    Row("unknown vs <1GB", "<1GB", "http://h/a", "", "no");
    Row("rounded above", ">1MB", "http://h/a", "~1000001", "yes");
    Row("rounded below", "<1MB", "http://h/a", "~1000001", "no");
    Row("glob and two bounds", "*.iso >100MB <2GB", "http://h/a.iso",
        "150000000", "yes");
    Row("glob and bounds, too small", "*.iso >100MB <2GB", "http://h/a.iso",
        "99000000", "no");
    Row("bounds, glob misses", "*.iso >100MB <2GB", "http://h/a.img",
        "150000000", "no");
    Row("kB is 1000", ">1kB", "http://h/a", "1023", "yes");
    Row("KiB is 1024", ">1KiB", "http://h/a", "1023", "no");
    Row("unit case disregarded", "<1kib", "http://h/a", "1023", "yes");
    Row("decimal part", ">1.5GB", "http://h/a", "1500000001", "yes");
    Row("decimal part, on bound", ">1.5GB", "http://h/a", "1500000000", "no");
    Row("part of a byte, <", "<1.5", "http://h/a", "1", "yes");
    Row("part of a byte, >=", ">=1.5", "http://h/a", "1", "no");
    Row("largest bound", "<9000000TB", "http://h/a", "1", "yes");
    Row("empty pattern", "", "http://h/a", "", "yes");
    Row("blanks only", "  \t ", "http://h/a", "", "yes");
    Row("letter beyond ASCII", "É*", "http://h/école.txt", "", "yes");
    Row("encoded beyond ASCII", "CAFÉ.*", "http://h/caf%C3%A9.txt", "", "yes");
    Row("encoded glob", "a%20b.iso", "http://h/a%20B.ISO", "", "yes");
    Row("encoded blank as ?", "a?b.iso", "http://h/a%20b.iso", "", "yes");
    Row("encoded * is literal", "a%2A", "http://h/ab", "", "no");
    Row("% without hex", "100%.t?t", "http://h/100%.txt", "", "yes");
    Row("% at the end", "x%4", "http://h/x%4", "", "yes");
    Row("% bytes not UTF-8", "%e9ab.*", "http://h/%E9%41%42.txt", "", "yes");
    Row("unknown unit", ">10XB", "http://h/a", "1", "fail");
    Row("bare >", "*.iso >", "http://h/a", "1", "fail");
    Row("no number", ">abc", "http://h/a", "1", "fail");
    Row("negative", ">-5", "http://h/a", "1", "fail");
    Row("unclosed class", "[ab", "http://h/a", "1", "fail");
    Row("beyond 64 bits", ">99999999999999999999", "http://h/a", "1", "fail");
    Row("bytes beyond 64 bits", "<10000000TB", "http://h/a", "1", "fail");
  }
  void MatchesRows() {
    QFETCH(QString, pattern);
    QFETCH(QString, address);
    QFETCH(QString, start);
    QFETCH(QString, size);
    QFETCH(QString, expect);
    const Result<TickPattern> parsed = TickPattern::Parse(pattern);
    if (expect == "fail") {
      QVERIFY(!parsed.ok());
      const QString term = pattern.split(' ').last();
      QCOMPARE(parsed.status().failure(), "Cannot read \"" + term + "\"");
      return;
    }
    QVERIFY2(parsed.ok(), qPrintable(parsed.status().failure()));
    QVERIFY(expect == "yes" || expect == "no");
    QCOMPARE(parsed.value().empty(), pattern.trimmed().isEmpty());
    QCOMPARE(parsed.value().Matches(address, start, SizeOf(size)),
             expect == "yes");
  }

  void MatchesAFullListing() {
    const Result<TickPattern> parsed = TickPattern::Parse(u"*.iso docs/* >1kB");
    QVERIFY(parsed.ok());
    const QString start = "http://mirror.example/pub/";
    int matched = 0;
    for (int i = 0; i < 75'000; ++i) {
      const QString folder = i % 2 == 0 ? "docs/" : "other/";
      const QString name = i % 3 == 0 ? "disc%20" + QString::number(i) + ".ISO"
                                      : "notes-" + QString::number(i);
      const QString address = start + folder + name;
      matched += parsed.value().Matches(address, start, RowSize::Exact(i));
    }
    // Rows past 1000 bytes in docs/, or holding an .iso.
    int expected = 0;
    for (int i = 1001; i < 75'000; ++i) expected += i % 2 == 0 || i % 3 == 0;
    QCOMPARE(matched, expected);
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::TickPatternTest)
#include "tick_pattern_test.moc"
