#include "core/http_client.h"

#include <QFile>
#include <QNetworkRequest>
#include <QUrl>

#include "core/event_pump.h"

namespace trawlbox {
namespace {

// Caps what Qt buffers ahead of the reader, so memory stays flat whatever
// the size of a body.
constexpr qint64 kReadBufferBytes = 1 << 20;

}  // namespace

void ReplyDeleter::operator()(QNetworkReply* reply) const {
  if (reply == nullptr) return;
  if (reply->isRunning()) reply->abort();
  delete reply;
}

HttpClient::HttpClient(EventPump& pump) : pump_(pump) {
  manager_.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

ReplyPtr HttpClient::Get(const QString& address) {
  QNetworkRequest request{QUrl(address)};
  request.setMaximumRedirectsAllowed(10);
  request.setTransferTimeout(stall_timeout_ms_);
  request.setHeader(QNetworkRequest::UserAgentHeader,
                    QStringLiteral("Trawlbox Harvester"));
  // The mirror keeps the bytes the server stores, and "Content-Length" must
  // count the bytes we read: no transparent decompression.
  request.setRawHeader("Accept-Encoding", "identity");
  ReplyPtr reply(manager_.get(request));
  reply->setReadBufferSize(kReadBufferBytes);
  return reply;
}

bool HttpClient::WaitForData(QNetworkReply& reply) {
  pump_.WaitUntil(
      [&] { return reply.isFinished() || reply.bytesAvailable() > 0; });
  return reply.bytesAvailable() > 0;
}

bool HttpClient::FinalHeadersIn(const QNetworkReply& reply) {
  if (reply.isFinished()) return true;
  const QVariant status =
      reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
  return status.isValid() && (status.toInt() < 300 || status.toInt() >= 400);
}

FetchResult HttpClient::FailureOf(const QNetworkReply& reply) {
  const QVariant status =
      reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (status.isValid() && status.toInt() >= 400) {
    const QString phrase =
        reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    return {
        QStringLiteral("HTTP %1 %2").arg(status.toInt()).arg(phrase).trimmed()};
  }
  if (reply.isFinished() && reply.error() != QNetworkReply::NoError) {
    if (reply.error() == QNetworkReply::OperationCanceledError) {
      return {QStringLiteral("No data received for %1 seconds")
                  .arg(reply.request().transferTimeout() / 1000)};
    }
    return {reply.errorString()};
  }
  return {};
}

namespace {

FetchResult WithHead(FetchResult result, const QNetworkReply& reply) {
  result.status =
      reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  result.content_type = reply.rawHeader("Content-Type");
  return result;
}

const QString kStopped = QStringLiteral("Stopped by user");

}  // namespace

FetchResult HttpClient::FetchToFile(const QString& address, QFile& file,
                                    const std::function<bool()>& stop) {
  if (!file.resize(0) || !file.seek(0)) return {file.errorString()};
  ReplyPtr reply = Get(address);
  FetchResult result;
  while (result.ok()) {
    pump_.WaitUntil([&] {
      return stop() || reply->isFinished() || reply->bytesAvailable() > 0;
    });
    if (stop()) return {kStopped};
    const bool has_data = reply->bytesAvailable() > 0;
    result = FailureOf(*reply);
    if (!result.ok() || !has_data) break;
    const QByteArray bytes = reply->readAll();
    if (file.write(bytes) != bytes.size()) {
      result = {file.errorString()};
    }
  }
  return WithHead(result, *reply);
}

FetchResult HttpClient::FetchHead(const QString& address,
                                  const std::function<bool()>& stop) {
  ReplyPtr reply = Get(address);
  pump_.WaitUntil([&] { return stop() || FinalHeadersIn(*reply); });
  if (stop()) return {kStopped};
  return WithHead(FailureOf(*reply), *reply);
}

}  // namespace trawlbox
