#include "gui/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>

#include "auxiliary/help.h"
#include "core/error_trap.h"
#include "core/existence.h"
#include "core/prompts.h"
#include "core/settings_store.h"
#include "core/status.h"
#include "crawl/listing_command.h"
#include "gui/app_icon.h"
#include "gui/app_title.h"
#include "gui/caption_bar.h"
#include "gui/file_list_view.h"
#include "gui/folder_chooser.h"
#include "gui/hand_cursor.h"
#include "gui/handler_guard.h"
#include "gui/input_fields.h"
#include "gui/list_operations.h"
#include "gui/list_tools.h"
#include "gui/sample_site.h"
#include "gui/select_all_line_edit.h"
#include "gui/skin.h"
#include "gui/twips.h"
#include "gui/window_keys.h"
#include "gui/window_layout.h"
#include "gui/window_menu.h"
#include "gui/window_procedures.h"
#include "mirror/download_command.h"

namespace trawlbox {
namespace {

const QString kListTooltip = QStringLiteral(
    "Double-click item to remove it. Move | line to right and out of window "
    "to reveal full names.");
const QString kColumnHeader = QStringLiteral(" File(s)");

// The list's columns together take the width its one column of old took;
// the address column takes what the window adds.
constexpr int kColumnWidthTwips = 7000;
constexpr int kSizeColumnTwips = 1100;

// Puts a stored value in `field`; a store that cannot be read is reported
// under `label` and the field stays as it was.
void FillFromSetting(ErrorTrap<StartUpProcedure>& trap,
                     StartUpProcedure::Label label, QLineEdit* field,
                     const Result<QString>& stored) {
  if (!stored.ok()) {
    trap.Report(label, stored.status().failure());
    return;
  }
  AssignText(field, stored.value());
}

// The buttons' captions, PushButton1 to PushButton8. The "..." button sits
// in Frame2; the others on the window.
constexpr const char* kButtonCaptions[] = {"Help",
                                           "...",
                                           "Load Sample/Example Web Site",
                                           "Clear List",
                                           "Start Listing Web Files",
                                           "Start Downloading Checked Files",
                                           "Check All",
                                           "Uncheck All"};

}  // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      list_files_(
          this, *this, file_list_, *services_.file_system,
          services_.choose_file,
          [this](const QString& start) { AssignText(site_edit_, start); }),
      run_(engine_, *services_.pump, services_.run_settings),
      crawler_(file_list_, *services_.prompts, *services_.pump, site_pages_,
               *services_.file_system, [this] { return WebSiteText(); }) {
  engine_.set_connections(services_.run_settings.connections,
                          services_.run_settings.streams());
  if (!services_.ca_file.isEmpty()) engine_.set_ca_file(services_.ca_file);
  BuildControls();
  SetTabOrder();
  ConnectHandlers();
}

MainWindow::~MainWindow() = default;

int MainWindow::TwipsX(int twips) const {
  return TwipsToPixels(twips, logicalDpiX());
}

