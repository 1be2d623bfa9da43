#include "gui/caption_bar.h"

#include <algorithm>

#include "core/address_password.h"

namespace trawlbox {

CaptionBar::CaptionBar(QWidget* parent) : QProgressBar(parent) {
  setTextVisible(true);
  setAlignment(Qt::AlignCenter);
  // No format: the caption is ours, and Qt then repaints for a new value
  // only when the bar itself would look different.
  setFormat(QString());
  repaint_timer_.setSingleShot(true);
  connect(&repaint_timer_, &QTimer::timeout, this, [this] { update(); });
  since_paint_.start();
  ShowRange();
}

void CaptionBar::paintEvent(QPaintEvent* event) {
  since_paint_.restart();
  QProgressBar::paintEvent(event);
}

void CaptionBar::ScheduleRepaint() {
  if (repaint_timer_.isActive()) return;
  const qint64 waited = since_paint_.elapsed();
  if (waited >= kRepaintMs) {
    update();
  } else {
    repaint_timer_.start(static_cast<int>(kRepaintMs - waited));
  }
}

// A password in an address shows as "***", as it does in boxes.
void CaptionBar::SetCaption(const QString& caption) {
  const QString shown =
      caption.contains(QLatin1Char('@')) ? HidePasswords(caption) : caption;
  if (shown == caption_) return;
  caption_ = shown;
  ScheduleRepaint();
  emit CaptionChanged(caption_);
}

void CaptionBar::SetMaximum(qint64 maximum) {
  maximum_ = maximum;
  ShowRange();
}

void CaptionBar::SetPosition(qint64 position) {
  position_ = position;
  ShowRange();
}

// QProgressBar counts in int; the shown range is scaled down to fit, and an
// empty range is drawn as 0 of 1 rather than as a busy indicator.
void CaptionBar::ShowRange() {
  constexpr qint64 kLimit = std::numeric_limits<int>::max();
  const qint64 top = std::max<qint64>(maximum_, 1);
  const qint64 scale = top / kLimit + 1;
  const qint64 shown = std::clamp<qint64>(position_, 0, top);
  setRange(0, static_cast<int>(top / scale));
  setValue(static_cast<int>(shown / scale));
}

}  // namespace trawlbox
