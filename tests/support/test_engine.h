#ifndef TRAWLBOX_TESTS_SUPPORT_TEST_ENGINE_H_
#define TRAWLBOX_TESTS_SUPPORT_TEST_ENGINE_H_

#include "net/http_engine.h"

namespace trawlbox {

// The program's engine, retrying as often as it does but with no wait
// between tries, so tests of failures stay quick.
class TestEngine : public HttpEngine {
 public:
  TestEngine() {
    RetryPolicy quick;
    quick.first_delay_ms = 1;
    set_retry_policy(quick);
  }
};

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_SUPPORT_TEST_ENGINE_H_
