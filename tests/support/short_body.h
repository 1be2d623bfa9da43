#ifndef TRAWLBOX_TESTS_SUPPORT_SHORT_BODY_H_
#define TRAWLBOX_TESTS_SUPPORT_SHORT_BODY_H_

#include <httplib.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace trawlbox {

// An answer whose body ends before its announced length: the connection
// breaks off after `sent` of `announced` bytes. Slow servers are made of
// the two waits.
struct ShortBody {
  size_t announced = 0;
  size_t sent = 0;
  // Before the head goes out.
  std::chrono::milliseconds delay{0};
  // After the bytes that are sent, before the break: a sleep, or a wait
  // until the test lets the server go.
  std::function<void()> stall = nullptr;
};

inline httplib::Server::Handler ShortBodyHandler(ShortBody body) {
  return [body](const httplib::Request&, httplib::Response& response) {
    std::this_thread::sleep_for(body.delay);
    response.set_content_provider(
        body.announced, "application/octet-stream",
        [body](size_t offset, size_t, httplib::DataSink& sink) {
          if (offset < body.sent) {
            const std::string part(body.sent - offset, 'x');
            return sink.write(part.data(), part.size());
          }
          if (body.stall) body.stall();
          return false;
        });
  };
}

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_SHORT_BODY_H_
