#ifndef TRAWLBOX_MIRROR_DOWNLOADER_H_
#define TRAWLBOX_MIRROR_DOWNLOADER_H_

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "core/disk_writers.h"
#include "core/status.h"
#include "mirror/progress.h"
#include "net/request_run.h"

namespace trawlbox {

class FileSystem;
class StatusLine;
class TurnGate;

// The status line's caption when no file is in work.
inline const QString kIdleCaption = QStringLiteral("Progress Bar");
// The caption a stopped download leaves on the status line.
inline const QString kStoppedCaption =
    QStringLiteral("Download Stoped By User");
// The caption of a file an update found unchanged, before its address.
inline const QString kUpToDateCaption = QStringLiteral("Up to date: ");

// The copy of a file that the destination holds already, for an update:
// the file is asked for only if it changed since.
struct CopyAtHand {
  QDateTime modified = {};
  QByteArray etag = {};  // recorded when it was stored; empty when none was
};

// The folders of a row's file: made on a disk writer once its body begins
// (so a failed request leaves none), a failure reported in the row's turn.
struct RowFolders {
  std::function<Status()> make;  // disk work only: it runs on a writer
  std::function<void(const Status&)> report;  // on the window's thread
};

// Downloads single files over HTTP, through the request run, into local
// files as their pieces arrive, with the address and the percentage done
// after each 1024 bytes in the status line. A file download may start ahead of
// its turn, so several run at once; what it shows waits in its gate until
// its turn, and its file is put in place only then.
class Downloader {
 public:
  class FileDownload;
  // Frees a file download where its type is complete; one still running is
  // cancelled and leaves no file, except the start of a long body after a
  // cancel request, as Complete() leaves it.
  struct FileDownloadDeleter {
    void operator()(FileDownload* download) const;
  };
  using FileDownloadPtr = std::unique_ptr<FileDownload, FileDownloadDeleter>;

  // Local files are made, written and put in place on `disk` by `writers`
  // disk writers (0: as many as the machine gets).
  Downloader(RequestRun& run, StatusLine& status, FileSystem& disk,
             std::function<bool()> cancel_requested, int writers = 0);
  // Waits for the writers to finish what they were given.
  ~Downloader();

  // Queues the download of `address` to `local_path` (a "\" path text).
  // Its captions and reports go to `gate`, which outlives it. The body
  // streams, through the disk writers, into a new file beside the local
  // path; what an earlier run left there is gone on with when it can be.
  // The writers make `folders` once the response is known to be good and
  // before the local file is made. With `at_hand` the file is asked for
  // only if it changed since that copy; an answer that it did not leaves
  // the copy as it is.
  FileDownloadPtr Start(const QString& address, const QString& local_path,
                        TurnGate& gate, RowFolders folders = {},
                        std::optional<CopyAtHand> at_hand = std::nullopt);
  // The download's turn: opens its gate, waits for its end, tries again
  // what may pass, and replaces the local file only when the whole body has
  // arrived; on any failure the previous file stays as it was. A body cut
  // off is gone on with from where it ended, when its first answer gave a
  // validator; a try that added a MiB or more spends no retry. Failures of
  // the transfer itself are reported; an HTTP error status is not (a site
  // with many broken links must not raise a box for each) but is returned
  // like every failure, for the row to show. A cancel request stops it at
  // once, with kStoppedCaption; the start of a body of 1 MiB or more stays
  // beside the local file, hidden, for the next download to go on with. A
  // copy at hand found unchanged is success.
  Status Complete(FileDownload& download);
  // Whether its tries are over; they may end before its turn.
  static bool Ended(const FileDownload& download);
  // After Complete(): the ETag of the file now in place (stored, or found
  // unchanged); empty when the server gave none.
  static QByteArray Etag(const FileDownload& download);
  // After Complete(): the length of the file it put in place; none when it
  // stored nothing (a failure, or a copy found unchanged).
  static std::optional<qint64> StoredBytes(const FileDownload& download);

  // Waits, letting events run, until the writers are done with every
  // transfer dropped: at the end of a download.
  void Finish();

  FileSystem& disk() const { return disk_; }

 private:
  // Whether a transfer may write `target` under the names made from it:
  // no other transfer writes it, nor do the writers still.
  bool Claim(const QString& target);
  void Release(const QString& target, const DiskWriters::LanePtr& lane);

  RequestRun& run_;
  StatusLine& status_;
  FileSystem& disk_;
  const std::function<bool()> cancel_requested_;
  DiskWriters writers_;
  // The local files that transfers write now; a second one to the same
  // file writes beside it under a fresh name.
  QSet<QString> targets_;
  // Those let go of whose files the writers still work on.
  std::map<QString, DiskWriters::LanePtr> releasing_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_DOWNLOADER_H_
