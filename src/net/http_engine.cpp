#include "net/http_engine.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <set>

#include "net/curl_multi_loop.h"
#include "net/url.h"

namespace trawlbox {
namespace {

static_assert(HttpTransfer::kMaxPieceBytes <= CURL_MAX_READ_SIZE);

// What is read of a redirect's or an error page's body, which nobody sees,
// before the connection is given up instead of drained for reuse.
constexpr qint64 kDiscardLimit = 64 * 1024;

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

// A length libcurl's 64-bit counter cannot hold: it then reads to the end of
// the connection, and such a body can never be whole.
bool BeyondAnyBody(const QByteArray& length) {
  if (length.isEmpty()) return false;
  qsizetype first = 0;
  for (qsizetype i = 0; i < length.size(); ++i) {
    if (length[i] < '0' || length[i] > '9') return false;
    if (length[i] == '0' && first == i) ++first;
  }
  return length.size() - first > 18;
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

// What a flaky link or a busy server causes, and another try may not meet.
bool IsTransientCode(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_OPERATION_TIMEDOUT:
      return true;
    default:
      return false;
  }
}

QString SchemeOf(const QByteArray& address) {
  return QUrl(QString::fromUtf8(address)).scheme().toLower();
}

}  // namespace

struct HttpTransfer::Job {
  // Where the transfer stands. Each answer it reads goes from kWaiting
  // through kHead; a redirect or a 1xx answer starts another.
  enum class Phase {
    kWaiting,    // for an answer's first line
    kHead,       // reading an answer's head
    kBody,       // a final head is in; its body goes to the sink
    kPaused,     // the sink could not take a piece yet
    kAborted,    // the sink refused a piece; libcurl is ending the transfer
    kRedirect,   // a redirect's head is in; its body is drained
    kErrorBody,  // an error's head is in; its body is drained
    kFinished,
  };

  // The engine while the transfer runs: it knows the job as long as the job
  // knows it.
  HttpEngine::Impl* engine = nullptr;
  Sink sink;
  bool head_only = false;
  // The libcurl side, while the request runs.
  std::unique_ptr<CurlRequest> request;

  Phase phase = Phase::kWaiting;
  HttpHead head;  // of the answer being read; the final one once head_in()
  qint64 discarded = 0;
  qint64 body_bytes = 0;
  int redirects = 0;
  bool transient = false;
  QString failure;
  QString abort_reason;
  QString final_address;
  std::function<void()> on_finished;

  int stall_ms = HttpEngine::kStallTimeoutMs;
  QElapsedTimer since_data;
  QTimer stall_timer;

  bool head_in() const {
    return phase != Phase::kWaiting && phase != Phase::kHead &&
           phase != Phase::kRedirect;
  }
  bool head_complete() const {
    return phase != Phase::kWaiting && phase != Phase::kHead;
  }
  bool finished() const { return phase == Phase::kFinished; }
};

class HttpEngine::Impl {
 public:
  using Job = HttpTransfer::Job;
  using Phase = Job::Phase;

  Impl()
      : loop_([this](CURL* easy, CURLcode result) { OnDone(easy, result); },
              [this](CURL* easy, const QString& reason) {
                OnFault(easy, reason);
              }) {
    // Bodies reach the sink as the server stored them, so the length it
    // announces counts the bytes we hand on.
    headers_ = curl_slist_append(nullptr, "Accept-Encoding: identity");
    loop_.SetMaxHostConnections(connections_);
  }
  ~Impl() {
    while (!jobs_.empty()) {
      Job& job = **jobs_.begin();
      job.on_finished = nullptr;
      Finish(job, QStringLiteral("Cancelled"));
    }
    curl_slist_free_all(headers_);
  }

  void Start(Job& job, const QString& address);
  void Finish(Job& job, const QString& failure, bool transient = false);
  void Resume(Job& job);

  int stall_ms_ = kStallTimeoutMs;
  int connections_ = kDefaultConnections;
  RetryPolicy retry_policy_;
  QByteArray ca_file_;
  CurlMultiLoop loop_;

 private:
  static size_t OnHeader(char* data, size_t size, size_t count, void* job);
  static size_t OnBody(char* data, size_t size, size_t count, void* job);
  static Job* JobOfRequest(void* request) {
    return static_cast<Job*>(static_cast<CurlRequest*>(request)->owner);
  }
  static Job* JobOfEasy(CURL* easy) {
    CurlRequest* request = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIVATE, &request);
    return request == nullptr ? nullptr : static_cast<Job*>(request->owner);
  }

