#include "mirror/transfer.h"

#include <QFileInfo>
#include <cmath>
#include <limits>

#include "core/app_error.h"
#include "core/error_trap.h"
#include "core/event_pump.h"
#include "core/procedure_tags.h"
#include "core/status_line.h"
#include "mirror/path_mapping.h"
#include "mirror/replacing_file.h"
#include "mirror/trim_blanks.h"

namespace trawlbox {
namespace {

const QString kStoppedCaption = QStringLiteral("Download Stoped By User");

[[noreturn]] void RaiseOpenFailure(const ReplacingFile& file) {
  const QFileInfo parent(QFileInfo(file.target()).absolutePath());
  if (!parent.isDir()) Raise(ErrorKind::kPathNotFound);
  if (!parent.isWritable()) Raise(ErrorKind::kPermissionDenied);
  Raise(file.errorString());  // a name too long or refused, a full disk
}

// Why a body could not be read whole, `arrived` bytes into it.
QString ReadFailureText(const QNetworkReply& reply, qint64 arrived,
                        std::optional<qint64> announced) {
  const bool closed = reply.error() == QNetworkReply::NoError ||
                      reply.error() == QNetworkReply::RemoteHostClosedError;
  if (!closed) return HttpClient::FailureOf(reply).failure;
  if (announced && arrived < *announced) {
    return QStringLiteral(
               "The connection ended after %1 of %2 bytes, before the whole "
               "file arrived")
        .arg(arrived)
        .arg(*announced);
  }
  return QStringLiteral(
             "The connection ended after %1 bytes, before the whole file "
             "arrived")
      .arg(arrived);
}

}  // namespace

std::optional<qint64> DeclaredLength(const QByteArray& header) {
  const QByteArray text = header.trimmed();
  if (text.isEmpty()) return std::nullopt;
  bool numeric = false;
  const qlonglong value = text.toLongLong(&numeric);
  if (!numeric || value < 0) return std::nullopt;
  return value;
}

qint16 PercentDone(qint64 length, qint64 received) {
  // std::nearbyint rounds half to even in the default rounding mode.
  return static_cast<qint16>(
      std::nearbyint(100.0 / double(length) * double(received)));
}

Downloader::Downloader(HttpClient& http, EventPump& pump, StatusLine& status,
                       ErrorReporter& reporter,
                       std::function<bool()> cancel_requested)
    : http_(http),
      pump_(pump),
      status_(status),
      reporter_(reporter),
      cancel_requested_(std::move(cancel_requested)) {}

FetchResult Downloader::DownloadFile(const QString& address_as_passed,
                                     const QString& local_path,
                                     const std::function<void()>& before_body) {
  ErrorTrap trap(reporter_, tags::kDownloadFile);
  EventPump& pump = pump_;
  cancelled_ = false;
  QString address = address_as_passed;
  ReplyPtr reply;
  FetchResult result;
  auto cancel_now = [&] { return cancel_requested_ && cancel_requested_(); };
  // Stops at once: the previous local file stays, the caption says so.
  std::unique_ptr<ReplacingFile> file;
  auto stop_for_user = [&] {
    if (reply) reply->abort();
    if (file) file->Cancel();
    cancelled_ = true;
    status_.SetCaption(kStoppedCaption);
    return FetchResult{kStoppedCaption};
  };

  trap.Do(100, [&] {
    status_.SetCaption(QStringLiteral("Downloading: ") + address);
  });
  trap.Do(104, [&] { reply = http_.Get(TrimBlanks(address)); });
  if (!reply) result = {QStringLiteral("The request could not be started")};
  if (reply) {
    trap.Do(106, [&] {
      pump.WaitUntil(
          [&] { return cancel_now() || HttpClient::FinalHeadersIn(*reply); });
    });
    if (cancel_now()) return stop_for_user();
    const QVariant code =
        reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (code.isValid() && code.toInt() >= 400) {
      // An error page never lands under the file's name.
      result = HttpClient::FailureOf(*reply);
      trap.Do(154, [&] { status_.SetCaption(StatusLine::kIdleCaption); });
      return result;
    }
    if (reply->isFinished() && reply->error() != QNetworkReply::NoError &&
        reply->bytesAvailable() == 0) {
      // No response at all (no server, a refused redirect): nothing is made
      // on the disk for it.
      result = {ReadFailureText(*reply, 0, std::nullopt)};
      trap.Do(136, [&] { Raise(result.failure); });
      trap.Do(154, [&] { status_.SetCaption(StatusLine::kIdleCaption); });
      return result;
    }
  }

  QByteArray header;
  trap.Do(110, [&] {
    if (reply) header = reply->rawHeader("Content-Length");
  });
  std::optional<qint64> length;
  trap.Do(114, [&] { length = DeclaredLength(header); });

  if (before_body) before_body();
  bool open = false;
  qint64 taken = 0;  // bytes of the body read so far
  auto read_failure = [&] {
    return ReadFailureText(*reply, taken + reply->bytesAvailable(), length);
  };
  trap.Do(124, [&] {
    const std::optional<QString> native = ToNativePath(local_path);
    if (!native) Raise(ErrorKind::kPathNotFound);
    file = std::make_unique<ReplacingFile>(*native);
    if (!file->Open()) RaiseOpenFailure(*file);
    open = true;
  });
  if (!open) result = {QStringLiteral("The local file cannot be written")};

  // Takes the next piece of `want` bytes, waiting until that many have
  // arrived or the body has ended, together with the whole pieces that have
  // arrived behind it (at most `limit` bytes in all): the pieces are counted
  // and shown one by one but moved in one go. A body that ends early or
  // breaks off is a failing read.
  auto take_pieces = [&](qint64 want, qint64 limit, bool to_end) {
    pump.WaitUntil([&] {
      return cancel_now() || reply->bytesAvailable() >= want ||
             reply->isFinished();
    });
    if (cancel_now()) return QByteArray();
    const qint64 available = reply->bytesAvailable();
    if (available >= want) {
      qint64 batch = std::min({available, limit, kBatchBytes});
      if (batch < limit) batch -= batch % kPieceBytes;
      return reply->read(batch);
    }
    if (to_end && reply->error() == QNetworkReply::NoError) {
      return reply->read(available);
    }
    Raise(read_failure());
  };
  auto write_pieces = [&](const QByteArray& pieces) {
    taken += pieces.size();
    return trap.Do(150, [&] {
      if (!file->Write(pieces)) Raise(file->errorString());
    });
  };

  if (open && reply && length) {
    qint64 remaining = *length;
    qint16 shown_percent = -1;
    while (remaining != 0 && result.ok()) {
      if (cancel_now()) return stop_for_user();
      QByteArray pieces;
      const bool read = trap.Do(remaining > kPieceBytes ? 136 : 140, [&] {
        pieces = take_pieces(std::min<qint64>(remaining, kPieceBytes),
                             remaining, false);
      });
      if (cancel_now()) return stop_for_user();
      if (!read) {
        result = {read_failure()};
        break;
      }
      for (qsizetype done = 0; done < pieces.size(); done += kPieceBytes) {
        remaining -= std::min<qsizetype>(kPieceBytes, pieces.size() - done);
        const qint16 percent = PercentDone(*length, *length - remaining);
        if (percent == shown_percent) continue;
        shown_percent = percent;
        trap.Do(148, [&] {
          status_.SetCaption(QStringLiteral("Downloading ") + address +
                             QStringLiteral("...") + QString::number(percent) +
                             QStringLiteral(" % Downloaded"));
        });
      }
      if (!write_pieces(pieces)) result = {file->errorString()};
      pump.Yield();
    }
  } else if (open && reply) {
    // No usable length: the body is read to its end, in the same pieces.
    while (result.ok()) {
      if (cancel_now()) return stop_for_user();
      QByteArray pieces;
      const bool read = trap.Do(
          136, [&] { pieces = take_pieces(kPieceBytes, kBatchBytes, true); });
      if (cancel_now()) return stop_for_user();
      if (!read) {
        result = {read_failure()};
        break;
      }
      if (pieces.isEmpty()) break;  // the end of the body
      if (!write_pieces(pieces)) result = {file->errorString()};
      pump.Yield();
    }
  }

  // A body that needed no read (a length of 0) may still stand for a
  // failure: a redirect refused or gone wrong, a connection that broke.
  if (open && reply && result.ok()) {
    pump.WaitUntil([&] { return cancel_now() || reply->isFinished(); });
    if (cancel_now()) return stop_for_user();
    if (reply->error() != QNetworkReply::NoError) {
      result = {read_failure()};
      trap.Do(136, [&] { Raise(result.failure); });
    }
  }
  if (open) {
    if (result.ok()) {
      trap.Do(152, [&] {
        if (!file->Commit()) {
          result = {file->errorString()};
          Raise(file->errorString());
        }
      });
    } else {
      file->Cancel();
    }
  }
  trap.Do(154, [&] { status_.SetCaption(StatusLine::kIdleCaption); });
  return result;
}

}  // namespace trawlbox
