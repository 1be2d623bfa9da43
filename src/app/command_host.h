#ifndef TRAWLBOX_APP_COMMAND_HOST_H_
#define TRAWLBOX_APP_COMMAND_HOST_H_

#include <QString>

namespace trawlbox {

class EventPump;
class FileList;
class Prompts;
class StatusLine;

// What the window's commands use of it. Commands depend on this, not on
// widgets, so they run the same under tests and benchmarks.
class CommandHost {
 public:
  // Pointer modes of the window.
  static constexpr int kPointerDefault = 0;
  static constexpr int kPointerBusy = 11;
  static constexpr int kPointerCustom = 99;

  // The text of the window's cancel request property.
  static inline const QString kCancelTag = QStringLiteral("Cancel");

  virtual ~CommandHost() = default;

  virtual Prompts& prompts() = 0;
  virtual FileList& file_list() = 0;
  virtual EventPump& pump() = 0;
  virtual StatusLine& status_line() = 0;
  // The two input fields, read live every time.
  virtual QString WebSiteText() const = 0;
  virtual QString FolderText() const = 0;
  virtual int pointer_mode() const = 0;
  virtual void SetPointerMode(int mode) = 0;

  // Long-command state: one listing or one download at a time.
  bool listing = false;
  bool downloading = false;
  QString tag;  // kCancelTag asks the transfer in work to stop
  bool busy() const { return listing || downloading; }
};

// Sets a long-command flag for the life of the command, however it ends
// (also when the window closes under it).
class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~ScopedFlag() { flag_ = false; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  bool& flag_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_APP_COMMAND_HOST_H_
