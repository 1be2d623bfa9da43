#include "core/http_engine.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QUrl>
#include <unordered_map>

#include "core/curl_multi_loop.h"
#include "core/url.h"

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
  // One easy handle and what its callbacks need. It can outlive its job: a
  // job that ends while libcurl is busy leaves the handle to be freed once
  // the call returns, and the callbacks see that `job` is gone.
  struct Slot {
    CURL* easy = nullptr;
    Job* job = nullptr;
    char error[CURL_ERROR_SIZE] = {};
  };

  HttpEngine::Impl* engine = nullptr;  // null once the engine is gone
  quint64 serial = 0;
  Sink sink;
  bool head_only = false;
  std::unique_ptr<Slot> slot;  // while the request runs

  // The response being read: after a redirect or a 1xx there is another.
  HttpHead response;
  bool reading_head = false;
  bool head_complete = false;
  bool discarding = false;
  qint64 discarded = 0;

  HttpHead head;
  bool head_in = false;
  bool finished = false;
  bool paused = false;
  bool aborted = false;
  bool transient = false;
  QString failure;
  QString abort_reason;
  QString final_address;
  qint64 body_bytes = 0;
  int redirects = 0;

  int stall_ms = HttpEngine::kStallTimeoutMs;
  QElapsedTimer since_data;
  QTimer stall_timer;
};

class HttpEngine::Impl {
 public:
  using Job = HttpTransfer::Job;
  using Slot = Job::Slot;

  Impl()
      : loop_([this](CURL* easy, CURLcode result) { OnDone(easy, result); }) {
    // Bodies reach the sink as the server stored them, so the length it
    // announces counts the bytes we hand on.
    headers_ = curl_slist_append(nullptr, "Accept-Encoding: identity");
  }
  ~Impl() {
    for (const auto& [serial, job] : live_) {
      if (!job->finished) Finish(*job, QStringLiteral("Cancelled"));
      job->engine = nullptr;
    }
    live_.clear();
    curl_slist_free_all(headers_);
  }

  void Start(Job& job, const QString& address);
  void Finish(Job& job, const QString& failure, bool transient = false);
  void Resume(Job& job);
  void Forget(Job& job) { live_.erase(job.serial); }

  int stall_ms_ = kStallTimeoutMs;
  RetryPolicy retry_policy_;
  QByteArray ca_file_;
  CurlMultiLoop loop_;

 private:
  static size_t OnHeader(char* data, size_t size, size_t count, void* slot);
  static size_t OnBody(char* data, size_t size, size_t count, void* slot);

  bool Configure(Slot& slot, const QByteArray& address);
  void Launch(Job& job);
  void Unpause(Job& job);
  void OnDone(CURL* easy, CURLcode result);
  void FollowRedirect(Job& job);
  void OnStallCheck(Job& job);
  void Release(Job& job);
  void Dispose(Slot* slot);
  static QString AbortText(const Job& job) {
    return job.abort_reason.isEmpty() ? QStringLiteral("Aborted")
                                      : job.abort_reason;
  }
  Job* Find(quint64 serial) const {
    const auto found = live_.find(serial);
    return found == live_.end() ? nullptr : found->second;
  }

  curl_slist* headers_ = nullptr;
  std::unordered_map<quint64, Job*> live_;
  quint64 next_serial_ = 1;
};

// HttpTransfer ---------------------------------------------------------------

HttpTransfer::HttpTransfer(std::unique_ptr<Job> job) : job_(std::move(job)) {}

HttpTransfer::~HttpTransfer() {
  if (job_->engine == nullptr) return;
  Cancel();
  job_->engine->Forget(*job_);
}

bool HttpTransfer::head_in() const { return job_->head_in; }
const HttpHead& HttpTransfer::head() const { return job_->head; }
bool HttpTransfer::finished() const { return job_->finished; }
const QString& HttpTransfer::failure() const { return job_->failure; }
bool HttpTransfer::transient() const { return job_->transient; }
qint64 HttpTransfer::body_bytes() const { return job_->body_bytes; }
const QString& HttpTransfer::final_address() const {
  return job_->final_address;
}
bool HttpTransfer::paused() const { return job_->paused; }

void HttpTransfer::SetAbortReason(const QString& reason) {
  job_->abort_reason = reason;
}

void HttpTransfer::Resume() {
  if (job_->engine != nullptr) job_->engine->Resume(*job_);
}

