#ifndef TRAWLBOX_TESTS_SUPPORT_TEST_PAGES_H_
#define TRAWLBOX_TESTS_SUPPORT_TEST_PAGES_H_

#include <functional>
#include <memory>

#include "crawl/page_source.h"

namespace trawlbox {

// The pages of a walk under test: served by `serve` once a test sets it,
// each at once and one at a time, or else asked of the site. Looks always
// go to the site.
class TestPages : public PageSource {
 public:
  using Serve =
      std::function<Answer(const QString& address, ScratchFile& file)>;

  explicit TestPages(PageSource& site) : site_(site) {}

  Serve serve;
  // Runs when the walk comes to complete a page asked of the site, before
  // it waits for it.
  std::function<void(const Pending& page)> before_complete;

  int pages_ahead() const override { return serve ? 0 : site_.pages_ahead(); }
  std::unique_ptr<Pending> StartPage(const QString& address,
                                     ScratchFile& file) override {
    if (!serve) return site_.StartPage(address, file);
    if (const Status emptied = file.Empty(); !emptied.ok()) {
      return std::make_unique<Served>(emptied);
    }
    return std::make_unique<Served>(Judged(serve(address, file)));
  }
  Answer CompletePage(Pending& page, const Stop& stop) override {
    if (const auto* served = dynamic_cast<const Served*>(&page)) {
      return served->answer();
    }
    if (before_complete) before_complete(page);
    return site_.CompletePage(page, stop);
  }
  void Requeue(Pending& request) override {
    if (dynamic_cast<const Served*>(&request) == nullptr) {
      site_.Requeue(request);
    }
  }
  void Withdraw(Pending& request) override {
    if (dynamic_cast<const Served*>(&request) == nullptr) {
      site_.Withdraw(request);
    }
  }
  std::unique_ptr<Pending> StartHead(const QString& address) override {
    return site_.StartHead(address);
  }
  Answer CompleteHead(Pending& head, const Stop& stop) override {
    return site_.CompleteHead(head, stop);
  }
  void SetPlanner(std::function<bool()> plan) override {
    site_.SetPlanner(std::move(plan));
  }

 private:
  class Served : public Pending {
   public:
    explicit Served(Answer answer) : answer_(std::move(answer)) {}
    bool finished() const override { return true; }
    Answer answer() const override { return answer_; }

   private:
    Answer answer_;
  };

  PageSource& site_;
};

// A whole answer with status 200 and no headers: a page served as it is.
inline Answer ServedPage() { return Response{.status = 200}; }

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_TEST_PAGES_H_
