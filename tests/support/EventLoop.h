// Helpers for tests that wait on the Qt event loop.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>

namespace klv::test {

// Runs the event loop until the condition holds or the deadline passes;
// returns the condition's last value. The deadline only guards against a
// hang: tests assert on the condition, never on the time taken.
inline bool RunUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
  QDeadlineTimer deadline(timeoutMs);
  while (!condition()) {
    if (deadline.hasExpired())
      return condition();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::usleep(200);
  }
  return true;
}

}  // namespace klv::test
