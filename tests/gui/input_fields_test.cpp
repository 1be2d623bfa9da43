#include <QLineEdit>
#include <QtTest>

#include "support/form_fixture.h"

namespace trawlbox {

class InputFieldsTest : public QObject {
  Q_OBJECT

 private slots:
  void TypingStoresEveryChange_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("key");
    QTest::newRow("start address") << "txtWebsite"
                                   << "Web Site";
    QTest::newRow("folder") << "Text1"
                            << "Text1";
  }
  void TypingStoresEveryChange() {
    QFETCH(QString, field);
    QFETCH(QString, key);
    FormFixture fixture;
    fixture.window->RunStartUp();
    fixture.window->show();
    auto* edit = fixture.Find<QLineEdit>(field);
    edit->clear();
    QCOMPARE(fixture.settings.ReadSetting(key, "absent").value(), QString(""));
    QTest::keyClicks(edit, "ab");
    QCOMPARE(fixture.settings.ReadSetting(key, "absent").value(),
             QString("ab"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(fixture.settings.ReadSetting(key, "absent").value(), QString("a"));
  }

  void LeavingTheStartAddressKeepsItExactly() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowActive(fixture.window.get()));
    auto* edit = fixture.Find<QLineEdit>("txtWebsite");
    edit->setFocus();
    QTest::keyClicks(edit, " books.example ");
    fixture.Find<QLineEdit>("Text1")->setFocus();
    QCOMPARE(edit->text(), QString(" books.example "));
    QCOMPARE(fixture.settings.ReadSetting("Web Site", "").value(),
             QString(" books.example "));
  }

  void FolderSelectsAllOnFocusStartAddressDoesNot() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowActive(fixture.window.get()));
    auto* web = fixture.Find<QLineEdit>("txtWebsite");
    auto* folder = fixture.Find<QLineEdit>("Text1");
    web->setText("http://site.example/");
    folder->setText("/srv/mirror/");

    // By keyboard: Tab from the start address into the folder.
    web->setFocus(Qt::TabFocusReason);
    QTest::keyClick(web, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), folder);
    QCOMPARE(folder->selectedText(), folder->text());

    // By mouse: a click into the folder box selects everything too.
    web->setFocus(Qt::OtherFocusReason);
    QTest::mouseClick(folder, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(QApplication::focusWidget(), folder);
    QCOMPARE(folder->selectedText(), folder->text());
    // A second click while it has the focus places the caret as usual.
    QTest::mouseClick(folder, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(folder->selectedText().isEmpty());

    // The start address only places the caret.
    QTest::mouseClick(web, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(QApplication::focusWidget(), web);
    QVERIFY(web->selectedText().isEmpty());
  }

  void UnwritableStoreShowsNoReport() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    QVERIFY(QFile::remove(fixture.temp_settings.FilePath()));
    QVERIFY(QDir().mkpath(fixture.temp_settings.FilePath()));
    fixture.Find<QLineEdit>("txtWebsite")->setText("typed");
    QCOMPARE(fixture.Find<QLineEdit>("txtWebsite")->text(), QString("typed"));
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }
};

}  // namespace trawlbox

QTEST_MAIN(trawlbox::InputFieldsTest)
#include "input_fields_test.moc"
