#include "core/list_file.h"

#include <QtTest>

namespace trawlbox {

// What a failed comparison prints.
char* toString(const SavedList& list) {
  QString text = "start " + list.start;
  for (const SavedRow& row : list.rows) {
    text += QStringLiteral(" | %1 %2 %3/%4 %5")
                .arg(row.ticked)
                .arg(row.address)
                .arg(row.size.bytes)
                .arg(static_cast<int>(row.size.known))
                .arg(row.failure);
  }
  return qstrdup(qPrintable(text));
}

namespace {

const QByteArray kHeader = "ticked\tbytes\texact\taddress\tfailure\n";
const QString kMissing =
    "the header \"ticked\tbytes\texact\taddress\tfailure\" is missing";
// The longest address a row without a size or a reason may hold.
const QString kLongest = "http://h/" + QString(kMaxListLineBytes - 14, 'a');

SavedRow Row(const QString& address, bool ticked = true, RowSize size = {},
             const QString& failure = {}) {
  return {address, ticked, size, failure};
}

}  // namespace

class ListFileTest : public QObject {
  Q_OBJECT

 private slots:
  void RoundTrips_data() {
    QTest::addColumn<SavedList>("list");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<SavedList>("back");  // as read from `text`
    auto same = [](const char* name, const SavedList& list, QByteArray text) {
      QTest::newRow(name) << list << text << list;
    };
    same("empty list", {}, kHeader);
    same("start and ticks", {"http://h/f/", {Row("http://h/f/a", false)}},
         "# start http://h/f/\n" + kHeader + "0\t\t\thttp://h/f/a\t\n");
    same("sizes",
         {{},
          {Row("https://h/a", true, RowSize::Approx(100352)),
           Row("http://h/b", true, RowSize::Exact(0)),
           Row("http://h/c", false, RowSize::Exact(9223372036854775807))}},
         kHeader +
             "1\t100352\t0\thttps://h/a\t\n1\t0\t1\thttp://h/b\t\n"
             "0\t9223372036854775807\t1\thttp://h/c\t\n");
    same("red reason", {{}, {Row("http://h/a", true, {}, "HTTP 404 Gone")}},
         kHeader + "1\t\t\thttp://h/a\tHTTP 404 Gone\n");
    same("escapes kept as written", {{}, {Row("http://h/a%09b%0a%")}},
         kHeader + "1\t\t\thttp://h/a%09b%0a%\t\n");
    same("letters beyond ASCII",
         {"http://h/", {Row("http://h/école/日本.txt", true, {}, "Ошибка")}},
         "# start http://h/\n" + kHeader +
             "1\t\t\thttp://h/école/日本.txt\tОшибка\n");
    same("longest line", {{}, {Row(kLongest)}},
         kHeader + "1\t\t\t" + kLongest.toUtf8() + "\t\n");
    QTest::newRow("raw tab and line ends")
        << SavedList{{}, {Row("http://h/a\tb\r\nc", true, {}, "x\ty\r\nz")}}
        << kHeader + "1\t\t\thttp://h/a%09b%0D%0Ac\tx y  z\n"
        << SavedList{{}, {Row("http://h/a%09b%0D%0Ac", true, {}, "x y  z")}};
    QTest::newRow("start with a password")
        << SavedList{"http://al:pw@h/f/", {Row("http://al:pw@h/f/a")}}
        << "# start http://al@h/f/\n# the folder needs a password; type it "
           "in the Web Site field before Open List\n" +
               kHeader + "1\t\t\thttp://al@h/f/a\t\n"
        << SavedList{"http://al@h/f/", {Row("http://al@h/f/a")}};
  }
  void RoundTrips() {
    QFETCH(SavedList, list);
    QFETCH(QByteArray, text);
    QFETCH(SavedList, back);
    QCOMPARE(ListFileText(list), text);
    const Result<SavedList> read = ReadListFile(text);
    QVERIFY2(read.ok(), qPrintable(read.status().failure()));
    QCOMPARE(read.value(), back);
  }

  // An empty `error` marks a text read as the plain list.
  void Reads_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    const QByteArray plain =
        "# start http://h/\n" + kHeader + "1\t5\t1\thttp://h/a\t\n";
    auto row = [](const char* name, QByteArray text, const QString& error) {
      QTest::newRow(name) << text << error;
    };
    row("plain", plain, {});
    row("byte-order mark", "\xEF\xBB\xBF" + plain, {});
    row("CR LF", QByteArray(plain).replace("\n", "\r\n"), {});
    row("empty lines and comments",
        "\n# by hand\n\r\n" +
            QByteArray(plain).replace("\tfailure\n", "\tfailure\n\n"),
        {});
    row("no final line end", plain.chopped(1), {});
    row("empty file", "", "line 1: " + kMissing);
    row("comments only", "# start http://h/\n", "line 2: " + kMissing);
    row("rows without header", "\n1\t5\t1\thttp://h/a\t\n",
        "line 2: " + kMissing);
    row("different header", "ticked\tbytes\taddress\n",
        "line 1: the header is not \"" + kHeader.trimmed() + "\"");
    // A bad line, line 3 unless it follows lines of its own.
    auto bad = [&](const char* name, QByteArray lines, const QString& error) {
      QTest::newRow(name) << kHeader + "\n" + lines + "\n"
                          << QStringLiteral("line %1: %2")
                                 .arg(lines.count('\n') + 3)
                                 .arg(error);
    };
    bad("tick of 2", "2\t\t\thttp://h/a\t", "the tick is neither 0 nor 1");
    bad("size 12k", "1\t12k\t0\thttp://h/a\t",
        "the size is not a whole number of bytes");
    bad("size +5", "1\t+5\t0\thttp://h/a\t",
        "the size is not a whole number of bytes");
    bad("negative size", "1\t-5\t1\thttp://h/a\t", "the size is negative");
    bad("size beyond 64 bits", "1\t9223372036854775808\t1\thttp://h/a\t",
        "the size is too large");
    bad("exactness without size", "1\t\t1\thttp://h/a\t",
        "the exactness is given without a size");
    bad("size without exactness", "1\t5\t\thttp://h/a\t",
        "the exactness is neither 0 nor 1");
    bad("relative address", "1\t\t\t/a\t",
        "the address is not an http or https address");
    bad("ftp address", "1\t\t\tftp://h/a\t",
        "the address is not an http or https address");
    bad("no host", "1\t\t\thttp:///a\t",
        "the address is not an http or https address");
    bad("repeated address", "1\t\t\thttp://h/a\t\n\n0\t\t\thttp://h/a\t",
        "the address repeats line 3");
    bad("not UTF-8", "1\t\t\thttp://h/\xC3\t", "the text is not UTF-8");
    bad("line over 64 KiB", "1\t\t\t" + kLongest.toUtf8() + "a\t",
        "the line is longer than 64 KiB");
    bad("four fields", "1\t\t\thttp://h/a", "the line has 4 fields, not 5");
    bad("six fields", "1\t\t\thttp://h/a\t\t", "the line has 6 fields, not 5");
    bad("comment after header", "# note", "a comment line follows the header");
  }
  void Reads() {
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    const Result<SavedList> read = ReadListFile(text);
    QCOMPARE(read.status().failure(), error);
    if (error.isEmpty()) {
      QCOMPARE(read.value(),
               (SavedList{"http://h/",
                          {Row("http://h/a", true, RowSize::Exact(5))}}));
    }
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::ListFileTest)
#include "list_file_test.moc"
