#include "core/address_password.h"

#include <QtTest>

namespace trawlbox {

class AddressPasswordTest : public QObject {
  Q_OBJECT

 private slots:
  void Passwords_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("password");
    QTest::addColumn<QString>("shown");
    QTest::newRow("none") << "http://h/a@b.txt" << false << "http://h/a@b.txt";
    QTest::newRow("user alone") << "http://al@h/" << false << "http://al@h/";
    QTest::newRow("empty password")
        << "http://al:@h/" << false << "http://al:@h/";
    QTest::newRow("address") << "https://al:s3cret@h:8080/p/?q#f" << true
                             << "https://al:***@h:8080/p/?q#f";
    QTest::newRow("an @ typed raw")
        << "http://al:p@ss@h" << true << "http://al:***@h";
    QTest::newRow("without a scheme")
        << "al:s3cret@h/p/" << true << "al:s3cret@h/p/";
    QTest::newRow("two in a text")
        << "Redirect to http://al:one@h/ from ftp://bo:two@g/x refused" << true
        << "Redirect to http://al:***@h/ from ftp://bo:***@g/x refused";
  }
  void Passwords() {
    QFETCH(QString, text);
    QFETCH(bool, password);
    QFETCH(QString, shown);
    // A sentence is no address; its addresses are only hidden.
    if (!text.contains(' ')) QCOMPARE(HasPassword(text), password);
    QCOMPARE(HidePasswords(text), shown);
  }
};

}  // namespace trawlbox

QTEST_GUILESS_MAIN(trawlbox::AddressPasswordTest)
#include "address_password_test.moc"
