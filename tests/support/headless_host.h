#ifndef TRAWLBOX_TESTS_SUPPORT_HEADLESS_HOST_H_
#define TRAWLBOX_TESTS_SUPPORT_HEADLESS_HOST_H_

#include <QString>

#include "core/command_host.h"
#include "core/event_pump.h"
#include "support/fake_file_list.h"
#include "support/recording_prompts.h"
#include "support/recording_status_line.h"

namespace trawlbox {

// The commands' view of a window, without one: the two fields are plain
// texts, boxes are recorded, captions too.
class HeadlessHost : public CommandHost {
 public:
  Prompts& prompts() override { return prompts_; }
  FileList& file_list() override { return list_; }
  EventPump& pump() override { return pump_; }
  StatusLine& status_line() override { return status_; }
  QString WebSiteText() const override { return start; }
  QString FolderText() const override { return folder; }
  PointerMode pointer_mode() const override { return pointer_mode_; }
  void SetPointerMode(PointerMode mode) override { pointer_mode_ = mode; }

  QString start;
  QString folder;
  RecordingPrompts prompts_;
  FakeFileList list_;
  EventPump pump_;
  RecordingStatusLine status_;

 private:
  PointerMode pointer_mode_ = PointerMode::kDefault;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_HEADLESS_HOST_H_
