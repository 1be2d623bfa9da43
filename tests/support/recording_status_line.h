#ifndef TRAWLBOX_TESTS_SUPPORT_RECORDING_STATUS_LINE_H_
#define TRAWLBOX_TESTS_SUPPORT_RECORDING_STATUS_LINE_H_

#include <QRegularExpression>
#include <QStringList>

#include "core/status_line.h"

namespace trawlbox {

// Remembers every caption and position it was given.
class RecordingStatusLine : public StatusLine {
 public:
  void SetCaption(const QString& caption) override {
    captions.append(caption);
    caption_ = caption;
  }
  QString Caption() const override { return caption_; }
  void SetMaximum(qint64 maximum) override { maximum_ = maximum; }
  qint64 Maximum() const override { return maximum_; }
  void SetPosition(qint64 position) override {
    positions.append(position);
    position_ = position;
  }
  qint64 Position() const override { return position_; }

  QStringList captions;
  QList<qint64> positions;

 private:
  QString caption_ = QStringLiteral("Progress Bar");  // as a window opens
  qint64 maximum_ = 100;
  qint64 position_ = 0;
};

// The percentages the "Downloading ADDRESS...N % Downloaded" captions
// among `captions` showed, in order.
inline QList<int> Percentages(const QStringList& captions) {
  QList<int> percentages;
  static const QRegularExpression percent(R"(\.\.\.(\d+) % Downloaded$)");
  for (const QString& caption : captions) {
    const auto match = percent.match(caption);
    if (match.hasMatch()) percentages << match.captured(1).toInt();
  }
  return percentages;
}

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_RECORDING_STATUS_LINE_H_
