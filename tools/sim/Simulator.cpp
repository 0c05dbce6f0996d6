#include "sim/Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace klv::sim {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxWrite = 65536;
// Transcripts are complete on disk at the latest this long after a write.
constexpr std::chrono::milliseconds kTranscriptFlush{500};

void Report(const std::string& message) {
  std::fprintf(stderr, "kelvora32-sim: %s\n", message.c_str());
}

std::string Reason(int error) {
  return std::strerror(error);
}

std::string ComName(int com) {
  return "COM" + std::to_string(com);
}

const char* ByteSetText(TByteSet set) {
  switch (set) {
    case TByteSet::Low:
      return "bytes 00H..7FH";
    case TByteSet::High:
      return "bytes 80H..FFH";
    case TByteSet::All:
      break;
  }
  return "all bytes";
}

// A link into /dev/pts/ whose pseudo-terminal is gone: what a simulator that
// was killed leaves behind. Nothing can use it, so it may be replaced. Returns
// its target, or empty for any other entry (a live pseudo-terminal, a device,
// a file, a path elsewhere), which stays untouched.
std::string StaleLinkTarget(const fs::path& link) {
  std::error_code error;
  const fs::path target = fs::read_symlink(link, error);
  const std::string number = target.filename().string();
  if (error || target.parent_path() != "/dev/pts" || number.empty() ||
      number.find_first_not_of("0123456789") != std::string::npos ||
      fs::symlink_status(target, error).type() != fs::file_type::not_found) {
    return {};
  }
  return target.string();
}

bool SetRaw(int fd) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0)
    return false;
  ::cfmakeraw(&t);
  return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

TSimulator::TSimulator(const TSimOptions& options) : options_(options) {
  std::uint64_t seed = options.Seed;
  for (const TDeviceOption& option : options.Devices) {
    std::unique_ptr<TDevice> device;
    std::vector<std::string> descriptions;
    switch (option.Kind) {
      case TDeviceKind::Ruvo:
        device = std::make_unique<TRuvoLinkDevice>(seed++, options.FaultRate, options.Frames);
        descriptions = {
            "Ruvo-94 master polling slaves 10H..17H (answers on " + ComName(option.Ports[1]) + ")",
            "Ruvo-94 slaves answering (polls on " + ComName(option.Ports[0]) + ")"};
        break;
      case TDeviceKind::Text:
        device = std::make_unique<TTextDevice>();
        descriptions = {"text device"};
        break;
      case TDeviceKind::Echo:
        device = std::make_unique<TEchoDevice>();
        descriptions = {"echo"};
        break;
      case TDeviceKind::Flood:
        device = std::make_unique<TFloodDevice>(option.FloodSeed, option.FloodSet);
        descriptions = {"flood, seed " + std::to_string(option.FloodSeed) + ", " +
                        ByteSetText(option.FloodSet)};
        break;
    }
    for (std::size_t i = 0; i < option.Ports.size(); ++i) {
      TPort port;
      port.Com = option.Ports[i];
      port.Device = device.get();
      port.Index = i;
      port.Pace = PortPace(options, port.Com);
      port.Description = descriptions[i] + ", " +
                         (port.Pace == 0 ? "unpaced" : std::to_string(port.Pace) + " bytes/s");
      ports_.push_back(std::move(port));
    }
    devices_.push_back(std::move(device));
  }
  std::sort(ports_.begin(), ports_.end(),
            [](const TPort& a, const TPort& b) { return a.Com < b.Com; });
}

TSimulator::~TSimulator() {
  Close();
}

