#include <QCryptographicHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>
#include <map>

#include "core/real_file_system.h"
#include "mirror/aria2_export.h"
#include "mirror/path_mapping.h"
#include "support/commands_fixture.h"
#include "support/cutting_relay.h"
#include "support/files.h"
#include "support/real_server.h"

namespace trawlbox {
namespace {

// A walk over this small tree takes a second or so; one still going after
// this long never ends by itself.
constexpr int kWalkLimitMs = 120 * 1000;

// The certificate the secure servers show, and its authority.
const QString kCertDir = QStringLiteral(TRAWLBOX_TEST_CERT_DIR);

// Writes the served tree into `root` and returns what each address below the
// start must give: a file's bytes, or for a folder served through its own
// index.html ("site/"), that page.
std::map<QString, QByteArray> MakeServedTree(const QString& root) {
  const QStringList files = {
      "raw space.txt",    "a&b.txt",        "it's.txt",      "semi;colon.txt",
      "c++.txt",          "100%.txt",       "naïve.txt",     "größe.txt",
      "README",           "LICENSE",        "docs/Makefile", "v1.2/notes.txt",
      "site/page.txt",    "a/b/c/deep.txt", "logo@2x.png",   "user@host.log",
      "@types/index.d.ts"};
  std::map<QString, QByteArray> served;
  for (int i = 0; i < files.size(); ++i) {
    QByteArray bytes =
        QStringLiteral("File %1: %2\n").arg(i).arg(files[i]).toUtf8();
    bytes += QByteArray(i + 1, static_cast<char>(0x80 + i));
    served[files[i]] = bytes;
    WriteFile(root + "/" + files[i], bytes);
  }
  QDir(root).mkpath("empty");
  served["site/"] = "<html><body><a href=\"page.txt\">page</a></body></html>\n";
  WriteFile(root + "/site/index.html", served["site/"]);
  return served;
}

// A row's path below the start, percent escapes decoded.
QString DecodedPath(const QString& row, const QString& start) {
  if (!row.startsWith(start)) return QString();
  return QString::fromUtf8(
      QByteArray::fromPercentEncoding(row.mid(start.size()).toUtf8()));
}

// Where the download puts a row's file; empty when it names no path.
QString LocalPath(const QString& row, const QString& start,
                  const QString& folder) {
  QString text = MapAddressText(row, start, folder);
  if (text.endsWith('\\')) text += "index.htm";
  return ToNativePath(text).value_or(QString());
}

// What is wrong with the sizes of the rows of served files: "PATH unknown",
// or "PATH: LISTED for SIZE" when an exact size differs or a rounded one
// lies more than a tenth of a KiB off. With `exact`, only sizes known to
// the byte pass.
QStringList ListedSizeErrors(const FileList& list, const QString& start,
                             const std::map<QString, QByteArray>& served,
                             bool exact = false) {
  QStringList errors;
  for (qsizetype i = 1; i <= list.Count(); ++i) {
    const QString path = DecodedPath(list.Text(i), start);
    const auto file = served.find(path);
    if (file == served.end() || path.endsWith('/')) continue;
    const RowSize size = list.SizeOf(i);
    const qint64 off = std::abs(size.bytes - file->second.size());
    if (size.unknown() || (exact && !size.exact())) {
      errors << path + " unknown";
    } else if (size.exact() ? off != 0 : off > 102) {
      errors << QStringLiteral("%1: %2 for %3")
                    .arg(path)
                    .arg(size.bytes)
                    .arg(file->second.size());
    }
  }
  return errors;
}

// The htpasswd line for the user Apache asks for below priv/ ({SHA}: the
// base64 of the password's SHA-1).
QByteArray UsersFile(const QByteArray& user, const QByteArray& password) {
  return user + ":{SHA}" +
         QCryptographicHash::hash(password, QCryptographicHash::Sha1)
             .toBase64() +
         "\n";
}

// The first rows for a failure message, each cut to a readable length.
QString Shown(const QStringList& rows, qsizetype from = 0) {
  QStringList shown;
  for (const QString& row : rows.mid(from, 40)) {
    shown << (row.size() > 150 ? row.left(90) + " ... " + row.right(50) : row);
  }
  return "\n  " + shown.join("\n  ");
}

// Why a test of `kind` cannot run here; empty when it can.
QString NotInstalled(const RealServer& server, const RealServerKind& kind) {
  return server.installed() ? QString()
                            : QStringLiteral("%1 (%2) is not installed")
                                  .arg(kind.name, kind.program);
}

}  // namespace

// Skips a test whose server is not installed, and fails it on CI, where
// every server must be.
#define SKIP_UNLESS_INSTALLED(server, kind)             \
  do {                                                  \
    const QString reason = NotInstalled(server, kind);  \
    if (!reason.isEmpty() && qgetenv("CI") == "true") { \
      QFAIL(qPrintable(reason));                        \
    }                                                   \
    if (!reason.isEmpty()) QSKIP(qPrintable(reason));   \
  } while (false)

class RealServersTest : public QObject {
  Q_OBJECT

