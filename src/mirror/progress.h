#ifndef TRAWLBOX_MIRROR_PROGRESS_H_
#define TRAWLBOX_MIRROR_PROGRESS_H_

#include <QList>
#include <QString>
#include <QtGlobal>

namespace trawlbox {

// The percentage shown after `received` of `length` bytes, rounded to the
// nearest whole number with exact halves going to the even one.
qint16 PercentDone(qint64 length, qint64 received);

// The status line shows the percentage done after each piece of this many
// bytes, and at the end of the body.
inline constexpr qint64 kProgressPieceBytes = 1024;

// The percentages shown while a body of `length` bytes goes from `from` to
// `to` bytes received, each only when it differs from the one shown before
// it (`shown`, -1 for none). None for a body of no known length.
QList<qint16> PercentagesShown(qint64 length, qint64 from, qint64 to,
                               qint16 shown);

// The status line's caption for `percent` of `address` done.
QString ProgressCaption(const QString& address, qint16 percent);

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_PROGRESS_H_