void MainWindow::BuildControls() {
  setObjectName(QStringLiteral("Form1"));
  keys_ = new WindowKeys(this);
  menu_bar_ = BuildMenuBar(
      this, *keys_,
      {.open_list = [this] { list_files_.OpenList(); },
       .save_list = [this] { list_files_.SaveList(); },
       .export_for_aria2 = [this] { list_files_.ExportForAria2(); }});
  first_size_ = QSize(TwipsToPixels(kClientWidthTwips, logicalDpiX()),
                      TwipsToPixels(kClientHeightTwips, logicalDpiY()) +
                          MenuBarHeight(menu_bar_));
  setMinimumSize(first_size_);
  resize(first_size_);
  setFont(ArialBold(9));
  PaintWhite(this, QPalette::Window);

  site_frame_ = new QGroupBox(QStringLiteral("Web Site"), this);
  site_frame_->setObjectName(QStringLiteral("Frame1"));
  PaintWhite(site_frame_, QPalette::Window);

  site_edit_ = new QLineEdit(QStringLiteral("http://"), site_frame_);
  site_edit_->setObjectName(QStringLiteral("txtWebsite"));
  PaintWhite(site_edit_, QPalette::Base);

  folder_frame_ =
      new QGroupBox(QStringLiteral("Save Files To This Folder"), this);
  folder_frame_->setObjectName(QStringLiteral("Frame2"));
  PaintWhite(folder_frame_, QPalette::Window);

  folder_edit_ = new SelectAllLineEdit(folder_frame_);
  folder_edit_->setObjectName(QStringLiteral("Text1"));
  PaintWhite(folder_edit_, QPalette::Base);

  static_assert(std::size(kButtonCaptions) == kButtonCount);
  for (int i = 0; i < kButtonCount; ++i) {
    QWidget* owner =
        i == kChooseFolderButton ? static_cast<QWidget*>(folder_frame_) : this;
    auto* button =
        new QPushButton(QString::fromLatin1(kButtonCaptions[i]), owner);
    button->setObjectName(QStringLiteral("PushButton%1").arg(i + 1));
    button->setFont(ArialBold(11.25));
    button->setAutoDefault(false);
    buttons_[i] = button;
  }

  list_view_ = new FileListView(this);
  list_view_->setObjectName(QStringLiteral("ListView1"));
  list_view_->SetFileList(&file_list_);
  list_view_->setToolTip(kListTooltip);

  list_tools_ = new ListTools(this, file_list_, *services_.settings,
                              [this] { return WebSiteText(); });
  list_tools_->set_copy_ticked([this] { list_files_.CopyTickedAddresses(); });

  caption_bar_ = new CaptionBar(this);
  caption_bar_->setObjectName(QStringLiteral("ProgressBar1"));
  LayOut();
}

// The controls on the window stand below its menu bar; those in a frame
// follow their frame.
void MainWindow::LayOut() {
  const QSize extra = size() - first_size_;
  const int list_width = list_view_->width();
  const int below_menu = MenuBarHeight(menu_bar_);
  menu_bar_->setGeometry(0, 0, width(), below_menu);
  for (QWidget* control : findChildren<QWidget*>()) {
    const std::optional<ControlPlace> place =
        PlaceOfControl(control->objectName());
    if (!place) continue;
    control->setGeometry(
        PlaceRect(*place, extra, logicalDpiX(), logicalDpiY())
            .translated(0, control->parentWidget() == this ? below_menu : 0));
  }
  if (list_width > 0) {
    list_view_->WidenAddressColumn(list_view_->width() - list_width);
  }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Guarded([this] { LayOut(); });
}

// The window's tab order; frames and the bar take no focus. The list comes
// first, so it has the focus when the window opens.
void MainWindow::SetTabOrder() {
  QWidget* const order[] = {
      list_view_,
      site_edit_,
      folder_edit_,
      buttons_[kChooseFolderButton],
      buttons_[kStartListingButton],
      buttons_[kCheckAllButton],
      buttons_[kUncheckAllButton],
      buttons_[kStartDownloadingButton],
      buttons_[kHelpButton],
      buttons_[kLoadSampleButton],
      buttons_[kClearListButton],
      list_tools_->pattern_field(),
      list_tools_->tick_button(),
      list_tools_->untick_button(),
  };
  for (size_t i = 1; i < std::size(order); ++i) {
    setTabOrder(order[i - 1], order[i]);
  }
  caption_bar_->setFocusPolicy(Qt::NoFocus);
  list_view_->setFocus();
}

void MainWindow::ConnectHandlers() {
  MirrorToSetting(site_edit_, *services_.settings, kWebSiteKey);
  MirrorToSetting(folder_edit_, *services_.settings, kFolderKey);

  void (MainWindow::*const clicks[kButtonCount])() = {
      &MainWindow::OnShowHelp,     &MainWindow::OnChooseFolder,
      &MainWindow::OnLoadSample,   &MainWindow::OnClearList,
      &MainWindow::OnStartListing, &MainWindow::OnStartDownloading,
      &MainWindow::OnCheckAll,     &MainWindow::OnUncheckAll,
  };
  for (int i = 0; i < kButtonCount; ++i) {
    connect(buttons_[i], &QPushButton::clicked, this,
            GuardedSlot([this, click = clicks[i]] { (this->*click)(); }));
  }
  BindKeys();
  list_tools_->AttachRowMenu(list_view_);
  // A list emptied or filled anew is asked about from its first row.
  connect(&file_list_, &QAbstractItemModel::modelReset, this,
          [this] { size_look_up_.Reset(); });

  // Pointer feedback: the window tracks the mouse over its buttons and its
  // background areas.
  setMouseTracking(true);
  for (QWidget* watched :
       {static_cast<QWidget*>(site_frame_),
        static_cast<QWidget*>(folder_frame_), list_view_->viewport()}) {
    watched->setMouseTracking(true);
    watched->installEventFilter(this);
  }
  for (QPushButton* button : buttons_) {
    button->setMouseTracking(true);
    button->installEventFilter(this);
  }
}

