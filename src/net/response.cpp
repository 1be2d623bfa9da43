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

QByteArray UsualReason(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 402:
      return "Payment Required";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 406:
      return "Not Acceptable";
    case 407:
      return "Proxy Authentication Required";
    case 408:
      return "Request Timeout";
    case 409:
      return "Conflict";
    case 410:
      return "Gone";
    case 411:
      return "Length Required";
    case 412:
      return "Precondition Failed";
    case 413:
      return "Content Too Large";
    case 414:
      return "URI Too Long";
    case 415:
      return "Unsupported Media Type";
    case 416:
      return "Range Not Satisfiable";
    case 417:
      return "Expectation Failed";
    case 421:
      return "Misdirected Request";
    case 422:
      return "Unprocessable Content";
    case 425:
      return "Too Early";
    case 426:
      return "Upgrade Required";
    case 428:
      return "Precondition Required";
    case 429:
      return "Too Many Requests";
    case 431:
      return "Request Header Fields Too Large";
    case 451:
      return "Unavailable For Legal Reasons";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    case 504:
      return "Gateway Timeout";
    case 505:
      return "HTTP Version Not Supported";
    default:
      return QByteArray();
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