 private slots:
  // aria2c fed the export stores the very tree, and the very names, that
  // the download stores.
  void Aria2StoresWhatTheDownloadStores_data() {
    QTest::addColumn<int>("kind");
    for (int i = 0; i < RealServerKinds().size(); ++i) {
      const QLatin1String name(RealServerKinds()[i].name);
      if (name == "apache" || name == "nginx") QTest::newRow(name.data()) << i;
    }
  }
  void Aria2StoresWhatTheDownloadStores() {
    QFETCH(int, kind);
    const QString aria2 = QStandardPaths::findExecutable("aria2c");
    if (aria2.isEmpty() && qgetenv("CI") == "true") QFAIL("aria2c is missing");
    if (aria2.isEmpty()) QSKIP("aria2c is not installed");
    RealServer server(RealServerKinds()[kind]);
    SKIP_UNLESS_INSTALLED(server, RealServerKinds()[kind]);
    MakeServedTree(server.root());
    const QString error = server.Start();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    CommandsFixture fixture;
    fixture.SetStart(server.Url());
    fixture.StartListing();
    QStringList ticked;
    for (qsizetype i = 1; i <= fixture.list().Count(); ++i) {
      if (fixture.list().Ticked(i)) ticked << fixture.list().Text(i);
    }
    QTemporaryDir by_aria2;
    const QString input = by_aria2.filePath("input.txt");
    RealFileSystem disk;
    QVERIFY(WriteFile(input, Aria2InputText(disk, ticked, server.Url(),
                                            by_aria2.path() + "/store/")));
    QProcess run;
    run.start(aria2, {"--input-file", input, "--quiet", "--max-tries=1",
                      "--allow-overwrite=true", "--auto-file-renaming=false"});
    QVERIFY(run.waitForFinished(120'000));
    QCOMPARE(run.exitCode(), 0);
    fixture.StartDownloading();
    const auto stored = Tree(by_aria2.path() + "/store");
    QVERIFY(!stored.empty());
    QVERIFY(stored == Tree(fixture.destination.path()));
  }

  void MirrorsTheServedTree_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("user");  // in the address; the tree in priv/
    for (int i = 0; i < RealServerKinds().size(); ++i) {
      QTest::newRow(RealServerKinds()[i].name) << i << QString();
      if (RealServerKinds()[i].name == QLatin1String("apache")) {
        QTest::newRow("apache, behind a password") << i << "alice:s3cret@";
      }
    }
  }
  void MirrorsTheServedTree() {
    QFETCH(int, kind);
    QFETCH(QString, user);
    RealServer server(RealServerKinds()[kind]);
    SKIP_UNLESS_INSTALLED(server, RealServerKinds()[kind]);
    const QString folder = user.isEmpty() ? "" : "priv/";
    const std::map<QString, QByteArray> served =
        MakeServedTree(server.root() + "/" + folder);
    QVERIFY(WriteFile(server.run() + "/users", UsersFile("alice", "s3cret")));
    const QString error =
        server.Start(kCertDir + "/server.pem", kCertDir + "/server.key");
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const bool secure = RealServerKinds()[kind].secure;
    const auto trust = [&](CommandsFixture& commands) {
      if (secure) commands.engine.set_ca_file(kCertDir + "/ca.pem");
    };

    CommandsFixture fixture;
    trust(fixture);
    const QString start = server.Url(user) + folder;
    fixture.SetStart(start);
    bool stopped = false;
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [&] {
      stopped = true;
      fixture.crawler.RequestStop();
    });
    guard.start(kWalkLimitMs);
    fixture.StartListing();
    guard.stop();
    const QStringList rows = Rows(fixture.list());
    if (stopped) {
      qInfo().noquote() << rows.size() << "rows when stopped, the last:"
                        << Shown(rows, qMax(0, rows.size() - 5));
    }
    QVERIFY2(!stopped, "the walk did not end by itself");
    // The sizes the listing pages print: exact ones are the files', rounded
    // ones within a tenth of a KiB of them (the files are small). Only
    // Python's listings, and the folder's own page, print none.
    const QStringList sizes = ListedSizeErrors(fixture.list(), start, served);
    QStringList unknown = sizes.filter("unknown");
    unknown.removeAll("site/page.txt unknown");
    const bool prints =
        QLatin1String(RealServerKinds()[kind].program) != "python3";
    QVERIFY2(unknown.isEmpty() || !prints, qPrintable(unknown.join(", ")));
    QVERIFY2(sizes.filter(" for ").isEmpty(), qPrintable(sizes.join(", ")));
    fixture.StartDownloading();
    // Every stored file's row then knows its size to the byte.
    QCOMPARE(ListedSizeErrors(fixture.list(), start, served, true),
             QStringList());

    QStringList missing, differing, folders;
    for (const auto& [path, bytes] : served) {
      bool listed = false, saved = false, same = false;
      for (const QString& row : rows) {
        // A file may also be listed as a folder: "README/".
        const QString decoded = DecodedPath(row, start);
        if (decoded != path && decoded != path + "/") continue;
        const QString address = decoded == path ? row : row.chopped(1);
        const QFileInfo local(LocalPath(address, start, fixture.host.folder));
        if (local.isDir()) folders << path + " -> " + local.filePath();
        if (decoded != path) continue;
        listed = true;
        if (!local.isFile()) continue;
        saved = true;
        same = same || ReadAll(local.filePath()) == bytes;
      }
      if (!saved) missing << path + (listed ? " (not saved)" : " (no row)");
      if (saved && !same) differing << path;
    }
    const QStringList boxes = fixture.prompts.texts();
    const bool plain_done = boxes == QStringList({"Done.", "Done."});
    if (!missing.isEmpty() || !differing.isEmpty() || !folders.isEmpty() ||
        !plain_done) {
      qInfo().noquote() << "Missing:" << missing.join(", ")
                        << "\nDiffering:" << differing.join(", ")
                        << "\nSaved as folders:" << folders.join(", ")
                        << "\nBoxes:" << boxes.join(" | ")
                        << "\nRows:" << Shown(rows);
    }
    QVERIFY2(missing.isEmpty(), qPrintable("missing: " + missing.join(", ")));
    QVERIFY2(differing.isEmpty(),
             qPrintable("differing: " + differing.join(", ")));
    QVERIFY2(folders.isEmpty(),
             qPrintable("saved as folders: " + folders.join(", ")));
    QCOMPARE(boxes, QStringList({"Done.", "Done."}));
    // Requests shared a connection once the server answered over HTTP/2,
    // and a failure reads as it does over HTTP/1.1, which sends the words.
    const RequestRun& run = fixture.engine.run();
    QCOMPARE(run.capacity() > run.settings().connections,
             secure && run.settings().connections > 1);
    if (secure) {
      const qsizetype readme = rows.indexOf(start + "README/");
      QVERIFY(readme >= 0);
      QCOMPARE(fixture.list().FailureOf(readme + 1),
               QString("HTTP 404 Not Found"));
    }

    // One transfer at a time lists the same rows and stores the same tree.
    CommandsFixture one;
    trust(one);
    one.engine.set_connections(1);
    one.SetStart(start);
    one.StartListing();
    QCOMPARE(Rows(one.list()), rows);
    one.StartDownloading();
    QVERIFY(!Tree(one.destination.path()).empty());
    QVERIFY(Tree(one.destination.path()) == Tree(fixture.destination.path()));
    if (user.isEmpty()) return;

    // A wrong password fails the start page with its 401, in the listing and
    // in the download, and only the row itself shows the password.
    CommandsFixture wrong;
    trust(wrong);
    const QString refused = server.Url("alice:wrong-pass@") + folder;
    wrong.SetStart(refused);
    wrong.StartListing();
    QCOMPARE(Rows(wrong.list()), QStringList(refused));
    QCOMPARE(wrong.list().FailureOf(1), QString("HTTP 401 Unauthorized"));
    wrong.list().SetTicked(1, true);
    wrong.list().MarkFailed(1, QString());
    wrong.StartDownloading();
    QCOMPARE(wrong.list().FailureOf(1), QString("HTTP 401 Unauthorized"));
    QCOMPARE(wrong.prompts.texts(), QStringList({"Done.", "Done."}));
    QVERIFY(Tree(wrong.destination.path()).empty());
  }

