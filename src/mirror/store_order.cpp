#include "mirror/store_order.h"

#include "mirror/path_mapping.h"

namespace trawlbox {
namespace {

constexpr QChar kBackslash = QLatin1Char('\\');

bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The folders that storing `path` makes: every text before one of its "\".
template <typename Each>
void EachFolder(const QString& path, Each each) {
  for (qsizetype at = path.indexOf(kBackslash); at >= 0;
       at = path.indexOf(kBackslash, at + 1)) {
    if (at > 0) each(path.left(at));
  }
}

}  // namespace

// A numbered name is the text before the last dot, a number, and the text
// from that dot: dropping the digits before the last dot gives every
// number the same key.
QString FreeNameKey(const QString& path) {
  const QString extension = GetExtension(path);
  QString base = RemoveExtension(path);
  qsizetype end = base.size();
  while (end > 0 && IsAsciiDigit(base[end - 1])) --end;
  base.truncate(end);
  return (base + extension).toCaseFolded();
}

bool StoreOrder::Meets(const QString& path) const {
  if (path_keys_.isEmpty()) return false;
  if (folder_keys_.contains(FreeNameKey(path))) return true;
  bool meets = false;
  EachFolder(path, [&](const QString& folder) {
    meets = meets || path_keys_.contains(FreeNameKey(folder));
  });
  return meets;
}

void StoreOrder::Claim(const QString& path) {
  Add(path_keys_, FreeNameKey(path), 1);
  EachFolder(path, [&](const QString& folder) {
    Add(folder_keys_, FreeNameKey(folder), 1);
  });
}

void StoreOrder::Release(const QString& path) {
  Add(path_keys_, FreeNameKey(path), -1);
  EachFolder(path, [&](const QString& folder) {
    Add(folder_keys_, FreeNameKey(folder), -1);
  });
}

void StoreOrder::Add(QHash<QString, int>& keys, const QString& key, int count) {
  int& held = keys[key];
  held += count;
  if (held <= 0) keys.remove(key);
}

}  // namespace trawlbox
