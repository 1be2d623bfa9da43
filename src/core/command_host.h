#ifndef TRAWLBOX_CORE_COMMAND_HOST_H_
#define TRAWLBOX_CORE_COMMAND_HOST_H_

#include <QString>

#include "core/scoped_flag.h"

namespace trawlbox {

class EventPump;
class FileList;
class Prompts;
class StatusLine;

// The pointer a long command shows while it runs; the values are those the
// style of old used.
enum class PointerMode { kDefault = 0, kBusy = 11 };

// What the window's commands use of it. Commands depend on this, not on
// widgets, so they run the same under tests and benchmarks.
class CommandHost {
 public:
  virtual ~CommandHost() = default;

  virtual Prompts& prompts() = 0;
  virtual FileList& file_list() = 0;
  virtual EventPump& pump() = 0;
  virtual StatusLine& status_line() = 0;
  // The two input fields, read live every time.
  virtual QString WebSiteText() const = 0;
  virtual QString FolderText() const = 0;
  virtual PointerMode pointer_mode() const = 0;
  virtual void SetPointerMode(PointerMode mode) = 0;

  // Long-command state: one listing or one download at a time, each marked
  // for as long as the returned flag lives.
  [[nodiscard]] ScopedFlag BeginListing() { return ScopedFlag(listing_); }
  [[nodiscard]] ScopedFlag BeginDownloading() {
    cancel_requested_ = false;
    return ScopedFlag(downloading_);
  }
  bool busy() const { return listing_ || downloading_; }
  bool listing() const { return listing_; }
  bool downloading() const { return downloading_; }
  // Escape during a download: every transfer in flight stops at once.
  void RequestCancel() { cancel_requested_ = true; }
  bool cancel_requested() const { return cancel_requested_; }

 private:
  bool listing_ = false;
  bool downloading_ = false;
  bool cancel_requested_ = false;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_COMMAND_HOST_H_
