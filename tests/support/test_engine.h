#ifndef TRAWLBOX_TESTS_SUPPORT_TEST_ENGINE_H_
#define TRAWLBOX_TESTS_SUPPORT_TEST_ENGINE_H_

#include "core/event_pump.h"
#include "net/http_engine.h"
#include "net/request_run.h"

namespace trawlbox {

// The program's engine with a run of requests over it, which retries as
// often as the program does but with no wait between tries, so tests of
// failures stay quick. TRAWLBOX_TEST_CONNECTIONS, when set, gives every
// engine of a suite that many connections, to run it on one.
class TestEngine : public HttpEngine {
 public:
  TestEngine() {
    settings_.retries.first_delay_ms = 1;
    run_.set_settings(settings_);
    const int connections =
        qEnvironmentVariableIntValue("TRAWLBOX_TEST_CONNECTIONS");
    if (connections > 0) set_connections(connections);
  }

  RequestRun& run() { return run_; }
  void set_connections(int count) {
    settings_.connections = count;
    HttpEngine::set_connections(count, settings_.streams());
    run_.set_settings(settings_);
  }
  void set_retry_policy(const RetryPolicy& policy) {
    settings_.retries = policy;
    run_.set_settings(settings_);
  }

 private:
  RunSettings settings_;
  EventPump pump_;
  RequestRun run_{*this, pump_, settings_};
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_TEST_ENGINE_H_
