#ifndef TRAWLBOX_GUI_CAPTION_BAR_H_
#define TRAWLBOX_GUI_CAPTION_BAR_H_

#include <QElapsedTimer>
#include <QProgressBar>
#include <QTimer>

#include "core/status_line.h"
#include "mirror/downloader.h"

namespace trawlbox {

// ProgressBar1: a progress bar whose caption is shown as plain text. Qt's
// own format would expand %p, %v and %m found in an address, and a range of
// 0..0 would turn the bar into a busy indicator; this bar keeps its own
// maximum and position and shows an empty bar for a maximum of 0.
//
// A download changes the caption many times a second; the bar repaints at
// most every kRepaintMs, which no reader can outpace, so painting never
// costs more than a sliver of the transfer.
class CaptionBar : public QProgressBar, public StatusLine {
  Q_OBJECT

 public:
  static constexpr qint64 kRepaintMs = 40;

  explicit CaptionBar(QWidget* parent = nullptr);

  QString text() const override { return caption_; }

  void SetCaption(const QString& caption) override;
  QString Caption() const override { return caption_; }
  void SetMaximum(qint64 maximum) override;
  qint64 Maximum() const override { return maximum_; }
  void SetPosition(qint64 position) override;
  qint64 Position() const override { return position_; }

 signals:
  void CaptionChanged(const QString& caption);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void ShowRange();
  void ScheduleRepaint();

  QTimer repaint_timer_;
  QElapsedTimer since_paint_;
  QString caption_ = kIdleCaption;
  qint64 maximum_ = 100;
  qint64 position_ = 0;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_GUI_CAPTION_BAR_H_
