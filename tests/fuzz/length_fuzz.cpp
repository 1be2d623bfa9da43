// Any "Content-Length" header: a length or none, and nothing else; and the
// percentage shown while a body of any length arrives in pieces stays between 0
// and 100, never goes down and ends at 100.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

#include "fuzz/fuzz_support.h"
#include "mirror/downloader.h"

namespace trawlbox {
namespace {

// Bodies longer than this are walked in pieces only near both ends: the
// rounding that matters happens there, and a 2 GB walk per input would
// starve the fuzzer.
constexpr qint64 kWalkedBytes = 4 * 1024 * 1024;

void CheckPercentages(qint64 length);

void CheckHeader(const QByteArray& header) {
  const std::optional<qint64> length = DeclaredLength(header);
  if (!length) return;
  FuzzCheck(*length >= 0, "negative length");
  CheckPercentages(*length);
}

void CheckPercent(qint16 percent, qint16& previous, qint64 received) {
  FuzzCheck(percent >= 0 && percent <= 100, "percent out of range",
            QString::number(percent));
  FuzzCheck(percent >= previous, "percent went down",
            QString::number(received));
  previous = percent;
}

// The download's loop: pieces of 1024 until the length is reached.
void CheckPercentages(qint64 length) {
  if (length <= 0) return;  // an empty body shows no percentage
  qint16 previous = 0;
  qint64 received = 0;
  const qint64 piece = 1024;
  while (received < length) {
    if (received > kWalkedBytes && length - received > kWalkedBytes) {
      received = length - kWalkedBytes;  // skip the middle, still rising
    }
    received += std::min(length - received, piece);
    CheckPercent(PercentDone(length, received), previous, received);
  }
  FuzzCheck(previous == 100, "the last piece is not 100 %",
            QString::number(length));
}

}  // namespace
}  // namespace trawlbox

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray header(reinterpret_cast<const char*>(data),
                          static_cast<qsizetype>(size));
  trawlbox::CheckHeader(header);
  // The first four bytes also name a length to receive.
  if (size >= 4) {
    uint32_t raw = 0;
    std::memcpy(&raw, data, sizeof raw);
    const qint32 length =
        static_cast<qint32>(raw % uint32_t(std::numeric_limits<qint32>::max()));
    trawlbox::CheckPercentages(length + 1);
  }
  return 0;
}
