#include "net/url.h"

#include <QtTest>

#include "core/event_pump.h"
#include "net/http_engine.h"
#include "support/answers.h"
#include "support/test_server.h"

namespace trawlbox {

class UrlTest : public QObject {
  Q_OBJECT

 private slots:
  void RequestBytes_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("raw space")
        << "http://h/raw space.txt" << QByteArray("http://h/raw%20space.txt");
    QTest::newRow("raw utf-8") << QString::fromUtf8("http://h/na\u00efve.txt")
                               << QByteArray("http://h/na%C3%AFve.txt");
    QTest::newRow("escapes kept") << "http://h/my%20file%2f%7e.pdf"
                                  << QByteArray("http://h/my%20file%2f%7e.pdf");
    QTest::newRow("an escape at the very end")
        << "http://h/a%20" << QByteArray("http://h/a%20");
    QTest::newRow("lone percent")
        << "http://h/100%.txt?q=%zz%4"
        << QByteArray("http://h/100%25.txt?q=%25zz%254");
    QTest::newRow("unsafe ASCII")
        << "http://h/a\"<>\\^`{|}\t\x7f.txt"
        << QByteArray(
               "http://h/"
               "a%22%3C%3E%5C%5E%60%7B%7C%7D%09%7F.txt");
    QTest::newRow("delimiters kept")
        << "https://h:81/a&b;c+d'e(f)!$,*=@:/?x=1&y=[2]#f"
        << QByteArray("https://h:81/a&b;c+d'e(f)!$,*=@:/?x=1&y=[2]#f");
    QTest::newRow("host left alone")
        << QString::fromUtf8("http://b\u00fccher.example/x y")
        << QString::fromUtf8("http://b\u00fccher.example/x%20y").toUtf8();
    QTest::newRow("query only after the host")
        << "http://h?a b" << QByteArray("http://h?a%20b");
  }
  void RequestBytes() {
    QFETCH(QString, address);
    QFETCH(QByteArray, bytes);
    QCOMPARE(EncodeAddress(address), bytes);
  }

  void SchemeRule_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("scheme");
    QTest::newRow("http") << "http://h/" << true;
    QTest::newRow("mailto") << "mailto:a@b" << true;
    QTest::newRow("plus, minus and dot") << "svn+ssh.x-y:z" << true;
    QTest::newRow("name that begins with http") << "httpd.conf" << false;
    QTest::newRow("colon after a slash") << "a/b:c" << false;
    QTest::newRow("digit first") << "1a:b" << false;
    QTest::newRow("colon first") << ":a" << false;
    QTest::newRow("letter beyond ASCII")
        << QString::fromUtf8("\u00e9:a") << false;
  }
  void SchemeRule() {
    QFETCH(QString, text);
    QFETCH(bool, scheme);
    QCOMPARE(HasScheme(text), scheme);
  }

  // What the server is asked for, by the engine's GET and HEAD alike.
  // Which redirects are followed, where to, and what a refused one says.
  void RedirectRule_data() {
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("redirects");    // followed before this one
    QTest::addColumn<QString>("outcome");  // the address, or the failure
    const QByteArray from = "https://alice:pw@h/a/";
    QTest::newRow("same origin keeps the user")
        << from << QByteArray("https://h/b/") << 0 << "https://alice:pw@h/b/";
    QTest::newRow("another host drops the user")
        << from << QByteArray("https://g/b/") << 0 << "https://g/b/";
    QTest::newRow("no Location")
        << from << QByteArray() << 0
        << "HTTP 302 Found without a Location to follow";
    QTest::newRow("the tenth")
        << from << QByteArray("https://h/c") << 9 << "https://alice:pw@h/c";
    QTest::newRow("one too many") << from << QByteArray("https://h/c") << 10
                                  << "Too many redirects (more than 10)";
    QTest::newRow("https to http")
        << from << QByteArray("http://h/c") << 0
        << "Redirect from https to http refused: http://h/c";
    QTest::newRow("http to https")
        << QByteArray("http://h/") << QByteArray("https://h/c") << 0
        << "https://h/c";
    QTest::newRow("another scheme")
        << from << QByteArray("ftp://h/c") << 0
        << "Redirect to ftp://h/c refused: only http and https addresses are "
           "followed";
  }
  void RedirectRule() {
    QFETCH(QByteArray, current);
    QFETCH(QByteArray, target);
    QFETCH(int, redirects);
    QFETCH(QString, outcome);
    const Result<QByteArray> next =
        FollowedRedirect(Response{.status = 302, .reason = "Found"}, current,
                         target, redirects, HttpEngine::kMaxRedirects);
    QCOMPARE(
        next.ok() ? QString::fromUtf8(next.value()) : next.status().failure(),
        outcome);
  }

  void EngineSendsEncodedRequests() {
    TestServer server;
    QStringList targets;
    std::mutex mutex;
    server.server().set_pre_routing_handler(
        [&](const httplib::Request& request, httplib::Response& response) {
          std::lock_guard<std::mutex> lock(mutex);
          targets << QString::fromStdString(request.target);
          response.set_content("x", "text/plain");
          return httplib::Server::HandlerResponse::Handled;
        });
    HttpEngine engine;
    EventPump pump;
    const auto get = engine.Get(
        server.Url(QString::fromUtf8("/raw space/na\u00efve.txt")),
        [](const char*, qsizetype) { return HttpTransfer::Take::kTaken; });
    pump.WaitUntil([&] { return get->finished(); });
    const auto head = engine.Head(server.Url("/my%20file.pdf"));
    pump.WaitUntil([&] { return head->finished(); });
    QCOMPARE(FailureText(*get), QString());
    QCOMPARE(FailureText(*head), QString());
    std::lock_guard<std::mutex> lock(mutex);
    QCOMPARE(targets,
             QStringList({"/raw%20space/na%C3%AFve.txt", "/my%20file.pdf"}));
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::UrlTest)
#include "url_test.moc"
