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
