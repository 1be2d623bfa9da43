#include "net/response.h"

namespace trawlbox {

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

Status Verdict(const Answer& answer) {
  if (!answer.ok()) return answer.status();
  const Response& response = answer.value();
  if (response.status < 400) return {};
  const QString text = QStringLiteral("HTTP %1 %2")
                           .arg(response.status)
                           .arg(QString::fromUtf8(response.reason))
                           .trimmed();
  return IsTransientStatus(response.status) ? Status::Transient(text)
                                            : Status::Failure(text);
}

}  // namespace trawlbox