// The keys work wherever the focus is, the text fields included, and act as
// their buttons do.
void MainWindow::BindKeys() {
  keys_->Bind(QKeySequence(Qt::Key_Escape), [this] { OnEscape(); });
  keys_->Bind(QKeySequence(Qt::CTRL | Qt::Key_L),
              [this] { buttons_[kStartListingButton]->click(); });
  keys_->Bind(QKeySequence(Qt::CTRL | Qt::Key_D),
              [this] { buttons_[kStartDownloadingButton]->click(); });
  keys_->Bind(QKeySequence(Qt::CTRL | Qt::Key_F),
              [this] { list_tools_->FocusPattern(); });
  keys_->Bind(QKeySequence(Qt::ALT | Qt::Key_T),
              [this] { list_tools_->tick_button()->click(); });
  keys_->Bind(QKeySequence(Qt::ALT | Qt::Key_U),
              [this] { list_tools_->untick_button()->click(); });
  for (QWidget* field :
       {static_cast<QWidget*>(site_edit_), static_cast<QWidget*>(folder_edit_),
        static_cast<QWidget*>(list_tools_->pattern_field())}) {
    keys_->Watch(field);
  }
}

void MainWindow::RunStartUp() {
  using StartUpLabel = StartUpProcedure::Label;
  ErrorTrap<StartUpProcedure> trap(*services_.prompts);
  const QString folder = services_.program_folder;
  if (const Status skinned =
          ApplySkin(folder, this, {site_frame_, folder_frame_});
      !skinned.ok()) {
    trap.Report(StartUpLabel::kSkin, skinned.failure());
  }
  trap.Do(StartUpLabel::kCheckOnline, [&] { services_.check_online(); });
  if (trap.If(
          StartUpLabel::kFindHandPointer,
          [&] { return FileExists(HandCursorPath(folder)); },
          OnFailure::kRunBody)) {
    const Result<QCursor> hand = LoadCursorFile(HandCursorPath(folder));
    if (hand.ok()) {
      hand_pointer_ = hand.value();
      has_hand_pointer_ = true;
    } else {
      trap.Report(StartUpLabel::kLoadHandPointer, hand.status().failure());
    }
  }
  setWindowTitle(Prompts::kProductName);
  setWindowIcon(AppIcon());
  // The product's own name always has a word to cut.
  if (const Result<QString> title = ShortenedTitle(Prompts::kProductName);
      title.ok()) {
    services_.prompts->set_app_title(title.value());
  }
  if (const Status home = services_.maybe_open_home_page(); !home.ok()) {
    trap.Report(StartUpLabel::kOpenHomePage, home.failure());
  }
  FillFromSetting(trap, StartUpLabel::kFillSite, site_edit_,
                  services_.settings->ReadSetting(kWebSiteKey, QString()));
  // The default is asked for even when a folder is stored, as it always
  // was; without one the stored folder is not read either.
  const Result<QString> desktop = services_.desktop_folder();
  FillFromSetting(trap, StartUpLabel::kFillFolder, folder_edit_,
                  desktop.ok() ? services_.settings->ReadSetting(
                                     kFolderKey, desktop.value())
                               : desktop);
  file_list_.set_header(kColumnHeader);
  list_view_->SetColumnWidths(TwipsX(kColumnWidthTwips - kSizeColumnTwips),
                              TwipsX(kSizeColumnTwips),
                              list_view_->width() - TwipsX(7800));
  list_tools_->RestorePattern();
  RestoreWindowPlace(*this, *services_.settings);
}

StatusLine& MainWindow::status_line() { return *caption_bar_; }

QString MainWindow::WebSiteText() const { return site_edit_->text(); }

QString MainWindow::FolderText() const { return folder_edit_->text(); }

