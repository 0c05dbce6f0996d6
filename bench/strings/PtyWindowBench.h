// What the benchmarks of the window on pseudo-terminals share: the window
// (offscreen) on COM1 and COM2 linked to ptys, with no Config.klv so that
// the defaults apply, an event loop run for a while, and a thread that
// stamps every piece arriving at a pty master, and a 1 MB/s flood for the
// other channel.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "app/ui/Klvmain.h"
#include "serial/PtyFixture.h"
#include "sim/FloodStream.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"

namespace klv::bench {

using Clock = std::chrono::steady_clock;

inline void RunEventLoopFor(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

// The window on two ptys, in a temporary current directory.
struct PtyWindow {
  PtyWindow() {
    QDir::setCurrent(dir.path());
    ports.Link(1, pty[0].Slave());
    ports.Link(2, pty[1].Slave());
    TAppFormSetup setup;
    setup.Messages = &messages;
    setup.AttachStdio = false;
    form = std::make_unique<TKLVAppForm>(setup);
    form->resize(900, 700);
    form->show();
    test::RunUntil([&] { return form->Started(); });
  }
  ~PtyWindow() {
    form.reset();
    QDir::setCurrent(previous);
  }
  // Both channels open and nothing said.
  bool Ready() const {
    return messages.shown.empty() && form->Channels().ChannelAvailable(0) &&
           form->Channels().ChannelAvailable(1);
  }

  QString previous = QDir::currentPath();
  QTemporaryDir dir;
  test::Pty pty[2];
  test::TestPorts ports;
  test::DefaultProviderGuard guard{&ports.Provider()};
  test::FakeMessageService messages;
  std::unique_ptr<TKLVAppForm> form;
};

// Reads a pty master as bytes come and keeps each piece with its time.
class Arrivals {
 public:
  struct Piece {
    Clock::time_point at;
    std::vector<std::uint8_t> bytes;
  };
  explicit Arrivals(int fd) : fd_(fd) {
    thread_ = std::thread([this] { Run(); });
  }
  // Stops reading and returns what came.
  std::vector<Piece> Stop() {
    stop_ = true;
    thread_.join();
    return std::move(pieces_);
  }

 private:
  void Run() {
    std::uint8_t buffer[4096];
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0)
        continue;
      const auto at = Clock::now();
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n > 0)
        pieces_.push_back({at, std::vector<std::uint8_t>(buffer, buffer + n)});
    }
  }

  int fd_;
  std::atomic<bool> stop_{false};
  std::vector<Piece> pieces_;
  std::thread thread_;
};

// Writes a seeded stream into a pty master at 1 MB/s in 10 ms steps, on a
// plan of its own so that a late step is made up by the next.
class PacedFlood {
 public:
  explicit PacedFlood(int fd) : fd_(fd) {
    thread_ = std::thread([this] { Run(); });
  }
  ~PacedFlood() {
    stop_ = true;
    thread_.join();
  }
  std::size_t Written() const { return written_; }

 private:
  void Run() {
    sim::TFloodStream stream(7, sim::TByteSet::All);
    std::vector<std::uint8_t> step(10000);
    auto next = Clock::now();
    while (!stop_) {
      stream.Fill(step.data(), step.size());
      for (std::size_t at = 0; at < step.size() && !stop_;) {
        const ssize_t n = ::write(fd_, step.data() + at, step.size() - at);
        if (n > 0) {
          at += static_cast<std::size_t>(n);
          written_ += static_cast<std::size_t>(n);
        } else {
          pollfd p{fd_, POLLOUT, 0};
          ::poll(&p, 1, 5);
        }
      }
      next += std::chrono::milliseconds(10);
      std::this_thread::sleep_until(next);
    }
  }

  int fd_;
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> written_{0};
  std::thread thread_;
};

}  // namespace klv::bench
