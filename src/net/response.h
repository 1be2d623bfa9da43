#ifndef TRAWLBOX_NET_RESPONSE_H_
#define TRAWLBOX_NET_RESPONSE_H_

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

#include "core/status.h"

namespace trawlbox {

// The final answer to a request: its status line and the headers the
// program reads, as sent.
struct Response {
  int status = 0;                  // after redirects
  QByteArray reason = {};          // "Not Found"; HTTP/2 sends none, see below
  QByteArray protocol = {};        // "HTTP/1.1", "HTTP/2"
  QByteArray content_type = {};    // raw header value, empty when absent
  QByteArray content_length = {};  // raw header value as sent, or empty
  QByteArray retry_after = {};     // raw header value, empty when absent
  QString final_address = {};      // where the redirects led
  QByteArray etag = {};            // raw header value, empty when absent
  QByteArray last_modified = {};   // raw header value, empty when absent
  QByteArray content_range = {};   // raw header value, empty when absent
};

// What one line of an answer's head was.
enum class HeadLine {
  kStatus,  // "HTTP/1.1 404 Not Found", "HTTP/2 404": a new answer begins
  kEnd,     // the blank line that ends the head
  kField,   // a header line, or anything else in the head
};
// Reads one line of an answer's head into `head`. A status line starts the
// answer afresh (only where the redirects led stays), with its protocol,
// status and reason; an answer over HTTP/2 or later, which sends no words,
// takes the usual ones. A header the program reads is kept, its value
// trimmed; names are matched without regard to case.
HeadLine ReadHeadLine(QByteArrayView line, Response& head);

// What follows a whole head with `status`: another head (after a 1xx), the
// body that was asked for, or a body nobody reads: a redirect's, or an
// error page's and, for a `conditional` request, a 304's.
enum class AfterHead { kAnotherHead, kBody, kRedirect, kUnreadBody };
AfterHead AfterHeadOf(int status, bool conditional);

// The time an answer's Last-Modified names, read as libcurl reads HTTP
// dates; none when it is absent or cannot be read.
std::optional<QDateTime> ModifiedTime(const Response& response);

// The "Content-Length" a response declares, when it is a whole number that
// fits 64 signed bits and is not negative; anything else (absent, empty,
// not a number, too large to count) is none, and a body is then read to
// its end.
std::optional<qint64> DeclaredLength(const QByteArray& header);

// Whether an ETag may vouch that two bodies are the same byte for byte: a
// strong one, not marked "W/".
bool IsStrongEtag(const QByteArray& etag);

// What "Content-Range: bytes FIRST-LAST/TOTAL" says: the bytes an answer
// carries, counted from 0, and the length of the whole ("*": none).
struct ByteRange {
  qint64 first = 0;
  qint64 last = 0;
  std::optional<qint64> total = std::nullopt;
};
// None when the header is absent or says anything else.
std::optional<ByteRange> ParseContentRange(const QByteArray& header);

// What a request came to: an answer that came whole, or why none did (a
// refused connection, a body cut short, a stall), with whether another try
// may pass. The engine's answers carry any status; the request run judges
// them before anyone else sees them.
using Answer = Result<Response>;

// The answer as the program takes it: one with a status of 400 or more
// brought no body and is a failure, "HTTP 404 Not Found", carrying its code
// and marked as one that may pass for 408, 429, 500, 502, 503 and 504.
// Anything else stays as it is; a 304 to a conditional request is a
// success of its own kind.
Answer Judged(Answer answer);

// Whether an HTTP status says the server may answer otherwise soon.
bool IsTransientStatus(int status);

// The usual words for a status, for answers over HTTP/2, which carry none,
// so that a failure reads the same whichever protocol brought it; empty for
// a status without usual words.
QByteArray UsualReason(int status);

// The failure a stop request leaves a request with.
inline const QString kStoppedByUser = QStringLiteral("Stopped by user");

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_RESPONSE_H_
