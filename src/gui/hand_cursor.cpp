#include "gui/hand_cursor.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>

#include "core/app_error.h"
#include "core/status.h"

namespace trawlbox {
namespace {

quint16 ReadLittle16(const QByteArray& bytes, qsizetype at) {
  return static_cast<quint16>(static_cast<quint8>(bytes[at]) |
                              static_cast<quint8>(bytes[at + 1]) << 8);
}

}  // namespace

QString HandCursorPath(const QString& program_folder) {
  return program_folder + QStringLiteral("/HAND-M.CUR");
}

// The file starts with a 6-byte directory header (reserved 0, type 2 for a
// cursor, image count) and 16-byte entries whose bytes 4 to 7 hold the hot
// spot's x and y.
QPoint CursorHotSpot(const QByteArray& header) {
  if (header.size() < 6 + 16 || ReadLittle16(header, 0) != 0 ||
      ReadLittle16(header, 2) != 2 || ReadLittle16(header, 4) == 0) {
    return QPoint(0, 0);
  }
  return QPoint(ReadLittle16(header, 10), ReadLittle16(header, 12));
}

Result<QCursor> LoadCursorFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return Status::Failure(file.exists() ? ErrorKind::kPermissionDenied
                                         : ErrorKind::kFileNotFound);
  }
  const QByteArray bytes = file.readAll();
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "cur");
  const QImage image = reader.read();
  if (image.isNull()) return Status::Failure(ErrorKind::kInvalidPicture);
  const QPoint hot_spot = CursorHotSpot(bytes);
  return QCursor(QPixmap::fromImage(image), hot_spot.x(), hot_spot.y());
}

}  // namespace trawlbox
