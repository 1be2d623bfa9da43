#include "mirror/resume_rule.h"

namespace trawlbox {

QByteArray IfRangeOf(const PartOrigin& origin) {
  return IsStrongEtag(origin.etag) ? origin.etag : origin.last_modified;
}

std::optional<PartOrigin> PartOriginOf(const QString& address,
                                       const Response& head) {
  const std::optional<qint64> length = DeclaredLength(head.content_length);
  PartOrigin origin{.address = address,
                    .etag = head.etag,
                    .last_modified = head.last_modified,
                    .length = length.value_or(0)};
  if (origin.length <= 0 || IfRangeOf(origin).isEmpty()) return std::nullopt;
  return origin;
}

bool ContinuesPart(const PartOrigin& origin, qint64 from,
                   const Response& head) {
  const std::optional<ByteRange> range = ParseContentRange(head.content_range);
  const auto same = [](const QByteArray& now, const QByteArray& then) {
    return now.isEmpty() || then.isEmpty() || now == then;
  };
  return head.status == 206 && range && range->first == from &&
         range->total == origin.length && range->last == origin.length - 1 &&
         same(head.etag, origin.etag) &&
         same(head.last_modified, origin.last_modified);
}

bool NotedBeside(const PartOrigin& origin) {
  return origin.length >= 1024 * 1024;
}

Status RestNotSent(qint64 from_byte) {
  return Status::Transient(
      QStringLiteral("The server did not send the rest of the file from "
                     "byte %1")
          .arg(from_byte));
}

}  // namespace trawlbox
