#include "core/row_size.h"

#include <iterator>

namespace trawlbox {

bool ImprovesOn(const RowSize& incoming, const RowSize& current) {
  if (incoming.unknown()) return false;
  return incoming.exact() || !current.exact();
}

QString BytesText(qint64 bytes) {
  static const char* const kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
  if (bytes < 1000) return QStringLiteral("%1 B").arg(bytes);
  double value = static_cast<double>(bytes) / 1000.0;
  int unit = 0;
  // Rounding may carry a value to the next unit: 999,960 bytes are 1.0 MB,
  // not 1000.0 kB.
  while (unit + 1 < int(std::size(kUnits)) && value >= 999.5) {
    value /= 1000.0;
    ++unit;
  }
  const int decimals = value < 99.95 ? 1 : 0;
  return QStringLiteral("%1 %2")
      .arg(value, 0, 'f', decimals)
      .arg(QLatin1String(kUnits[unit]));
}

QString SizeText(const RowSize& size) {
  switch (size.known) {
    case SizeKnown::kUnknown:
      return {};
    case SizeKnown::kApprox:
      return QLatin1Char('~') + BytesText(size.bytes);
    case SizeKnown::kExact:
      return BytesText(size.bytes);
  }
  return {};
}

}  // namespace trawlbox
