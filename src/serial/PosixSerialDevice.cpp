#include "serial/PosixSerialDevice.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "serial/Termios2.h"

namespace klv {
namespace {

QString ErrorText(int error) {
  char buf[256];
  // GNU strerror_r: returns the text, which may or may not be in buf.
  const char* text = strerror_r(error, buf, sizeof buf);
  return QString::fromLocal8Bit(text);
}

bool NoModemLines(int error) {
  return error == ENOTTY || error == EINVAL;
}

QString ComName(int comNumber) {
  return QStringLiteral("COM%1").arg(comNumber);
}

// Name of the group that owns the device node, for the permission hint.
QString DeviceGroup(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0)
    return {};
  long size = sysconf(_SC_GETGR_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 4096);
  struct group grp {};
  struct group* found = nullptr;
  while (getgrgid_r(st.st_gid, &grp, buf.data(), buf.size(), &found) == ERANGE) {
    buf.resize(buf.size() * 2);
  }
  if (found != nullptr && found->gr_name != nullptr)
    return QString::fromLocal8Bit(found->gr_name);
  return QString::number(st.st_gid);
}

PortProbeResult Classify(const QString& path, int error) {
  PortProbeResult r;
  r.DevicePath = path;
  switch (error) {
    case 0:
      r.Outcome = PortProbe::Available;
      break;
    case ENOENT:
    case ENXIO:
    case ENODEV:
      r.Outcome = PortProbe::Missing;
      r.Reason = QStringLiteral("the device is not present (%1)").arg(ErrorText(error));
      break;
    case EBUSY:
    case EWOULDBLOCK:
      r.Outcome = PortProbe::Busy;
      r.Reason = QStringLiteral("the device is in use by another program or port");
      break;
    case EACCES:
    case EPERM: {
      r.Outcome = PortProbe::PermissionDenied;
      const QString group = DeviceGroup(path);
      if (group.isEmpty()) {
        r.Reason = QStringLiteral("%1; you may not open this device").arg(ErrorText(error));
      } else {
        r.Reason = QStringLiteral(
                       "%1; the device belongs to the group %2: add your user to the group %2: "
                       "sudo usermod -aG %2 $USER, then log in again")
                       .arg(ErrorText(error), group);
      }
      break;
    }
    case ENOTTY:
      r.Outcome = PortProbe::Failed;
      r.Reason = QStringLiteral("not a serial device");
      break;
    default:
      r.Outcome = PortProbe::Failed;
      r.Reason = ErrorText(error);
      break;
  }
  return r;
}

// Device numbers of the devices open in this process, one entry per open.
std::mutex g_openMutex;
std::vector<dev_t> g_open;

void NoteOpen(dev_t device, bool open) {
  std::lock_guard lock(g_openMutex);
  if (open) {
    g_open.push_back(device);
  } else if (auto it = std::find(g_open.begin(), g_open.end(), device); it != g_open.end()) {
    g_open.erase(it);
  }
}

enum class SysfsKind { Port, Placeholder, NotSerial };

// What sysfs says of a character device (its directory /sys/dev/char/M:m).
// Pseudo-terminals have no entry there; nor has anything when sysfs is not
// mounted: both count as ports.
SysfsKind ClassifySysfs(const QString& dir) {
  const QFileInfo entry(dir);
  if (!entry.exists())
    return SysfsKind::Port;
  const QString subsystem = QFileInfo(QFileInfo(dir + "/subsystem").symLinkTarget()).fileName();
  if (!subsystem.isEmpty() && subsystem != QLatin1String("tty"))
    return SysfsKind::NotSerial;
  // The serial core shows a port without a UART behind it as type 0
  // (unknown); a ttyS without a device behind it is a placeholder as well.
  QFile type(dir + "/type");
  if (type.open(QIODevice::ReadOnly) && type.readAll().trimmed() == "0")
    return SysfsKind::Placeholder;
  if (QFileInfo(entry.canonicalFilePath()).fileName().startsWith(QLatin1String("ttyS")) &&
      !QFileInfo::exists(dir + "/device"))
    return SysfsKind::Placeholder;
  return SysfsKind::Port;
}

// The process that holds a UUCP lock on the device (LCK..<name> holding its
// id in ASCII), when it is still running and is not this process; 0 otherwise.
pid_t LiveLockHolder(const QStringList& lockDirs, const QString& devicePath) {
  const QString name = QStringLiteral("LCK..") + QFileInfo(devicePath).fileName();
  for (const QString& dir : lockDirs) {
    QFile lock(dir + "/" + name);
    bool ok = false;
    const long pid = lock.open(QIODevice::ReadOnly) ? lock.read(64).trimmed().toLong(&ok) : 0;
    if (!ok || pid <= 0 || pid == getpid())
      continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)
      return static_cast<pid_t>(pid);
  }
  return 0;
}

