#ifndef TRAWLBOX_CORE_COMMAND_HOST_H_
#define TRAWLBOX_CORE_COMMAND_HOST_H_

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
  // Escape during a download: the transfer in work stops at once.
  bool cancel_requested = false;
  bool busy() const { return listing || downloading; }
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_COMMAND_HOST_H_
