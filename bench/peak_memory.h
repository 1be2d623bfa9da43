#ifndef TRAWLBOX_BENCH_PEAK_MEMORY_H_
#define TRAWLBOX_BENCH_PEAK_MEMORY_H_

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

// The process's peak resident memory in MB (0 where the system does not
// tell).
inline double PeakResidentMb() {
#ifdef Q_OS_UNIX
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
#else
  return 0;
#endif
}

#endif  // TRAWLBOX_BENCH_PEAK_MEMORY_H_