  bool Configure(CurlRequest& request, const QByteArray& address,
                 bool head_only);
  void OnDone(CURL* easy, CURLcode result);
  void OnFault(CURL* easy, const QString& reason);
  void FollowRedirect(Job& job);
  void OnStallCheck(Job& job);
  static QString AbortText(const Job& job) {
    return job.abort_reason.isEmpty() ? QStringLiteral("Aborted")
                                      : job.abort_reason;
  }

  curl_slist* headers_ = nullptr;
  std::set<Job*> jobs_;  // those running
};

// HttpTransfer ---------------------------------------------------------------

HttpTransfer::HttpTransfer(std::unique_ptr<Job> job) : job_(std::move(job)) {}

HttpTransfer::~HttpTransfer() { Cancel(); }

bool HttpTransfer::head_in() const { return job_->head_in(); }
const HttpHead& HttpTransfer::head() const { return job_->head; }
bool HttpTransfer::finished() const { return job_->finished(); }
const QString& HttpTransfer::failure() const { return job_->failure; }
bool HttpTransfer::transient() const { return job_->transient; }
qint64 HttpTransfer::body_bytes() const { return job_->body_bytes; }
const QString& HttpTransfer::final_address() const {
  return job_->final_address;
}
bool HttpTransfer::paused() const { return job_->phase == Job::Phase::kPaused; }

void HttpTransfer::SetAbortReason(const QString& reason) {
  job_->abort_reason = reason;
}

void HttpTransfer::Resume() {
  if (job_->engine != nullptr) job_->engine->Resume(*job_);
}

void HttpTransfer::set_on_finished(std::function<void()> on_finished) {
  job_->on_finished = std::move(on_finished);
}

void HttpTransfer::Cancel() {
  if (job_->engine != nullptr) {
    job_->on_finished = nullptr;
    job_->engine->Finish(*job_, QStringLiteral("Cancelled"));
  }
}

// HttpEngine -----------------------------------------------------------------

HttpEngine::HttpEngine() : impl_(std::make_unique<Impl>()) {}
HttpEngine::~HttpEngine() = default;

std::unique_ptr<HttpTransfer> HttpEngine::Get(const QString& address,
                                              HttpTransfer::Sink sink) {
  auto job = std::make_unique<HttpTransfer::Job>();
  job->sink = std::move(sink);
  std::unique_ptr<HttpTransfer> transfer(new HttpTransfer(std::move(job)));
  impl_->Start(*transfer->job_, address);
  return transfer;
}

std::unique_ptr<HttpTransfer> HttpEngine::Head(const QString& address) {
  auto job = std::make_unique<HttpTransfer::Job>();
  job->head_only = true;
  std::unique_ptr<HttpTransfer> transfer(new HttpTransfer(std::move(job)));
  impl_->Start(*transfer->job_, address);
  return transfer;
}

void HttpEngine::set_stall_timeout_ms(int ms) { impl_->stall_ms_ = ms; }

const RetryPolicy& HttpEngine::retry_policy() const {
  return impl_->retry_policy_;
}

void HttpEngine::set_retry_policy(const RetryPolicy& policy) {
  impl_->retry_policy_ = policy;
}

int HttpEngine::connections() const { return impl_->connections_; }

void HttpEngine::set_connections(int count) {
  impl_->connections_ = std::clamp(count, 1, kMaxConnections);
  impl_->loop_.SetMaxHostConnections(impl_->connections_);
}

void HttpEngine::set_ca_file(const QString& path) {
  impl_->ca_file_ = QFile::encodeName(path);
}

qint64 HttpEngine::wakeups() const { return impl_->loop_.wakeups(); }

// HttpEngine::Impl -----------------------------------------------------------

