#ifndef TRAWLBOX_CRAWL_PAGE_SOURCE_H_
#define TRAWLBOX_CRAWL_PAGE_SOURCE_H_

#include <QString>
#include <functional>
#include <memory>

#include "core/file_system.h"
#include "net/http_engine.h"
#include "net/response.h"

namespace trawlbox {

class EventPump;

// Where the walk's pages and looks come from: the site over HTTP, or pages
// a test or the fuzzer serves. Each request is started, runs while the walk
// does other work, and is then completed, which waits for it and makes the
// retries.
class PageSource {
 public:
  using ScratchFile = FileSystem::ScratchFile;
  // A page fetch or a look (HEAD) under way.
  class Pending {
   public:
    virtual ~Pending() = default;
    virtual bool finished() const = 0;
    // What its first try came to; only once finished().
    virtual Answer answer() const = 0;
  };
  using Done = std::function<void()>;
  using Stop = std::function<bool()>;

  virtual ~PageSource() = default;

  // How many requests may run at once.
  virtual int capacity() const = 0;
  // Starts fetching `address` into `file`, emptied first. `done`, when
  // given, runs when the first try ends by itself, not when it ends at
  // once; it only wakes whoever waits (Scheduler::Waker).
  virtual std::unique_ptr<Pending> StartPage(const QString& address,
                                             ScratchFile& file, Done done) = 0;
  virtual Answer CompletePage(Pending& page, const Stop& stop) = 0;
  // Starts asking for `address`'s head alone: its status and type.
  virtual std::unique_ptr<Pending> StartHead(const QString& address,
                                             Done done) = 0;
  virtual Answer CompleteHead(Pending& head, const Stop& stop) = 0;
};

// The site itself. A transient failure is tried again as the service's
// retry policy says; only the last try's answer is returned.
class HttpPageSource : public PageSource {
 public:
  HttpPageSource(HttpService& http, EventPump& pump)
      : http_(http), pump_(pump) {}

  int capacity() const override { return http_.capacity(); }
  std::unique_ptr<Pending> StartPage(const QString& address, ScratchFile& file,
                                     Done done) override;
  Answer CompletePage(Pending& page, const Stop& stop) override;
  std::unique_ptr<Pending> StartHead(const QString& address,
                                     Done done) override;
  Answer CompleteHead(Pending& head, const Stop& stop) override;

 private:
  class PendingRequest;

  // Waits for the try under way; "Stopped by user" when `stop` came first.
  Answer Wait(PendingRequest& request, const Stop& stop);

  HttpService& http_;
  EventPump& pump_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_PAGE_SOURCE_H_