PortProbeResult LockedResult(const QString& path, pid_t holder) {
  PortProbeResult r;
  r.Outcome = PortProbe::Busy;
  r.DevicePath = path;
  r.Reason = QStringLiteral("the device is in use by another program (process %1 holds its lock)")
                 .arg(holder);
  return r;
}

}  // namespace

PortProbeResult InspectDevice(const QString& path, const DeviceNodeContext& context) {
  const QByteArray native = QFile::encodeName(path);
  struct stat st {};
  if (::stat(native.constData(), &st) != 0)
    return Classify(path, errno == ENOTDIR ? ENOENT : errno);
  if (!S_ISCHR(st.st_mode))
    return Classify(path, ENOTTY);
  const QString sysfs = QStringLiteral("%1/dev/char/%2:%3")
                            .arg(context.SysfsRoot)
                            .arg(major(st.st_rdev))
                            .arg(minor(st.st_rdev));
  switch (ClassifySysfs(sysfs)) {
    case SysfsKind::NotSerial:
      return Classify(path, ENOTTY);
    case SysfsKind::Placeholder: {
      PortProbeResult r = Classify(path, ENODEV);
      r.Reason = QStringLiteral("the port has no hardware behind it");
      return r;
    }
    case SysfsKind::Port:
      break;
  }
  if (PosixSerialDevice::OpenHere(st.st_rdev))
    return Classify(path, EBUSY);
  // The effective ids decide, as they do for open().
  if (faccessat(AT_FDCWD, native.constData(), R_OK | W_OK, AT_EACCESS) != 0)
    return Classify(path, errno);
  if (const pid_t holder = LiveLockHolder(context.LockDirs, path))
    return LockedResult(path, holder);
  return Classify(path, 0);
}

// ---------------------------------------------------------------------------
// Device

PosixSerialDevice::OpenResult PosixSerialDevice::OpenExclusive(const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  int fd;
  do {
    fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0)
    return {-1, errno};

  int error = 0;
  if (!isatty(fd)) {
    error = ENOTTY;
  } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // The lock belongs to the open file description, so a second open in
    // this very process is refused as well.
    error = errno;
  } else if (ioctl(fd, TIOCEXCL) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::close(fd);
    return {-1, error};
  }
  return {fd, 0};
}

void PosixSerialDevice::CloseExclusive(int fd) {
  if (fd < 0)
    return;
  // A pseudo-terminal slave outlives its openers while the master is open;
  // leave it openable for the next program.
  ioctl(fd, TIOCNXCL);
  ::close(fd);  // also drops the flock
}

PosixSerialDevice::PosixSerialDevice(int fd, QString path) : fd_(fd), path_(std::move(path)) {
  // Unix98 pseudo-terminal slaves have the majors 136 to 143.
  struct stat st {};
  if (fstat(fd_, &st) == 0 && S_ISCHR(st.st_mode)) {
    const unsigned int majorNumber = major(st.st_rdev);
    pseudoTerminal_ = majorNumber >= 136 && majorNumber <= 143;
    device_ = st.st_rdev;
  }
  // Edges are counted from here on.
  counted_ = GetCounts(counts_);
  shutdownFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  cancelFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (shutdownFd_ < 0 || cancelFd_ < 0) {
    const int error = errno;
    if (shutdownFd_ >= 0)
      ::close(shutdownFd_);
    if (cancelFd_ >= 0)
      ::close(cancelFd_);
    CloseExclusive(fd_);
    throw EComPortError(
        EComPortError::Kind::OpenFailed,
        QStringLiteral("%1: cannot create wake-up descriptors: %2").arg(path_, ErrorText(error)));
  }
  NoteOpen(device_, true);
}

