#include "crawl/size_look_up.h"

#include <algorithm>

#include "core/file_list.h"
#include "net/url.h"

namespace trawlbox {

SizeLookUp::SizeLookUp(FileList& list, HttpService& http)
    : list_(list), http_(http) {}

SizeLookUp::~SizeLookUp() = default;

void SizeLookUp::Start() {
  if (stopped_) return;
  running_ = true;
  loop_.Wake();
}

void SizeLookUp::Pause() {
  in_flight_.clear();
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
  const Answer& answer = look.head->answer();
  if (!Verdict(answer).ok() || look.row > list_.Count()) return;
  const std::optional<qint64> length =
      DeclaredLength(answer.value().content_length);
  if (length) list_.SetSize(look.row, RowSize::Exact(*length));
}

void SizeLookUp::Advance() {
  if (!running_) return;
  const auto ended =
      std::partition(in_flight_.begin(), in_flight_.end(),
                     [](const Look& look) { return !look.head->finished(); });
  for (auto look = ended; look != in_flight_.end(); ++look) Record(*look);
  in_flight_.erase(ended, in_flight_.end());
  const qsizetype rows = list_.Count();
  while (qsizetype(in_flight_.size()) < http_.connections() && next_ <= rows) {
    const qsizetype row = next_++;
    if (!Wanted(row)) continue;
    Look look{row, http_.Head(TrimBlanks(list_.Text(row)))};
    ++requests_;
    if (look.head->finished()) {
      Record(look);
      continue;
    }
    look.head->set_on_finished(loop_.Waker());
    in_flight_.push_back(std::move(look));
  }
  if (in_flight_.empty() && next_ > rows) running_ = false;
}

}  // namespace trawlbox
