#include "core/error_trap.h"

#include <new>

#include "core/app_error.h"

namespace trawlbox {

QString ComposeErrorReport(const QString& description, const QString& tag,
                           int label) {
  return description + QStringLiteral("\r\n") + tag +
         QStringLiteral("at line ") + QString::number(label) +
         QStringLiteral("\r\r") +
         QStringLiteral("Please email screenshot of this message to ") +
         kSupportEmail;
}

void TrapCore::Report(const std::exception& failure) {
  QString description;
  if (const auto* app_error = dynamic_cast<const AppError*>(&failure)) {
    description = app_error->description();
  } else if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) {
    description = QStringLiteral("Out of memory");
  } else {
    description = QString::fromLocal8Bit(failure.what());
  }
  reporter_.ReportError(ComposeErrorReport(description, tag_, label_));
}

void TrapCore::Report(int label, const QString& text) {
  label_ = label;
  reporter_.ReportError(ComposeErrorReport(text, tag_, label_));
}

}  // namespace trawlbox
