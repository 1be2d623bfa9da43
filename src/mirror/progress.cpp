#include "mirror/progress.h"

#include <algorithm>
#include <cmath>

namespace trawlbox {

qint16 PercentDone(qint64 length, qint64 received) {
  // std::nearbyint rounds half to even in the default rounding mode.
  return static_cast<qint16>(
      std::nearbyint(100.0 / double(length) * double(received)));
}

QList<qint16> PercentagesShown(qint64 length, qint64 from, qint64 to,
                               qint16 shown) {
  QList<qint16> percentages;
  if (length <= 0) return percentages;
  qint64 end = (from / kProgressPieceBytes + 1) * kProgressPieceBytes;
  for (;; end += kProgressPieceBytes) {
    const qint64 piece_end = std::min(end, length);
    if (piece_end > to) break;
    const qint16 percent = PercentDone(length, piece_end);
    if (percent != shown) {
      shown = percent;
      percentages.append(percent);
    }
    if (piece_end == length) break;
  }
  return percentages;
}

QString ProgressCaption(const QString& address, qint16 percent) {
  return QStringLiteral("Downloading ") + address + QStringLiteral("...") +
         QString::number(percent) + QStringLiteral(" % Downloaded");
}

}  // namespace trawlbox
