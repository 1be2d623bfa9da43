#ifndef TRAWLBOX_CRAWL_PAGE_SOURCE_H_
#define TRAWLBOX_CRAWL_PAGE_SOURCE_H_

#include <QString>
#include <functional>
#include <memory>

#include "core/file_system.h"
#include "net/request_run.h"
#include "net/response.h"

namespace trawlbox {

// Where the walk's pages and looks come from: the site, through the request
// run, or pages a test or the fuzzer serves. Each request is started (the
// run starts it when there is room), runs while the walk does other work,
// and is then completed, which waits for it and its retries.
class PageSource {
 public:
  using ScratchFile = FileSystem::ScratchFile;
  // A page fetch or a look (HEAD) under way.
  class Pending {
   public:
    virtual ~Pending() = default;
    virtual bool finished() const = 0;
    // What it came to, retries included; only once finished().
    virtual Answer answer() const = 0;
  };
  using Stop = std::function<bool()>;

  virtual ~PageSource() = default;

  // How many pages are worth fetching ahead of their visits at once.
  virtual int pages_ahead() const = 0;
  // Starts fetching `address` into `file`, emptied before each try.
  virtual std::unique_ptr<Pending> StartPage(const QString& address,
                                             ScratchFile& file) = 0;
  virtual Answer CompletePage(Pending& page, const Stop& stop) = 0;
  // Puts a request that has not started yet, or was withdrawn, behind
  // those waiting: the walk asks for them in the order it now wants them.
  virtual void Requeue(Pending& request) = 0;
  // Takes a request out of those waiting to start, until it is requeued;
  // one that has started goes on.
  virtual void Withdraw(Pending& request) = 0;
  // Starts asking for `address`'s head alone: its status and type.
  virtual std::unique_ptr<Pending> StartHead(const QString& address) = 0;
  virtual Answer CompleteHead(Pending& head, const Stop& stop) = 0;
  // While set, `plan` runs in each pass of the requests, after what ended
  // is taken in, and again soon when it answers true; it must not let
  // events run. Null unsets it.
  virtual void SetPlanner(std::function<bool()> plan) = 0;
};

// The site itself, through the run.
class HttpPageSource : public PageSource, private RequestRun::Planner {
 public:
  // Pages held ahead for each request the run has room for: the walk's
  // pages arrive faster than their visits read them.
  static constexpr int kPagesHeldPerRequest = 8;

  explicit HttpPageSource(RequestRun& run) : run_(run) {}
  ~HttpPageSource() override { SetPlanner(nullptr); }

  int pages_ahead() const override;
  std::unique_ptr<Pending> StartPage(const QString& address,
                                     ScratchFile& file) override;
  Answer CompletePage(Pending& page, const Stop& stop) override;
  void Requeue(Pending& request) override;
  void Withdraw(Pending& request) override;
  std::unique_ptr<Pending> StartHead(const QString& address) override;
  Answer CompleteHead(Pending& head, const Stop& stop) override;
  void SetPlanner(std::function<bool()> plan) override;

 private:
  class PageFetch;

  void Plan() override {
    if (plan_()) run_.Wake();
  }

  RequestRun& run_;
  std::function<bool()> plan_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_PAGE_SOURCE_H_
