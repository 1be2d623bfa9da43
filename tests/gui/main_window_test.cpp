#include <QClipboard>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include "core/app_error.h"
#include "core/error_trap.h"
#include "core/real_file_system.h"
#include "gui/caption_bar.h"
#include "gui/handler_guard.h"
#include "gui/list_tools.h"
#include "gui/sample_site.h"
#include "gui/twips.h"
#include "gui/window_layout.h"
#include "gui/window_services.h"
#include "support/cursor_file.h"
#include "support/files.h"
#include "support/form_fixture.h"
#include "support/temp_settings.h"
#include "support/test_server.h"

namespace trawlbox {
namespace {

const QString kLoadTag = "in Quaymill2021/08/31.Form1.Form_Load ";

const QStringList kButtonCaptions = {"Help",
                                     "...",
                                     "Load Sample/Example Web Site",
                                     "Clear List",
                                     "Start Listing Web Files",
                                     "Start Downloading Checked Files",
                                     "Check All",
                                     "Uncheck All"};

// The one button of the window that shows `caption`, as the user finds it;
// null when none or several do.
QPushButton* ButtonCaptioned(const FormFixture& fixture,
                             const QString& caption) {
  QPushButton* found = nullptr;
  for (QPushButton* button : fixture.window->findChildren<QPushButton*>()) {
    if (button->text() != caption) continue;
    if (found != nullptr) return nullptr;
    found = button;
  }
  return found;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void StartUpRunsItsStepsInOrder() {
    QStringList order;
    FormFixture fixture([&](MainWindowServices& services) {
      services.check_online = [&] {
        order << "online:" + fixture.prompts.app_title();
      };
      services.maybe_open_home_page = [&] {
        order << "home:" + fixture.prompts.app_title();
        return Status();
      };
      services.desktop_folder = [&] {
        order << "desktop";
        return QString("/d/");
      };
    });
    fixture.window->RunStartUp();
    // The check still shows the full product name; the title step comes
    // between the check and the home-page visit.
    QCOMPARE(order, QStringList({"online:Trawlbox Harvester", "home:Trawlbox",
                                 "desktop"}));
    QCOMPARE(fixture.window->windowTitle(), QString("Trawlbox Harvester"));
    QCOMPARE(fixture.prompts.app_title(), QString("Trawlbox"));
    QVERIFY(!fixture.window->windowIcon().isNull());
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  // The services as the program wires them: the run's options before the
  // settings, the program's own folder, and the outside steps left out
  // only when a caller asks.
  void ServicesAreWiredFromTheRunsOptions() {
    TempSettings temp_settings;
    SettingsStore settings;
    QVERIFY(settings.WriteSetting("Retries", "4").ok());
    QVERIFY(settings.WriteSetting("Connections", "3").ok());
    RecordingPrompts prompts;
    EventPump pump;
    RealFileSystem disk;
    RunOptions options;
    options.retries = 1;
    const MainWindowServices program =
        WindowServices(settings, prompts, pump, disk, options);
    QCOMPARE(program.settings, &settings);
    QCOMPARE(program.file_system, &disk);
    QCOMPARE(program.prompts, &prompts);
    QCOMPARE(program.pump, &pump);
    QCOMPARE(program.run_settings.retries.retries, 1);
    QCOMPARE(program.run_settings.connections, 3);
    QCOMPARE(program.program_folder, QCoreApplication::applicationDirPath());
    QVERIFY(program.check_online && program.maybe_open_home_page &&
            program.desktop_folder);

    const MainWindowServices offline = WindowServices(
        settings, prompts, pump, disk, {},
        {.offline = true, .program_folder = "/p", .desktop_folder = [] {
           return QString("/d/");
         }});
    offline.check_online();
    QVERIFY(offline.maybe_open_home_page().ok());
    QVERIFY(prompts.boxes.isEmpty());
    QCOMPARE(offline.run_settings.retries.retries, 4);
    QCOMPARE(offline.program_folder, QString("/p"));
    QCOMPARE(offline.desktop_folder().value(), QString("/d/"));
  }

  void FirstRunRestoresDefaultsAndStoresThem() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    QCOMPARE(fixture.Find<QLineEdit>("txtWebsite")->text(), QString(""));
    QCOMPARE(fixture.Find<QLineEdit>("Text1")->text(),
             QString("/home/u/Desktop/"));
    QCOMPARE(fixture.settings.ReadSetting("Web Site", "absent").value(),
             QString(""));
    QCOMPARE(fixture.settings.ReadSetting("Text1", "absent").value(),
             QString("/home/u/Desktop/"));
  }

  void LaterRunRestoresStoredTexts_data() {
    QTest::addColumn<QString>("web_site");
    QTest::addColumn<QString>("folder");
    QTest::newRow("ordinary") << "http://site.example/"
                              << "/srv/mirror/";
    QTest::newRow("empty folder kept, not the default") << "h"
                                                        << "";
    QTest::newRow("blanks kept") << "  http://x/  "
                                 << " /m/ ";
  }
  void LaterRunRestoresStoredTexts() {
    QFETCH(QString, web_site);
    QFETCH(QString, folder);
    FormFixture fixture;
    QVERIFY(fixture.settings.WriteSetting("Web Site", web_site).ok());
    QVERIFY(fixture.settings.WriteSetting("Text1", folder).ok());
    fixture.window->RunStartUp();
    QCOMPARE(fixture.Find<QLineEdit>("txtWebsite")->text(), web_site);
    QCOMPARE(fixture.Find<QLineEdit>("Text1")->text(), folder);
    QCOMPARE(fixture.settings.ReadSetting("Text1", "absent").value(), folder);
  }

  void FailingStepsAreReportedAndStartUpGoesOn_data() {
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("label");
    QTest::newRow("connectivity check") << "online" << 102;
    QTest::newRow("home page") << "home" << 112;
    QTest::newRow("desktop folder") << "desktop" << 132;
  }
  void FailingStepsAreReportedAndStartUpGoesOn() {
    QFETCH(QString, step);
    QFETCH(int, label);
    FormFixture fixture([&](MainWindowServices& services) {
      if (step == "online") {
        services.check_online = [] { Raise(ErrorKind::kOverflow); };
      }
      if (step == "home") {
        services.maybe_open_home_page = [] {
          return Status::Failure(ErrorKind::kOverflow);
        };
      }
      if (step == "desktop") {
        services.desktop_folder = [] {
          return Result<QString>(Status::Failure(ErrorKind::kInvalidCall));
        };
      }
    });
    fixture.window->RunStartUp();
    QCOMPARE(fixture.prompts.boxes.size(), 1);
    const auto& box = fixture.prompts.boxes[0];
    QCOMPARE(box.title, QString("Application Error"));
    QVERIFY2(box.text.contains(kLoadTag + "at line " + QString::number(label) +
                               "\r\r"),
             qPrintable(box.text));
    // The steps after the failing one still ran.
    QCOMPARE(fixture.window->file_list_model().headerData(0, Qt::Horizontal,
                                                          Qt::DisplayRole),
             QVariant(" File(s)"));
    if (step == "desktop") {
      // Text1 keeps its design-time text and its key is not read or stored.
      QCOMPARE(fixture.Find<QLineEdit>("Text1")->text(), QString(""));
      QCOMPARE(fixture.settings.ReadSetting("Text1", "absent").value(),
               QString("absent"));
    }
  }

  // A store that cannot be read is reported for each field it fills.
  void UnreadableStoreIsReportedForEachField() {
    FormFixture fixture;
    QVERIFY(QDir().mkpath(fixture.temp_settings.FilePath()));
    fixture.window->RunStartUp();
    QStringList reports;
    for (const auto& box : fixture.prompts.boxes) reports << box.text;
    QCOMPARE(
        reports,
        QStringList({ComposeErrorReport("Permission denied", kLoadTag, 130),
                     ComposeErrorReport("Permission denied", kLoadTag, 132)}));
  }

  void DesktopDefaultIsComputedEvenWhenTheKeyExists() {
    int asked = 0;
    FormFixture fixture([&](MainWindowServices& services) {
      services.desktop_folder = [&] {
        ++asked;
        return QString("/d/");
      };
    });
    QVERIFY(fixture.settings.WriteSetting("Text1", "/stored/").ok());
    fixture.window->RunStartUp();
    QCOMPARE(asked, 1);
    QCOMPARE(fixture.Find<QLineEdit>("Text1")->text(), QString("/stored/"));
  }

  void HandPointerFromTheProgramFolder() {
    FormFixture fixture;
    WriteFile(fixture.program_folder.filePath("HAND-M.CUR"),
              MakeCursorFile(32, 6, 1));
    fixture.window->RunStartUp();
    QVERIFY(fixture.prompts.boxes.isEmpty());
    QVERIFY(fixture.window->has_hand_pointer());
    fixture.window->ShowPointer(WindowPointer::kCustom);
    QCOMPARE(fixture.window->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(fixture.window->cursor().hotSpot(), QPoint(6, 1));
  }

  void CursorFileThatIsNoCursorIsReportedAt106() {
    FormFixture fixture;
    WriteFile(fixture.program_folder.filePath("HAND-M.CUR"), "garbage");
    fixture.window->RunStartUp();
    QCOMPARE(fixture.prompts.boxes.size(), 1);
    QVERIFY(fixture.prompts.boxes[0].text.startsWith("Invalid picture\r\n"));
    QVERIFY(fixture.prompts.boxes[0].text.contains("at line 106\r\r"));
    QVERIFY(!fixture.window->has_hand_pointer());
    fixture.window->ShowPointer(WindowPointer::kCustom);
    QCOMPARE(fixture.window->cursor().shape(), Qt::ArrowCursor);
  }

  void WithoutSkinTheWindowStaysWhite() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    for (const char* name : {"Form1", "Frame1", "Frame2"}) {
      QWidget* widget = name == QString("Form1") ? fixture.window.get()
                                                 : fixture.Find<QWidget>(name);
      QCOMPARE(widget->palette().color(QPalette::Window), QColor(Qt::white));
    }
    for (const char* name : {"txtWebsite", "Text1"}) {
      QCOMPARE(fixture.Find<QWidget>(name)->palette().color(QPalette::Base),
               QColor(Qt::white));
    }
    QVERIFY(fixture.window->styleSheet().isEmpty());
  }

  void SkinPaintsButtonFaceAndAppliesTheSheet() {
    FormFixture fixture;
    const QByteArray sheet = "QPushButton { color: rgb(1, 2, 3); }";
    WriteFile(fixture.program_folder.filePath("x/o.cjs"), sheet);
    fixture.window->RunStartUp();
    QVERIFY(fixture.prompts.boxes.isEmpty());
    const QColor face = QPalette().color(QPalette::Button);
    QCOMPARE(fixture.window->palette().color(QPalette::Window), face);
    QCOMPARE(fixture.Find<QWidget>("Frame1")->palette().color(QPalette::Window),
             face);
    QCOMPARE(fixture.Find<QWidget>("Frame2")->palette().color(QPalette::Window),
             face);
    QCOMPARE(fixture.window->styleSheet(), QString::fromUtf8(sheet));
  }

  void CorruptSkinIsAppliedWithoutAReport() {
    FormFixture fixture;
    WriteFile(fixture.program_folder.filePath("x/o.cjs"),
              QByteArray("}}{{ not css \xff\xfe\x00 at all", 23));
    fixture.window->RunStartUp();
    QVERIFY(fixture.prompts.boxes.isEmpty());
    // The sheet is in place as it stood, and the window took the button
    // face colour that a skin brings.
    QVERIFY(fixture.window->styleSheet().startsWith("}}{{ not css"));
    QCOMPARE(fixture.window->palette().color(QPalette::Window),
             fixture.window->palette().color(QPalette::Button));
  }

  void ControlsStandWhereTheLayoutSays_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Frame1") << "Frame1"
                            << "Web Site" << QRect(120, 120, 7800, 830);
    QTest::newRow("txtWebsite") << "txtWebsite"
                                << "http://" << QRect(240, 300, 7305, 345);
    QTest::newRow("ListView1") << "ListView1"
                               << "" << QRect(120, 2070, 7800, 2640);
    // Below the list, everything stands lower by the list's tools.
    QTest::newRow("Frame2")
        << "Frame2"
        << "Save Files To This Folder" << QRect(120, 5760 + 795, 7800, 830);
    QTest::newRow("Text1") << "Text1"
                           << "" << QRect(240, 300, 6645, 345);
    QTest::newRow("ProgressBar1")
        << "ProgressBar1"
        << "Progress Bar" << QRect(120, 7230 + 795, 7800, 405);
  }
  void ControlsStandWhereTheLayoutSays() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    FormFixture fixture;
    QWidget* widget = fixture.Find<QWidget>(name);
    QVERIFY(widget != nullptr);
    const double dx = fixture.window->logicalDpiX();
    const double dy = fixture.window->logicalDpiY();
    // The window's own controls stand below its menu bar.
    const int menu = widget->parentWidget() == fixture.window.get()
                         ? fixture.Find<QMenuBar>("MenuBar")->height()
                         : 0;
    QCOMPARE(widget->geometry(), QRect(TwipsToPixels(twips.x(), dx),
                                       TwipsToPixels(twips.y(), dy) + menu,
                                       TwipsToPixels(twips.width(), dx),
                                       TwipsToPixels(twips.height(), dy)));
    const QString parent = widget->parentWidget()->objectName();
    QCOMPARE(parent, name == "Text1"        ? QString("Frame2")
                     : name == "txtWebsite" ? QString("Frame1")
                                            : QString("Form1"));
    QString shown;
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
      shown = frame->title();
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      shown = edit->text();
    } else if (auto* bar = qobject_cast<CaptionBar*>(widget)) {
      shown = bar->text();
    }
    QCOMPARE(shown, caption);
    QCOMPARE(widget->font().pointSizeF(), 9.0);
    QVERIFY(widget->font().bold());
    QCOMPARE(widget->font().family(), QString("Arial"));
    QCOMPARE(widget->toolTip().isEmpty(), name != "ListView1");
  }

  // The buttons as the user sees them: rows across the width of the frames
  // between them and the list, the pairs in two equal halves, "..." at the
  // end of the folder field; larger type than the rest, and no tip.
  void ButtonsStandInTheirRows() {
    FormFixture fixture;
    QCOMPARE(fixture.window
                 ->findChildren<QPushButton*>(
                     QRegularExpression("^PushButton[0-9]$"))
                 .size(),
             kButtonCaptions.size());
    QMap<QString, QRect> at;
    for (const QString& caption : kButtonCaptions) {
      QPushButton* button = ButtonCaptioned(fixture, caption);
      QVERIFY2(button != nullptr, qPrintable(caption));
      at[caption] = button->geometry();
      QCOMPARE(button->parentWidget()->objectName(),
               caption == "..." ? QString("Frame2") : QString("Form1"));
      QCOMPARE(button->font().pointSizeF(), 11.25);
      QVERIFY(button->font().bold());
      QCOMPARE(button->font().family(), QString("Arial"));
      QVERIFY(button->toolTip().isEmpty());
    }
    auto place = [&](const char* name) {
      return fixture.Find<QWidget>(name)->geometry();
    };
    const QRect site = place("Frame1");
    const QRect bar = place("ProgressBar1");
    // From the top down, each below the one before.
    const QList<QRect> column = {site,
                                 at["Help"],
                                 at["Start Listing Web Files"],
                                 place("ListView1"),
                                 at["Check All"],
                                 at["Clear List"],
                                 place("Frame2"),
                                 at["Start Downloading Checked Files"],
                                 bar};
    for (qsizetype i = 1; i < column.size(); ++i) {
      QVERIFY2(column[i].top() > column[i - 1].bottom(),
               qPrintable(QString::number(i)));
    }
    for (const char* caption : {"Start Listing Web Files", "Clear List",
                                "Start Downloading Checked Files"}) {
      QCOMPARE(at[caption].left(), site.left());
      QCOMPARE(at[caption].width(), site.width());
    }
    for (const auto& [left, right] :
         {std::pair{"Help", "Load Sample/Example Web Site"},
          std::pair{"Check All", "Uncheck All"}}) {
      QCOMPARE(at[left].top(), at[right].top());
      QCOMPARE(at[left].size(), at[right].size());
      QCOMPARE(at[left].left(), site.left());
      QCOMPARE(at[right].right(), site.right());
      QVERIFY(at[left].right() < at[right].left());
    }
    for (const QString& caption : kButtonCaptions) {
      if (caption != "...") QCOMPARE(at[caption].height(), bar.height());
    }
    const QRect field = place("Text1");
    QCOMPARE(at["..."].top(), field.top());
    QCOMPARE(at["..."].height(), field.height());
    QVERIFY(at["..."].left() > field.right());
    QVERIFY(at["..."].right() < place("Frame2").width());
  }

  // Each button, found by its caption, does what the caption says.
  void ButtonsDoWhatTheirCaptionsSay_data() {
    QTest::addColumn<QString>("caption");
    for (const QString& caption : kButtonCaptions) {
      QTest::newRow(qPrintable(caption)) << caption;
    }
  }
  void ButtonsDoWhatTheirCaptionsSay() {
    QFETCH(QString, caption);
    TestServer server;
    server.Serve("/", "<img src=\"c.png\">");
    server.Serve("/a.txt", "a", 200, "text/plain");
    server.Serve("/b.txt", "b", 200, "text/plain");
    QTemporaryDir destination;
    FormFixture fixture;
    fixture.window->RunStartUp();
    auto* site = fixture.Find<QLineEdit>("txtWebsite");
    site->setText(server.Url() + "/");
    fixture.Find<QLineEdit>("Text1")->setText(destination.path() + "/");
    FileList& list = fixture.window->file_list();
    list.Add(server.Url("/a.txt"));
    list.Add(server.Url("/b.txt"));
    list.SetTicked(2, false);
    QPushButton* button = ButtonCaptioned(fixture, caption);
    QVERIFY(button != nullptr);
    QTest::mouseClick(button, Qt::LeftButton);

    const QStringList rows = Rows(list);
    const QStringList before = {server.Url("/a.txt"), server.Url("/b.txt")};
    QStringList boxes;
    QStringList stored = QDir(destination.path()).entryList(QDir::Files);
    if (caption == "Help") {
      boxes << "Questions? Please contact Team Marlwick at "
               "http://www.marlwick.example/contact/";
    } else if (caption == "...") {
      QCOMPARE(fixture.browse_requests,
               QList<QStringList>({{"Please select folder:", ""}}));
    } else if (caption == "Load Sample/Example Web Site") {
      QCOMPARE(site->text(), kSampleSiteAddress);
    } else if (caption == "Clear List") {
      QVERIFY(rows.isEmpty());
    } else if (caption == "Start Listing Web Files") {
      QCOMPARE(rows, QStringList({server.Url("/"), server.Url("/c.png")}));
      boxes << "Done.";
    } else if (caption == "Start Downloading Checked Files") {
      QCOMPARE(stored, QStringList({"a.txt"}));
      boxes << "Done.";
    } else if (caption == "Check All") {
      QVERIFY(list.Ticked(1) && list.Ticked(2));
    } else if (caption == "Uncheck All") {
      QVERIFY(!list.Ticked(1) && !list.Ticked(2));
    }
    // Nothing else happens.
    QCOMPARE(fixture.prompts.texts(), boxes);
    if (caption != "...") QVERIFY(fixture.browse_requests.isEmpty());
    if (caption != "Load Sample/Example Web Site") {
      QCOMPARE(site->text(), server.Url() + "/");
    }
    if (!caption.startsWith("Start ") && caption != "Clear List") {
      QCOMPARE(rows, before);
    }
    if (!caption.endsWith(" All") && rows == before) {
      QVERIFY(list.Ticked(1) && !list.Ticked(2));
    }
    if (caption != "Start Downloading Checked Files") {
      QVERIFY(stored.isEmpty());
    }
  }

  void WindowStartsAtItsFirstSize() {
    FormFixture fixture;
    const QSize size(TwipsToPixels(8040, fixture.window->logicalDpiX()),
                     TwipsToPixels(7755 + 795, fixture.window->logicalDpiY()) +
                         fixture.Find<QMenuBar>("MenuBar")->height());
    QCOMPARE(fixture.window->size(), size);
    QCOMPARE(fixture.window->minimumSize(), size);
    QCOMPARE(fixture.window->maximumSize(),
             QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
  }

  // Grown by 200 by 300 pixels, as a window manager does: the list takes
  // the height; rows of one control take the width, pairs half each.
  void TheListTakesWhatTheWindowGains_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("moved");  // left, top, width and height added
    QTest::newRow("Frame1") << "Frame1" << QRect(0, 0, 200, 0);
    QTest::newRow("PushButton1") << "PushButton1" << QRect(0, 0, 100, 0);
    QTest::newRow("PushButton3") << "PushButton3" << QRect(100, 0, 100, 0);
    QTest::newRow("ListView1") << "ListView1" << QRect(0, 0, 200, 300);
    QTest::newRow("TotalLine") << "TotalLine" << QRect(0, 300, 200, 0);
    QTest::newRow("PatternField") << "PatternField" << QRect(0, 300, 200, 0);
    QTest::newRow("UntickMatching")
        << "UntickMatching" << QRect(200, 300, 0, 0);
    QTest::newRow("PushButton8") << "PushButton8" << QRect(100, 300, 100, 0);
    QTest::newRow("Text1") << "Text1" << QRect(0, 0, 200, 0);
    QTest::newRow("PushButton2") << "PushButton2" << QRect(200, 0, 0, 0);
    QTest::newRow("ProgressBar1") << "ProgressBar1" << QRect(0, 300, 200, 0);
  }
  void TheListTakesWhatTheWindowGains() {
    QFETCH(QString, name);
    QFETCH(QRect, moved);
    FormFixture fixture;
    fixture.window->RunStartUp();
    QWidget* widget = fixture.Find<QWidget>(name);
    const QRect before = widget->geometry();
    fixture.window->show();
    fixture.window->resize(fixture.window->size() + QSize(200, 300));
    const QRect after = widget->geometry();
    QCOMPARE(
        QRect(after.left() - before.left(), after.top() - before.top(),
              after.width() - before.width(), after.height() - before.height()),
        moved);
  }

  // The window comes back at the size it was closed at.
  void TheWindowsSizeIsRemembered() {
    QSize grown;
    QString stored;
    {
      FormFixture first;
      first.window->RunStartUp();
      first.window->show();
      grown = first.window->size() + QSize(120, 80);
      first.window->resize(grown);
      first.window->close();
      stored = first.settings.ReadSetting(kWindowPlaceKey, "").value();
    }
    FormFixture second;
    QVERIFY(second.settings.WriteSetting(kWindowPlaceKey, stored).ok());
    second.window->RunStartUp();
    QCOMPARE(second.window->size(), grown);
  }

  void ListHasAddressAndSizeColumnsAfterStartUp() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    auto* view = fixture.Find<QTreeView>("ListView1");
    QCOMPARE(view->model()->columnCount(), 2);
    QCOMPARE(view->model()->rowCount(), 0);
    QCOMPARE(view->model()->headerData(0, Qt::Horizontal).toString(),
             QString(" File(s)"));
    QCOMPARE(view->model()->headerData(1, Qt::Horizontal).toString(),
             QString("Size"));
    // Together as wide as the one column of old.
    QVERIFY(std::abs(view->columnWidth(0) + view->columnWidth(1) -
                     TwipsToPixels(7000, fixture.window->logicalDpiX())) <= 1);
    QCOMPARE(view->toolTip(),
             QString("Double-click item to remove it. Move | line to right "
                     "and out of window to reveal full names."));
  }

  // The window's keys act from every text field, also where a field would
  // take them for editing. The folder is missing, so the two commands each
  // say so in a box.
  void KeysWorkInTheTextFields_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("effect");
    QTest::newRow("Ctrl+F in the folder") << "Text1"
                                          << "Ctrl+F"
                                          << "focus";
    QTest::newRow("Alt+U in the site") << "txtWebsite"
                                       << "Alt+U"
                                       << "0 1";
    QTest::newRow("Alt+T in the pattern") << "PatternField"
                                          << "Alt+T"
                                          << "1 1";
    QTest::newRow("Ctrl+D in the site") << "txtWebsite"
                                        << "Ctrl+D"
                                        << "box";
    QTest::newRow("Ctrl+D in the folder") << "Text1"
                                          << "Ctrl+D"
                                          << "box";
    QTest::newRow("Ctrl+L in the pattern") << "PatternField"
                                           << "Ctrl+L"
                                           << "box";
    QTest::newRow("Ctrl+S in the site") << "txtWebsite"
                                        << "Ctrl+S"
                                        << "0";
    QTest::newRow("Ctrl+O in the folder") << "Text1"
                                          << "Ctrl+O"
                                          << "1";
    QTest::newRow("Ctrl+Shift+E in the pattern") << "PatternField"
                                                 << "Ctrl+Shift+E"
                                                 << "2";
  }
  void KeysWorkInTheTextFields() {
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(QString, effect);
    FormFixture fixture;
    fixture.window->RunStartUp();
    fixture.window->show();
    fixture.window->activateWindow();  // also where no window manager runs
    QVERIFY(QTest::qWaitForWindowActive(fixture.window.get()));
    fixture.Find<QLineEdit>("Text1")->setText("/no/such/folder/");
    fixture.Find<QLineEdit>("txtWebsite")->setText("http://h/");
    auto* pattern = fixture.Find<QLineEdit>("PatternField");
    pattern->setText("*.ISO");
    FileList& list = fixture.window->file_list();
    list.Add("http://h/a.iso");
    list.Add("http://h/b.txt");
    if (keys == "Alt+T") list.SetTicked(1, false);
    auto* focused = fixture.Find<QLineEdit>(field);
    focused->setFocus();
    QTRY_VERIFY(focused->hasFocus());
    focused->setCursorPosition(0);  // where Ctrl+D would delete
    const QString before = focused->text();
    const QKeyCombination combination = QKeySequence(keys)[0];
    QTest::keyClick(focused, combination.key(),
                    combination.keyboardModifiers());
    if (effect == "focus") {
      QVERIFY(pattern->hasFocus());
      QCOMPARE(pattern->selectedText(), QString("*.ISO"));
    } else if (effect.size() == 1) {  // a file dialog, of this choice
      QCOMPARE(fixture.file_requests,
               QList<FileChoice>{FileChoice(effect.toInt())});
    } else if (effect == "box") {
      QCOMPARE(
          fixture.prompts.texts(),
          QStringList{"Folder does not exist. Please select another folder."});
    } else {
      QCOMPARE(QString("%1 %2").arg(list.Ticked(1)).arg(list.Ticked(2)),
               effect);
    }
    QCOMPARE(focused->text(), before);  // nothing was edited away
  }

  // The row menu's commands on the rows of a site and its docs folder.
  void RowMenuActsOnTheRowsFolder_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("ticks");  // of the five rows, afterwards
    QTest::newRow("untick a file's folder") << 3 << "untick"
                                            << "10001";
    QTest::newRow("untick from the folder row") << 2 << "untick"
                                                << "10001";
    QTest::newRow("a folder below") << 4 << "untick"
                                    << "11101";
    QTest::newRow("untick the site's root") << 1 << "untick"
                                            << "00000";
    QTest::newRow("tick a folder back") << 2 << "tick"
                                        << "11111";
    QTest::newRow("copy without the password") << 3 << "copy"
                                               << "11111";
  }
  void RowMenuActsOnTheRowsFolder() {
    QFETCH(int, position);
    QFETCH(QString, command);
    QFETCH(QString, ticks);
    FormFixture fixture;
    FileList& list = fixture.window->file_list();
    const QString site = "http://alice:pw@h/";
    for (const char* row :
         {"", "docs/", "docs/a.pdf", "docs/b/c.txt", "docsx.txt"}) {
      list.Add(site + row);
    }
    if (command == "tick") list.SetTicked(3, false);
    ListTools& tools = fixture.window->list_tools();
    if (command == "copy") {
      tools.CopyAddressOf(position);
      QCOMPARE(QGuiApplication::clipboard()->text(),
               QString("http://alice@h/docs/a.pdf"));
    } else {
      tools.TickFolderOf(position, command == "tick");
    }
    QString shown;
    for (qsizetype i = 1; i <= list.Count(); ++i) {
      shown += list.Ticked(i) ? '1' : '0';
    }
    QCOMPARE(shown, ticks);
  }

  void NewRowsAreShownAndScrolledIntoView() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(fixture.window.get()));
    auto* view = fixture.Find<QTreeView>("ListView1");
    for (int i = 1; i <= 500; ++i) {
      fixture.window->file_list().Add("http://site.example/" +
                                      QString::number(i));
    }
    QTRY_COMPARE(view->model()->rowCount(), 500);
    const QModelIndex last = view->model()->index(499, 0);
    QTRY_VERIFY(view->viewport()->rect().intersects(view->visualRect(last)));
    QCOMPARE(last.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
  }

  void TabOrderFollowsTheLayout() {
    FormFixture fixture;
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowActive(fixture.window.get()));
    QStringList order;
    QWidget* widget = fixture.Find<QWidget>("ListView1");
    for (int i = 0; i < 11; ++i) {
      order << widget->objectName();
      do {
        widget = widget->nextInFocusChain();
      } while (widget->focusPolicy() == Qt::NoFocus ||
               widget->objectName().isEmpty());
    }
    QCOMPARE(order, QStringList({"ListView1", "txtWebsite", "Text1",
                                 "PushButton2", "PushButton5", "PushButton7",
                                 "PushButton8", "PushButton6", "PushButton1",
                                 "PushButton3", "PushButton4"}));
    QCOMPARE(QApplication::focusWidget(), fixture.Find<QWidget>("ListView1"));
  }

  void HoverSetsThePointerUnlessBusy() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    fixture.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(fixture.window.get()));
    auto hover = [&](const char* name) {
      QWidget* target = QString(name) == "ListView1"
                            ? fixture.Find<QTreeView>(name)->viewport()
                            : fixture.Find<QWidget>(name);
      QTest::mouseMove(target, QPoint(3, 3));
      QMouseEvent move(QEvent::MouseMove, QPointF(4, 4),
                       target->mapToGlobal(QPointF(4, 4)), Qt::NoButton,
                       Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(target, &move);
    };
    hover("PushButton5");
    QCOMPARE(fixture.window->window_pointer(), WindowPointer::kCustom);
    hover("ListView1");
    QCOMPARE(fixture.window->window_pointer(), WindowPointer::kDefault);
    hover("PushButton2");
    QCOMPARE(fixture.window->window_pointer(), WindowPointer::kCustom);
    hover("Frame1");
    QCOMPARE(fixture.window->window_pointer(), WindowPointer::kDefault);
    fixture.window->SetPointerMode(PointerMode::kBusy);
    QCOMPARE(fixture.window->cursor().shape(), Qt::WaitCursor);
    for (const char* name :
         {"PushButton1", "Frame2", "ListView1", "PushButton8", "Frame1"}) {
      hover(name);
      QCOMPARE(fixture.window->window_pointer(), WindowPointer::kBusy);
    }
    hover("Text1");  // text boxes change nothing
    QCOMPARE(fixture.window->window_pointer(), WindowPointer::kBusy);
  }

  void SampleButtonFillsAndStoresTheSampleAddress() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    fixture.Find<QLineEdit>("Text1")->setText("/keep/");
    fixture.window->file_list().Add("row");
    int writes = 0;
    connect(fixture.Find<QLineEdit>("txtWebsite"), &QLineEdit::textChanged,
            [&] { ++writes; });
    QTest::mouseClick(fixture.Find<QPushButton>("PushButton3"), Qt::LeftButton);
    QTest::mouseClick(fixture.Find<QPushButton>("PushButton3"), Qt::LeftButton);
    QCOMPARE(writes, 2);  // stored twice, the same value
    const QString sample = fixture.Find<QLineEdit>("txtWebsite")->text();
    QVERIFY(sample.startsWith("http://") && sample.endsWith("/"));
    QCOMPARE(fixture.settings.ReadSetting("Web Site", "").value(), sample);
    QCOMPARE(fixture.Find<QLineEdit>("Text1")->text(), QString("/keep/"));
    QCOMPARE(fixture.window->file_list().Count(), 1);
    QVERIFY(fixture.prompts.boxes.isEmpty());
  }

  void ClosingDuringALongCommandEndsItAtOnce() {
    FormFixture fixture;
    fixture.window->RunStartUp();
    fixture.window->show();
    int passes = 0;
    bool unwound = false;
    QTimer::singleShot(20, fixture.window.get(),
                       [&] { fixture.window->close(); });
    Guarded([&] {
      struct Unwound {
        bool& flag;
        ~Unwound() { flag = true; }
      } guard{unwound};
      // A command that would run for ever but for the close.
      for (;;) {
        fixture.window->pump().PassEvents();
        ++passes;
      }
    });
    QVERIFY(unwound);
    QVERIFY(passes > 0);
    QVERIFY(!fixture.window->isVisible());
  }
};

}  // namespace trawlbox

QTEST_MAIN(trawlbox::MainWindowTest)
#include "main_window_test.moc"
