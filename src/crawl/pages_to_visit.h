#ifndef TRAWLBOX_CRAWL_PAGES_TO_VISIT_H_
#define TRAWLBOX_CRAWL_PAGES_TO_VISIT_H_

#include <QSet>
#include <QString>
#include <vector>

namespace trawlbox {

// The folders still to visit: an ordered collection whose entries may carry
// a key, keys unique among the present entries regardless of letter case.
// Positions are 1-based.
class PagesToVisit {
 public:
  // Appends `address` without a key.
  void Append(const QString& address);
  // Appends `address` under `key`; nothing while an equal key is present.
  void Append(const QString& address, const QString& key);
  void Remove(qsizetype position);
  void Clear();

  qsizetype Count() const { return static_cast<qsizetype>(entries_.size()); }
  // Whether an entry under `key` (in any letter case) is present.
  bool HasKey(const QString& key) const;
  const QString& At(qsizetype position) const;

 private:
  struct Entry {
    QString address;
    QString folded_key;  // null: no key
  };

  std::vector<Entry> entries_;
  QSet<QString> keys_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CRAWL_PAGES_TO_VISIT_H_
