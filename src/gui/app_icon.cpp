#include "gui/app_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace trawlbox {

QImage AppIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 64.0, size / 64.0);

  // The folder.
  painter.setPen(QPen(QColor(0x8a, 0x5a, 0x00), 2));
  painter.setBrush(QColor(0xf2, 0xb9, 0x33));
  QPainterPath folder;
  folder.moveTo(4, 18);
  folder.lineTo(24, 18);
  folder.lineTo(28, 24);
  folder.lineTo(60, 24);
  folder.lineTo(60, 58);
  folder.lineTo(4, 58);
  folder.closeSubpath();
  painter.drawPath(folder);

  // The trawl net sweeping down into it.
  painter.setPen(QPen(QColor(0x1d, 0x4e, 0x89), 2.5));
  painter.setBrush(Qt::NoBrush);
  for (int i = 0; i < 5; ++i) {
    painter.drawLine(QPointF(12 + i * 10, 4), QPointF(22 + i * 5, 44));
  }
  for (int j = 0; j < 4; ++j) {
    const double y = 10 + j * 10;
    const double inset = (y - 4) / 4;
    painter.drawLine(QPointF(12 + inset, y), QPointF(52 - inset / 2, y));
  }
  return image;
}

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addPixmap(QPixmap::fromImage(AppIconImage(size)));
  }
  return icon;
}

}  // namespace trawlbox
