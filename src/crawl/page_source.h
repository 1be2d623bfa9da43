#ifndef TRAWLBOX_CRAWL_PAGE_SOURCE_H_
#define TRAWLBOX_CRAWL_PAGE_SOURCE_H_

#include <QString>
#include <functional>
#include <memory>

#include "net/http_client.h"

class QFile;

namespace trawlbox {

// Where the walk's pages and looks come from: the site over HTTP, or pages
// a test or the fuzzer serves. Each request is started, runs while the walk
// does other work, and is then completed, which waits for it and makes the
// retries.
class PageSource {
 public:
  // A page fetch or a look (HEAD) under way.
  class Pending {
   public:
    virtual ~Pending() = default;
    virtual bool finished() const = 0;
    // What its first try came to so far; a failure only once finished().
    virtual FetchResult result() const = 0;
  };
  using Done = std::function<void()>;
  using Stop = std::function<bool()>;

  virtual ~PageSource() = default;

  // How many requests may run at once.
  virtual int connections() const = 0;
  // Starts fetching `address` into `file` (open, emptied first). `done`,
  // when given, runs when the first try ends by itself, not when it ends
  // at once.
  virtual std::unique_ptr<Pending> StartPage(const QString& address,
                                             QFile& file, Done done) = 0;
  virtual FetchResult CompletePage(Pending& page, const Stop& stop) = 0;
  // Starts asking for `address`'s head alone: its status and type.
  virtual std::unique_ptr<Pending> StartHead(const QString& address,
                                             Done done) = 0;
  virtual FetchResult CompleteHead(Pending& head, const Stop& stop) = 0;
};

// The site itself, through the HTTP client.
class HttpPageSource : public PageSource {
 public:
  HttpPageSource(HttpEngine& engine, EventPump& pump)
      : engine_(engine), http_(engine, pump) {}

  int connections() const override { return engine_.connections(); }
  std::unique_ptr<Pending> StartPage(const QString& address, QFile& file,
                                     Done done) override;
  FetchResult CompletePage(Pending& page, const Stop& stop) override;
  std::unique_ptr<Pending> StartHead(const QString& address,
                                     Done done) override;
  FetchResult CompleteHead(Pending& head, const Stop& stop) override;

 private:
  HttpEngine& engine_;
  HttpClient http_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_PAGE_SOURCE_H_
