#include "core/existence.h"

#include <QtTest>

namespace trawlbox {

class ExistenceTest : public QObject {
  Q_OBJECT

 private slots:
  void Answers_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("file_exists");
    QTest::addColumn<bool>("folder_exists");
    QTest::newRow("ordinary file") << "file.txt" << true << false;
    QTest::newRow("folder") << "folder" << true << true;
    QTest::newRow("folder with separator") << "folder/" << true << true;
    QTest::newRow("file with separator") << "file.txt/" << false << false;
    QTest::newRow("missing") << "missing" << false << false;
    QTest::newRow("missing parent") << "missing/child" << false << false;
    QTest::newRow("link to folder") << "link" << true << true;
    QTest::newRow("dangling link") << "dangling" << false << false;
  }
  void Answers() {
    QFETCH(QString, relative);
    QFETCH(bool, file_exists);
    QFETCH(bool, folder_exists);
    QTemporaryDir dir;
    QFile file(dir.filePath("file.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QFile::link(dir.filePath("folder"), dir.filePath("link"));
    QFile::link(dir.filePath("nowhere"), dir.filePath("dangling"));
    const QString path = dir.path() + "/" + relative;
    QCOMPARE(FileExists(path), file_exists);
    QCOMPARE(FolderExists(path), folder_exists);
  }

  void RootIsAFolder() {
    QVERIFY(FolderExists(QDir::rootPath()));
    QVERIFY(FileExists(QDir::rootPath()));
  }

  void TextsNamingNothingAnswerFalse_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("empty") << "";
    QTest::newRow("nul inside") << QString("/tmp") + QChar(0) + "x";
    QTest::newRow("drive form off windows")
        << (QDir::separator() == '/' ? "C:\\Mirror\\none" : "Q:\\none\\x");
    QTest::newRow("too long") << "/" + QString(5000, 'a');
  }
  void TextsNamingNothingAnswerFalse() {
    QFETCH(QString, path);
    QVERIFY(!FileExists(path));
    QVERIFY(!FolderExists(path));
  }

  void PathIsTakenUnchanged() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QVERIFY(!FolderExists(" " + dir.path() + "/folder"));
    QVERIFY(!FolderExists(dir.path() + "/folder "));
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::ExistenceTest)
#include "existence_test.moc"
