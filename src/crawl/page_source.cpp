#include "crawl/page_source.h"

namespace trawlbox {

// A page fetch or a look. A page's body goes into its file as it arrives;
// a piece the disk refuses ends the try with the disk's failure.
class HttpPageSource::PageFetch : public PageSource::Pending, public Fetch {
 public:
  PageFetch(const QString& address, ScratchFile* file)
      : address_(address), file_(file) {}

  bool finished() const override { return ended(); }
  Answer answer() const override { return Fetch::answer(); }

 private:
  Result<Ask> NextTry() override {
    if (file_ == nullptr) return Ask{.address = address_, .head_only = true};
    disk_ = file_->Empty();
    if (!disk_.ok()) return disk_;
    return Ask{.address = address_};
  }
  HttpTransfer::Take Take(const char* data, qsizetype size) override {
    disk_ = file_->Write(data, size);
    return disk_.ok() ? HttpTransfer::Take::kTaken : HttpTransfer::Take::kAbort;
  }
  Answer Judge(Answer answer) override {
    if (!disk_.ok()) return disk_;
    return answer;
  }

  const QString address_;
  ScratchFile* const file_;  // null for a look
  Status disk_;  // what the file made of the last piece, or of emptying it
};

int HttpPageSource::pages_ahead() const {
  return kPagesHeldPerRequest * run_.capacity();
}

std::unique_ptr<PageSource::Pending> HttpPageSource::StartPage(
    const QString& address, ScratchFile& file) {
  auto page = std::make_unique<PageFetch>(address, &file);
  run_.Start(*page);
  return page;
}

std::unique_ptr<PageSource::Pending> HttpPageSource::StartHead(
    const QString& address) {
  auto head = std::make_unique<PageFetch>(address, nullptr);
  run_.Start(*head);
  return head;
}

Answer HttpPageSource::CompletePage(Pending& page, const Stop& stop) {
  return run_.Wait(static_cast<PageFetch&>(page), stop);
}

void HttpPageSource::Requeue(Pending& request) {
  run_.Start(static_cast<PageFetch&>(request));
}

void HttpPageSource::Withdraw(Pending& request) {
  auto& fetch = static_cast<PageFetch&>(request);
  if (fetch.queued()) fetch.Cancel();
}

Answer HttpPageSource::CompleteHead(Pending& head, const Stop& stop) {
  return CompletePage(head, stop);
}

void HttpPageSource::SetPlanner(std::function<bool()> plan) {
  if (plan_) run_.RemovePlanner(*this);
  plan_ = std::move(plan);
  if (plan_) run_.AddPlanner(*this);
}

}  // namespace trawlbox
