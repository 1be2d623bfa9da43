#include "gui/list_tools.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>

#include "core/address_password.h"
#include "core/settings_store.h"
#include "core/tick_pattern.h"
#include "gui/file_list_model.h"
#include "gui/file_list_view.h"
#include "gui/handler_guard.h"
#include "gui/input_fields.h"
#include "gui/skin.h"

namespace trawlbox {
namespace {

// The total waits this long after a change, so a listing that adds rows
// all the time redraws it a few times a second at most.
constexpr int kTotalDelayMs = 50;
// The count of matching rows waits for a pause in typing.
constexpr int kCountDelayMs = 150;

QPushButton* ToolButton(QWidget* window, const char* name, const char* caption,
                        const char* tip) {
  auto* button = new QPushButton(QString::fromLatin1(caption), window);
  button->setObjectName(QString::fromLatin1(name));
  button->setFont(ArialBold(9));
  button->setAutoDefault(false);
  button->setToolTip(QString::fromLatin1(tip));
  return button;
}

// The folder a row lies in: a folder row's own address, else its address up
// to the last "/".
QString FolderOf(const QString& text) {
  return text.left(text.lastIndexOf(QLatin1Char('/')) + 1);
}

}  // namespace

ListTools::ListTools(QWidget* window, FileListModel& list,
                     SettingsStore& settings,
                     std::function<QString()> start_address)
    : QObject(window),
      list_(list),
      settings_(settings),
      start_address_(std::move(start_address)) {
  total_line_ = new QLabel(window);
  total_line_->setObjectName(QStringLiteral("TotalLine"));
  total_line_->setFont(ArialBold(9));
  pattern_field_ = new QLineEdit(window);
  pattern_field_->setObjectName(QStringLiteral("PatternField"));
  pattern_field_->setFont(ArialBold(9));
  pattern_field_->setPlaceholderText(QStringLiteral("*.iso docs/* >100MB"));
  pattern_field_->setToolTip(QStringLiteral(
      "Globs on the file name (*.iso), or on the path when they hold a / "
      "(docs/*), and size bounds (>100MB, <2GiB); Ctrl+F"));
  match_count_ = new QLabel(pattern_field_);
  match_count_->setObjectName(QStringLiteral("MatchCount"));
  match_count_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  match_count_->setAttribute(Qt::WA_TransparentForMouseEvents);
  match_count_->setForegroundRole(QPalette::PlaceholderText);
  tick_button_ = ToolButton(window, "TickMatching", "Tick Matching",
                            "Ticks every row the pattern matches (Alt+T)");
  untick_button_ = ToolButton(window, "UntickMatching", "Untick Matching",
                              "Unticks every row the pattern matches (Alt+U)");

  total_due_.setSingleShot(true);
  total_due_.setInterval(kTotalDelayMs);
  count_due_.setSingleShot(true);
  count_due_.setInterval(kCountDelayMs);
  connect(&total_due_, &QTimer::timeout, this,
          GuardedSlot([this] { RefreshTotal(); }));
  connect(&count_due_, &QTimer::timeout, this,
          GuardedSlot([this] { CountMatches(); }));
  connect(&list_, &FileListModel::TotalsChanged, this, [this] {
    if (!total_due_.isActive()) total_due_.start();
    if (!count_due_.isActive()) count_due_.start();
  });
  connect(pattern_field_, &QLineEdit::textChanged, this,
          [this] { count_due_.start(); });
  connect(tick_button_, &QPushButton::clicked, this,
          GuardedSlot([this] { TickMatching(true); }));
  connect(untick_button_, &QPushButton::clicked, this,
          GuardedSlot([this] { TickMatching(false); }));
  pattern_field_->installEventFilter(this);
  RefreshTotal();
}

bool ListTools::eventFilter(QObject* watched, QEvent* event) {
  if (watched == pattern_field_ && event->type() == QEvent::Resize) {
    Guarded([this] { ShowMatchText(match_count_->text()); });
  }
  return QObject::eventFilter(watched, event);
}

QString ListTools::match_text() const { return match_count_->text(); }

void ListTools::RestorePattern() {
  const Result<QString> stored = settings_.ReadSetting(kPatternKey, QString());
  if (stored.ok()) pattern_field_->setText(stored.value());
  MirrorToSetting(pattern_field_, settings_, kPatternKey);
}

void ListTools::FocusPattern() {
  pattern_field_->setFocus(Qt::ShortcutFocusReason);
  pattern_field_->selectAll();
}

void ListTools::TickMatching(bool ticked) {
  // A blank field matches every row, as Check All does; it is more likely a
  // press before typing, so it changes nothing.
  if (pattern_field_->text().trimmed().isEmpty()) return;
  const Result<TickPattern> pattern =
      TickPattern::Parse(pattern_field_->text());
  if (!pattern.ok()) {
    ShowMatchText(pattern.status().failure());
    return;
  }
  const QString start = start_address_();
  const TickPattern& matcher = pattern.value();
  list_.SetTickedWhere(
      [&](const QString& text, const RowSize& size) {
        return matcher.Matches(text, start, size);
      },
      ticked);
}

void ListTools::TickFolderOf(qsizetype position, bool ticked) {
  const QString folder = FolderOf(list_.Text(position));
  list_.SetTickedWhere([&](const QString& text,
                           const RowSize&) { return text.startsWith(folder); },
                       ticked);
}

void ListTools::CopyAddressOf(qsizetype position) {
  QGuiApplication::clipboard()->setText(DropPasswords(list_.Text(position)));
}

void ListTools::AttachRowMenu(FileListView* view) {
  connect(view, &FileListView::RowMenuRequested, this,
          [this](qsizetype position, const QPoint& global) {
            Guarded([&] { ShowRowMenu(position, global); });
          });
}

void ListTools::ShowRowMenu(qsizetype position, const QPoint& global) {
  QMenu menu;
  menu.setObjectName(QStringLiteral("RowMenu"));
  const QAction* tick = menu.addAction(QStringLiteral("Tick This Folder"));
  const QAction* untick = menu.addAction(QStringLiteral("Untick This Folder"));
  menu.addSeparator();
  const QAction* copy = menu.addAction(QStringLiteral("Copy Address"));
  const QAction* copy_ticked =
      menu.addAction(QStringLiteral("Copy Ticked Addresses"));
  const QAction* chosen = menu.exec(global);
  if (chosen != nullptr && chosen == copy_ticked) {
    if (copy_ticked_) copy_ticked_();
    return;
  }
  // The list may have been emptied while the menu was open.
  if (chosen == nullptr || position > list_.Count()) return;
  if (chosen == tick || chosen == untick) {
    TickFolderOf(position, chosen == tick);
  } else if (chosen == copy) {
    CopyAddressOf(position);
  }
}

void ListTools::RefreshTotal() {
  total_line_->setText(TotalText(list_.totals()));
}

void ListTools::CountMatches() {
  const QString text = pattern_field_->text();
  if (text.trimmed().isEmpty()) {
    ShowMatchText(QString());
    return;
  }
  const Result<TickPattern> pattern = TickPattern::Parse(text);
  if (!pattern.ok()) {
    ShowMatchText(pattern.status().failure());
    return;
  }
  const QString start = start_address_();
  const TickPattern& matcher = pattern.value();
  const qsizetype count =
      list_.CountWhere([&](const QString& row, const RowSize& size) {
        return matcher.Matches(row, start, size);
      });
  const QString counted = QLocale(QLocale::English).toString(qint64(count));
  ShowMatchText(count == 1 ? QStringLiteral("1 row matches")
                           : QStringLiteral("%1 rows match").arg(counted));
}

// The text stands at the field's right end, and what is typed stops short
// of it.
void ListTools::ShowMatchText(const QString& text) {
  match_count_->setText(text);
  const int width =
      text.isEmpty() ? 0 : match_count_->fontMetrics().horizontalAdvance(text);
  const int field_width = pattern_field_->width();
  const int shown = std::min(width + 8, field_width / 2);
  match_count_->setGeometry(field_width - shown, 0, shown - 4,
                            pattern_field_->height());
  pattern_field_->setTextMargins(0, 0, shown, 0);
  match_count_->setToolTip(text);
}

}  // namespace trawlbox