PosixSerialDevice::~PosixSerialDevice() {
  // What the driver still holds for sending is dropped: at a low rate the
  // close would otherwise wait for it (up to the port's closing wait, 30 s).
  tcflush(fd_, TCOFLUSH);
  CloseExclusive(fd_);
  NoteOpen(device_, false);
  ::close(shutdownFd_);
  ::close(cancelFd_);
}

void PosixSerialDevice::ApplyLineSettings(const LineSettings& settings) {
  if (int error = termios2::ApplyRaw(fd_, settings, !pseudoTerminal_); error != 0) {
    throw EComPortError(EComPortError::Kind::UnsupportedSetting,
                        QStringLiteral("%1 refuses %2 baud, %3 data bits, %4 stop bits: %5")
                            .arg(path_)
                            .arg(settings.Baud)
                            .arg(settings.DataBits)
                            .arg(settings.StopBits)
                            .arg(ErrorText(error)));
  }
}

void PosixSerialDevice::SetModemBit(int bit, bool on) {
  if (!modemLines_.load(std::memory_order_relaxed))
    return;
  // Errors are left alone: a pseudo-terminal has no modem lines, and a
  // device that went away is noticed by the receive path.
  if (ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0 && NoModemLines(errno)) {
    modemLines_.store(false, std::memory_order_relaxed);
  }
}

void PosixSerialDevice::SetRTS(bool on) {
  SetModemBit(TIOCM_RTS, on);
}
void PosixSerialDevice::SetDTR(bool on) {
  SetModemBit(TIOCM_DTR, on);
}

void PosixSerialDevice::SetBreak(bool on) {
  ioctl(fd_, on ? TIOCSBRK : TIOCCBRK);
}

bool PosixSerialDevice::GetLines(std::uint8_t& lines, int& error) {
  int bits = 0;
  if (ioctl(fd_, TIOCMGET, &bits) != 0) {
    error = errno;
    if (NoModemLines(error))
      modemLines_.store(false, std::memory_order_relaxed);
    return false;
  }
  lines = 0;
  if (bits & TIOCM_CTS)
    lines |= ModemBits::CTS;
  if (bits & TIOCM_DSR)
    lines |= ModemBits::DSR;
  if (bits & TIOCM_RNG)
    lines |= ModemBits::RI;
  if (bits & TIOCM_CAR)
    lines |= ModemBits::DCD;
  return true;
}

bool PosixSerialDevice::GetCounts(ModemCounts& counts) {
  serial_icounter_struct icount{};
  if (ioctl(fd_, TIOCGICOUNT, &icount) != 0)
    return false;
  counts.CTS = static_cast<std::uint32_t>(icount.cts);
  counts.DSR = static_cast<std::uint32_t>(icount.dsr);
  counts.RI = static_cast<std::uint32_t>(icount.rng);
  counts.DCD = static_cast<std::uint32_t>(icount.dcd);
  return true;
}

bool PosixSerialDevice::OpenHere(dev_t device) {
  std::lock_guard lock(g_openMutex);
  return std::find(g_open.begin(), g_open.end(), device) != g_open.end();
}

std::uint8_t PosixSerialDevice::InputLines() {
  if (!modemLines_.load(std::memory_order_relaxed))
    return 0;
  std::uint8_t lines = 0;
  int error = 0;
  return GetLines(lines, error) ? lines : 0;
}

void PosixSerialDevice::FlushOutput() {
  tcflush(fd_, TCOFLUSH);
}

IoResult PosixSerialDevice::VanishedResult(int error) const {
  IoResult r;
  r.Status = IoStatus::Vanished;
  r.Reason = error == 0 ? QStringLiteral("hangup") : ErrorText(error);
  return r;
}

