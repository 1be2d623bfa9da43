#ifndef TRAWLBOX_TESTS_SUPPORT_CURSOR_FILE_H_
#define TRAWLBOX_TESTS_SUPPORT_CURSOR_FILE_H_

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>

// A Windows cursor file: Qt writes an icon, and a cursor differs from it
// only in the directory's type (2) and in the entry's hot spot, which takes
// the place of planes and bit count.
inline QByteArray MakeCursorFile(int size, quint16 hot_x, quint16 hot_y) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::black);
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "ico");
  writer.write(image);
  QByteArray bytes = buffer.data();
  bytes[2] = 2;
  bytes[3] = 0;
  bytes[10] = static_cast<char>(hot_x & 0xff);
  bytes[11] = static_cast<char>(hot_x >> 8);
  bytes[12] = static_cast<char>(hot_y & 0xff);
  bytes[13] = static_cast<char>(hot_y >> 8);
  return bytes;
}

#endif  // TRAWLBOX_TESTS_SUPPORT_CURSOR_FILE_H_
