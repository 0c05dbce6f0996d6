// Pseudo-terminal pairs and a private ports directory for the serial tests: the port under test
// opens the slave through a COMn symlink, the test plays the far end on the master.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "serial/ComPort.h"
#include "serial/PosixSerialDevice.h"

namespace klv::test {

// A raw, non-blocking pseudo-terminal; the master stays with the test.
class Pty {
 public:
  Pty() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    char name[128] = {};
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
      CloseMaster();
      throw std::runtime_error("cannot set up a pseudo-terminal");
    }
    slave_ = QString::fromLocal8Bit(name);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    termios t{};
    tcgetattr(master_, &t);
    cfmakeraw(&t);
    tcsetattr(master_, TCSANOW, &t);
  }
  ~Pty() { CloseMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  int Master() const { return master_; }
  const QString& Slave() const { return slave_; }
  void CloseMaster() { ::close(std::exchange(master_, -1)); }

 private:
  int master_;
  QString slave_;
};

// A temporary ports directory with its own POSIX provider.
class TestPorts {
 public:
  TestPorts() : provider_(PortsDirectory(dir_.path())) {
    if (!dir_.isValid())
      throw std::runtime_error("cannot create a temporary directory");
  }
  QString Path() const { return dir_.path(); }
  PosixDeviceProvider& Provider() { return provider_; }
  void Link(int comNumber, const QString& target) {
    const QString entry = dir_.path() + "/COM" + QString::number(comNumber);
    QFile::remove(entry);
    if (!QFile::link(target, entry))
      throw std::runtime_error("cannot create the COM symlink");
  }

 private:
  QTemporaryDir dir_;
  PosixDeviceProvider provider_;
};

// Makes a provider the default one for the lifetime of the guard.
class DefaultProviderGuard {
 public:
  explicit DefaultProviderGuard(ISerialDeviceProvider* provider) {
    SetDefaultDeviceProvider(provider);
  }
  ~DefaultProviderGuard() {
    SetDefaultDeviceProvider(nullptr);
    SetCountPortsInUse(true);
  }
};

// Writes as much of `data` from `sent` on as the port's output ring has room for.
inline void Feed(TComPort& port, const std::vector<std::uint8_t>& data, std::size_t& sent) {
  const auto n = std::min(static_cast<std::size_t>(port.OutputRoom()), data.size() - sent);
  port.WriteBytes({reinterpret_cast<const char*>(data.data() + sent), n});
  sent += n;
}

inline std::vector<std::uint8_t> RandomBytes(std::size_t n, std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::vector<std::uint8_t> v(n);
  for (auto& b : v)
    b = static_cast<std::uint8_t>(gen() >> 24);
  return v;
}

// Writes all bytes into a descriptor from its own thread; the destructor
// gives up on what is not written yet.
class FdWriter {
 public:
  FdWriter(int fd, std::vector<std::uint8_t> data)
      : fd_(fd), data_(std::move(data)), thread_([this] { Run(); }) {}
  ~FdWriter() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Run() {
    for (std::size_t written = 0; written < data_.size() && !stop_;) {
      const ssize_t n = ::write(fd_, data_.data() + written, data_.size() - written);
      if (n > 0) {
        written += static_cast<std::size_t>(n);
      } else {
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, 20) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)))
          std::this_thread::sleep_for(std::chrono::milliseconds(5));  // no slave open yet
      }
    }
  }

  int fd_;
  std::vector<std::uint8_t> data_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Reads whatever the descriptor has right now, without blocking.
inline std::vector<std::uint8_t> ReadAvailable(int fd) {
  std::vector<std::uint8_t> out;
  std::uint8_t buf[8192];
  for (pollfd p{fd, POLLIN, 0}; ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0)
      break;
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

inline double ProcessCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

inline int ThreadCount() {
  return static_cast<int>(
      QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

}  // namespace klv::test
