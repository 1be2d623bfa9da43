#ifndef TRAWLBOX_CRAWL_SIZE_LOOK_UP_H_
#define TRAWLBOX_CRAWL_SIZE_LOOK_UP_H_

#include <QtGlobal>
#include <memory>
#include <vector>

#include "net/http_engine.h"
#include "net/scheduler.h"

namespace trawlbox {

class FileList;

// Asks the server, in the background, for the sizes a listing left unknown
// or rounded: one HEAD for each file row without an exact size, as many at
// once as the service has connections, the rows in list order. Each row is
// asked about once; a HEAD that fails leaves the size as it was and says
// nothing. It runs only while the window is otherwise idle: the window
// pauses it for a download and stops it on Escape.
class SizeLookUp {
 public:
  SizeLookUp(FileList& list, HttpService& http);
  SizeLookUp(const SizeLookUp&) = delete;
  SizeLookUp& operator=(const SizeLookUp&) = delete;
  ~SizeLookUp();

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
  struct Look {
    qsizetype row;
    std::unique_ptr<HttpTransfer> head;
  };

  // The loop's pass: records what ended and asks about the next rows.
  void Advance();
  void Record(const Look& look);
  bool Wanted(qsizetype row) const;

  FileList& list_;
  HttpService& http_;
  std::vector<Look> in_flight_;
  qsizetype next_ = 1;  // the first row not asked about yet
  qint64 requests_ = 0;
  bool running_ = false;
  bool stopped_ = false;
  Scheduler loop_{[this] { Advance(); }};
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_SIZE_LOOK_UP_H_