bool TSimulator::Open() {
  // Taken from a descriptor in the loop, so that a signal at any moment
  // still ends the program through the clean-up below.
  sigset_t signals;
  sigemptyset(&signals);
  for (int s : {SIGTERM, SIGINT, SIGHUP})
    sigaddset(&signals, s);
  if (::sigprocmask(SIG_BLOCK, &signals, nullptr) != 0 ||
      (signalFd_ = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK)) < 0) {
    Report("cannot take the termination signals: " + Reason(errno));
    return false;
  }
  ::signal(SIGPIPE, SIG_IGN);  // a closed stdout must not end the program

  std::error_code error;
  const fs::path dir(options_.PortsDir);
  fs::create_directories(dir, error);
  if (error || !fs::is_directory(dir)) {
    Report("cannot create the ports directory " + dir.string() + ": " +
           (error ? error.message() : "it is not a directory"));
    return false;
  }
  // Refuse before creating anything: another program's entry stays as it is.
  for (TPort& port : ports_) {
    port.LinkPath = (dir / ComName(port.Com)).string();
    const fs::file_type type = fs::symlink_status(port.LinkPath, error).type();
    if (type == fs::file_type::none) {
      Report("cannot look at " + port.LinkPath + ": " + error.message());
      return false;
    }
    if (type == fs::file_type::symlink) {
      port.StaleTarget = StaleLinkTarget(port.LinkPath);
      if (!port.StaleTarget.empty())
        continue;
    }
    if (type != fs::file_type::not_found) {
      Report(port.LinkPath + " already exists; it is not replaced (remove it or use another " +
             "COM number)");
      return false;
    }
  }

  if (!options_.TranscriptDir.empty()) {
    const fs::path transcripts(options_.TranscriptDir);
    fs::create_directories(transcripts, error);
    if (error) {
      Report("cannot create the transcript directory " + transcripts.string() + ": " +
             error.message());
      return false;
    }
    for (TPort& port : ports_) {
      port.TranscriptPath = (transcripts / (ComName(port.Com) + ".bin")).string();
      port.Transcript = std::fopen(port.TranscriptPath.c_str(), "wbe");
      if (port.Transcript == nullptr) {
        Report("cannot create the transcript " + port.TranscriptPath + ": " + Reason(errno));
        return false;
      }
    }
  }

  for (TPort& port : ports_) {
    if (!OpenPty(port))
      return false;
    if (!port.StaleTarget.empty()) {
      if (::unlink(port.LinkPath.c_str()) != 0 && errno != ENOENT) {
        Report("cannot remove the stale link " + port.LinkPath + ": " + Reason(errno));
        return false;
      }
      Report("replaced " + port.LinkPath + ", a link to " + port.StaleTarget +
             ", a pseudo-terminal that no longer exists");
    }
    if (::symlink(port.SlaveName.c_str(), port.LinkPath.c_str()) != 0) {
      Report("cannot create the link " + port.LinkPath + ": " + Reason(errno));
      return false;
    }
    port.Linked = true;
  }
  const TTime start = TClock::now();
  for (TPort& port : ports_) {
    if (port.Pace != 0)
      port.Pacer.emplace(port.Pace, start);
  }
  return true;
}

bool TSimulator::OpenPty(TPort& port) {
  const std::string what = "cannot create the pseudo-terminal for " + ComName(port.Com);
  port.Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (port.Master < 0) {
    Report(what + ": " + Reason(errno));
    return false;
  }
  char name[128] = {};
  if (::grantpt(port.Master) != 0 || ::unlockpt(port.Master) != 0 ||
      ::ptsname_r(port.Master, name, sizeof name) != 0) {
    Report(what + ": " + Reason(errno));
    return false;
  }
  port.SlaveName = name;
  // Our own slave descriptor keeps the pseudo-terminal alive while no
  // analyser has it open; raw at once, so that nothing is echoed or
  // translated before the analyser sets its own modes.
  port.Slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (port.Slave < 0 || !SetRaw(port.Slave) ||
      ::fcntl(port.Master, F_SETFL, ::fcntl(port.Master, F_GETFL) | O_NONBLOCK) != 0) {
    Report(what + " (" + port.SlaveName + "): " + Reason(errno));
    return false;
  }
  return true;
}

void TSimulator::PrintPorts(std::FILE* out) const {
  for (const TPort& port : ports_) {
    std::fprintf(out, "%s %s %s\n", ComName(port.Com).c_str(), port.SlaveName.c_str(),
                 port.Description.c_str());
  }
  std::fputs("ready\n", out);
  std::fflush(out);
}

