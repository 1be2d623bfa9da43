#ifndef TRAWLBOX_TESTS_SUPPORT_COMMANDS_FIXTURE_H_
#define TRAWLBOX_TESTS_SUPPORT_COMMANDS_FIXTURE_H_

#include <QTemporaryDir>

#include "core/http_client.h"
#include "core/real_file_system.h"
#include "crawl/crawler.h"
#include "crawl/listing_command.h"
#include "mirror/download_command.h"
#include "support/headless_host.h"
#include "support/test_engine.h"

namespace trawlbox {

// The listing and the download commands on a headless host, with their
// own engine and crawler, a destination folder and TEMP of their own. The
// download writes to the real disk unless a test points `disk` elsewhere.
struct CommandsFixture {
  CommandsFixture() {
    qputenv("TEMP", temp.path().toLocal8Bit());
    host.folder = destination.path() + "/";
  }
  ~CommandsFixture() { qunsetenv("TEMP"); }
  void SetStart(const QString& start) { host.start = start; }
  void SetFolder(const QString& folder) { host.folder = folder; }
  void StartListing() { RunListingCommand(host, crawler); }
  void StartDownloading() { RunDownloadCommand(host, engine, *disk); }
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
  HttpClient http{engine, host.pump_};
  Crawler crawler{host.list_, host.prompts_, host.pump_, http,
                  [this] { return host.start; }};
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_COMMANDS_FIXTURE_H_
