// A blocking system call on one thread that another thread can end at once,
// for calls that no descriptor can wake (TIOCMIWAIT waits for a modem line
// and for nothing else). Wake sends a signal whose handler does nothing and
// is installed without SA_RESTART, so the call returns with EINTR.
#pragma once

#include <pthread.h>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace klv {

class WakeableCall {
 public:
  WakeableCall();

  // Runs `call` on this thread unless Wake has been called; then it returns
  // -1 with errno EINTR without running it. Otherwise returns what `call`
  // returned, with its errno. One thread at a time.
  int Run(const std::function<int()>& call);

  // From any thread: the call running now, and every later one, returns at
  // once. Returns when the running call has returned.
  void Wake();

 private:
  std::mutex mutex_;
  std::condition_variable left_;
  pthread_t thread_{};
  bool inside_ = false;
  bool woken_ = false;
};

}  // namespace klv
