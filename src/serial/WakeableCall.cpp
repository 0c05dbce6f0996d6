#include "serial/WakeableCall.h"

#include <signal.h>

#include <cerrno>
#include <chrono>

namespace klv {
namespace {

void Ignore(int) {}

int WakeSignal() {
  // Installed once; no SA_RESTART, so that a blocked call ends with EINTR.
  static const int number = [] {
    const int n = SIGRTMAX - 2;
    struct sigaction action {};
    action.sa_handler = Ignore;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(n, &action, nullptr);
    return n;
  }();
  return number;
}

}  // namespace

WakeableCall::WakeableCall() {
  WakeSignal();
}

int WakeableCall::Run(const std::function<int()>& call) {
  {
    std::lock_guard lock(mutex_);
    if (woken_) {
      errno = EINTR;
      return -1;
    }
    thread_ = pthread_self();
    inside_ = true;
  }
  const int result = call();
  const int error = errno;
  {
    std::lock_guard lock(mutex_);
    inside_ = false;
  }
  left_.notify_all();
  errno = error;
  return result;
}

void WakeableCall::Wake() {
  std::unique_lock lock(mutex_);
  woken_ = true;
  // A signal that lands after Run's check but before the call has entered
  // the kernel is lost, so it is sent again until the call has returned.
  // The first one nearly always finds the call waiting; a repeat costs at
  // most a millisecond, and only while the thread is stuck in the call.
  while (inside_) {
    pthread_kill(thread_, WakeSignal());
    left_.wait_for(lock, std::chrono::milliseconds(1), [this] { return !inside_; });
  }
}

}  // namespace klv