IoResult PosixSerialDevice::Read(std::uint8_t* buf, std::size_t capacity) {
  bool hangupSeen = false;
  for (;;) {
    if (shutdown_.load(std::memory_order_acquire))
      return {IoStatus::Shutdown, 0, {}};
    const ssize_t n = ::read(fd_, buf, capacity);
    if (n > 0)
      return {IoStatus::Ok, static_cast<std::size_t>(n), {}};
    if (n == 0)
      return VanishedResult(0);  // VMIN=1 and no data: only a hangup reads 0
    const int error = errno;
    if (error == EINTR)
      continue;
    if (error != EAGAIN && error != EWOULDBLOCK)
      return VanishedResult(error);
    // The poll said hangup or error but there is still nothing to read:
    // give up rather than poll again and spin.
    if (hangupSeen)
      return VanishedResult(EIO);

    pollfd fds[2] = {{fd_, POLLIN, 0}, {shutdownFd_, POLLIN, 0}};
    const int r = ::poll(fds, 2, -1);
    if (r < 0) {
      if (errno == EINTR)
        continue;
      return VanishedResult(errno);
    }
    if (fds[1].revents != 0)
      return {IoStatus::Shutdown, 0, {}};
    if (fds[0].revents & POLLNVAL)
      return VanishedResult(EBADF);
    if (fds[0].revents & (POLLHUP | POLLERR))
      hangupSeen = true;
  }
}

IoResult PosixSerialDevice::Write(const std::uint8_t* data, std::size_t count) {
  bool hangupSeen = false;
  for (;;) {
    if (shutdown_.load(std::memory_order_acquire))
      return {IoStatus::Shutdown, 0, {}};
    const ssize_t n = ::write(fd_, data, count);
    if (n > 0)
      return {IoStatus::Ok, static_cast<std::size_t>(n), {}};
    const int error = n == 0 ? EAGAIN : errno;
    if (error == EINTR)
      continue;
    if (error != EAGAIN && error != EWOULDBLOCK)
      return VanishedResult(error);
    if (hangupSeen)
      return VanishedResult(EIO);

    pollfd fds[3] = {{fd_, POLLOUT, 0}, {shutdownFd_, POLLIN, 0}, {cancelFd_, POLLIN, 0}};
    const int r = ::poll(fds, 3, -1);
    if (r < 0) {
      if (errno == EINTR)
        continue;
      return VanishedResult(errno);
    }
    if (fds[1].revents != 0)
      return {IoStatus::Shutdown, 0, {}};
    if (fds[2].revents != 0) {
      std::uint64_t value = 0;
      [[maybe_unused]] const ssize_t drained = ::read(cancelFd_, &value, sizeof value);
      return {IoStatus::Cancelled, 0, {}};
    }
    if (fds[0].revents & POLLNVAL)
      return VanishedResult(EBADF);
    if (fds[0].revents & (POLLHUP | POLLERR))
      hangupSeen = true;
  }
}

void PosixSerialDevice::CancelWrite() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(cancelFd_, &one, sizeof one);
}

// The driver's interrupt counters (TIOCGICOUNT) tell how often each line
// changed, so a pulse shorter than any wake-up still shows; TIOCMIWAIT sleeps
// until a line changes, and a signal (WakeableCall) ends it for shutdown. The
// lines are read before the counts, so an edge between the two reads shows as
// a change of state on the next round rather than as a pulse. An edge between
// reading the counts and the kernel starting its wait is reported with the
// next one. Where the driver lacks TIOCMIWAIT, or wakes without a change,
// the lines (and counts, if kept) are sampled every 10 ms instead.
IoResult PosixSerialDevice::WaitModemChange(std::uint8_t last, std::uint8_t& lines,
                                            std::uint8_t& changes) {
  constexpr int kSampleMs = 10;
  if (!modemLines_.load(std::memory_order_relaxed))
    return {IoStatus::Unsupported, 0, {}};
  bool woken = false;  // TIOCMIWAIT said a line changed
  for (;;) {
    if (shutdown_.load(std::memory_order_acquire))
      return {IoStatus::Shutdown, 0, {}};
    std::uint8_t now = 0;
    int error = 0;
    if (!GetLines(now, error)) {
      if (NoModemLines(error))
        return {IoStatus::Unsupported, 0, {}};
      if (error != EINTR)
        return VanishedResult(error);
      continue;
    }
    ModemCounts counts = counts_;
    if (counted_ && !GetCounts(counts))
      counted_ = false;
    changes = ModemChanges(last, now, counts_, counts);
    if (changes != 0 || now != last) {
      lines = now;
      counts_ = counts;
      return {IoStatus::Ok, 0, {}};
    }
    // A wake-up that no count and no line shows: the driver's wait cannot
    // be trusted not to return at once for ever, so sample from now on.
    if (woken && counted_)
      waits_ = false;
    woken = false;
    if (waits_) {
      const int r = modemWait_.Run(
          [this] { return ioctl(fd_, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CAR); });
      if (r == 0) {
        woken = true;
        continue;
      }
      error = errno;
      if (error == EINTR)
        continue;
      if (!NoModemLines(error))
        return VanishedResult(error);
      waits_ = false;
    }
    pollfd fd{shutdownFd_, POLLIN, 0};
    if (::poll(&fd, 1, kSampleMs) > 0)
      return {IoStatus::Shutdown, 0, {}};
  }
}

