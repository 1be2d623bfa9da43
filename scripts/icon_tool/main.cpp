// Writes the program's icon as PNG files for the desktop's icon theme, so the
// icon a menu or launcher shows is the very picture the window draws.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include "gui/app_icon.h"

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  if (argc < 3) {
    qCritical("usage: trawlbox-icon-tool OUTPUT_DIR SIZE...");
    return 2;
  }
  // The hicolor theme's layout: OUTPUT_DIR/<size>x<size>/apps/<name>.png.
  const QDir output(QString::fromLocal8Bit(argv[1]));
  for (int i = 2; i < argc; ++i) {
    bool ok = false;
    const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
    if (!ok || size <= 0) {
      qCritical("not an icon size: %s", argv[i]);
      return 2;
    }
    const QString folder = QStringLiteral("%1x%1/apps").arg(size);
    const QString file = output.filePath(folder + "/trawlbox-harvester.png");
    if (!output.mkpath(folder) ||
        !trawlbox::AppIconImage(size).save(file, "PNG")) {
      qCritical("cannot write %s", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
