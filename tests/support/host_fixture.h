#ifndef TRAWLBOX_TESTS_SUPPORT_HOST_FIXTURE_H_
#define TRAWLBOX_TESTS_SUPPORT_HOST_FIXTURE_H_

#include <QTemporaryDir>

#include "core/real_file_system.h"
#include "support/headless_host.h"
#include "support/test_engine.h"

namespace trawlbox {

// A headless host for the long commands, with a destination folder and
// TEMP of its own and an engine that retries without waiting. The download
// writes to the real disk unless a test points `disk` elsewhere.
struct HostFixture {
  HostFixture() {
    qputenv("TEMP", temp.path().toLocal8Bit());
    host.folder = destination.path() + "/";
  }
  ~HostFixture() { qunsetenv("TEMP"); }
  void SetStart(const QString& start) { host.start = start; }
  void SetFolder(const QString& folder) { host.folder = folder; }
  FileList& list() { return host.list_; }
  RecordingStatusLine& status() { return host.status_; }
  QString Caption() const { return host.status_.Caption(); }
  QString Dest(const QString& relative) const {
    return destination.filePath(relative);
  }

  QTemporaryDir temp;
  QTemporaryDir destination;
  HeadlessHost host;
  RecordingPrompts& prompts = host.prompts_;
  QStringList& captions = host.status_.captions;
  TestEngine engine;
  RealFileSystem real_disk;
  FileSystem* disk = &real_disk;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_HOST_FIXTURE_H_
