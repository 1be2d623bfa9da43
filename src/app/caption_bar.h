#ifndef TRAWLBOX_APP_CAPTION_BAR_H_
#define TRAWLBOX_APP_CAPTION_BAR_H_

#include <QProgressBar>

#include "app/status_line.h"

namespace trawlbox {

// ProgressBar1: a progress bar whose caption is shown as plain text. Qt's
// own format would expand %p, %v and %m found in an address, and a range of
// 0..0 would turn the bar into a busy indicator; this bar keeps its own
// maximum and position and shows an empty bar for a maximum of 0.
class CaptionBar : public QProgressBar, public StatusLine {
  Q_OBJECT

 public:
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

 private:
  void ShowRange();

  QString caption_ = kIdleCaption;
  qint64 maximum_ = 100;
  qint64 position_ = 0;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_APP_CAPTION_BAR_H_