  // Losing a connection costs only retries: the rows and the tree are those
  // of a link that never broke. Each of the first two connections breaks
  // off after the server has sent it `cut_after` bytes: inside the TLS
  // handshake, or in the middle of the download, which asks for all 40
  // files at once over HTTP/2.
  void SurvivesLostConnections_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("cut_after");
    // Each secure server plain, as users meet it.
    for (int i = 0; i < RealServerKinds().size(); ++i) {
      const QString name = RealServerKinds()[i].name;
      if (!name.endsWith("https with HTTP/2")) continue;
      QTest::addRow("%s, inside the handshake", qPrintable(name)) << i << 100;
      QTest::addRow("%s, under many streams", qPrintable(name)) << i << 20'000;
    }
  }
  void SurvivesLostConnections() {
    QFETCH(int, kind);
    QFETCH(int, cut_after);
    RealServer server(RealServerKinds()[kind]);
    SKIP_UNLESS_INSTALLED(server, RealServerKinds()[kind]);
    for (int i = 0; i < 40; ++i) {
      QVERIFY(WriteFile(server.root() + QStringLiteral("/many/f%1.bin").arg(i),
                        Pattern(2000, char(i))));
    }
    const QString error =
        server.Start(kCertDir + "/server.pem", kCertDir + "/server.key");
    QVERIFY2(error.isEmpty(), qPrintable(error));

    CommandsFixture whole;
    whole.engine.set_ca_file(kCertDir + "/ca.pem");
    whole.SetStart(server.Url());
    whole.StartListing();
    whole.StartDownloading();

    CuttingRelay relay(server.port(), cut_after, 2);
    CommandsFixture broken;
    broken.engine.set_ca_file(kCertDir + "/ca.pem");
    RetryPolicy quick;
    quick.first_delay_ms = 10;
    broken.engine.set_retry_policy(quick);
    const QString start =
        QStringLiteral("https://127.0.0.1:%1/").arg(relay.port());
    broken.SetStart(start);
    broken.StartListing();
    broken.StartDownloading();

    // A connection may end before it reaches the cut's byte (under load the
    // client's whole exchange can fit in one), so at least one cut counts,
    // and the tree must be whole whatever the timing.
    QVERIFY(relay.cuts() >= 1);
    QCOMPARE(Rows(broken.list()).replaceInStrings(start, server.Url()),
             Rows(whole.list()));
    QCOMPARE(broken.prompts.texts(), QStringList({"Done.", "Done."}));
    QCOMPARE(Tree(broken.destination.path()).size(), 42u);  // and 2 pages
    QVERIFY(Tree(broken.destination.path()) == Tree(whole.destination.path()));
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::RealServersTest)
#include "real_servers_test.moc"
