#ifndef TRAWLBOX_CORE_APP_ERROR_H_
#define TRAWLBOX_CORE_APP_ERROR_H_

#include <QString>
#include <stdexcept>

namespace trawlbox {

// The classic runtime failures whose description texts users of the program
// know from every report; anything else carries the platform's own text.
enum class ErrorKind {
  kInvalidCall,       // "Invalid procedure call or argument"
  kOverflow,          // "Overflow"
  kBadFileName,       // "Bad file name or number"
  kFileNotFound,      // "File not found"
  kPermissionDenied,  // "Permission denied"
  kPathNotFound,      // "Path not found"
  kPathFileAccess,    // "Path/File access error"
  kInvalidPicture,    // "Invalid picture"
};

QString DescriptionOf(ErrorKind kind);

// A failed statement. Inner routines throw it; the nearest trap reports it.
class AppError : public std::runtime_error {
 public:
  explicit AppError(const QString& description);
  explicit AppError(ErrorKind kind);

  const QString& description() const { return description_; }

 private:
  QString description_;
};

[[noreturn]] void Raise(ErrorKind kind);
[[noreturn]] void Raise(const QString& description);

// Thrown out of the event pump when the window has been closed during a long
// command. It is no failure: traps let it pass so the command unwinds whole.
struct ShutdownRequested {};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_APP_ERROR_H_
