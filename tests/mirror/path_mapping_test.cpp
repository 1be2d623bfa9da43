#include "mirror/path_mapping.h"

#include <QtTest>

#include "core/real_file_system.h"
#include "mirror/store_order.h"

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace trawlbox {
namespace {

QString Site() { return QStringLiteral("http://www.example.com"); }

// A path as the program holds it: a folder the user typed as "/tmp/abc"
// becomes "\\tmp\abc" once "/" is turned into "\" and the backslashes fixed.
QString TextForm(const QString& native) {
  QString text = native;
  text.replace(u'/', u'\\');
  return FixBackslashes(text);
}

bool IsFolder(const QString& native) { return QFileInfo(native).isDir(); }

bool MakeFile(const QString& native) {
  QFile file(native);
  if (!file.open(QIODevice::WriteOnly)) return false;
  return file.write("x") == 1;
}

bool RunsAsRoot() {
#ifdef Q_OS_WIN
  return false;
#else
  return geteuid() == 0;
#endif
}

}  // namespace

class PathMappingTest : public QObject {
  Q_OBJECT

 private slots:
  void FolderPart_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no backslash") << "abc"
                                  << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("file") << "C:\\Mirror\\img\\logo.gif"
                          << "C:\\Mirror\\img\\";
    QTest::newRow("trailing backslash") << "C:\\Mirror\\"
                                        << "C:\\Mirror\\";
    QTest::newRow("network prefix only") << "\\\\srv"
                                         << "\\\\";
    QTest::newRow("slash is no separator") << "C:/Mirror/a.gif"
                                           << "";
  }
  void FolderPart() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(GetFolderPart(path), expected);
  }

  void Extension_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("without");
    QTest::newRow("none") << "C:\\Mirror\\about"
                          << ""
                          << "C:\\Mirror\\about";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("file") << "C:\\Mirror\\a.gif"
                          << ".gif"
                          << "C:\\Mirror\\a";
    QTest::newRow("last dot only") << "a.tar.gz"
                                   << ".gz"
                                   << "a.tar";
    QTest::newRow("dot in a folder name") << "C:\\My.Site\\docs"
                                          << ".Site\\docs"
                                          << "C:\\My";
    QTest::newRow("dot first") << ".htaccess"
                               << ".htaccess"
                               << ".htaccess";
    QTest::newRow("dot second") << "..x"
                                << ".x"
                                << ".";
    QTest::newRow("dot last") << "name."
                              << "."
                              << "name";
    QTest::newRow("dot alone") << "."
                               << "."
                               << ".";
  }
  void Extension() {
    QFETCH(QString, path);
    QFETCH(QString, extension);
    QFETCH(QString, without);
    QCOMPARE(GetExtension(path), extension);
    QCOMPARE(RemoveExtension(path), without);
  }

  void Backslashes_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("run of three") << "C:\\a\\\\\\b"
                                  << "C:\\a\\\\b";
    QTest::newRow("run of four") << "C:\\a\\\\\\\\b"
                                 << "C:\\a\\\\b";
    QTest::newRow("run of five") << "C:\\a\\\\\\\\\\b"
                                 << "C:\\a\\\\\\b";
    QTest::newRow("pair") << "C:\\Mirror\\\\img"
                          << "C:\\Mirror\\img";
    QTest::newRow("single kept") << "C:\\Mirror\\img"
                                 << "C:\\Mirror\\img";
    QTest::newRow("one leading") << "\\x"
                                 << "\\\\x";
    QTest::newRow("four leading") << "\\\\\\\\srv\\\\a"
                                  << "\\\\srv\\a";
    QTest::newRow("network kept") << "\\\\srv\\share"
                                  << "\\\\srv\\share";
    QTest::newRow("three leading, four inside") << "\\\\\\x\\\\\\\\y"
                                                << "\\\\x\\\\y";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("one backslash") << "\\"
                                   << "\\\\";
    QTest::newRow("only backslashes") << "\\\\\\\\\\"
                                      << "\\\\";
    QTest::newRow("trailing pair") << "C:\\\\"
                                   << "C:\\";
    QTest::newRow("slashes untouched") << "a//b"
                                       << "a//b";
  }
  void Backslashes() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(FixBackslashes(path), expected);
  }

  void MapAddress_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("first_fix");
    QTest::addColumn<QString>("expected");
    const QString mirror = QStringLiteral("C:\\Mirror");
    QTest::newRow("file in a folder") << Site() + "/img/logo.gif" << Site()
                                      << mirror << "C:\\Mirror\\img\\logo.gif"
                                      << "C:\\Mirror\\img\\logo.gif";
    // index.htm is the caller's business: the text still ends in "\".
    QTest::newRow("site root")
        << Site() + "/" << Site() << mirror << "C:\\Mirror\\"
        << "C:\\Mirror\\";
    QTest::newRow("folder address")
        << Site() + "/docs/" << Site() << mirror << "C:\\Mirror\\docs\\"
        << "C:\\Mirror\\docs\\";
    QTest::newRow("query") << Site() + "/page.php?id=3" << Site() << mirror
                           << "C:\\Mirror\\page.php?id=3"
                           << "C:\\Mirror\\page.php_id=3";
    QTest::newRow("percent escape kept")
        << Site() + "/my%20file.pdf" << Site() << mirror
        << "C:\\Mirror\\my%20file.pdf"
        << "C:\\Mirror\\my%20file.pdf";
    QTest::newRow("folder with trailing backslash")
        << Site() + "/img/logo.gif" << Site() << "C:\\Mirror\\"
        << "C:\\Mirror\\img\\logo.gif"
        << "C:\\Mirror\\img\\logo.gif";
    // A folder typed without its final separator still holds the files.
    QTest::newRow("start with trailing slash")
        << Site() + "/img/a.gif" << Site() + "/" << mirror
        << "C:\\Mirror\\img\\a.gif"
        << "C:\\Mirror\\img\\a.gif";
    QTest::newRow("start with trailing slash, its own address")
        << Site() + "/" << Site() + "/" << mirror << "C:\\Mirror\\"
        << "C:\\Mirror\\";
    QTest::newRow("unix folder without trailing slash")
        << Site() + "/a.gif" << Site() + "/"
        << "/home/u/m"
        << "\\\\home\\u\\m\\a.gif"
        << "\\\\home\\u\\m\\a.gif";
    // The user and password are the start address's: the folder takes
    // their place with it.
    QTest::newRow("password in the start")
        << "http://al:pw@h:81/priv/sub/logo@2x.png"
        << "http://al:pw@h:81/priv/"
        << "/home/u/m"
        << "\\\\home\\u\\m\\sub\\logo@2x.png"
        << "\\\\home\\u\\m\\sub\\logo@2x.png";
    QTest::newRow("host only start")
        << Site() + "/a.gif"
        << "www.example.com" << mirror << "http:\\C:\\Mirror\\a.gif"
        << "http:\\C:\\Mirror\\a.gif";
    QTest::newRow("letter case differs")
        << "http://WWW.example.com/a.gif" << Site() << mirror
        << "http:\\WWW.example.com\\a.gif"
        << "http:\\WWW.example.com\\a.gif";
    QTest::newRow("empty start") << "http://h/a.gif"
                                 << "" << mirror << "http:\\h\\a.gif"
                                 << "http:\\h\\a.gif";
    QTest::newRow("every occurrence")
        << "http://h/x/http://h/y.gif"
        << "http://h" << mirror << "C:\\Mirror\\x\\C:\\Mirror\\y.gif"
        << "C:\\Mirror\\x\\C:\\Mirror\\y.gif";
    QTest::newRow("non-overlapping from the left") << "aaa"
                                                   << "aa"
                                                   << "X\\"
                                                   << "X\\a"
                                                   << "X\\a";
    QTest::newRow("folder holding the start is not rescanned") << "h/h"
                                                               << "h"
                                                               << "hh\\"
                                                               << "hh\\hh\\"
                                                               << "hh\\hh\\";
    QTest::newRow("second fix halves again")
        << Site() + "///x.gif" << Site() << mirror << "C:\\Mirror\\\\x.gif"
        << "C:\\Mirror\\x.gif";
    QTest::newRow("question marks only")
        << Site() + "/a?b?c" << Site() << mirror << "C:\\Mirror\\a?b?c"
        << "C:\\Mirror\\a_b_c";
    QTest::newRow("other characters kept")
        << Site() + "/a#b&c=d*e|f\"g" << Site() << mirror
        << "C:\\Mirror\\a#b&c=d*e|f\"g"
        << "C:\\Mirror\\a#b&c=d*e|f\"g";
    QTest::newRow("unix destination")
        << Site() + "/img/a.gif" << Site() << "/home/u/Mirror/"
        << "\\\\home\\u\\Mirror\\img\\a.gif"
        << "\\\\home\\u\\Mirror\\img\\a.gif";
    QTest::newRow("climbing address kept as text")
        << Site() + "/../../etc/x" << Site() << mirror
        << "C:\\Mirror\\..\\..\\etc\\x"
        << "C:\\Mirror\\..\\..\\etc\\x";
  }
  void MapAddress() {
    QFETCH(QString, address);
    QFETCH(QString, start);
    QFETCH(QString, folder);
    QFETCH(QString, first_fix);
    QFETCH(QString, expected);
    QString after_first_fix = QStringLiteral("untouched");
    QCOMPARE(MapAddressText(address, start, folder, &after_first_fix),
             expected);
    QCOMPARE(after_first_fix, first_fix);
    QCOMPARE(MapAddressText(address, start, folder), expected);
  }

  void NativePath_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("names_path");
    QTest::addColumn<QString>("native");
