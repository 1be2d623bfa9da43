#include "net/response.h"

#include <curl/curl.h>

#include <iterator>

namespace trawlbox {
namespace {

// A count of bytes as HTTP writes one: digits only, within 64 bits.
std::optional<qint64> Count(QByteArrayView text) {
  if (text.isEmpty() || text.size() > 18) return std::nullopt;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  return text.toLongLong();
}

}  // namespace

std::optional<QDateTime> ModifiedTime(const Response& response) {
  if (response.last_modified.isEmpty()) return std::nullopt;
  const time_t time = curl_getdate(response.last_modified.constData(), nullptr);
  if (time == -1) return std::nullopt;
  return QDateTime::fromSecsSinceEpoch(time, Qt::UTC);
}

HeadLine ReadHeadLine(QByteArrayView line, Response& head) {
  if (line.startsWith("HTTP/")) {
    const qsizetype code_at = line.indexOf(' ');
    const QByteArrayView rest =
        code_at < 0 ? QByteArrayView() : line.sliced(code_at + 1);
    const qsizetype reason_at = rest.indexOf(' ');
    head = Response{.final_address = head.final_address};
    head.protocol =
        (code_at < 0 ? line : line.first(code_at)).trimmed().toByteArray();
    head.status =
        (reason_at < 0 ? rest : rest.first(reason_at)).trimmed().toInt();
    if (reason_at >= 0) {
      head.reason = rest.sliced(reason_at + 1).trimmed().toByteArray();
    }
    if (!head.protocol.startsWith("HTTP/1")) {
      head.reason = UsualReason(head.status);
    }
    return HeadLine::kStatus;
  }
  const QByteArrayView trimmed = line.trimmed();
  if (trimmed.isEmpty()) return HeadLine::kEnd;
  const qsizetype colon = trimmed.indexOf(':');
  if (colon <= 0) return HeadLine::kField;
  const QByteArrayView name = trimmed.first(colon).trimmed();
  QByteArray* const kept[] = {&head.content_type,  &head.content_length,
                              &head.retry_after,   &head.etag,
                              &head.last_modified, &head.content_range};
  static const char* const kNames[] = {"Content-Type",  "Content-Length",
                                       "Retry-After",   "ETag",
                                       "Last-Modified", "Content-Range"};
  for (size_t i = 0; i < std::size(kNames); ++i) {
    if (name.compare(kNames[i], Qt::CaseInsensitive) == 0) {
      *kept[i] = trimmed.sliced(colon + 1).trimmed().toByteArray();
      break;
    }
  }
  return HeadLine::kField;
}

AfterHead AfterHeadOf(int status, bool conditional) {
  if (status < 200) return AfterHead::kAnotherHead;
  if (status < 300) return AfterHead::kBody;
  if (status == 304 && conditional) return AfterHead::kUnreadBody;
  return status < 400 ? AfterHead::kRedirect : AfterHead::kUnreadBody;
}

std::optional<qint64> DeclaredLength(const QByteArray& header) {
  const QByteArray text = header.trimmed();
  if (text.isEmpty()) return std::nullopt;
  bool numeric = false;
  const qlonglong value = text.toLongLong(&numeric);
  if (!numeric || value < 0) return std::nullopt;
  return value;
}

bool IsStrongEtag(const QByteArray& etag) {
  return !etag.isEmpty() && !etag.startsWith("W/");
}

std::optional<ByteRange> ParseContentRange(const QByteArray& header) {
  const QByteArray text = header.trimmed();
  if (!text.startsWith("bytes ")) return std::nullopt;
  const QByteArrayView rest = QByteArrayView(text).sliced(6).trimmed();
  const qsizetype dash = rest.indexOf('-');
  const qsizetype slash = rest.indexOf('/');
  if (dash < 0 || slash < dash) return std::nullopt;
  const std::optional<qint64> first = Count(rest.first(dash));
  const std::optional<qint64> last =
      Count(rest.sliced(dash + 1, slash - dash - 1));
  if (!first || !last || *last < *first) return std::nullopt;
  ByteRange range{.first = *first, .last = *last};
  const QByteArrayView total = rest.sliced(slash + 1);
  if (total != "*") {
    range.total = Count(total);
    if (!range.total || *range.total <= *last) return std::nullopt;
  }
  return range;
}

bool IsTransientStatus(int status) {
  switch (status) {
    case 408:  // Request Timeout
    case 429:  // Too Many Requests
    case 500:
    case 502:
    case 503:
    case 504:
      return true;
    default:
      return false;
  }
}

QByteArray UsualReason(int status) {
  struct Words {
    int status;
    const char* reason;
  };
  static constexpr Words kWords[] = {
      {400, "Bad Request"},
      {401, "Unauthorized"},
      {402, "Payment Required"},
      {403, "Forbidden"},
      {404, "Not Found"},
      {405, "Method Not Allowed"},
      {406, "Not Acceptable"},
      {407, "Proxy Authentication Required"},
      {408, "Request Timeout"},
      {409, "Conflict"},
      {410, "Gone"},
      {411, "Length Required"},
      {412, "Precondition Failed"},
      {413, "Content Too Large"},
      {414, "URI Too Long"},
      {415, "Unsupported Media Type"},
      {416, "Range Not Satisfiable"},
      {417, "Expectation Failed"},
      {421, "Misdirected Request"},
      {422, "Unprocessable Content"},
      {425, "Too Early"},
      {426, "Upgrade Required"},
      {428, "Precondition Required"},
      {429, "Too Many Requests"},
      {431, "Request Header Fields Too Large"},
      {451, "Unavailable For Legal Reasons"},
      {500, "Internal Server Error"},
      {501, "Not Implemented"},
      {502, "Bad Gateway"},
      {503, "Service Unavailable"},
      {504, "Gateway Timeout"},
      {505, "HTTP Version Not Supported"},
  };
  for (const Words& words : kWords) {
    if (words.status == status) return words.reason;
  }
  return QByteArray();
}

Answer Judged(Answer answer) {
  if (!answer.ok() || answer.value().status < 400) return answer;
  const Response& response = answer.value();
  const QString text = QStringLiteral("HTTP %1 %2")
                           .arg(response.status)
                           .arg(QString::fromUtf8(response.reason))
                           .trimmed();
  return Status::Refused(response.status, text,
                         IsTransientStatus(response.status));
}

}  // namespace trawlbox
