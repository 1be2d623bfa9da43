#include "net/curl_failure.h"

#include <optional>

#include "core/address_password.h"

namespace trawlbox {

QString StallText(int stall_ms) {
  const int seconds = qMax(1, stall_ms / 1000);
  return seconds == 1
             ? QStringLiteral("No data received for 1 second")
             : QStringLiteral("No data received for %1 seconds").arg(seconds);
}

QString ShortBodyText(qint64 received, const QByteArray& announced) {
  return QStringLiteral("The connection ended after %1 of %2 bytes")
      .arg(received)
      .arg(QString::fromLatin1(announced));
}

bool BeyondAnyBody(const QByteArray& length) {
  if (length.isEmpty()) return false;
  qsizetype first = 0;
  for (qsizetype i = 0; i < length.size(); ++i) {
    if (length[i] < '0' || length[i] > '9') return false;
    if (length[i] == '0' && first == i) ++first;
  }
  return length.size() - first > 18;
}

bool IsTransientCode(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_OPERATION_TIMEDOUT:
    // A connection lost inside the TLS handshake; a server that refuses the
    // handshake itself is asked a few times more before its row fails.
    case CURLE_SSL_CONNECT_ERROR:
    // A stream reset, a GOAWAY, a connection lost under many streams.
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return true;
    default:
      return false;
  }
}

Status CurlFailure(CURLcode code, const char* error) {
  const QString text = error[0] != '\0'
                           ? QString::fromUtf8(error).trimmed()
                           : QString::fromUtf8(curl_easy_strerror(code));
  return IsTransientCode(code) ? Status::Transient(text)
                               : Status::Failure(text);
}

Status ShortBodyFailure(curl_off_t received, curl_off_t announced,
                        const Response& head) {
  QByteArray whole =
      announced >= 0 ? QByteArray::number(announced) : head.content_length;
  if (const std::optional<ByteRange> range =
          ParseContentRange(head.content_range);
      head.status == 206 && range && range->total) {
    received += range->first;
    whole = QByteArray::number(*range->total);
  }
  return Status::Transient(ShortBodyText(received, whole));
}

Status WithoutPasswords(const Status& failure) {
  const QString text = HidePasswords(failure.failure());
  return failure.transient() ? Status::Transient(text) : Status::Failure(text);
}

bool IsHeaderValue(const QByteArray& value) {
  for (const char c : value) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  }
  return true;
}

}  // namespace trawlbox
