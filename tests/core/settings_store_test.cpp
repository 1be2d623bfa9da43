#include "core/settings_store.h"

#include <QtTest>

#include "support/temp_settings.h"

namespace trawlbox {

class SettingsStoreTest : public QObject {
  Q_OBJECT

 private slots:
  void AbsentKeyReadsAsTheDefaultAndIsNotCreated() {
    TempSettings temp;
    SettingsStore store;
    QCOMPARE(store.ReadSetting("Web Site", QString()).value(), QString());
    QCOMPARE(store.ReadSetting("Text1", "/home/u/Desktop/").value(),
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
      QVERIFY(writer.WriteSetting("Web Site", value).ok());
    }
    SettingsStore reader;
    QCOMPARE(reader.ReadSetting("Web Site", "default").value(), value);
  }

  void StoredEmptyTextIsNotTheDefault() {
    TempSettings temp;
    SettingsStore store;
    QVERIFY(store.WriteSetting("Text1", "").ok());
    QCOMPARE(store.ReadSetting("Text1", "/desk/").value(), QString(""));
  }

  void EveryWriteReachesStorageAtOnce() {
    TempSettings temp;
    SettingsStore store;
    QVERIFY(store.WriteSetting("Web Site", "http://a.example/").ok());
    QVERIFY(store.WriteSetting("Text1", "/tmp/mirror/").ok());
    // What another process would see: the file itself.
    QSettings on_disk(temp.FilePath(), QSettings::IniFormat);
    QCOMPARE(on_disk.value("Web Site").toString(),
             QString("http://a.example/"));
    QCOMPARE(on_disk.value("Text1").toString(), QString("/tmp/mirror/"));
  }

  void LaterWriteReplacesEarlierOne() {
    TempSettings temp;
    SettingsStore store;
    QVERIFY(store.WriteSetting("LastFolderDot", "/a").ok());
    QVERIFY(store.WriteSetting("LastFolderDot", "/b").ok());
    QCOMPARE(store.ReadSetting("LastFolderDot", "").value(), QString("/b"));
  }

  // A password typed into an address is for the owner's eyes only, also
  // after later writes of other values.
  void AnAddressWithAPasswordMakesTheFilePrivate_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("made_private");
    QTest::newRow("password") << "http://alice:s3cret@h/priv/" << true;
    QTest::newRow("no scheme") << "alice:s3cret@h/priv/" << true;
    QTest::newRow("user alone") << "http://alice@h/priv/" << false;
    QTest::newRow("empty password") << "http://alice:@h/priv/" << false;
    QTest::newRow("an @ in a name") << "http://h/logo@2x.png" << false;
  }
  void AnAddressWithAPasswordMakesTheFilePrivate() {
#ifdef Q_OS_WIN
    QSKIP("The store is the registry here.");
#endif
    QFETCH(QString, value);
    QFETCH(bool, made_private);
    TempSettings temp;
    SettingsStore store;
    QVERIFY(store.WriteSetting("Text1", "/tmp/mirror/").ok());
    const auto shared = QFile::ReadOwner | QFile::WriteOwner |
                        QFile::ReadGroup | QFile::ReadOther;
    QVERIFY(QFile::setPermissions(temp.FilePath(), shared));
    const auto is_private = [&] {
      return !(QFile::permissions(temp.FilePath()) &
               (QFile::ReadGroup | QFile::ReadOther));
    };
    QVERIFY(store.WriteSetting("Web Site", value).ok());
    QCOMPARE(is_private(), made_private);
    QVERIFY(store.WriteSetting("Text1", "/tmp/other/").ok());
    QCOMPARE(is_private(), made_private);
  }

  void UnwritableStoreFailsTheWrite() {
    TempSettings temp;
    // A folder standing where the file must go makes every write fail, also
    // for root.
    QVERIFY(QDir().mkpath(temp.FilePath()));
    SettingsStore store;
    QCOMPARE(store.WriteSetting("Web Site", "x").failure(),
             QString("Permission denied"));
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::SettingsStoreTest)
#include "settings_store_test.moc"
