#include "core/settings_store.h"

#include <QtTest>

#include "support/failure_of.h"
#include "support/temp_settings.h"

namespace trawlbox {

class SettingsStoreTest : public QObject {
  Q_OBJECT

 private slots:
  void AbsentKeyReadsAsTheDefaultAndIsNotCreated() {
    TempSettings temp;
    SettingsStore store;
    QCOMPARE(store.ReadSetting("Web Site", QString()), QString());
    QCOMPARE(store.ReadSetting("Text1", "/home/u/Desktop/"),
             QString("/home/u/Desktop/"));
    QVERIFY(!QFileInfo::exists(temp.FilePath()));
    QSettings raw(SettingsStore::kOrganization, SettingsStore::kApplication);
    QVERIFY(raw.allKeys().isEmpty());
  }

  void ValuesRoundTripUnchanged_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << QString("");
    QTest::newRow("blanks kept") << QString("  http://example.com/  ");
    QTest::newRow("only blanks") << QString("   ");
    QTest::newRow("windows path") << QString("C:\\Mirror\\");
    QTest::newRow("network path") << QString("\\\\srv\\share\\");
    QTest::newRow("comma") << QString("a, b, c");
    QTest::newRow("quotes") << QString("say \"hi\" 'there'");
    QTest::newRow("equals and semicolon") << QString("a=b;c");
    QTest::newRow("variant lookalike") << QString("@Variant(\\0\\0\\0\\x7f)");
    QTest::newRow("hash") << QString("#not a comment");
    QTest::newRow("non-ascii")
        << QString::fromUtf8("http://bücher.example/ü/€");
    QTest::newRow("percent") << QString("a%20b%%");
    QTest::newRow("true") << QString("true");
    QTest::newRow("number") << QString("0042");
  }
  void ValuesRoundTripUnchanged() {
    QFETCH(QString, value);
    TempSettings temp;
    {
      SettingsStore writer;
      writer.WriteSetting("Web Site", value);
    }
    SettingsStore reader;
    QCOMPARE(reader.ReadSetting("Web Site", "default"), value);
  }

  void StoredEmptyTextIsNotTheDefault() {
    TempSettings temp;
    SettingsStore store;
    store.WriteSetting("Text1", "");
    QCOMPARE(store.ReadSetting("Text1", "/desk/"), QString(""));
  }

  void EveryWriteReachesStorageAtOnce() {
    TempSettings temp;
    SettingsStore store;
    store.WriteSetting("Web Site", "http://a.example/");
    store.WriteSetting("Text1", "/tmp/mirror/");
    // What another process would see: the file itself.
    QSettings on_disk(temp.FilePath(), QSettings::IniFormat);
    QCOMPARE(on_disk.value("Web Site").toString(),
             QString("http://a.example/"));
    QCOMPARE(on_disk.value("Text1").toString(), QString("/tmp/mirror/"));
  }

  void LaterWriteReplacesEarlierOne() {
    TempSettings temp;
    SettingsStore store;
    store.WriteSetting("LastFolderDot", "/a");
    store.WriteSetting("LastFolderDot", "/b");
    QCOMPARE(store.ReadSetting("LastFolderDot", ""), QString("/b"));
  }

  void UnwritableStoreFailsTheWrite() {
    TempSettings temp;
    // A folder standing where the file must go makes every write fail, also
    // for root.
    QVERIFY(QDir().mkpath(temp.FilePath()));
    SettingsStore store;
    QCOMPARE(FailureOf([&] { store.WriteSetting("Web Site", "x"); }),
             QString("Permission denied"));
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::SettingsStoreTest)
#include "settings_store_test.moc"