void HttpTransfer::Cancel() {
  if (job_->finished || job_->engine == nullptr) return;
  job_->engine->Finish(*job_, QStringLiteral("Cancelled"));
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

void HttpEngine::set_ca_file(const QString& path) {
  impl_->ca_file_ = QFile::encodeName(path);
}

qint64 HttpEngine::wakeups() const { return impl_->loop_.wakeups(); }

// HttpEngine::Impl -----------------------------------------------------------

void HttpEngine::Impl::Start(Job& job, const QString& address) {
  job.engine = this;
  job.serial = next_serial_++;
  job.final_address = address;
  job.stall_ms = stall_ms_;
  live_[job.serial] = &job;

  job.stall_timer.setSingleShot(true);
  QObject::connect(&job.stall_timer, &QTimer::timeout,
                   [this, &job] { OnStallCheck(job); });
  job.since_data.start();
  job.stall_timer.start(job.stall_ms);

  job.slot = std::make_unique<Slot>();
  job.slot->job = &job;
  job.slot->easy = curl_easy_init();
  if (job.slot->easy == nullptr ||
      !Configure(*job.slot, EncodeAddress(address))) {
    Finish(job, QStringLiteral("Cannot start a transfer for %1").arg(address));
    return;
  }
  if (loop_.busy()) {
    loop_.Later([this, serial = job.serial] {
      if (Job* later = Find(serial); later != nullptr && !later->finished) {
        Launch(*later);
      }
    });
    return;
  }
  Launch(job);
}

bool HttpEngine::Impl::Configure(Slot& slot, const QByteArray& address) {
  CURL* const easy = slot.easy;
  bool ok =
      curl_easy_setopt(easy, CURLOPT_URL, address.constData()) == CURLE_OK;
  const auto set = [&](CURLoption option, auto value) {
    ok = ok && curl_easy_setopt(easy, option, value) == CURLE_OK;
  };
  set(CURLOPT_PRIVATE, &slot);
  if (slot.job->head_only) set(CURLOPT_NOBODY, 1L);
  set(CURLOPT_ERRORBUFFER, slot.error);
  set(CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
  set(CURLOPT_HEADERDATA, &slot);
  set(CURLOPT_WRITEFUNCTION, &Impl::OnBody);
  set(CURLOPT_WRITEDATA, &slot);
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

void HttpEngine::Impl::Launch(Job& job) {
  const CURLMcode code = loop_.Add(job.slot->easy);
  if (code != CURLM_OK) {
    Finish(job, QString::fromUtf8(curl_multi_strerror(code)));
  }
}

void HttpEngine::Impl::Finish(Job& job, const QString& failure,
                              bool transient) {
  if (job.finished) return;
  job.finished = true;
  job.transient = transient;
  job.head_in = true;
  job.paused = false;
  job.failure = failure;
  job.stall_timer.stop();
  Release(job);
}

void HttpEngine::Impl::Release(Job& job) {
  if (!job.slot) return;
  Slot* const slot = job.slot.release();
  slot->job = nullptr;
  if (loop_.busy()) {
    loop_.Later([this, slot] { Dispose(slot); });
  } else {
    Dispose(slot);
  }
}

void HttpEngine::Impl::Dispose(Slot* slot) {
  // Removing a handle that was never added, or is already out, is harmless.
  loop_.Remove(slot->easy);
  curl_easy_cleanup(slot->easy);
  delete slot;
}

void HttpEngine::Impl::Resume(Job& job) {
  if (!job.paused || job.finished) return;
  job.paused = false;
  job.since_data.restart();
  job.stall_timer.start(job.stall_ms);
  if (!loop_.busy()) {
    Unpause(job);
    return;
  }
  loop_.Later([this, serial = job.serial] {
    if (Job* later = Find(serial); later != nullptr) Unpause(*later);
  });
}

void HttpEngine::Impl::Unpause(Job& job) {
  if (job.finished || !job.slot) return;
  const CURLcode code = loop_.Unpause(job.slot->easy);
  // The sink may turn the piece down for good as it comes again; libcurl
  // then leaves the transfer where it was, so it ends here.
  if (code != CURLE_OK && !job.finished) {
    Finish(job, job.aborted ? AbortText(job)
                            : QString::fromUtf8(curl_easy_strerror(code)));
  }
}

void HttpEngine::Impl::OnStallCheck(Job& job) {
  if (job.finished || job.paused) return;
  const qint64 idle = job.since_data.elapsed();
  if (idle < job.stall_ms || loop_.busy()) {
    job.stall_timer.start(
        static_cast<int>(qMax<qint64>(1, job.stall_ms - idle)));
    return;
  }
  Finish(job, StallText(job.stall_ms), true);
}

size_t HttpEngine::Impl::OnHeader(char* data, size_t size, size_t count,
                                  void* slot_data) {
  auto* slot = static_cast<Slot*>(slot_data);
  const size_t length = size * count;
  Job* const job = slot->job;
  if (job == nullptr) return 0;
  job->since_data.restart();
  const QByteArrayView line(data, static_cast<qsizetype>(length));
  if (line.startsWith("HTTP/")) {
    // "HTTP/1.1 404 Not Found": a new response, after a 1xx or the first.
    const qsizetype code_at = line.indexOf(' ');
    const QByteArrayView rest =
        code_at < 0 ? QByteArrayView() : line.sliced(code_at + 1);
    const qsizetype reason_at = rest.indexOf(' ');
    job->response = HttpHead();
    job->response.status =
        (reason_at < 0 ? rest : rest.first(reason_at)).trimmed().toInt();
    if (reason_at >= 0) {
      job->response.reason = rest.sliced(reason_at + 1).trimmed().toByteArray();
    }
    job->reading_head = true;
    return length;
  }
  // Trailers after a chunked body change nothing.
  if (!job->reading_head) return length;
  const QByteArrayView trimmed = line.trimmed();
  if (trimmed.isEmpty()) {
    job->reading_head = false;
    const int status = job->response.status;
    if (status < 200) return length;  // an interim answer; another follows
    job->head_complete = true;
    job->head = job->response;
    // The bodies of redirects and error pages are no one's business.
    job->discarding = status >= 300;
    if (status < 300 || status >= 400) job->head_in = true;
    return length;
  }
  const qsizetype colon = trimmed.indexOf(':');
  if (colon <= 0) return length;
  const QByteArrayView name = trimmed.first(colon).trimmed();
  const QByteArray value = trimmed.sliced(colon + 1).trimmed().toByteArray();
  if (name.compare("Content-Type", Qt::CaseInsensitive) == 0) {
    job->response.content_type = value;
  } else if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
    job->response.content_length = value;
  } else if (name.compare("Retry-After", Qt::CaseInsensitive) == 0) {
    job->response.retry_after = value;
  }
  return length;
}

size_t HttpEngine::Impl::OnBody(char* data, size_t size, size_t count,
                                void* slot_data) {
  auto* slot = static_cast<Slot*>(slot_data);
  const size_t length = size * count;
  Job* const job = slot->job;
  if (job == nullptr) return 0;
  if (length == 0) return 0;
  job->since_data.restart();
  if (job->discarding) {
    job->discarded += static_cast<qint64>(length);
    return job->discarded > kDiscardLimit ? 0 : length;
  }
  const HttpTransfer::Take take =
      job->sink(data, static_cast<qsizetype>(length));
  // A sink that broke the rules and ended its transfer.
  if (slot->job == nullptr) return 0;
  switch (take) {
    case HttpTransfer::Take::kTaken:
      job->body_bytes += static_cast<qint64>(length);
      return length;
    case HttpTransfer::Take::kPause:
      job->paused = true;
      return CURL_WRITEFUNC_PAUSE;
    case HttpTransfer::Take::kAbort:
      job->aborted = true;
      return 0;
  }
  return 0;
}

void HttpEngine::Impl::OnDone(CURL* easy, CURLcode result) {
  Slot* slot = nullptr;
  curl_easy_getinfo(easy, CURLINFO_PRIVATE, &slot);
  if (slot == nullptr || slot->job == nullptr) {
    loop_.Remove(easy);
    return;
  }
  Job& job = *slot->job;
  if (job.aborted) {
    Finish(job, AbortText(job));
    return;
  }
  if (job.head_complete) {
    const int status = job.head.status;
    // Whether or not the unread body came in whole.
    if (status >= 300 && status < 400) {
      FollowRedirect(job);
      return;
    }
    if (status >= 400) {
      Finish(job,
             QStringLiteral("HTTP %1 %2")
                 .arg(status)
                 .arg(QString::fromUtf8(job.head.reason))
                 .trimmed(),
             IsTransientStatus(status));
      return;
    }
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
           slot->error[0] != '\0'
               ? QString::fromUtf8(slot->error).trimmed()
               : QString::fromUtf8(curl_easy_strerror(result)),
           IsTransientCode(result));
    return;
  }
  // libcurl takes a connection that closed inside the head for a whole
  // answer with no body: its head never ended, and its body never began.
  if (!job.head_complete) {
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
  CURL* const easy = job.slot->easy;
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
  job.response = HttpHead();
  job.head = HttpHead();
  job.reading_head = false;
  job.head_complete = false;
  job.discarding = false;
  job.discarded = 0;
  job.slot->error[0] = '\0';
  loop_.Remove(easy);
  if (curl_easy_setopt(easy, CURLOPT_URL, target.constData()) != CURLE_OK) {
    Finish(job,
           QStringLiteral("Cannot follow the redirect to %1").arg(target_text));
    return;
  }
  Launch(job);
}

}  // namespace trawlbox
