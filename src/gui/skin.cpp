#include "gui/skin.h"

#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include "core/app_error.h"
#include "core/status.h"

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

Status ApplySkin(const QString& program_folder, QWidget* window,
                 const QList<QWidget*>& frames) {
  const QString path = SkinPath(program_folder);
  if (!QFileInfo(path).isFile()) return {};
  PaintButtonFace(window);
  for (QWidget* frame : frames) PaintButtonFace(frame);
  QFile skin(path);
  // The frames keep the face colour: the program always painted them
  // before it found the sheet unreadable.
  if (!skin.open(QIODevice::ReadOnly)) {
    return Status::Failure(ErrorKind::kPermissionDenied);
  }
  window->setStyleSheet(QString::fromUtf8(skin.readAll()));
  return {};
}

QFont ArialBold(double points) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(points);
  font.setBold(true);
  return font;
}

void PaintWhite(QWidget* widget, QPalette::ColorRole role) {
  QPalette palette = widget->palette();
  palette.setColor(role, Qt::white);
  widget->setPalette(palette);
  widget->setAutoFillBackground(role == QPalette::Window);
}

}  // namespace trawlbox
