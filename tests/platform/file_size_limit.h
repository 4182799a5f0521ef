#pragma once

#ifdef _WIN32

#include <cstdint>

namespace officecarve::testing {

// Windows has no per-process file size limit: the tests that need one skip.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(uint64_t /*bytes*/) {}
  bool Active() const { return false; }
};

}  // namespace officecarve::testing

#else

#include <signal.h>
#include <sys/resource.h>

namespace officecarve::testing {

// Makes writes past `bytes` fail with EFBIG for this process while it lives: a
// stand-in for a destination that runs out of space part way.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previous_handler_ = signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous_limit_);
    rlimit limit = previous_limit_;
    limit.rlim_cur = bytes;
    active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_limit_);
    signal(SIGXFSZ, previous_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  bool Active() const { return active_; }

 private:
  rlimit previous_limit_{};
  sighandler_t previous_handler_ = SIG_DFL;
  bool active_ = false;
};

}  // namespace officecarve::testing

#endif
