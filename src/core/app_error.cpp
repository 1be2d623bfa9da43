#include "core/app_error.h"

namespace trawlbox {

QString DescriptionOf(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kInvalidCall:
      return QStringLiteral("Invalid procedure call or argument");
    case ErrorKind::kOverflow:
      return QStringLiteral("Overflow");
    case ErrorKind::kBadFileName:
      return QStringLiteral("Bad file name or number");
    case ErrorKind::kFileNotFound:
      return QStringLiteral("File not found");
    case ErrorKind::kPermissionDenied:
      return QStringLiteral("Permission denied");
    case ErrorKind::kPathNotFound:
      return QStringLiteral("Path not found");
    case ErrorKind::kPathFileAccess:
      return QStringLiteral("Path/File access error");
    case ErrorKind::kInvalidPicture:
      return QStringLiteral("Invalid picture");
  }
  return QStringLiteral("Application-defined or object-defined error");
}

AppError::AppError(const QString& description)
    : std::runtime_error(description.toStdString()),
      description_(description) {}

AppError::AppError(ErrorKind kind) : AppError(DescriptionOf(kind)) {}

void Raise(ErrorKind kind) { throw AppError(kind); }

void Raise(const QString& description) { throw AppError(description); }

}  // namespace trawlbox
