#ifndef TRAWLBOX_MIRROR_TRIM_BLANKS_H_
#define TRAWLBOX_MIRROR_TRIM_BLANKS_H_

#include <QString>

namespace trawlbox {

// Trims blanks (spaces only) at both ends; tabs and line breaks stay, as
// they are part of what was listed.
inline QString TrimBlanks(const QString& text) {
  qsizetype first = 0;
  qsizetype last = text.size();
  while (first < last && text[first] == QLatin1Char(' ')) ++first;
  while (last > first && text[last - 1] == QLatin1Char(' ')) --last;
  return text.mid(first, last - first);
}

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_TRIM_BLANKS_H_