int TSimulator::Run() {
  std::vector<pollfd> fds;
  TTime nextFlush = kNever;
  for (;;) {
    const TTime now = TClock::now();
    TTime wake = kNever;
    for (const auto& device : devices_)
      wake = std::min(wake, device->Step(now));

    bool progress = false;
    for (TPort& port : ports_) {
      if (!WritePort(port, now, progress))
        return 2;
      const TOutputQueue& queue = port.Device->Output(port.Index);
      if (port.Pacer && !queue.Empty() && !port.WaitWritable) {
        // Wake for a few bytes at once rather than for every single one.
        const std::size_t batch = std::max<std::size_t>(1, port.Pacer->Burst() / 10);
        wake = std::min(wake, port.Pacer->TimeFor(std::min(queue.Size(), batch)));
      }
    }
    if (progress && nextFlush == kNever)
      nextFlush = now + kTranscriptFlush;
    if (now >= nextFlush) {
      if (!FlushTranscripts())
        return 2;
      nextFlush = kNever;
    }
    wake = std::min(wake, nextFlush);

    fds.clear();
    fds.push_back({signalFd_, POLLIN, 0});
    for (const TPort& port : ports_) {
      short events = port.WaitWritable ? POLLOUT : 0;
      if (port.Device->InputRoom(port.Index) > 0)
        events |= POLLIN;
      fds.push_back({port.Master, events, 0});
    }
    // Something changed: go round again at once, so that devices waiting for
    // a written queue see it.
    timespec timeout{};
    const timespec* wait = &timeout;
    if (!progress) {
      if (wake == kNever) {
        wait = nullptr;
      } else if (wake > now) {
        const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(wake - now).count();
        timeout.tv_sec = static_cast<time_t>(nanos / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(nanos % 1'000'000'000);
      }
    }
    if (::ppoll(fds.data(), fds.size(), wait, nullptr) < 0) {
      if (errno == EINTR)
        continue;
      Report("waiting for the ports failed: " + Reason(errno));
      return 2;
    }
    if (fds[0].revents != 0) {
      signalfd_siginfo info{};
      if (::read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        return 0;
    }
    for (std::size_t i = 0; i < ports_.size(); ++i) {
      TPort& port = ports_[i];
      const short revents = fds[i + 1].revents;
      if (revents & POLLIN) {
        if (!ReadPort(port))
          return 2;
      } else if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
        // Cannot happen while our own slave descriptor is open; never spin on it.
        Report(ComName(port.Com) + ": the pseudo-terminal " + port.SlaveName + " failed");
        return 2;
      }
    }
  }
}

bool TSimulator::WritePort(TPort& port, TTime now, bool& progress) {
  port.WaitWritable = false;
  TOutputQueue& queue = port.Device->Output(port.Index);
  if (queue.Empty()) {
    port.Idle = true;
    return true;
  }
  if (port.Idle && port.Pacer)
    port.Pacer->Restart(now);  // like a UART: the first byte goes at once
  port.Idle = false;
  std::size_t count = std::min(queue.Size(), kMaxWrite);
  if (port.Pacer)
    count = std::min(count, port.Pacer->Allowance(now));
  if (count == 0)
    return true;
  const ssize_t written = ::write(port.Master, queue.Front().data(), count);
  if (written < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      port.WaitWritable = true;  // the pseudo-terminal is full: nobody reads it
      return true;
    }
    if (errno == EINTR) {
      progress = true;
      return true;
    }
    Report(ComName(port.Com) + ": writing to " + port.SlaveName + " failed: " + Reason(errno));
    return false;
  }
  const auto n = static_cast<std::size_t>(written);
  if (port.Transcript != nullptr && std::fwrite(queue.Front().data(), 1, n, port.Transcript) != n) {
    Report("cannot write the transcript " + port.TranscriptPath + ": " + Reason(errno));
    return false;
  }
  queue.Consume(n);
  if (port.Pacer)
    port.Pacer->Consume(n);
  progress = progress || n > 0;
  return true;
}

bool TSimulator::ReadPort(TPort& port) {
  char buffer[TDevice::kReadChunk];
  const std::size_t room = std::min(sizeof buffer, port.Device->InputRoom(port.Index));
  const ssize_t n = ::read(port.Master, buffer, room);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
    return true;
  if (n < 0) {
    Report(ComName(port.Com) + ": reading from " + port.SlaveName + " failed: " + Reason(errno));
    return false;
  }
  port.Device->Receive(port.Index, std::string_view(buffer, static_cast<std::size_t>(n)));
  return true;
}

bool TSimulator::FlushTranscripts() {
  for (TPort& port : ports_) {
    if (port.Transcript != nullptr && std::fflush(port.Transcript) != 0) {
      Report("cannot write the transcript " + port.TranscriptPath + ": " + Reason(errno));
      return false;
    }
  }
  return true;
}

bool TSimulator::Close() {
  bool ok = true;
  for (TPort& port : ports_) {
    // Only our own link: another program may have put its entry there since.
    if (port.Linked) {
      char target[256] = {};
      const ssize_t n = ::readlink(port.LinkPath.c_str(), target, sizeof target - 1);
      if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == port.SlaveName)
        ::unlink(port.LinkPath.c_str());
      port.Linked = false;
    }
    for (int* fd : {&port.Master, &port.Slave}) {
      if (*fd >= 0)
        ::close(*fd);
      *fd = -1;
    }
    if (port.Transcript != nullptr) {
      if (std::fclose(port.Transcript) != 0) {
        Report("cannot write the transcript " + port.TranscriptPath + ": " + Reason(errno));
        ok = false;
      }
      port.Transcript = nullptr;
    }
  }
  if (signalFd_ >= 0)
    ::close(signalFd_);
  signalFd_ = -1;
  return ok;
}

}  // namespace klv::sim
