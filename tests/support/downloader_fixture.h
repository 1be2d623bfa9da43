#ifndef TRAWLBOX_TESTS_SUPPORT_DOWNLOADER_FIXTURE_H_
#define TRAWLBOX_TESTS_SUPPORT_DOWNLOADER_FIXTURE_H_

#include <QTemporaryDir>
#include <functional>

#include "core/event_pump.h"
#include "core/real_file_system.h"
#include "mirror/downloader.h"
#include "mirror/turn_gate.h"
#include "support/path_text.h"
#include "support/recording_prompts.h"
#include "support/recording_status_line.h"
#include "support/test_engine.h"

namespace trawlbox {

// One file at a time through a Downloader, in its turn at once, into a
// temporary folder; `cancel` says when the user asks to stop. The files come
// from an `Http` service: the program's engine, or a script.
template <typename Http>
struct DownloaderFixtureOn {
  // Stores `address` as `name` in the folder: done, or why not.
  Status Download(const QString& address, const QString& name) {
    return DownloadTo(address, PathText(dir.filePath(name)));
  }
  Status DownloadTo(const QString& address, const QString& path_text) {
    TurnGate gate(status, prompts);
    Downloader::FileDownloadPtr transfer =
        downloader.Start(address, path_text, gate);
    const Status done = downloader.Complete(*transfer);
    // What the folder holds once the writers are done, as a download
    // leaves it.
    transfer.reset();
    downloader.Finish();
    return done;
  }

  QTemporaryDir dir;
  RecordingPrompts prompts;
  RecordingStatusLine status;
  EventPump pump;
  Http engine;
  RealFileSystem disk;
  std::function<bool()> cancel = [] { return false; };
  Downloader downloader{engine.run(), status, disk,
                        [this] { return cancel(); }};
};

using DownloaderFixture = DownloaderFixtureOn<TestEngine>;

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_DOWNLOADER_FIXTURE_H_
