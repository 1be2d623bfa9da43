#include "app/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>

#include "app/app_icon.h"
#include "app/app_title.h"
#include "app/caption_bar.h"
#include "app/desktop_folder.h"
#include "app/error_trap.h"
#include "app/existence.h"
#include "app/file_list_view.h"
#include "app/hand_cursor.h"
#include "app/handler_guard.h"
#include "app/prompts.h"
#include "app/settings_store.h"
#include "app/skin.h"
#include "app/twips.h"
#include "auxiliary/home_page.h"
#include "auxiliary/online_check.h"
#include "crawl/listing_command.h"
#include "mirror/download_command.h"
#include "ui/folder_chooser.h"
#include "ui/input_fields.h"
#include "ui/list_operations.h"
#include "ui/select_all_line_edit.h"

namespace trawlbox {
namespace {

const QString kFormLoadTag =
    QStringLiteral("in Quaymill2021/08/31.Form1.Form_Load ");
const QString kPushButton3Tag =
    QStringLiteral("in Quaymill2021/08/31.Form1.PushButton3_Click ");
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
constexpr ButtonSpec kButtonSpecs[8] = {
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

Form1::Form1(Form1Services services, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      http_(pump_),
      crawler_(file_list_, *services_.prompts, http_,
               [this] { return WebSiteText(); }) {
  if (!services_.check_online) {
    services_.check_online = [this] {
      CheckOnline(*services_.prompts, &pump_);
    };
  }
  if (!services_.maybe_open_home_page) {
    services_.maybe_open_home_page = [] { MaybeOpenHomePage(); };
  }
  if (!services_.desktop_folder) services_.desktop_folder = GetDesktopFolder;
  BuildControls();
  SetTabOrder();
  ConnectHandlers();
}

Form1::~Form1() = default;

int Form1::TwipsX(int twips) const {
  return TwipsToPixels(twips, logicalDpiX());
}

void Form1::BuildControls() {
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

  frame1_ = new QGroupBox(QStringLiteral("Web Site"), this);
  frame1_->setObjectName(QStringLiteral("Frame1"));
  place(frame1_, 120, 120, 7800, 830);
  PaintWhite(frame1_, QPalette::Window);

  txt_website_ = new QLineEdit(QStringLiteral("http://"), frame1_);
  txt_website_->setObjectName(QStringLiteral("txtWebsite"));
  place(txt_website_, 240, 300, 7305, 345);
  PaintWhite(txt_website_, QPalette::Base);

  frame2_ = new QGroupBox(QStringLiteral("Save Files To This Folder"), this);
  frame2_->setObjectName(QStringLiteral("Frame2"));
  place(frame2_, 120, 5760, 7800, 830);
  PaintWhite(frame2_, QPalette::Window);

  text1_ = new SelectAllLineEdit(frame2_);
  text1_->setObjectName(QStringLiteral("Text1"));
  place(text1_, 240, 300, 6645, 345);
  PaintWhite(text1_, QPalette::Base);

  for (int i = 0; i < 8; ++i) {
    const ButtonSpec& spec = kButtonSpecs[i];
    QWidget* owner = i == 1 ? static_cast<QWidget*>(frame2_) : this;
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

  progress_bar_ = new CaptionBar(this);
  progress_bar_->setObjectName(QStringLiteral("ProgressBar1"));
  place(progress_bar_, 120, 7230, 7800, 405);
}

// The window's tab order; frames and the bar take no focus. The list comes
// first, so it has the focus when the window opens.
void Form1::SetTabOrder() {
  QWidget* const order[] = {
      list_view_,  txt_website_, text1_,      buttons_[1],
      buttons_[4], buttons_[6],  buttons_[7], buttons_[5],
      buttons_[0], buttons_[2],  buttons_[3],
  };
  for (size_t i = 1; i < std::size(order); ++i) {
    setTabOrder(order[i - 1], order[i]);
  }
  progress_bar_->setFocusPolicy(Qt::NoFocus);
  list_view_->setFocus();
}

void Form1::ConnectHandlers() {
  MirrorToSetting(txt_website_, *services_.settings, kWebSiteKey);
  MirrorToSetting(text1_, *services_.settings, kText1Key);

  void (Form1::*const clicks[8])() = {
      &Form1::PushButton1_Click, &Form1::PushButton2_Click,
      &Form1::PushButton3_Click, &Form1::PushButton4_Click,
      &Form1::PushButton5_Click, &Form1::PushButton6_Click,
      &Form1::PushButton7_Click, &Form1::PushButton8_Click,
  };
  for (int i = 0; i < 8; ++i) {
    connect(buttons_[i], &QPushButton::clicked, this,
            GuardedSlot([this, click = clicks[i]] { (this->*click)(); }));
  }
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this,
          GuardedSlot([this] { EscapePressed(); }));

  // Pointer feedback: the window tracks the mouse over its buttons and its
  // background areas.
  setMouseTracking(true);
  for (QWidget* watched :
       {static_cast<QWidget*>(frame1_), static_cast<QWidget*>(frame2_),
        list_view_->viewport()}) {
    watched->setMouseTracking(true);
    watched->installEventFilter(this);
  }
  for (QPushButton* button : buttons_) {
    button->setMouseTracking(true);
    button->installEventFilter(this);
  }
}

void Form1::Form_Load() {
  ErrorTrap trap(*services_.prompts, kFormLoadTag);
  const QString folder = services_.program_folder;
  trap.Do(100, [&] { ApplySkin(folder, this, {frame1_, frame2_}); });
  trap.Do(102, [&] { services_.check_online(); });
  if (trap.If(
          104, [&] { return FileExists(HandCursorPath(folder)); },
          OnFailure::kRunBody)) {
    trap.Do(106, [&] {
      hand_pointer_ = LoadCursorFile(HandCursorPath(folder));
      has_hand_pointer_ = true;
    });
  }
  trap.Do(108, [&] { setWindowTitle(Prompts::kProductName); });
  trap.Do(108, [&] { setWindowIcon(AppIcon()); });
  trap.Do(108, [&] {
    services_.prompts->set_app_title(ShortenedTitle(Prompts::kProductName));
  });
  trap.Do(112, [&] { services_.maybe_open_home_page(); });
  trap.Do(130, [&] {
    AssignText(txt_website_,
               services_.settings->ReadSetting(kWebSiteKey, QString()));
  });
  trap.Do(132, [&] {
    const QString fallback = services_.desktop_folder();
    AssignText(text1_, services_.settings->ReadSetting(kText1Key, fallback));
  });
  trap.Do(134, [&] { file_list_.set_header(kColumnHeader); });
  trap.Do(136,
          [&] { list_view_->setColumnWidth(0, TwipsX(kColumnWidthTwips)); });
}

StatusLine& Form1::status_line() { return *progress_bar_; }

QString Form1::WebSiteText() const { return txt_website_->text(); }

QString Form1::FolderText() const { return text1_->text(); }

void Form1::SetPointerMode(int mode) {
  pointer_mode_ = mode;
  switch (mode) {
    case kPointerBusy:
      setCursor(Qt::WaitCursor);
      break;
    case kPointerCustom:
      if (has_hand_pointer_) {
        setCursor(hand_pointer_);
      } else {
        setCursor(Qt::ArrowCursor);
      }
      break;
    default:
      unsetCursor();
      break;
  }
}

// Escape stops the running command: a listing after the page in work, a
// download at once.
void Form1::EscapePressed() {
  if (listing) crawler_.RequestStop();
  if (downloading) tag = kCancelTag;
}

void Form1::HoverOverButton() {
  if (pointer_mode_ != kPointerBusy) SetPointerMode(kPointerCustom);
}

void Form1::HoverOverBackground() {
  if (pointer_mode_ != kPointerBusy) SetPointerMode(kPointerDefault);
}

// Unhandled mouse moves travel on to the parent; only the widget directly
// under the mouse decides the pointer.
bool Form1::eventFilter(QObject* watched, QEvent* event) {
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

void Form1::mouseMoveEvent(QMouseEvent* event) {
  if (childAt(event->position().toPoint()) == nullptr) {
    Guarded([this] { HoverOverBackground(); });
  }
  QWidget::mouseMoveEvent(event);
}

// Closing ends the program at once. A long command that is letting events
// run is told to unwind; the application then quits.
void Form1::closeEvent(QCloseEvent* event) {
  pump_.RequestShutdown();
  event->accept();
}

void Form1::PushButton1_Click() { ShowHelp(*services_.prompts); }

void Form1::PushButton2_Click() {
  RunFolderChooser(*services_.prompts, *services_.settings, last_chosen_folder_,
                   text1_);
}

void Form1::PushButton3_Click() {
  ErrorTrap trap(*services_.prompts, kPushButton3Tag);
  trap.Do(100, [&] { AssignText(txt_website_, kSampleSiteAddress); });
}

void Form1::PushButton4_Click() { ClearList(*this); }
void Form1::PushButton5_Click() { RunListingCommand(*this, crawler_); }
void Form1::PushButton6_Click() { RunDownloadCommand(*this, http_); }
void Form1::PushButton7_Click() { CheckAll(*this); }
void Form1::PushButton8_Click() { UncheckAll(*this); }

}  // namespace trawlbox
