#ifndef TRAWLBOX_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define TRAWLBOX_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>

namespace trawlbox {

// Ends the run with `what` on stderr: libFuzzer then keeps the input that
// caused it, and the corpus runner fails its test.
[[noreturn]] inline void FuzzFail(const char* what, const QString& detail) {
  std::fprintf(stderr, "fuzz property broken: %s: %s\n", what,
               detail.toUtf8().constData());
  std::abort();
}

inline void FuzzCheck(bool holds, const char* what,
                      const QString& detail = QString()) {
  if (!holds) FuzzFail(what, detail);
}

// The one application object the Qt code behind the targets expects; made
// on first use and kept for the whole process.
inline void EnsureApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "trawlbox-fuzz";
  static char* argv[] = {name, nullptr};
  new QCoreApplication(argc, argv);
}

}  // namespace trawlbox

#endif  // TRAWLBOX_TESTS_FUZZ_FUZZ_SUPPORT_H_