void HttpEngine::Impl::Start(Job& job, const QString& address) {
  job.engine = this;
  jobs_.insert(&job);
  job.final_address = address;
  job.stall_ms = stall_ms_;

  job.stall_timer.setSingleShot(true);
  QObject::connect(&job.stall_timer, &QTimer::timeout,
                   [this, &job] { OnStallCheck(job); });
  job.since_data.start();
  job.stall_timer.start(job.stall_ms);

  job.request = std::make_unique<CurlRequest>();
  job.request->owner = &job;
  if (job.request->easy == nullptr ||
      !Configure(*job.request, EncodeAddress(address), job.head_only)) {
    Finish(job, QStringLiteral("Cannot start a transfer for %1").arg(address));
    return;
  }
  loop_.Add(job.request->easy);
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
  // HTTP/2 would let libcurl buffer a whole stream window behind a paused
  // transfer; HTTP/1.1 stops at the one piece it handed over.
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
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

// The one place a transfer ends: its request goes back to the loop, which
// frees it once libcurl lets go, and the engine forgets the job.
void HttpEngine::Impl::Finish(Job& job, const QString& failure,
                              bool transient) {
  if (job.engine == nullptr) return;
  job.phase = Phase::kFinished;
  job.failure = failure;
  job.transient = transient;
  job.stall_timer.stop();
  if (job.request) {
    job.request->owner = nullptr;
    loop_.Dispose(std::move(job.request));
  }
  job.engine = nullptr;
  jobs_.erase(&job);
  if (const std::function<void()> finished = std::move(job.on_finished)) {
    job.on_finished = nullptr;
    finished();
  }
}

void HttpEngine::Impl::Resume(Job& job) {
  if (job.phase != Phase::kPaused) return;
  job.phase = Phase::kBody;
  job.since_data.restart();
  job.stall_timer.start(job.stall_ms);
  loop_.Resume(job.request->easy);
}

void HttpEngine::Impl::OnFault(CURL* easy, const QString& reason) {
  if (easy == nullptr) {
    while (!jobs_.empty()) Finish(**jobs_.begin(), reason);
    return;
  }
  Job* const job = JobOfEasy(easy);
  if (job == nullptr) return;
  // The sink may turn the piece down for good as it comes again; libcurl
  // then leaves the transfer where it was, so it ends here.
  Finish(*job, job->phase == Phase::kAborted ? AbortText(*job) : reason);
}

void HttpEngine::Impl::OnStallCheck(Job& job) {
  if (job.finished() || job.phase == Phase::kPaused) return;
  const qint64 idle = job.since_data.elapsed();
  if (idle < job.stall_ms || loop_.busy()) {
    job.stall_timer.start(
        static_cast<int>(qMax<qint64>(1, job.stall_ms - idle)));
    return;
  }
  Finish(job, StallText(job.stall_ms), true);
}

size_t HttpEngine::Impl::OnHeader(char* data, size_t size, size_t count,
                                  void* request) {
  const size_t length = size * count;
  Job* const job = JobOfRequest(request);
  if (job == nullptr) return 0;
  job->since_data.restart();
  const QByteArrayView line(data, static_cast<qsizetype>(length));
  if (line.startsWith("HTTP/")) {
    // "HTTP/1.1 404 Not Found": a new answer, after a 1xx or the first.
    const qsizetype code_at = line.indexOf(' ');
    const QByteArrayView rest =
        code_at < 0 ? QByteArrayView() : line.sliced(code_at + 1);
    const qsizetype reason_at = rest.indexOf(' ');
    job->head = HttpHead();
    job->head.status =
        (reason_at < 0 ? rest : rest.first(reason_at)).trimmed().toInt();
    if (reason_at >= 0) {
      job->head.reason = rest.sliced(reason_at + 1).trimmed().toByteArray();
    }
    job->phase = Phase::kHead;
    return length;
  }
  // Trailers after a chunked body change nothing.
  if (job->phase != Phase::kHead) return length;
  const QByteArrayView trimmed = line.trimmed();
  if (trimmed.isEmpty()) {
    const int status = job->head.status;
    if (status < 200) {
      job->phase = Phase::kWaiting;  // an interim answer; another follows
    } else if (status < 300) {
      job->phase = Phase::kBody;
    } else {
      // The bodies of redirects and error pages are no one's business.
      job->phase = status < 400 ? Phase::kRedirect : Phase::kErrorBody;
    }
    return length;
  }
  const qsizetype colon = trimmed.indexOf(':');
  if (colon <= 0) return length;
  const QByteArrayView name = trimmed.first(colon).trimmed();
  const QByteArray value = trimmed.sliced(colon + 1).trimmed().toByteArray();
  if (name.compare("Content-Type", Qt::CaseInsensitive) == 0) {
    job->head.content_type = value;
  } else if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
    job->head.content_length = value;
  } else if (name.compare("Retry-After", Qt::CaseInsensitive) == 0) {
    job->head.retry_after = value;
  }
  return length;
}