#ifdef Q_OS_WIN
    QTest::newRow("drive form") << "C:\\Mirror\\x" << true << "C:\\Mirror\\x";
    QTest::newRow("network form")
        << "\\\\srv\\share\\a.gif" << true << "\\\\srv\\share\\a.gif";
#else
    QTest::newRow("network form") << "\\\\home\\u\\Mirror\\img\\a.gif" << true
                                  << "/home/u/Mirror/img/a.gif";
    QTest::newRow("prefix only") << "\\\\" << true << "/";
    QTest::newRow("trailing backslash") << "\\\\tmp\\a\\" << true << "/tmp/a/";
    QTest::newRow("spaces kept")
        << "\\\\tmp\\ a b \\c" << true << "/tmp/ a b /c";
    QTest::newRow("dots in names")
        << "\\\\tmp\\...\\..a\\a..\\.\\b" << true << "/tmp/.../..a/a.././b";
    QTest::newRow("drive form") << "C:\\Mirror\\x" << false << "";
    QTest::newRow("single backslash") << "\\tmp\\x" << false << "";
    QTest::newRow("native form") << "/tmp/x" << false << "";
#endif
    QTest::newRow("scheme left in front")
        << "http:\\host\\a.gif" << false << "";
    QTest::newRow("relative") << "Mirror\\a.gif" << false << "";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("parent at the start") << "..\\a" << false << "";
    QTest::newRow("parent alone") << ".." << false << "";
    QTest::newRow("parent at the end") << "\\\\tmp\\.." << false << "";
    QTest::newRow("parent inside") << "\\\\tmp\\a\\..\\b" << false << "";
    QTest::newRow("parent between slashes") << "\\\\tmp/a/../b" << false << "";
    QTest::newRow("parent behind trailing slash")
        << "\\\\tmp\\a\\../" << false << "";
    QTest::newRow("parent in drive form") << "C:\\a\\..\\b" << false << "";
    QTest::newRow("nul inside")
        << QStringLiteral("\\\\tmp\\a") + QChar(0) + "b" << false << "";
  }
  void NativePath() {
    QFETCH(QString, text);
    QFETCH(bool, names_path);
    QFETCH(QString, native);
    const std::optional<QString> result = ToNativePath(text);
    QCOMPARE(result.has_value(), names_path);
    if (names_path) QCOMPARE(*result, native);
  }

  void MappedDestinationReachesTheDisk() {
#ifdef Q_OS_WIN
    QSKIP("the text is the native path on this platform");
#else
    const QString text =
        MapAddressText(Site() + "/img/a.gif", Site(), "/home/u/Mirror/");
    QCOMPARE(
        ToNativePath(text),
        std::optional<QString>(QStringLiteral("/home/u/Mirror/img/a.gif")));
#endif
  }

  void ExistenceOnTexts() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath("sub/inner"));
    QVERIFY(MakeFile(dir.filePath("file.txt")));
    const QString base = TextForm(dir.path());

    QVERIFY(PathFileExists(disk_, base + "\\file.txt"));
    QVERIFY(!PathFolderExists(disk_, base + "\\file.txt"));
    QVERIFY(PathFileExists(disk_, base + "\\sub"));
    QVERIFY(PathFolderExists(disk_, base + "\\sub"));
    QVERIFY(PathFolderExists(disk_, base + "\\sub\\"));
    QVERIFY(!PathFileExists(disk_, base + "\\missing"));
    QVERIFY(!PathFolderExists(disk_, base + "\\missing"));
    // The folder is there, but a text that climbs names no path.
    QVERIFY(!PathFileExists(disk_, base + "\\sub\\inner\\.."));
    QVERIFY(!PathFolderExists(disk_, base + "\\sub\\inner\\.."));
