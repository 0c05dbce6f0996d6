#include "app/ShutdownSignals.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

namespace klv {
namespace {

// The write end of the self-pipe; the handler may only write to it.
int signalPipe[2] = {-1, -1};

void OnSignal(int number) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(number);
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

TShutdownSignals::TShutdownSignals(QObject* parent) : QObject(parent) {
  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
    return;
  notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &TShutdownSignals::Drain);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : {SIGTERM, SIGINT, SIGHUP})
    sigaction(number, &action, nullptr);
}

TShutdownSignals::~TShutdownSignals() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  for (int number : {SIGTERM, SIGINT, SIGHUP})
    sigaction(number, &action, nullptr);
  notifier_.reset();
  for (int& fd : signalPipe) {
    if (fd >= 0)
      ::close(fd);
    fd = -1;
  }
}

void TShutdownSignals::Drain() {
  unsigned char byte = 0;
  int last = 0;
  while (::read(signalPipe[0], &byte, 1) == 1)
    last = byte;
  if (last != 0)
    emit Received(last);
}

}  // namespace klv
