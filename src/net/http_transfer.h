#ifndef TRAWLBOX_NET_HTTP_TRANSFER_H_
#define TRAWLBOX_NET_HTTP_TRANSFER_H_

#include <QByteArray>
#include <QDateTime>
#include <QtGlobal>
#include <functional>
#include <optional>

#include "net/response.h"

namespace trawlbox {

// One request under way. Its owner holds it; dropping it ends the request.
class HttpTransfer {
 public:
  enum class Take { kTaken, kPause, kAbort };
  // Gets each body piece as it arrives. Called from inside the event loop's
  // socket handling: it must not let events run, show boxes, touch the
  // engine or end its own transfer (answer kAbort instead).
  // kPause: the piece was NOT taken; the transfer pauses and the same bytes
  // come again after Resume(). kAbort: the transfer fails as "Aborted"; the
  // sink knows why.
  using Sink = std::function<Take(const char* data, qsizetype size)>;

  // The most a sink is handed at once.
  static constexpr qsizetype kMaxPieceBytes = 256 * 1024;

  virtual ~HttpTransfer() = default;

  // The final answer's head has arrived (or the transfer finished).
  virtual bool head_in() const = 0;
  // The final answer's head so far; whole once head_in().
  virtual const Response& head() const = 0;
  virtual bool finished() const = 0;
  // What the request came to; only once finished().
  virtual const Answer& answer() const = 0;
  // Bytes the sink has taken.
  virtual qint64 body_bytes() const = 0;
  // The sink answered kPause and Resume() has not been called since.
  virtual bool paused() const = 0;

  // Runs once when the transfer ends by itself, not when its owner cancels
  // it or the engine goes; outside any libcurl call. It must not let events
  // run or end this transfer.
  virtual void set_on_finished(std::function<void()> on_finished) = 0;
  // After the sink answered kPause.
  virtual void Resume() = 0;
  // Ends at once as "Cancelled"; finished() is true afterwards.
  virtual void Cancel() = 0;
};

// What a GET asks beyond its address. Left as it is, nothing: the request
// is the plain one.
struct RequestOptions {
  // The body from this byte on ("Range: bytes=N-"); 0 asks for all of it.
  qint64 from_byte = 0;
  // With a range, "If-Range": the validator of the copy the range goes on
  // with (a strong ETag, or a Last-Modified as the server wrote it), so that
  // a file that changed meanwhile comes whole instead.
  QByteArray if_range = {};
  // "If-Modified-Since": the time of the copy at hand; a 304 then says it
  // is still the file.
  std::optional<QDateTime> if_modified_since = std::nullopt;
  // "If-None-Match": the ETag of the copy at hand.
  QByteArray if_none_match = {};

  // Whether a 304 may answer the request.
  bool conditional() const {
    return if_modified_since.has_value() || !if_none_match.isEmpty();
  }
};

}  // namespace trawlbox

#endif  // TRAWLBOX_NET_HTTP_TRANSFER_H_
