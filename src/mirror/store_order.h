#ifndef TRAWLBOX_MIRROR_STORE_ORDER_H_
#define TRAWLBOX_MIRROR_STORE_ORDER_H_

#include <QHash>
#include <QString>

namespace trawlbox {

// What the free-name rule may make of `path` (a "\" path text), as one
// text: every name it may give (the path, or the path numbered before its
// last dot) has this key, and so has any folder on one of those names.
// Different keys never meet; equal ones may. Without case, so a key never
// misses a name on a disk that ignores case.
QString FreeNameKey(const QString& path);

// The rows a download has started ahead of their turns, each with the path
// its file is stored at and the folders it makes. A row whose name the
// free-name rule could give differently depending on which of them goes
// first must wait for its turn: a folder one of them makes on a name the
// rule may give the other, or a file the one stores where the other makes
// a folder. Rows that meet none run side by side and still get the names
// they would get one after another.
class StoreOrder {
 public:
  // Whether the row to be stored at `path` (before the free-name rule)
  // meets a row claimed now.
  bool Meets(const QString& path) const;
  // The row to be stored at `path` runs ahead until Release(path).
  void Claim(const QString& path);
  void Release(const QString& path);

 private:
  static void Add(QHash<QString, int>& keys, const QString& key, int count);

  QHash<QString, int> path_keys_;    // of the claimed rows' paths
  QHash<QString, int> folder_keys_;  // of the folders they make
};

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_STORE_ORDER_H_
