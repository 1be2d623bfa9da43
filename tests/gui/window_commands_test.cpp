// The listing and the download as the window runs them: its buttons and
// keys during a command, its bar, and closing it in the middle.
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "gui/caption_bar.h"
#include "support/files.h"
#include "support/form_fixture.h"
#include "support/test_server.h"

namespace trawlbox {
namespace {

// The window on an empty destination folder, with TEMP of its own; every
// caption its bar shows is kept.
struct WindowFixture : FormFixture {
  WindowFixture() {
    qputenv("TEMP", temp.path().toLocal8Bit());
    window->RunStartUp();
    Find<QLineEdit>("Text1")->setText(destination.path() + "/");
    QObject::connect(window->caption_bar(), &CaptionBar::CaptionChanged,
                     [this](const QString& caption) { captions << caption; });
  }
  ~WindowFixture() { qunsetenv("TEMP"); }
  void SetStart(const QString& start) {
    Find<QLineEdit>("txtWebsite")->setText(start);
  }
  void Click(const char* name) {
    QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton);
  }
  QString Caption() const { return window->caption_bar()->Caption(); }
  QString Dest(const QString& relative) const {
    return destination.filePath(relative);
  }

  QTemporaryDir temp;
  QTemporaryDir destination;
  QStringList captions;
};

}  // namespace

class WindowCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void ClicksDuringAListing() {
    TestServer server;
    server.Serve("/", "<a href=\"a/\">a</a><img src=\"r.png\">");
    server.Serve("/a/", "<img src=\"x.png\">");
    WindowFixture fixture;
    const QString s = server.Url();
    fixture.SetStart(s + "/");
    server.DuringRequest("/a/", [&] {
      fixture.Click("PushButton5");  // a second listing: ignored
      fixture.Click("PushButton4");  // Clear List: ignored while busy
      fixture.Click("PushButton8");  // Uncheck All: acts at once
    });
    fixture.Click("PushButton5");
    QCOMPARE(Rows(fixture.window->file_list()),
             QStringList({s + "/", s + "/r.png", s + "/a/", s + "/a/x.png"}));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
    QVERIFY(!fixture.window->file_list().Ticked(1));
    QVERIFY(!fixture.window->file_list().Ticked(3));
    QVERIFY(fixture.window->file_list().Ticked(4));  // found after the click
    // Once the listing has ended, Clear List empties the list.
    fixture.Click("PushButton4");
    QCOMPARE(fixture.window->file_list().Count(), 0);
  }

  void EscapeStopsTheListing() {
    TestServer server;
    server.Serve("/", "<a href=\"a/\">a</a><a href=\"b/\">b</a>");
    server.Serve("/a/", "<img src=\"a.png\">");
    server.Serve("/b/", "<img src=\"b.png\">");
    WindowFixture fixture;
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowActive(fixture.window.get()));
    const QString s = server.Url();
    fixture.SetStart(s + "/");
    server.DuringRequest(
        "/b/", [&] { QTest::keyClick(fixture.window.get(), Qt::Key_Escape); });
    fixture.Click("PushButton5");
    // The page in work when Escape came is not waited for.
    // "/a/" may have been fetched ahead of its turn, but is never visited.
    QCOMPARE(Rows(fixture.window->file_list()),
             QStringList({s + "/", s + "/b/"}));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
    // No page file is left behind.
    QVERIFY(QDir(fixture.temp.path()).isEmpty());
  }

  void EditingTheStartAddressChangesTheSiteFromThenOn() {
    TestServer server;
    const QString s = server.Url();
    server.Serve("/", "<a href=\"a/\">a</a><img src=\"r.png\">");
    server.Serve("/a/", "<img src=\"x.png\">");
    WindowFixture fixture;
    fixture.SetStart(s + "/");
    server.DuringRequest(
        "/a/", [&] { fixture.SetStart("http://elsewhere.example/"); });
    fixture.Click("PushButton5");
    QCOMPARE(Rows(fixture.window->file_list()),
             QStringList({s + "/", s + "/r.png", s + "/a/"}));
  }

  void ClosingTheWindowEndsAListing() {
    TestServer server;
    server.Serve("/", "<a href=\"a/\">a</a><a href=\"b/\">b</a>");
    server.Serve("/a/", "<img src=\"a.png\">");
    server.Serve("/b/", "<img src=\"b.png\">");
    WindowFixture fixture;
    fixture.window->show();
    fixture.SetStart(server.Url() + "/");
    server.DuringRequest("/b/", [&] { fixture.window->close(); });
    fixture.Click("PushButton5");
    QVERIFY(fixture.prompts.boxes.isEmpty());  // no "Done." after a close
    QVERIFY(!Rows(fixture.window->file_list()).contains(server.Url("/a/")));
    QVERIFY(QDir(fixture.temp.path()).isEmpty());  // nor a page file
    QVERIFY(!fixture.window->busy());
  }

  void PercentInAnAddressIsShownAsItStands() {
    TestServer server;
    server.Serve("/100%p%v.txt", "odd", 200, "text/plain");
    WindowFixture fixture;
    const QString s = server.Url();
    fixture.SetStart(s);
    fixture.window->file_list().Add(s + "/100%p%v.txt");
    fixture.Click("PushButton6");
    QVERIFY(fixture.captions.contains("Downloading " + s +
                                      "/100%p%v.txt...100 % Downloaded"));
    QVERIFY(fixture.window->caption_bar()->text().startsWith("Progress Bar"));
  }

  void ClicksDuringADownload() {
    TestServer server;
    for (const char* name : {"/1.txt", "/2.txt", "/3.txt"}) {
      server.Serve(name, std::string("body ") + name, 200, "text/plain");
    }
    WindowFixture fixture;
    const QString s = server.Url();
    fixture.SetStart(s);
    for (const char* name : {"/1.txt", "/2.txt", "/3.txt"}) {
      fixture.window->file_list().Add(s + name);
    }
    server.DuringRequest("/1.txt", [&] {
      fixture.Click("PushButton6");  // ignored
      fixture.Click("PushButton5");  // ignored: no listing during a download
      fixture.Click("PushButton4");  // ignored: busy
      fixture.Click("PushButton8");  // rows still to come are not taken
    });
    fixture.Click("PushButton6");
    QCOMPARE(server.Requests("/1.txt"), 1);
    // Asked for ahead of their turn, perhaps, but never stored.
    QCOMPARE(
        QDir(fixture.destination.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList({"1.txt"}));
    QCOMPARE(fixture.window->file_list().Count(), 3);
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
  }

  void EscapeCancelsTheDownload() {
    TestServer server;
    server.Serve("/big.bin", std::string(4'000'000, 'b'), 200,
                 "application/octet-stream");
    server.Serve("/after.txt", "after", 200, "text/plain");
    WindowFixture fixture;
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowActive(fixture.window.get()));
    const QString s = server.Url();
    fixture.SetStart(s);
    fixture.window->file_list().Add(s + "/big.bin");
    fixture.window->file_list().Add(s + "/after.txt");
    {
      QFile old(fixture.Dest("big.bin"));
      QVERIFY(old.open(QIODevice::WriteOnly));
      old.write("previous");
    }
    QStringList captions;
    server.Handle(
        "/big.bin", [&](const httplib::Request&, httplib::Response& response) {
          response.set_content_provider(
              4'000'000, "application/octet-stream",
              [&](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset == 100'000) {
                  QMetaObject::invokeMethod(
                      qApp,
                      [&] {
                        QTest::keyClick(fixture.window.get(), Qt::Key_Escape);
                        captions << fixture.Caption();
                      },
                      Qt::QueuedConnection);
                  std::this_thread::sleep_for(std::chrono::milliseconds(300));
                }
                const std::string piece(50'000, 'b');
                sink.write(piece.data(), piece.size());
                return true;
              });
        });
    fixture.prompts.on_show = [&](const RecordingPrompts::Box&) {
      captions << fixture.Caption();
    };
    fixture.Click("PushButton6");
    QCOMPARE(ReadAll(fixture.Dest("big.bin")), QByteArray("previous"));
    // What ran ahead is dropped too: nothing partial, nothing beside.
    QCOMPARE(
        QDir(fixture.destination.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList({"big.bin"}));
    QCOMPARE(fixture.prompts.texts(), QStringList({"Done."}));
    // The run has ended and still says why.
    QCOMPARE(fixture.Caption(), QString("Download Stoped By User"));
    QCOMPARE(fixture.window->caption_bar()->Position(), 0);
    QVERIFY(fixture.window->file_list().FailureOf(1).isEmpty());
  }
};

}  // namespace trawlbox

QTEST_MAIN(trawlbox::WindowCommandsTest)
#include "window_commands_test.moc"
