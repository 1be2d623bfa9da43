#ifndef TRAWLBOX_TESTS_SUPPORT_TEST_PAGES_H_
#define TRAWLBOX_TESTS_SUPPORT_TEST_PAGES_H_

#include <QFile>
#include <functional>
#include <memory>

#include "crawl/page_source.h"

namespace trawlbox {

// The pages of a walk under test: served by `serve` once a test sets it,
// each at once and one at a time, or else asked of the site. Looks always
// go to the site.
class TestPages : public PageSource {
 public:
  using Serve = std::function<FetchResult(const QString& address, QFile& file)>;

  explicit TestPages(PageSource& site) : site_(site) {}

  Serve serve;

  int connections() const override { return serve ? 1 : site_.connections(); }
  std::unique_ptr<Pending> StartPage(const QString& address, QFile& file,
                                     Done done) override {
    if (!serve) return site_.StartPage(address, file, std::move(done));
    file.resize(0);
    file.seek(0);
    return std::make_unique<Served>(serve(address, file));
  }
  FetchResult CompletePage(Pending& page, const Stop& stop) override {
    if (const auto* served = dynamic_cast<const Served*>(&page)) {
      return served->result();
    }
    return site_.CompletePage(page, stop);
  }
  std::unique_ptr<Pending> StartHead(const QString& address,
                                     Done done) override {
    return site_.StartHead(address, std::move(done));
  }
  FetchResult CompleteHead(Pending& head, const Stop& stop) override {
    return site_.CompleteHead(head, stop);
  }

 private:
  class Served : public Pending {
   public:
    explicit Served(FetchResult result) : result_(std::move(result)) {}
    bool finished() const override { return true; }
    FetchResult result() const override { return result_; }

   private:
    FetchResult result_;
  };

  PageSource& site_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_TEST_PAGES_H_
