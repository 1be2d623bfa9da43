#include "crawl/page_source.h"

#include "core/event_pump.h"
#include "net/retry.h"

namespace trawlbox {

// A page fetch or a look, and its try under way. A page's body goes into its
// file as it arrives; a piece the disk refuses ends the try with the disk's
// failure.
class HttpPageSource::PendingRequest : public PageSource::Pending {
 public:
  PendingRequest(HttpService& http, const QString& address, ScratchFile* file)
      : http_(http), address_(address), file_(file) {}

  // Starts a try from nothing.
  void Begin() {
    transfer_.reset();
    disk_ = Status();
    if (file_ == nullptr) {
      transfer_ = http_.Head(address_);
      return;
    }
    disk_ = file_->Empty();
    if (!disk_.ok()) return;
    // The request owns the transfer, so it outlives every call of the sink.
    transfer_ = http_.Get(address_, [this](const char* data, qsizetype size) {
      disk_ = file_->Write(data, size);
      return disk_.ok() ? HttpTransfer::Take::kTaken
                        : HttpTransfer::Take::kAbort;
    });
  }

  bool finished() const override { return !transfer_ || transfer_->finished(); }
  Answer answer() const override {
    if (!disk_.ok()) return disk_;
    return transfer_->answer();
  }
  HttpTransfer* transfer() const { return transfer_.get(); }

 private:
  HttpService& http_;
  const QString address_;
  ScratchFile* const file_;  // null for a look
  std::unique_ptr<HttpTransfer> transfer_;
  Status disk_;  // what the file made of the last piece, or of emptying it
};

std::unique_ptr<PageSource::Pending> HttpPageSource::StartPage(
    const QString& address, ScratchFile& file, Done done) {
  auto page = std::make_unique<PendingRequest>(http_, address, &file);
  page->Begin();
  if (done && !page->finished()) page->transfer()->set_on_finished(done);
  return page;
}

std::unique_ptr<PageSource::Pending> HttpPageSource::StartHead(
    const QString& address, Done done) {
  auto head = std::make_unique<PendingRequest>(http_, address, nullptr);
  head->Begin();
  if (done && !head->finished()) head->transfer()->set_on_finished(done);
  return head;
}

Answer HttpPageSource::CompletePage(Pending& page, const Stop& stop) {
  auto& request = static_cast<PendingRequest&>(page);
  return WithRetries(http_.retry_policy(), pump_, stop, [&](bool first) {
    if (!first) request.Begin();
    return Wait(request, stop);
  });
}

Answer HttpPageSource::CompleteHead(Pending& head, const Stop& stop) {
  return CompletePage(head, stop);
}

Answer HttpPageSource::Wait(PendingRequest& request, const Stop& stop) {
  pump_.WaitUntil([&] { return stop() || request.finished(); });
  if (!request.finished()) return Status::Failure(kStoppedByUser);
  return request.answer();
}

}  // namespace trawlbox
