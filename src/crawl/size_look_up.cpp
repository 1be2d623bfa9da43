#include "crawl/size_look_up.h"

#include <algorithm>

#include "core/file_list.h"
#include "net/url.h"

namespace trawlbox {

// One row's HEAD.
class SizeLookUp::Look : public Fetch {
 public:
  Look(qsizetype row, QString address)
      : row_(row), address_(std::move(address)) {}
  qsizetype row() const { return row_; }

 private:
  Result<Ask> NextTry() override {
    return Ask{.address = address_, .head_only = true};
  }

  const qsizetype row_;
  const QString address_;
};

SizeLookUp::SizeLookUp(FileList& list, RequestRun& run)
    : list_(list), run_(run) {}

SizeLookUp::~SizeLookUp() { Pause(); }

void SizeLookUp::Start() {
  if (stopped_ || running_) return;
  running_ = true;
  run_.AddPlanner(*this);
}

void SizeLookUp::Pause() {
  looks_.clear();
  if (running_) run_.RemovePlanner(*this);
  running_ = false;
}

void SizeLookUp::Stop() {
  Pause();
  stopped_ = true;
}

void SizeLookUp::Reset() {
  Pause();
  stopped_ = false;
  next_ = 1;
  requests_ = 0;
}

// File rows whose size is not known to the byte, and that were listed
// without a failure.
bool SizeLookUp::Wanted(qsizetype row) const {
  return !IsFolderRow(list_.Text(row)) && !list_.SizeOf(row).exact() &&
         list_.FailureOf(row).isEmpty();
}

void SizeLookUp::Record(const Look& look) {
  const Answer& answer = look.answer();
  if (!answer.ok() || look.row() > list_.Count()) return;
  const std::optional<qint64> length =
      DeclaredLength(answer.value().content_length);
  if (length) list_.SetSize(look.row(), RowSize::Exact(*length));
}

void SizeLookUp::Plan() {
  const auto ended =
      std::partition(looks_.begin(), looks_.end(),
                     [](const auto& look) { return !look->ended(); });
  for (auto look = ended; look != looks_.end(); ++look) Record(**look);
  looks_.erase(ended, looks_.end());
  const qsizetype rows = list_.Count();
  const qsizetype most = run_.settings().connections;
  while (qsizetype(looks_.size()) < most && next_ <= rows) {
    const qsizetype row = next_++;
    if (!Wanted(row)) continue;
    looks_.push_back(std::make_unique<Look>(row, TrimBlanks(list_.Text(row))));
    ++requests_;
    run_.Start(*looks_.back());
  }
  if (looks_.empty() && next_ > rows) Pause();
}

}  // namespace trawlbox