PointerMode MainWindow::pointer_mode() const {
  return pointer_ == WindowPointer::kBusy ? PointerMode::kBusy
                                          : PointerMode::kDefault;
}

void MainWindow::SetPointerMode(PointerMode mode) {
  ShowPointer(mode == PointerMode::kBusy ? WindowPointer::kBusy
                                         : WindowPointer::kDefault);
}

void MainWindow::ShowPointer(WindowPointer pointer) {
  pointer_ = pointer;
  switch (pointer) {
    case WindowPointer::kBusy:
      setCursor(Qt::WaitCursor);
      break;
    case WindowPointer::kCustom:
      if (has_hand_pointer_) {
        setCursor(hand_pointer_);
      } else {
        setCursor(Qt::ArrowCursor);
      }
      break;
    case WindowPointer::kDefault:
      unsetCursor();
      break;
  }
}

// Escape stops the running command (a listing after the page in work, a
// download at once) and the size look-ups for this list.
void MainWindow::OnEscape() {
  if (listing()) crawler_.RequestStop();
  if (downloading()) RequestCancel();
  size_look_up_.Stop();
}

void MainWindow::HoverOverButton() {
  if (pointer_ != WindowPointer::kBusy) ShowPointer(WindowPointer::kCustom);
}

void MainWindow::HoverOverBackground() {
  if (pointer_ != WindowPointer::kBusy) ShowPointer(WindowPointer::kDefault);
}

// Unhandled mouse moves travel on to the parent; only the widget directly
// under the mouse decides the pointer.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    auto* widget = static_cast<QWidget*>(watched);
    const auto* move = static_cast<QMouseEvent*>(event);
    if (widget->childAt(move->position().toPoint()) == nullptr) {
      const bool over_button =
          std::find(std::begin(buttons_), std::end(buttons_), widget) !=
          std::end(buttons_);
      Guarded([&] {
        if (over_button) {
          HoverOverButton();
        } else {
          HoverOverBackground();
        }
      });
    }
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  if (childAt(event->position().toPoint()) == nullptr) {
    Guarded([this] { HoverOverBackground(); });
  }
  QWidget::mouseMoveEvent(event);
}

// Closing ends the program at once. A long command that is letting events
// run is told to unwind; the application then quits.
void MainWindow::closeEvent(QCloseEvent* event) {
  Guarded([this] { SaveWindowPlace(*this, *services_.settings); });
  services_.pump->RequestShutdown();
  event->accept();
}

void MainWindow::OnShowHelp() { ShowHelp(*services_.prompts); }

void MainWindow::OnChooseFolder() {
  const BrowseForFolder browse =
      services_.browse_for_folder
          ? services_.browse_for_folder
          : [this](const QString& title, const QString& start) {
              return QFileDialog::getExistingDirectory(
                  this, title, start, QFileDialog::ShowDirsOnly);
            };
  RunFolderChooser(*services_.prompts, browse, *services_.settings,
                   last_chosen_folder_, folder_edit_);
}

void MainWindow::OnLoadSample() {
  ErrorTrap<LoadSampleProcedure> trap(*services_.prompts);
  trap.Do(LoadSampleProcedure::Label::kFillSite,
          [&] { AssignText(site_edit_, kSampleSiteAddress); });
}

void MainWindow::OnClearList() { ClearList(*this); }
// The sizes of the new rows are looked up once the walk has ended, unless
// Escape ended it.
void MainWindow::OnStartListing() {
  RunListingCommand(*this, crawler_, [this] {
    if (!services_.look_up_sizes || crawler_.stop_requested()) return;
    size_look_up_.Reset();
    size_look_up_.Start();
  });
}

// The download goes first: the look-ups give it their connections and go
// on once it has ended.
void MainWindow::OnStartDownloading() {
  const bool was_busy = busy();
  if (!was_busy) size_look_up_.Pause();
  RunDownloadCommand(*this, run_, *services_.file_system,
                     DownloadMode{.update = services_.update});
  if (!was_busy && services_.look_up_sizes) size_look_up_.Start();
}
void MainWindow::OnCheckAll() { CheckAll(*this); }
void MainWindow::OnUncheckAll() { UncheckAll(*this); }

}  // namespace trawlbox
