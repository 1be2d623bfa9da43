#ifndef TRAWLBOX_APP_MAIN_WINDOW_H_
#define TRAWLBOX_APP_MAIN_WINDOW_H_

#include <QCursor>
#include <QString>
#include <QWidget>
#include <functional>

#include "app/command_host.h"
#include "app/event_pump.h"
#include "app/file_list_model.h"
#include "app/http_client.h"
#include "crawl/crawler.h"

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace trawlbox {

class CaptionBar;
class FileListView;
class Prompts;
class SelectAllLineEdit;
class SettingsStore;

// What the main window needs from outside; tests replace any of it.
struct Form1Services {
  SettingsStore* settings = nullptr;
  Prompts* prompts = nullptr;
  // Where the optional skin and hand pointer files are looked for.
  QString program_folder;
  // Start-up steps owned by other parts of the program; empty means the
  // program's own.
  std::function<void()> check_online;
  std::function<void()> maybe_open_home_page;
  std::function<QString()> desktop_folder;
};

// Form1, the program's only window.
class Form1 : public QWidget, public CommandHost {
  Q_OBJECT

 public:
  explicit Form1(Form1Services services, QWidget* parent = nullptr);
  ~Form1() override;

  // The start-up procedure: runs once before the window is shown.
  void Form_Load();

  bool has_hand_pointer() const { return has_hand_pointer_; }
  FileListModel& file_list_model() { return file_list_; }
  CaptionBar* progress_bar() const { return progress_bar_; }
  FileListView* list_view() const { return list_view_; }
  HttpClient& http() { return http_; }
  Crawler& crawler() { return crawler_; }

  // CommandHost.
  Prompts& prompts() override { return *services_.prompts; }
  FileList& file_list() override { return file_list_; }
  EventPump& pump() override { return pump_; }
  StatusLine& status_line() override;
  QString WebSiteText() const override;
  QString FolderText() const override;
  int pointer_mode() const override { return pointer_mode_; }
  void SetPointerMode(int mode) override;

  // Button commands.
  void PushButton1_Click();
  void PushButton2_Click();
  void PushButton3_Click();
  void PushButton4_Click();
  void PushButton5_Click();
  void PushButton6_Click();
  void PushButton7_Click();
  void PushButton8_Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void SetTabOrder();
  void ConnectHandlers();
  void EscapePressed();
  void HoverOverButton();
  void HoverOverBackground();
  int TwipsX(int twips) const;

  Form1Services services_;
  EventPump pump_;
  FileListModel file_list_;
  HttpClient http_;

  QGroupBox* frame1_ = nullptr;
  QLineEdit* txt_website_ = nullptr;
  QPushButton* buttons_[8] = {};
  FileListView* list_view_ = nullptr;
  QGroupBox* frame2_ = nullptr;
  SelectAllLineEdit* text1_ = nullptr;
  CaptionBar* progress_bar_ = nullptr;
  Crawler crawler_;

  int pointer_mode_ = kPointerDefault;
  QString last_chosen_folder_;
  QCursor hand_pointer_;
  bool has_hand_pointer_ = false;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_APP_MAIN_WINDOW_H_