#ifndef Q_OS_WIN
    QVERIFY(!PathFileExists(disk_, dir.path()));
    QVERIFY(!PathFolderExists(disk_, dir.path()));
#endif
  }

  void CreateLevels_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QStringList>("created");
    QTest::addColumn<QStringList>("absent");
    QTest::newRow("three levels, trailing backslash")
        << "A\\B\\C\\" << QStringList{"A", "A/B", "A/B/C"} << QStringList{};
    QTest::newRow("existing levels skipped")
        << "Old\\New\\Newer" << QStringList{"Old", "Old/New", "Old/New/Newer"}
        << QStringList{};
    QTest::newRow("doubled backslashes collapsed")
        << "\\A\\\\B" << QStringList{"A", "A/B"} << QStringList{};
    QTest::newRow("blank level skipped")
        << "A\\   \\B" << QStringList{"A", "A/B"} << QStringList{"A/   "};
    QTest::newRow("empty level skipped")
        << "A\\\\\\B" << QStringList{"A", "A/B"} << QStringList{};
    QTest::newRow("padded name kept untrimmed")
        << "A\\ C " << QStringList{"A", "A/ C "} << QStringList{"A/C"};
    QTest::newRow("tab is part of a name")
        << "A\\\t" << QStringList{"A", "A/\t"} << QStringList{};
  }
  void CreateLevels() {
    QFETCH(QString, relative);
    QFETCH(QStringList, created);
    QFETCH(QStringList, absent);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("Old"));
    QVERIFY(MakeFile(dir.filePath("Old/keep.txt")));

    QVERIFY(
        CreateFolderPath(disk_, TextForm(dir.path()) + "\\" + relative).ok());

    for (const QString& level : created) {
      QVERIFY2(IsFolder(dir.filePath(level)), qPrintable(level));
    }
    for (const QString& level : absent) {
      QVERIFY2(!QFileInfo::exists(dir.filePath(level)), qPrintable(level));
    }
    QVERIFY(QFileInfo(dir.filePath("Old/keep.txt")).isFile());
  }

  void CreateExistingFolderDoesNothing() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(CreateFolderPath(disk_, TextForm(dir.path())).ok());
    QVERIFY(CreateFolderPath(disk_, TextForm(dir.path()) + "\\").ok());
    QVERIFY(QDir(dir.path())
                .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System |
                         QDir::NoDotAndDotDot));
  }

  void CreateOverAFileOfTheSameName() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(MakeFile(dir.filePath("taken")));
    // The file counts as the level: nothing is created and nothing fails.
    QVERIFY(CreateFolderPath(disk_, TextForm(dir.path()) + "\\taken").ok());
    QVERIFY(QFileInfo(dir.filePath("taken")).isFile());
  }

  void CreateBlockedByAFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("A"));
    QVERIFY(MakeFile(dir.filePath("A/B")));
    const QString text = TextForm(dir.path()) + "\\A\\B\\C\\D";
    QCOMPARE(CreateFolderPath(disk_, text).failure(),
             QStringLiteral("Path/File access error"));
    QVERIFY(QFileInfo(dir.filePath("A/B")).isFile());
  }

  void CreateBelowReadOnlyFolder() {
    if (RunsAsRoot()) QSKIP("the superuser may write into any folder");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("locked"));
    const QString locked = dir.filePath("locked");
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner |
                                              QFile::ReadUser |
                                              QFile::ExeUser));
    const QString failure =
        CreateFolderPath(disk_, TextForm(dir.path()) + "\\locked\\a\\b")
            .failure();
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner |
                                      QFile::ExeOwner | QFile::ReadUser |
                                      QFile::WriteUser | QFile::ExeUser);
    QCOMPARE(failure, QStringLiteral("Permission denied"));
    QVERIFY(!QFileInfo::exists(dir.filePath("locked/a")));
  }

  void CreateUnderMissingServer() {
#ifdef Q_OS_WIN
    QSKIP("a missing share is the system's own failure on this platform");
#else
    // The top of a network form is never created, so the level below it has
    // no parent.
    const QString top = QStringLiteral("trawlbox-missing-%1")
                            .arg(QCoreApplication::applicationPid());
    if (QFileInfo::exists("/" + top)) QSKIP("the test name is taken");
    QCOMPARE(CreateFolderPath(disk_, "\\\\" + top + "\\share\\d").failure(),
             QStringLiteral("Path not found"));
    QVERIFY(!QFileInfo::exists("/" + top));
#endif
  }

  void CreateOnTextsNamingNoPath_data() {
    QTest::addColumn<QString>("text");
#ifndef Q_OS_WIN
    QTest::newRow("drive form") << "C:\\A\\B\\C\\";
    QTest::newRow("scheme left in front") << "http:\\C:\\Mirror\\img";
#endif
    QTest::newRow("relative") << "Mirror\\img";
  }
  void CreateOnTextsNamingNoPath() {
#ifdef Q_OS_WIN
    QSKIP("drive and relative forms name paths on this platform");
#endif
    QFETCH(QString, text);
    QCOMPARE(CreateFolderPath(disk_, text).failure(),
             QStringLiteral("Path not found"));
    QVERIFY(!QFileInfo::exists("C:"));
    QVERIFY(!QFileInfo::exists("Mirror"));
    QVERIFY(!QFileInfo::exists("http:"));
  }

  void CreateEmptyTextDoesNothing() {
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QVERIFY(CreateFolderPath(disk_, QString()).ok());
    QVERIFY(CreateFolderPath(disk_, QStringLiteral("\\")).ok());
    QVERIFY(QDir::setCurrent(before));
    QVERIFY(
        QDir(dir.path())
            .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
  }

  void ClimbingAddressNeverReachesTheDisk_data() {
    QTest::addColumn<QString>("address");
    QTest::newRow("parent after a level") << "/inside/../../escape/a.gif";
    QTest::newRow("parent first") << "/../escape/a.gif";
    QTest::newRow("parent as the file") << "/../escape/..";
  }
  void ClimbingAddressNeverReachesTheDisk() {
    QFETCH(QString, address);
    QTemporaryDir outer;
    QVERIFY(outer.isValid());
    QVERIFY(QDir(outer.path()).mkdir("Mirror"));
    const QString folder = TextForm(outer.filePath("Mirror"));

    const QString path = MapAddressText(Site() + address, Site(), folder);
    QCOMPARE(CreateFolderPath(disk_, GetFolderPart(path)).failure(),
             QStringLiteral("Path not found"));
    QVERIFY(!PathFileExists(disk_, path));
    QCOMPARE(FreeName(disk_, path).value(), path);
    QVERIFY(!QFileInfo::exists(outer.filePath("escape")));
    QVERIFY(!QFileInfo::exists(outer.filePath("Mirror/escape")));
  }

  void ClimbingFolderLevelIsNotCreated() {
    QTemporaryDir outer;
    QVERIFY(outer.isValid());
    QVERIFY(QDir(outer.path()).mkdir("Mirror"));
    const QString text =
        TextForm(outer.filePath("Mirror")) + "\\in\\..\\..\\escape\\deeper";
    QCOMPARE(CreateFolderPath(disk_, text).failure(),
             QStringLiteral("Path not found"));
    // Levels above the climbing one are inside the folder and may exist;
    // nothing at or below it does.
    QVERIFY(IsFolder(outer.filePath("Mirror/in")));
    QVERIFY(!QFileInfo::exists(outer.filePath("escape")));
    QVERIFY(!QFileInfo::exists(outer.filePath("Mirror/escape")));
  }

  void FreeNames_data() {
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing there") << QStringList{} << QStringList{} << "docs"
                                   << "docs";
    QTest::newRow("folder taken")
        << QStringList{"docs"} << QStringList{} << "docs"
        << "docs1";
    QTest::newRow("two folders taken")
        << QStringList{"docs", "docs1"} << QStringList{} << "docs"
        << "docs2";
    QTest::newRow("number gap not filled")
        << QStringList{"docs", "docs1", "docs3"} << QStringList{} << "docs"
        << "docs2";
    QTest::newRow("extension kept")
        << QStringList{"a.gif"} << QStringList{} << "a.gif"
        << "a1.gif";
    QTest::newRow("existing file kept")
        << QStringList{} << QStringList{"a.gif"} << "a.gif"
        << "a.gif";
    QTest::newRow("numbered file ends the search")
        << QStringList{"docs"} << QStringList{"docs1"} << "docs"
        << "docs1";
    QTest::newRow("extension from a folder name")
        << QStringList{"My.Site", "My.Site/docs"} << QStringList{}
        << "My.Site\\docs"
        << "My1.Site\\docs";
    QTest::newRow("numbered from the original each time")
        << QStringList{"a.b.c", "a.b1.c"} << QStringList{} << "a.b.c"
        << "a.b2.c";
  }
  void FreeNames() {
    QFETCH(QStringList, folders);
    QFETCH(QStringList, files);
    QFETCH(QString, relative);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The extension is taken from the last "." of the whole text.
    if (dir.path().contains(u'.')) QSKIP("the temporary folder holds a dot");
    for (const QString& folder : folders) {
      QVERIFY(QDir(dir.path()).mkdir(folder));
    }
    for (const QString& file : files) {
      QVERIFY(MakeFile(dir.filePath(file)));
    }
    const QString base = TextForm(dir.path()) + "\\";
    QCOMPARE(FreeName(disk_, base + relative).value(), base + expected);
  }

  // Rows stored side by side must not change each other's names: a row
  // meets one claimed before it when a folder the one makes may be a name
  // the free-name rule gives the other.
  void RowsThatMeet_data() {
    QTest::addColumn<QString>("claimed");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("meets");
    QTest::newRow("side by side") << "C:\\m\\a\\b.txt"
                                  << "C:\\m\\a\\c.txt" << false;
    QTest::newRow("a folder on the later name") << "C:\\m\\p\\q\\r.txt"
                                                << "C:\\m\\p\\q" << true;
    QTest::newRow("a file where the later makes a folder")
        << "C:\\m\\p\\q"
        << "C:\\m\\p\\q\\r.txt" << true;
    QTest::newRow("a folder on the name numbered") << "C:\\m\\p\\q2\\r.txt"
                                                   << "C:\\m\\p\\q" << true;
    QTest::newRow("numbered before a dot in a folder")
        << "C:\\m\\a1.b\\c\\x.txt"
        << "C:\\m\\a.b\\c" << true;
    QTest::newRow("in another case") << "C:\\m\\A\\x.txt"
                                     << "C:\\m\\a" << true;
    QTest::newRow("a folder beside a name with a dot")
        << "C:\\m\\d\\index.htm"
        << "C:\\m\\d.htm" << false;
    QTest::newRow("a longer name") << "C:\\m\\x\\y.txt"
                                   << "C:\\m\\xy" << false;
  }
  void RowsThatMeet() {
    QFETCH(QString, claimed);
    QFETCH(QString, path);
    QFETCH(bool, meets);
    StoreOrder order;
    QVERIFY(!order.Meets(path));
    order.Claim(claimed);
    QCOMPARE(order.Meets(path), meets);
    order.Release(claimed);
    QVERIFY(!order.Meets(path));
  }

  void FreeNameOnDriveFormOffWindows() {
#ifdef Q_OS_WIN
    QSKIP("the drive form names a path on this platform");
#else
    QCOMPARE(FreeName(disk_, "C:\\Mirror").value(),
             QStringLiteral("C:\\Mirror"));
#endif
  }

  void FreeNameCountsInSixteenBits() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (dir.path().contains(u'.')) QSKIP("the temporary folder holds a dot");
    QDir top(dir.path());
    QVERIFY(top.mkdir("d"));
    for (int n = 1; n < 32767; ++n) {
      QVERIFY(top.mkdir(QStringLiteral("d%1").arg(n)));
    }
    const QString base = TextForm(dir.path()) + "\\d";
    QCOMPARE(FreeName(disk_, base).value(), base + "32767");
    QVERIFY(top.mkdir("d32767"));
    QCOMPARE(FreeName(disk_, base).status().failure(),
             QStringLiteral("Overflow"));
  }

 private:
  RealFileSystem disk_;
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::PathMappingTest)
#include "path_mapping_test.moc"
