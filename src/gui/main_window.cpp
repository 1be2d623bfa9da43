#include "gui/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>

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
#include "gui/sample_site.h"
#include "gui/select_all_line_edit.h"
#include "gui/skin.h"
#include "gui/twips.h"
#include "gui/window_procedures.h"
#include "mirror/download_command.h"

namespace trawlbox {
namespace {

const QString kListTooltip = QStringLiteral(
    "Double-click item to remove it. Move | line to right and out of window "
    "to reveal full names.");
const QString kColumnHeader = QStringLiteral(" File(s)");

constexpr int kClientWidthTwips = 8040;
constexpr int kClientHeightTwips = 7755;
constexpr int kColumnWidthTwips = 7000;

QFont ArialBold(double points) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(points);
  font.setBold(true);
  return font;
}

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

void PaintWhite(QWidget* widget, QPalette::ColorRole role) {
  QPalette palette = widget->palette();
  palette.setColor(role, Qt::white);
  widget->setPalette(palette);
  widget->setAutoFillBackground(role == QPalette::Window);
}

// The buttons' captions and places (twips), PushButton1 to PushButton8.
// The "..." button sits in Frame2; the others on the window.
struct ButtonSpec {
  const char* caption;
  int left, top, width, height;
};
constexpr ButtonSpec kButtonSpecs[] = {
    {"Help", 120, 1050, 3840, 405},
    {"...", 6960, 300, 600, 345},
    {"Load Sample/Example Web Site", 4080, 1050, 3840, 405},
    {"Clear List", 120, 5310, 7800, 405},
    {"Start Listing Web Files", 120, 1560, 7800, 405},
    {"Start Downloading Checked Files", 120, 6710, 7800, 405},
    {"Check All", 120, 4800, 3840, 405},
    {"Uncheck All", 4080, 4800, 3840, 405},
};

}  // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      site_pages_(engine_, *services_.pump),
      crawler_(file_list_, *services_.prompts, *services_.pump, site_pages_,
               *services_.file_system, [this] { return WebSiteText(); }) {
  engine_.set_retry_policy(services_.retry_policy);
  engine_.set_connections(services_.connections);
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
  const double dpi_x = logicalDpiX();
  const double dpi_y = logicalDpiY();
  auto place = [&](QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(TwipsToPixels(left, dpi_x), TwipsToPixels(top, dpi_y),
                        TwipsToPixels(width, dpi_x),
                        TwipsToPixels(height, dpi_y));
  };
  setFixedSize(TwipsToPixels(kClientWidthTwips, dpi_x),
               TwipsToPixels(kClientHeightTwips, dpi_y));
  setFont(ArialBold(9));
  PaintWhite(this, QPalette::Window);

  site_frame_ = new QGroupBox(QStringLiteral("Web Site"), this);
  site_frame_->setObjectName(QStringLiteral("Frame1"));
  place(site_frame_, 120, 120, 7800, 830);
  PaintWhite(site_frame_, QPalette::Window);

  site_edit_ = new QLineEdit(QStringLiteral("http://"), site_frame_);
  site_edit_->setObjectName(QStringLiteral("txtWebsite"));
  place(site_edit_, 240, 300, 7305, 345);
  PaintWhite(site_edit_, QPalette::Base);

  folder_frame_ =
      new QGroupBox(QStringLiteral("Save Files To This Folder"), this);
  folder_frame_->setObjectName(QStringLiteral("Frame2"));
  place(folder_frame_, 120, 5760, 7800, 830);
  PaintWhite(folder_frame_, QPalette::Window);

  folder_edit_ = new SelectAllLineEdit(folder_frame_);
  folder_edit_->setObjectName(QStringLiteral("Text1"));
  place(folder_edit_, 240, 300, 6645, 345);
  PaintWhite(folder_edit_, QPalette::Base);

  static_assert(std::size(kButtonSpecs) == kButtonCount);
  for (int i = 0; i < kButtonCount; ++i) {
    const ButtonSpec& spec = kButtonSpecs[i];
    QWidget* owner =
        i == kChooseFolderButton ? static_cast<QWidget*>(folder_frame_) : this;
    auto* button = new QPushButton(QString::fromLatin1(spec.caption), owner);
    button->setObjectName(QStringLiteral("PushButton%1").arg(i + 1));
    button->setFont(ArialBold(11.25));
    button->setAutoDefault(false);
    place(button, spec.left, spec.top, spec.width, spec.height);
    buttons_[i] = button;
  }

  list_view_ = new FileListView(this);
  list_view_->setObjectName(QStringLiteral("ListView1"));
  place(list_view_, 120, 2070, 7800, 2640);
  list_view_->SetFileList(&file_list_);
  list_view_->setToolTip(kListTooltip);

  caption_bar_ = new CaptionBar(this);
  caption_bar_->setObjectName(QStringLiteral("ProgressBar1"));
  place(caption_bar_, 120, 7230, 7800, 405);
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
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this,
          GuardedSlot([this] { OnEscape(); }));

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
  list_view_->setColumnWidth(0, TwipsX(kColumnWidthTwips));
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

// Escape stops the running command: a listing after the page in work, a
// download at once.
void MainWindow::OnEscape() {
  if (listing()) crawler_.RequestStop();
  if (downloading()) RequestCancel();
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
void MainWindow::OnStartListing() { RunListingCommand(*this, crawler_); }
void MainWindow::OnStartDownloading() {
  RunDownloadCommand(*this, engine_, *services_.file_system,
                     DownloadMode{.update = services_.update});
}
void MainWindow::OnCheckAll() { CheckAll(*this); }
void MainWindow::OnUncheckAll() { UncheckAll(*this); }

}  // namespace trawlbox
