#ifndef TRAWLBOX_TESTS_SUPPORT_DOWNLOAD_FIXTURE_H_
#define TRAWLBOX_TESTS_SUPPORT_DOWNLOAD_FIXTURE_H_

#include "mirror/download_command.h"
#include "support/host_fixture.h"

namespace trawlbox {

// The download command on a headless host, its rows put in by the test.
struct DownloadFixture : HostFixture {
  void StartDownloading(const DownloadMode& mode = {}) {
    RunDownloadCommand(host, engine.run(), *disk, mode);
  }
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_DOWNLOAD_FIXTURE_H_
