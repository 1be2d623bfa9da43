#include "gui/skin.h"

#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include "core/app_error.h"

namespace trawlbox {
namespace {

void PaintButtonFace(QWidget* widget) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Button));
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

}  // namespace

QString SkinPath(const QString& program_folder) {
  return program_folder + QStringLiteral("/x/o.cjs");
}

void ApplySkin(const QString& program_folder, QWidget* window,
               const QList<QWidget*>& frames) {
  const QString path = SkinPath(program_folder);
  if (!QFileInfo(path).isFile()) return;
  PaintButtonFace(window);
  for (QWidget* frame : frames) PaintButtonFace(frame);
  QFile skin(path);
  if (!skin.open(QIODevice::ReadOnly)) Raise(ErrorKind::kPermissionDenied);
  window->setStyleSheet(QString::fromUtf8(skin.readAll()));
}

}  // namespace trawlbox
