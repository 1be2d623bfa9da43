#ifndef TRAWLBOX_CORE_SCOPED_FLAG_H_
#define TRAWLBOX_CORE_SCOPED_FLAG_H_

namespace trawlbox {

// Sets a flag for the life of a scope, however the scope ends (also when
// the window closes under a long command and it unwinds).
class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~ScopedFlag() { flag_ = false; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  bool& flag_;
};

}  // namespace trawlbox

#endif  // TRAWLBOX_CORE_SCOPED_FLAG_H_
