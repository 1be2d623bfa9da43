#ifndef TRAWLBOX_CRAWL_SIZE_LOOK_UP_H_
#define TRAWLBOX_CRAWL_SIZE_LOOK_UP_H_

#include <QtGlobal>
#include <memory>
#include <vector>

#include "net/request_run.h"

namespace trawlbox {

class FileList;

// Asks the server, in the background, for the sizes a listing left unknown
// or rounded: one HEAD for each file row without an exact size, as many at
// once as the run has connections, the rows in list order. Each row is
// asked about once; a HEAD that fails leaves the size as it was and says
// nothing. It runs only while the window is otherwise idle: the window
// pauses it for a download and stops it on Escape.
class SizeLookUp : private RequestRun::Planner {
 public:
  SizeLookUp(FileList& list, RequestRun& run);
  SizeLookUp(const SizeLookUp&) = delete;
  SizeLookUp& operator=(const SizeLookUp&) = delete;
  ~SizeLookUp() override;

  // Goes on from the first row not asked about yet, unless stopped.
  void Start();
  // Ends the HEADs in flight; their rows count as asked about. Start() goes
  // on with the rest.
  void Pause();
  // Ends the HEADs in flight and asks about no more rows of this list.
  void Stop();
  // Ends the HEADs in flight and forgets the rows: the list was emptied or
  // filled anew, and Start() begins again from its first row.
  void Reset();

  // Whether HEADs are under way or due.
  bool running() const { return running_; }
  // How many HEADs it has asked for since the last Reset().
  qint64 requests() const { return requests_; }

 private:
  class Look;

  // The run's pass: records what ended and asks about the next rows.
  void Plan() override;
  void Record(const Look& look);
  bool Wanted(qsizetype row) const;

  FileList& list_;
  RequestRun& run_;
  std::vector<std::unique_ptr<Look>> looks_;  // asked, not recorded yet
  qsizetype next_ = 1;  // the first row not asked about yet
  qint64 requests_ = 0;
  bool running_ = false;
  bool stopped_ = false;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_SIZE_LOOK_UP_H_
