// Limits the size of files this process may write (RLIMIT_FSIZE) for one
// scope; writes beyond it fail (EFBIG) instead of raising SIGXFSZ.
#pragma once
#include <sys/resource.h>

#include <csignal>

struct FileSizeLimit {
  rlimit old;
  void (*handler)(int) = signal(SIGXFSZ, SIG_IGN);
  bool ok;
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit lim = {bytes, old.rlim_max};
    ok = setrlimit(RLIMIT_FSIZE, &lim) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, handler);
  }
};