size_t HttpEngine::Impl::OnBody(char* data, size_t size, size_t count,
                                void* request) {
  const size_t length = size * count;
  Job* const job = JobOfRequest(request);
  if (job == nullptr || length == 0) return 0;
  job->since_data.restart();
  if (job->phase == Phase::kRedirect || job->phase == Phase::kErrorBody) {
    job->discarded += static_cast<qint64>(length);
    return job->discarded > kDiscardLimit ? 0 : length;
  }
  const HttpTransfer::Take take =
      job->sink(data, static_cast<qsizetype>(length));
  // A sink that broke the rules and ended its transfer.
  if (JobOfRequest(request) == nullptr) return 0;
  switch (take) {
    case HttpTransfer::Take::kTaken:
      job->body_bytes += static_cast<qint64>(length);
      return length;
    case HttpTransfer::Take::kPause:
      job->phase = Phase::kPaused;
      return CURL_WRITEFUNC_PAUSE;
    case HttpTransfer::Take::kAbort:
      job->phase = Phase::kAborted;
      return 0;
  }
  return 0;
}

void HttpEngine::Impl::OnDone(CURL* easy, CURLcode result) {
  Job* const job_found = JobOfEasy(easy);
  // A request whose transfer ended already waits to be disposed of.
  if (job_found == nullptr) return;
  Job& job = *job_found;
  if (job.phase == Phase::kAborted) {
    Finish(job, AbortText(job));
    return;
  }
  const int status = job.head.status;
  // Whether or not the unread body came in whole.
  if (job.phase == Phase::kRedirect) {
    FollowRedirect(job);
    return;
  }
  if (job.phase == Phase::kErrorBody) {
    Finish(job,
           QStringLiteral("HTTP %1 %2")
               .arg(status)
               .arg(QString::fromUtf8(job.head.reason))
               .trimmed(),
           IsTransientStatus(status));
    return;
  }
  if (result == CURLE_PARTIAL_FILE) {
    curl_off_t received = 0;
    curl_off_t announced = -1;
    curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &received);
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    Finish(
        job,
        ShortBodyText(received, announced >= 0 ? QByteArray::number(announced)
                                               : job.head.content_length),
        true);
    return;
  }
  if (result != CURLE_OK) {
    Finish(job,
           job.request->error[0] != '\0'
               ? QString::fromUtf8(job.request->error).trimmed()
               : QString::fromUtf8(curl_easy_strerror(result)),
           IsTransientCode(result));
    return;
  }
  // libcurl takes a connection that closed inside the head for a whole
  // answer with no body: its head never ended, and its body never began.
  if (!job.head_complete()) {
    Finish(job,
           QStringLiteral("The connection closed inside the response head"),
           true);
    return;
  }
  if (!job.head_only && BeyondAnyBody(job.head.content_length)) {
    Finish(job, ShortBodyText(job.body_bytes, job.head.content_length));
    return;
  }
  Finish(job, QString());
}

void HttpEngine::Impl::FollowRedirect(Job& job) {
  CURL* const easy = job.request->easy;
  const char* raw_target = nullptr;
  const char* raw_current = nullptr;
  curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &raw_target);
  curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &raw_current);
  const QByteArray target(raw_target);
  const QByteArray current(raw_current);
  const QString http_text = QStringLiteral("HTTP %1 %2")
                                .arg(job.head.status)
                                .arg(QString::fromUtf8(job.head.reason))
                                .trimmed();
  if (target.isEmpty()) {
    Finish(job, http_text + QStringLiteral(" without a Location to follow"));
    return;
  }
  if (job.redirects >= HttpEngine::kMaxRedirects) {
    Finish(job, QStringLiteral("Too many redirects (more than %1)")
                    .arg(HttpEngine::kMaxRedirects));
    return;
  }
  const QString to = SchemeOf(target);
  const QString target_text = QString::fromUtf8(target);
  if (to != QLatin1String("http") && to != QLatin1String("https")) {
    Finish(job, QStringLiteral("Redirect to %1 refused: only http and https "
                               "addresses are followed")
                    .arg(target_text));
    return;
  }
  if (SchemeOf(current) == QLatin1String("https") &&
      to == QLatin1String("http")) {
    Finish(job, QStringLiteral("Redirect from https to http refused: %1")
                    .arg(target_text));
    return;
  }
  ++job.redirects;
  job.final_address = target_text;
  job.head = HttpHead();
  job.phase = Phase::kWaiting;
  job.discarded = 0;
  job.request->error[0] = '\0';
  loop_.Remove(easy);
  // A multi handle that refused the removal has ended the transfer, and
  // the handle is gone with it.
  if (job.finished()) return;
  if (curl_easy_setopt(easy, CURLOPT_URL, target.constData()) != CURLE_OK) {
    Finish(job,
           QStringLiteral("Cannot follow the redirect to %1").arg(target_text));
    return;
  }
  loop_.Add(easy);
}

}  // namespace trawlbox
