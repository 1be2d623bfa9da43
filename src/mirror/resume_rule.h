#ifndef TRAWLBOX_MIRROR_RESUME_RULE_H_
#define TRAWLBOX_MIRROR_RESUME_RULE_H_

#include <QByteArray>
#include <QString>
#include <optional>

#include "mirror/replacing_file.h"
#include "net/response.h"

namespace trawlbox {

// Which answers a part file goes on with, for the rest of a body cut off.

// The validator a range is asked under: a strong ETag, else the date.
QByteArray IfRangeOf(const PartOrigin& origin);

// What a first answer to `address` makes its part file the start of, when
// a later try can go on with it: a file of known length with a validator.
std::optional<PartOrigin> PartOriginOf(const QString& address,
                                       const Response& head);

// Whether a part is noted beside its file, for a run after a crash or a
// stop to go on with: a body of 1 MiB or more. A shorter one is simply
// fetched again.
bool NotedBeside(const PartOrigin& origin);

// Whether the answer `head` to a range asked from byte `from` goes on with
// the part that began as `origin`: a 206 from there to the end of a file
// of the same length, with no other validator.
bool ContinuesPart(const PartOrigin& origin, qint64 from, const Response& head);

// What a try that asked for the rest from `from_byte` came to when the
// server sent something else: a failure the next try, for the whole file,
// may pass.
Status RestNotSent(qint64 from_byte);

}  // namespace trawlbox

#endif  // TRAWLBOX_MIRROR_RESUME_RULE_H_
