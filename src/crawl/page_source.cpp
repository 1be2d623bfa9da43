#include "crawl/page_source.h"

namespace trawlbox {
namespace {

class PendingPage : public PageSource::Pending {
 public:
  explicit PendingPage(std::unique_ptr<PendingFetch> fetch)
      : fetch(std::move(fetch)) {}
  bool finished() const override { return fetch->finished(); }
  FetchResult result() const override { return fetch->result(); }

  const std::unique_ptr<PendingFetch> fetch;
};

class PendingHead : public PageSource::Pending {
 public:
  PendingHead(const QString& address, std::unique_ptr<HttpTransfer> transfer)
      : address(address), transfer(std::move(transfer)) {}
  bool finished() const override { return transfer->finished(); }
  FetchResult result() const override { return ResultOf(*transfer); }

  const QString address;  // asked for again by a retry
  const std::unique_ptr<HttpTransfer> transfer;
};

}  // namespace

std::unique_ptr<PageSource::Pending> HttpPageSource::StartPage(
    const QString& address, QFile& file, Done done) {
  return std::make_unique<PendingPage>(
      http_.StartFetch(address, file, std::move(done)));
}

FetchResult HttpPageSource::CompletePage(Pending& page, const Stop& stop) {
  return http_.CompleteFetch(*static_cast<PendingPage&>(page).fetch, stop);
}

std::unique_ptr<PageSource::Pending> HttpPageSource::StartHead(
    const QString& address, Done done) {
  auto head = std::make_unique<PendingHead>(address, http_.StartHead(address));
  if (done && !head->transfer->finished()) {
    head->transfer->set_on_finished(std::move(done));
  }
  return head;
}

FetchResult HttpPageSource::CompleteHead(Pending& head, const Stop& stop) {
  auto& pending = static_cast<PendingHead&>(head);
  return http_.CompleteHead(*pending.transfer, pending.address, stop);
}

}  // namespace trawlbox
