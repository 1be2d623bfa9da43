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
  explicit WindowFixture(
      const std::function<void(MainWindowServices&)>& adjust = nullptr)
      : FormFixture(adjust) {
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
  // The HEADs that look up sizes after a listing give way to a download,
  // which asks for no HEAD and leaves no size to look up, and end on
  // Escape.
  void SizeLookUpsGiveWayToTheDownloadAndStopOnEscape() {
    TestServer server;
    QString page;
    for (int i = 1; i <= 12; ++i) {
      page += QString("<a href=\"f%1.bin\">f</a>").arg(i);
      server.Serve(QString("/f%1.bin").arg(i).toStdString(),
                   std::string(i, 'x'), 200, "application/octet-stream");
    }
    server.Serve("/", page.toStdString());
    std::mutex mutex;
    QStringList log;  // "HEAD /f1.bin", in the order they came
    server.server().set_pre_routing_handler(
        [&](const httplib::Request& request, httplib::Response&) {
          {
            const std::lock_guard<std::mutex> lock(mutex);
            log << QString::fromStdString(request.method + " " + request.path);
          }
          if (request.method == "HEAD") {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
          }
          return httplib::Server::HandlerResponse::Unhandled;
        });
    const auto logged = [&] {
      const std::lock_guard<std::mutex> lock(mutex);
      return log;
    };
    WindowFixture fixture([](MainWindowServices& services) {
      services.run_settings.connections = 1;
    });
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowActive(fixture.window.get()));
    fixture.SetStart(server.Url("/"));
    // Escape on an empty list stops nothing the next listing needs; its
    // look-ups are under way by the time "Done." shows.
    QTest::keyClick(fixture.window.get(), Qt::Key_Escape);
    bool looking_when_done = false;
    fixture.prompts.on_show = [&](const RecordingPrompts::Box&) {
      looking_when_done = fixture.window->size_look_up().running();
    };
    fixture.Click("PushButton5");
    QVERIFY(looking_when_done);
    fixture.prompts.on_show = nullptr;
    QTRY_VERIFY(!logged().filter("HEAD").isEmpty());
    fixture.Click("PushButton6");
    QTest::qWait(100);
    const QStringList during = logged();
    const qsizetype first_get = during.indexOf("GET /f1.bin");
    QVERIFY(first_get > 0);
    QCOMPARE(during.mid(first_get).filter("HEAD"), QStringList());
    FileList& list = fixture.window->file_list();
    for (qsizetype i = 2; i <= list.Count(); ++i) {
      QCOMPARE(list.SizeOf(i), RowSize::Exact(i - 1));
    }
    QVERIFY(!fixture.window->size_look_up().running());

    fixture.Click("PushButton4");
    fixture.Click("PushButton5");
    QTRY_VERIFY(logged().filter("HEAD").size() > during.filter("HEAD").size());
    QTest::keyClick(fixture.window.get(), Qt::Key_Escape);
    const qsizetype asked = logged().filter("HEAD").size();
    QTest::qWait(150);
    QCOMPARE(logged().filter("HEAD").size(), asked);
    QVERIFY(!fixture.window->size_look_up().running());
  }

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
