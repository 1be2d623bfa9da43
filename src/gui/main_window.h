#ifndef TRAWLBOX_GUI_MAIN_WINDOW_H_
#define TRAWLBOX_GUI_MAIN_WINDOW_H_

#include <QCursor>
#include <QString>
#include <QWidget>
#include <functional>

#include "core/command_host.h"
#include "core/event_pump.h"
#include "core/status.h"
#include "crawl/crawler.h"
#include "crawl/page_source.h"
#include "crawl/size_look_up.h"
#include "gui/file_list_model.h"
#include "gui/folder_chooser.h"
#include "gui/list_files.h"
#include "net/http_engine.h"
#include "net/request_run.h"

class QGroupBox;
class QLabel;
class QMenuBar;
class QLineEdit;
class QPushButton;

namespace trawlbox {

class CaptionBar;
class FileListView;
class ListTools;
class FileSystem;
class Prompts;
class SelectAllLineEdit;
class SettingsStore;
class WindowKeys;

// What the main window is given by the program (or by a test).
struct MainWindowServices {
  SettingsStore* settings = nullptr;
  Prompts* prompts = nullptr;
  // Lets window events run from inside long commands.
  EventPump* pump = nullptr;
  // Where the listing passes its pages through and the download makes its
  // folders and files.
  FileSystem* file_system = nullptr;
  // The folder browser; the platform's dialog, over the window, when unset.
  BrowseForFolder browse_for_folder;
  // The file dialog of Save List, Open List and Export for aria2; the
  // platform's, over the window, when unset.
  ChooseFile choose_file;
  // Where the optional skin and hand pointer files are looked for.
  QString program_folder;
  // Start-up steps owned by other parts of the program.
  std::function<void()> check_online;
  std::function<Status()> maybe_open_home_page;
  std::function<Result<QString>()> desktop_folder;
  // The connections to the site, and how often a request that failed on
  // something passing is tried again.
  RunSettings run_settings;
  // Certificates trusted instead of the system's; the system's when empty.
  QString ca_file;
  // Whether the download asks for the files the folder holds only if they
  // changed.
  bool update = false;
  // Whether the server is asked for the sizes a listing leaves unknown.
  bool look_up_sizes = true;
};

// The pointer the window shows: a long command's, or the hand over the
// buttons (the window's own pointer image, when it has one).
enum class WindowPointer { kDefault = 0, kBusy = 11, kCustom = 99 };

// The program's only window: the start address, the file list with its
// tools, the destination folder and the buttons that act on them. It may
// grow past its first size; the list takes the room added.
class MainWindow : public QWidget, public CommandHost {
  Q_OBJECT

 public:
  explicit MainWindow(MainWindowServices services, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The start-up procedure: runs once before the window is shown.
  void RunStartUp();

  bool has_hand_pointer() const { return has_hand_pointer_; }
  FileListModel& file_list_model() { return file_list_; }
  CaptionBar* caption_bar() const { return caption_bar_; }
  ListTools& list_tools() { return *list_tools_; }
  ListFiles& list_files() { return list_files_; }
  SizeLookUp& size_look_up() { return size_look_up_; }

  // CommandHost.
  Prompts& prompts() override { return *services_.prompts; }
  FileList& file_list() override { return file_list_; }
  EventPump& pump() override { return *services_.pump; }
  StatusLine& status_line() override;
  QString WebSiteText() const override;
  QString FolderText() const override;
  PointerMode pointer_mode() const override;
  void SetPointerMode(PointerMode mode) override;

  WindowPointer window_pointer() const { return pointer_; }
  void ShowPointer(WindowPointer pointer);

  // The buttons' commands.
  void OnShowHelp();
  void OnChooseFolder();
  void OnLoadSample();
  void OnClearList();
  void OnStartListing();
  void OnStartDownloading();
  void OnCheckAll();
  void OnUncheckAll();
  // Escape: stops the running command and the size look-ups.
  void OnEscape();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void SetTabOrder();
  void ConnectHandlers();
  void BindKeys();
  // Places every control for the window's present size.
  void LayOut();
  void HoverOverButton();
  void HoverOverBackground();
  int TwipsX(int twips) const;

  MainWindowServices services_;
  FileListModel file_list_;
  ListFiles list_files_;
  // One engine for the listing and the download, so the connection to the
  // site is kept across both.
  HttpEngine engine_;
  // The one run of requests, for every command and the look-ups.
  RequestRun run_;
  HttpPageSource site_pages_{run_};
  // Made after the run it asks, so it ends its requests first.
  SizeLookUp size_look_up_{file_list_, run_};

  QGroupBox* site_frame_ = nullptr;
  QLineEdit* site_edit_ = nullptr;
  // The buttons in the order of their object names, PushButton1 to 8.
  enum Button {
    kHelpButton,
    kChooseFolderButton,
    kLoadSampleButton,
    kClearListButton,
    kStartListingButton,
    kStartDownloadingButton,
    kCheckAllButton,
    kUncheckAllButton,
    kButtonCount,
  };
  QPushButton* buttons_[kButtonCount] = {};
  FileListView* list_view_ = nullptr;
  QGroupBox* folder_frame_ = nullptr;
  SelectAllLineEdit* folder_edit_ = nullptr;
  CaptionBar* caption_bar_ = nullptr;
  ListTools* list_tools_ = nullptr;
  WindowKeys* keys_ = nullptr;
  QMenuBar* menu_bar_ = nullptr;
  QSize first_size_;
  Crawler crawler_;

  WindowPointer pointer_ = WindowPointer::kDefault;
  QString last_chosen_folder_;
  QCursor hand_pointer_;
  bool has_hand_pointer_ = false;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_MAIN_WINDOW_H_
