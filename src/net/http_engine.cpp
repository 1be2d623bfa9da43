#include "net/http_engine.h"

#include <QFile>
#include <QTimer>
#include <algorithm>
#include <set>

#include "net/curl_failure.h"
#include "net/curl_multi_loop.h"
#include "net/engine_transfer.h"
#include "net/url.h"

namespace trawlbox {
namespace {

static_assert(HttpTransfer::kMaxPieceBytes <= CURL_MAX_READ_SIZE);

// What is read of a redirect's or an error page's body, which nobody sees,
// before the connection is given up instead of drained for reuse.
constexpr qint64 kDiscardLimit = 64 * 1024;

}  // namespace

class HttpEngine::Impl {
 public:
  using Phase = Transfer::Phase;

  Impl()
      : loop_([this](CURL* easy, CURLcode result) { OnDone(easy, result); },
              [this](CURL* easy, const Status& failure) {
                OnFault(easy, failure);
              }) {
    // Bodies reach the sink as the server stored them, so the length it
    // announces counts the bytes we hand on.
    headers_ = curl_slist_append(nullptr, "Accept-Encoding: identity");
    loop_.SetMaxHostConnections(kDefaultConnections, kDefaultStreams);
  }
  ~Impl() {
    while (!running_.empty()) {
      Transfer& transfer = **running_.begin();
      transfer.on_finished = nullptr;
      Finish(transfer, Status::Failure(QStringLiteral("Cancelled")));
    }
    curl_slist_free_all(headers_);
  }

  void Start(Transfer& transfer, const QString& address);
  // The one place a transfer ends.
  void Finish(Transfer& transfer, Answer outcome);
  void Resume(Transfer& transfer);

  int stall_ms_ = kStallTimeoutMs;
  QByteArray ca_file_;
  CurlMultiLoop loop_;

 private:
  static size_t OnHeader(char* data, size_t size, size_t count, void* request);
  static size_t OnBody(char* data, size_t size, size_t count, void* request);

  bool Configure(CurlRequest& request, const QByteArray& address,
                 bool head_only);
  bool AskAlso(CurlRequest& request, const RequestOptions& options);
  void OnDone(CURL* easy, CURLcode result);
  static Answer Completed(Transfer& transfer);
  void OnFault(CURL* easy, const Status& failure);
  void FollowRedirect(Transfer& transfer);
  void OnStallCheck(Transfer& transfer);
  static Status Aborted() { return Status::Failure(QStringLiteral("Aborted")); }

