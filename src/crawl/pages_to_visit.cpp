#include "crawl/pages_to_visit.h"

#include "core/app_error.h"

namespace trawlbox {

void PagesToVisit::Append(const QString& address) {
  entries_.push_back(Entry{address, QString()});
}

void PagesToVisit::Append(const QString& address, const QString& key) {
  QString folded = key.toCaseFolded();
  if (folded.isNull()) folded = QLatin1String("");
  if (keys_.contains(folded)) return;
  keys_.insert(folded);
  entries_.push_back(Entry{address, std::move(folded)});
}

bool PagesToVisit::HasKey(const QString& key) const {
  return keys_.contains(key.toCaseFolded());
}

void PagesToVisit::Remove(qsizetype position) {
  if (position < 1 || position > Count()) Raise(ErrorKind::kInvalidCall);
  const auto entry = entries_.begin() + (position - 1);
  if (!entry->folded_key.isNull()) keys_.remove(entry->folded_key);
  entries_.erase(entry);
}

void PagesToVisit::Clear() {
  entries_.clear();
  keys_.clear();
}

const QString& PagesToVisit::At(qsizetype position) const {
  if (position < 1 || position > Count()) Raise(ErrorKind::kInvalidCall);
  return entries_[static_cast<size_t>(position - 1)].address;
}

}  // namespace trawlbox
