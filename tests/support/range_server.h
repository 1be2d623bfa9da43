#ifndef TRAWLBOX_TESTS_SUPPORT_RANGE_SERVER_H_
#define TRAWLBOX_TESTS_SUPPORT_RANGE_SERVER_H_

#include <QByteArray>
#include <QByteArrayList>
#include <QTcpSocket>
#include <functional>
#include <map>
#include <mutex>

#include "support/raw_server.h"

namespace trawlbox {

// Serves files the way a static file server does, one request a
// connection: each with its ETag and Last-Modified when it has them; the
// rest of a file (206) for "Range: bytes=N-" whose If-Range still names it,
// the whole file when it names another; a 304 when If-None-Match names it
// or If-Modified-Since is its own Last-Modified (the program sends back the
// date it stored). A plan may spoil each answer: cut it off, ignore the
// range or the conditions, or send another range.
class RangeServer {
 public:
  struct File {
    QByteArray body;
    QByteArray etag = {};
    QByteArray last_modified = {};
  };
  // How one answer goes.
  struct Answer {
    qint64 cut_after = -1;  // body bytes sent before the cut; -1: no cut
    bool ignore_range = false;
    bool ignore_conditions = false;
    qint64 range_shift = 0;  // a 206 that starts this many bytes later
    qint64 total_shift = 0;  // ... or names a whole this much longer
  };
  // How the n-th request for a path (from 1) is answered.
  using Plan = std::function<Answer(const QByteArray& path, int n)>;

  explicit RangeServer(std::map<QByteArray, File> files, Plan plan = nullptr)
      : files_(std::move(files)),
        plan_(std::move(plan)),
        server_([this](QTcpSocket& socket, const QByteArray& request) {
          Serve(socket, request);
        }) {}

  QString Url(const QString& path) const { return server_.Url(path); }
  // Replaces a file, as when it changes on the server.
  void Put(const QByteArray& path, File file) {
    std::lock_guard<std::mutex> lock(mutex_);
    files_[path] = std::move(file);
  }
  // The value of header `name` in each request for `path`, in order;
  // empty where it was not sent.
  QByteArrayList Sent(const QByteArray& path, const QByteArray& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    QByteArrayList values;
    for (const QByteArray& request : requests_[path]) {
      values << HeaderOf(request, name);
    }
    return values;
  }
  int Requests(const QByteArray& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    return int(requests_[path].size());
  }
  // Body bytes written, cut answers counted as far as they went.
  qint64 BodyBytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return body_bytes_;
  }

 private:
  static QByteArray HeaderOf(const QByteArray& request,
                             const QByteArray& name) {
    for (const QByteArray& line : request.split('\n')) {
      const qsizetype colon = line.indexOf(':');
      if (colon > 0 &&
          line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
        return line.mid(colon + 1).trimmed();
      }
    }
    return QByteArray();
  }

  void Serve(QTcpSocket& socket, const QByteArray& request) {
    const QByteArray path = request.split(' ').value(1);
    File file;
    int n = 0;
    bool found = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_[path] << request;
      n = int(requests_[path].size());
      const auto it = files_.find(path);
      found = it != files_.end();
      if (found) file = it->second;
    }
    if (!found) {
      socket.write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
      return;
    }
    const Answer answer = plan_ ? plan_(path, n) : Answer();
    QByteArray validators;
    if (!file.etag.isEmpty()) validators += "ETag: " + file.etag + "\r\n";
    if (!file.last_modified.isEmpty()) {
      validators += "Last-Modified: " + file.last_modified + "\r\n";
    }
    const QByteArray none_match = HeaderOf(request, "If-None-Match");
    const QByteArray since = HeaderOf(request, "If-Modified-Since");
    if (!answer.ignore_conditions &&
        ((!none_match.isEmpty() && none_match == file.etag) ||
         (none_match.isEmpty() && !since.isEmpty() &&
          since == file.last_modified))) {
      socket.write("HTTP/1.1 304 Not Modified\r\n" + validators + "\r\n");
      return;
    }
    const QByteArray range = HeaderOf(request, "Range");
    const QByteArray if_range = HeaderOf(request, "If-Range");
    const qint64 total = file.body.size();
    qint64 from = 0;
    if (!answer.ignore_range && range.startsWith("bytes=") &&
        range.endsWith('-') &&
        (if_range.isEmpty() || if_range == file.etag ||
         if_range == file.last_modified)) {
      from = range.mid(6).chopped(1).toLongLong();
    }
    QByteArray body = file.body.mid(from);
    QByteArray head;
    if (from > 0) {
      head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
             QByteArray::number(from + answer.range_shift) + '-' +
             QByteArray::number(total - 1) + '/' +
             QByteArray::number(total + answer.total_shift) + "\r\n";
      if (answer.range_shift > 0) body = body.mid(answer.range_shift);
    } else {
      head = "HTTP/1.1 200 OK\r\n";
    }
    head += validators + "Content-Type: application/octet-stream\r\n" +
            "Content-Length: " + QByteArray::number(body.size()) +
            "\r\nConnection: close\r\n\r\n";
    if (answer.cut_after >= 0) body.truncate(answer.cut_after);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      body_bytes_ += body.size();
    }
    socket.write(head + body);
  }

  std::map<QByteArray, File> files_;
  const Plan plan_;
  std::mutex mutex_;
  std::map<QByteArray, QByteArrayList> requests_;
  qint64 body_bytes_ = 0;
  RawServer server_;  // last: its thread stops before the rest goes
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_RANGE_SERVER_H_