  curl_slist* headers_ = nullptr;
  std::set<Transfer*> running_;
};

void HttpEngine::Transfer::Resume() {
  if (engine != nullptr) engine->Resume(*this);
}

void HttpEngine::Transfer::Cancel() {
  if (engine != nullptr) {
    on_finished = nullptr;
    engine->Finish(*this, Status::Failure(QStringLiteral("Cancelled")));
  }
}

// HttpEngine -----------------------------------------------------------------

HttpEngine::HttpEngine() : impl_(std::make_unique<Impl>()) {}
HttpEngine::~HttpEngine() = default;

std::unique_ptr<HttpTransfer> HttpEngine::Get(const QString& address,
                                              const RequestOptions& options,
                                              HttpTransfer::Sink sink) {
  auto transfer = std::make_unique<Transfer>(std::move(sink), false, options);
  impl_->Start(*transfer, address);
  return transfer;
}

std::unique_ptr<HttpTransfer> HttpEngine::Head(const QString& address) {
  auto transfer = std::make_unique<Transfer>(nullptr, true, RequestOptions());
  impl_->Start(*transfer, address);
  return transfer;
}

void HttpEngine::set_stall_timeout_ms(int ms) { impl_->stall_ms_ = ms; }

void HttpEngine::set_connections(int count, int streams) {
  impl_->loop_.SetMaxHostConnections(std::clamp(count, 1, kMaxConnections),
                                     std::max(streams, 1));
}

void HttpEngine::set_ca_file(const QString& path) {
  impl_->ca_file_ = QFile::encodeName(path);
}

qint64 HttpEngine::wakeups() const { return impl_->loop_.wakeups(); }

// HttpEngine::Impl -----------------------------------------------------------

void HttpEngine::Impl::Start(Transfer& transfer, const QString& address) {
  transfer.engine = this;
  running_.insert(&transfer);
  transfer.response.final_address = address;
  transfer.stall_ms = stall_ms_;

  transfer.stall_timer.setSingleShot(true);
  QObject::connect(&transfer.stall_timer, &QTimer::timeout,
                   [this, &transfer] { OnStallCheck(transfer); });
  transfer.since_data.start();
  transfer.stall_timer.start(transfer.stall_ms);

  transfer.request = std::make_unique<CurlRequest>();
  transfer.request->owner = &transfer;
  if (transfer.request->easy == nullptr ||
      !Configure(*transfer.request, EncodeAddress(address),
                 transfer.head_only) ||
      !AskAlso(*transfer.request, transfer.options)) {
    Finish(transfer,
           Status::Failure(
               QStringLiteral("Cannot start a transfer for %1").arg(address)));
    return;
  }
  loop_.Add(transfer.request->easy);
}

bool HttpEngine::Impl::Configure(CurlRequest& request,
                                 const QByteArray& address, bool head_only) {
  CURL* const easy = request.easy;
  bool ok =
      curl_easy_setopt(easy, CURLOPT_URL, address.constData()) == CURLE_OK;
  const auto set = [&](CURLoption option, auto value) {
    ok = ok && curl_easy_setopt(easy, option, value) == CURLE_OK;
  };
  set(CURLOPT_PRIVATE, &request);
  if (head_only) set(CURLOPT_NOBODY, 1L);
  set(CURLOPT_ERRORBUFFER, request.error);
  set(CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
  set(CURLOPT_HEADERDATA, &request);
  set(CURLOPT_WRITEFUNCTION, &Impl::OnBody);
  set(CURLOPT_WRITEDATA, &request);
  // Large pieces: a big file then costs a few thousand reads and sink calls
  // per gigabyte rather than sixty thousand.
  set(CURLOPT_BUFFERSIZE, static_cast<long>(HttpTransfer::kMaxPieceBytes));
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  // Redirects are ours to follow: each hop is checked against the rules
  // before it is taken.
  set(CURLOPT_FOLLOWLOCATION, 0L);
  set(CURLOPT_USERAGENT, "Trawlbox Harvester");
  set(CURLOPT_HTTPHEADER, headers_);
  set(CURLOPT_HTTP_CONTENT_DECODING, 0L);
  // HTTP/2 where an https server offers it in the handshake, HTTP/1.1
  // otherwise; never an upgrade of plain http. A secure request waits for
  // the host's connection to tell whether it multiplexes rather than open
  // one of its own; a plain one would wait for that connection to be free.
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
  if (address.startsWith("https:")) set(CURLOPT_PIPEWAIT, 1L);
  // A proxy's "200 Connection established" is not the server's answer.
  set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(stall_ms_));
  set(CURLOPT_SSL_VERIFYPEER, 1L);
  set(CURLOPT_SSL_VERIFYHOST, 2L);
  if (!ca_file_.isEmpty()) {
    set(CURLOPT_CAINFO, ca_file_.constData());
    set(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
  }
  return ok;
}

// What a request asks beyond the plain GET: a range, and the headers that
// make it or the whole request conditional. Dates are written by libcurl. A
// plain request is left exactly as Configure made it.
bool HttpEngine::Impl::AskAlso(CurlRequest& request,
                               const RequestOptions& options) {
  CURL* const easy = request.easy;
  bool ok = true;
  const auto set = [&](CURLoption option, auto value) {
    ok = ok && curl_easy_setopt(easy, option, value) == CURLE_OK;
  };
  QList<QByteArray> extra;
  if (options.from_byte > 0) {
    set(CURLOPT_RANGE,
        (QByteArray::number(options.from_byte) + '-').constData());
    if (!options.if_range.isEmpty() && IsHeaderValue(options.if_range)) {
      extra << "If-Range: " + options.if_range;
    }
  }
  if (options.if_modified_since) {
    set(CURLOPT_TIMECONDITION, static_cast<long>(CURL_TIMECOND_IFMODSINCE));
    set(CURLOPT_TIMEVALUE_LARGE,
        static_cast<curl_off_t>(options.if_modified_since->toSecsSinceEpoch()));
  }
  if (!options.if_none_match.isEmpty() &&
      IsHeaderValue(options.if_none_match)) {
    extra << "If-None-Match: " + options.if_none_match;
  }
  if (extra.isEmpty()) return ok;
  // The engine's own headers, then the request's.
  for (const curl_slist* line = headers_; line != nullptr; line = line->next) {
    request.headers = curl_slist_append(request.headers, line->data);
  }
  for (const QByteArray& line : extra) {
    request.headers = curl_slist_append(request.headers, line.constData());
  }
  set(CURLOPT_HTTPHEADER, request.headers);
  return ok && request.headers != nullptr;
}

// The one place a transfer ends: its request goes back to the loop, which
// frees it once libcurl lets go, and the engine forgets it.
void HttpEngine::Impl::Finish(Transfer& transfer, Answer outcome) {
  if (transfer.engine == nullptr) return;
  transfer.phase = Phase::kFinished;
  transfer.outcome =
      outcome.ok() ? std::move(outcome) : WithoutPasswords(outcome.status());
  transfer.stall_timer.stop();
  if (transfer.request) {
    transfer.request->owner = nullptr;
    loop_.Dispose(std::move(transfer.request));
  }
  transfer.engine = nullptr;
  running_.erase(&transfer);
  if (const std::function<void()> finished = std::move(transfer.on_finished)) {
    transfer.on_finished = nullptr;
    finished();
  }
}

void HttpEngine::Impl::Resume(Transfer& transfer) {
  if (transfer.phase != Phase::kPaused) return;
  transfer.phase = Phase::kBody;
  transfer.since_data.restart();
  transfer.stall_timer.start(transfer.stall_ms);
  loop_.Resume(transfer.request->easy);
}

void HttpEngine::Impl::OnFault(CURL* easy, const Status& failure) {
  if (easy == nullptr) {
    while (!running_.empty()) Finish(**running_.begin(), failure);
    return;
  }
  Transfer* const transfer = Transfer::OfEasy(easy);
  if (transfer == nullptr) return;
  // The sink may turn the piece down for good as it comes again; libcurl
  // then leaves the transfer where it was, so it ends here.
  Finish(*transfer, transfer->phase == Phase::kAborted ? Aborted() : failure);
}

void HttpEngine::Impl::OnStallCheck(Transfer& transfer) {
  if (transfer.finished() || transfer.phase == Phase::kPaused) return;
  const qint64 idle = transfer.since_data.elapsed();
  if (idle < transfer.stall_ms || loop_.busy()) {
    transfer.stall_timer.start(
        static_cast<int>(qMax<qint64>(1, transfer.stall_ms - idle)));
    return;
  }
  Finish(transfer, Status::Transient(StallText(transfer.stall_ms)));
}

size_t HttpEngine::Impl::OnHeader(char* data, size_t size, size_t count,
                                  void* request) {
  const size_t length = size * count;
  Transfer* const transfer = Transfer::OfRequest(request);
  if (transfer == nullptr) return 0;
  transfer->since_data.restart();
  Response& head = transfer->response;
  const QByteArrayView line(data, static_cast<qsizetype>(length));
  // Trailers after a chunked body change nothing.
  if (!line.startsWith("HTTP/") && transfer->phase != Phase::kHead) {
    return length;
  }
  switch (ReadHeadLine(line, head)) {
    case HeadLine::kStatus:
      transfer->phase = Phase::kHead;
      break;
    case HeadLine::kEnd:
      switch (AfterHeadOf(head.status, transfer->options.conditional())) {
        case AfterHead::kAnotherHead:
          transfer->phase = Phase::kWaiting;
          break;
        case AfterHead::kBody:
          transfer->phase = Phase::kBody;
          break;
        case AfterHead::kRedirect:
          transfer->phase = Phase::kRedirect;
          break;
        case AfterHead::kUnreadBody:
          transfer->phase = Phase::kErrorBody;
          break;
      }
      break;
    case HeadLine::kField:
      break;
  }
  return length;
}

size_t HttpEngine::Impl::OnBody(char* data, size_t size, size_t count,
                                void* request) {
  const size_t length = size * count;
  Transfer* const transfer = Transfer::OfRequest(request);
  if (transfer == nullptr || length == 0) return 0;
  transfer->since_data.restart();
  if (transfer->phase == Phase::kRedirect ||
      transfer->phase == Phase::kErrorBody) {
    transfer->discarded += static_cast<qint64>(length);
    return transfer->discarded > kDiscardLimit ? 0 : length;
  }
  // Past the pass's share the piece waits, paused, for the next turn of
  // the event loop, which hands it over again. Not over HTTP/2: a paused
  // stream goes on filling memory of libcurl's, up to its whole window.
  CURL* const easy = static_cast<CurlRequest*>(request)->easy;
  if (transfer->response.protocol.startsWith("HTTP/1") &&
      !transfer->engine->loop_.Admit(easy, static_cast<qint64>(length))) {
    return CURL_WRITEFUNC_PAUSE;
  }
  const HttpTransfer::Take take =
      transfer->sink(data, static_cast<qsizetype>(length));
  // A sink that broke the rules and ended its transfer.
  if (Transfer::OfRequest(request) == nullptr) return 0;
  switch (take) {
    case HttpTransfer::Take::kTaken:
      transfer->body_bytes_taken += static_cast<qint64>(length);
      return length;
    case HttpTransfer::Take::kPause:
      transfer->phase = Phase::kPaused;
      return CURL_WRITEFUNC_PAUSE;
    case HttpTransfer::Take::kAbort:
      transfer->phase = Phase::kAborted;
      return 0;
  }
  return 0;
}

void HttpEngine::Impl::OnDone(CURL* easy, CURLcode result) {
  Transfer* const found = Transfer::OfEasy(easy);
  // A request whose transfer ended already waits to be disposed of.
  if (found == nullptr) return;
  Transfer& transfer = *found;
  switch (transfer.phase) {
    case Phase::kAborted:
      Finish(transfer, Aborted());
      return;
    // Whether or not the unread body came in whole.
    case Phase::kRedirect:
      FollowRedirect(transfer);
      return;
    case Phase::kErrorBody:
      Finish(transfer, transfer.response);
      return;
    default:
      break;
  }
  if (result == CURLE_PARTIAL_FILE) {
    curl_off_t received = 0;
    curl_off_t announced = -1;
    curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &received);
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    Finish(transfer, ShortBodyFailure(received, announced, transfer.response));
    return;
  }
  if (result != CURLE_OK) {
    Finish(transfer, CurlFailure(result, transfer.request->error));
    return;
  }
  Finish(transfer, Completed(transfer));
}

// What a transfer libcurl ended without fault came to: its answer, unless
// the connection cut the head or the body short.
Answer HttpEngine::Impl::Completed(Transfer& transfer) {
  // libcurl takes a connection that closed inside the head for a whole
  // answer with no body: its head never ended, and its body never began.
  if (!transfer.head_complete()) {
    return Status::Transient(
        QStringLiteral("The connection closed inside the response head"));
  }
  if (!transfer.head_only && BeyondAnyBody(transfer.response.content_length)) {
    return Status::Failure(ShortBodyText(transfer.body_bytes_taken,
                                         transfer.response.content_length));
  }
  // A server that ignored If-Modified-Since sent a file no newer than the
  // copy at hand: libcurl drops its body and ends the transfer as a 304
  // would.
  long unmet = 0;
  curl_easy_getinfo(transfer.request->easy, CURLINFO_CONDITION_UNMET, &unmet);
  if (unmet != 0 && transfer.options.conditional()) {
    transfer.response.status = 304;
    transfer.response.reason = "Not Modified";
  }
  return transfer.response;
}

void HttpEngine::Impl::FollowRedirect(Transfer& transfer) {
  CURL* const easy = transfer.request->easy;
  const char* raw_target = nullptr;
  const char* raw_current = nullptr;
  curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &raw_target);
  curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &raw_current);
  const QByteArray target(raw_target);
  const Result<QByteArray> next =
      FollowedRedirect(transfer.response, QByteArray(raw_current), target,
                       transfer.redirects, HttpEngine::kMaxRedirects);
  if (!next.ok()) {
    Finish(transfer, next.status());
    return;
  }
  transfer.StartOver(QString::fromUtf8(next.value()));
  loop_.Remove(easy);
  // A multi handle that refused the removal has ended the transfer, and
  // the handle is gone with it.
  if (transfer.finished()) return;
  if (curl_easy_setopt(easy, CURLOPT_URL, next.value().constData()) !=
      CURLE_OK) {
    Finish(transfer,
           Status::Failure(QStringLiteral("Cannot follow the redirect to %1")
                               .arg(QString::fromUtf8(target))));
    return;
  }
  loop_.Add(easy);
}

}  // namespace trawlbox