void PosixSerialDevice::Shutdown() {
  shutdown_.store(true, std::memory_order_release);
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(shutdownFd_, &one, sizeof one);
  modemWait_.Wake();
}

// ---------------------------------------------------------------------------
// Provider

namespace {

// For an entry of the ports directory that is a link to nothing (most often
// an adapter that is unplugged): where it leads. Empty for any other reason.
QString UnpluggedReason(const PortsDirectory& directory, int comNumber) {
  if (comNumber < 1 || comNumber > PortsDirectory::MaxPorts || !QFileInfo(directory.Path()).isDir())
    return {};
  const QFileInfo entry(directory.Path() + "/" + ComName(comNumber));
  if (!entry.isSymLink() || entry.exists())
    return {};
  return QStringLiteral("%1 leads to %2, which is not present (is the adapter plugged in?)")
      .arg(entry.filePath(), entry.symLinkTarget());
}

}  // namespace

PosixDeviceProvider::PosixDeviceProvider(PortsDirectory directory, DeviceNodeContext context)
    : directory_(std::move(directory)), context_(std::move(context)) {}

PortProbeResult PosixDeviceProvider::Probe(int comNumber) {
  const std::optional<QString> path = directory_.DevicePath(comNumber);
  if (!path) {
    PortProbeResult r;
    r.Outcome = PortProbe::Missing;
    r.Reason = UnpluggedReason(directory_, comNumber);
    if (r.Reason.isEmpty())
      r.Reason = QStringLiteral("%1 has no device").arg(ComName(comNumber));
    return r;
  }
  return InspectDevice(*path, context_);
}

std::unique_ptr<ISerialDevice> PosixDeviceProvider::Open(int comNumber) {
  const std::optional<QString> path = directory_.DevicePath(comNumber);
  if (!path) {
    QString where = UnpluggedReason(directory_, comNumber);
    if (where.isEmpty()) {
      where = QFileInfo(directory_.Path()).isDir()
                  ? QStringLiteral("no entry %1 in %2").arg(ComName(comNumber), directory_.Path())
                  : QStringLiteral("no serial device for this number");
    }
    throw EComPortError(EComPortError::Kind::OpenFailed,
                        QStringLiteral("%1: cannot open: %2").arg(ComName(comNumber), where));
  }
  // A program that keeps the UUCP convention holds the port even where it
  // has not made it exclusive.
  const pid_t holder = LiveLockHolder(context_.LockDirs, *path);
  const PosixSerialDevice::OpenResult opened = holder != 0
                                                   ? PosixSerialDevice::OpenResult{-1, EBUSY}
                                                   : PosixSerialDevice::OpenExclusive(*path);
  if (opened.Fd < 0) {
    const PortProbeResult why =
        holder != 0 ? LockedResult(*path, holder) : Classify(*path, opened.Error);
    throw EComPortError(
        EComPortError::Kind::OpenFailed,
        QStringLiteral("%1 (%2): cannot open: %3").arg(ComName(comNumber), *path, why.Reason));
  }
  return std::make_unique<PosixSerialDevice>(opened.Fd, *path);
}

}  // namespace klv
