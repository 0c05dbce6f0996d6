#include "serial/Termios2.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace klv::termios2 {
namespace {

tcflag_t SizeFlag(std::uint16_t dataBits) {
  switch (dataBits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

tcflag_t ParityFlags(TParity parity) {
  switch (parity) {
    case TParity::pOdd:
      return PARENB | PARODD;
    case TParity::pEven:
      return PARENB;
    case TParity::pMark:
      return PARENB | CMSPAR | PARODD;
    case TParity::pSpace:
      return PARENB | CMSPAR;
    case TParity::pNone:
      break;
  }
  return 0;
}

constexpr tcflag_t kFramingMask = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR;

int Get(int fd, struct termios2& t) {
  int r;
  do {
    r = ioctl(fd, TCGETS2, &t);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? errno : 0;
}

int Set(int fd, const struct termios2& t) {
  int r;
  do {
    r = ioctl(fd, TCSETS2, &t);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? errno : 0;
}

// Drivers round a rate to what their divisor can make; more than 3 % off
// would garble the line, so that counts as refused.
bool RateAcceptable(speed_t requested, speed_t actual) {
  const auto diff = std::llabs(static_cast<long long>(requested) - static_cast<long long>(actual));
  return diff * 100 <= static_cast<long long>(requested) * 3;
}

}  // namespace

int ApplyRaw(int fd, const LineSettings& settings, bool checkFraming) {
  if (settings.Baud <= 0)
    return EINVAL;
  struct termios2 old {};
  if (int e = Get(fd, old); e != 0)
    return e;

  struct termios2 t = old;
  t.c_iflag = 0;
  t.c_oflag = 0;
  t.c_lflag = 0;
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT) | kFramingMask | CRTSCTS);
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | CLOCAL | CREAD;
  t.c_cflag |= SizeFlag(settings.DataBits) | ParityFlags(settings.Parity);
  if (settings.StopBits == 2)
    t.c_cflag |= CSTOPB;
  t.c_ispeed = static_cast<speed_t>(settings.Baud);
  t.c_ospeed = static_cast<speed_t>(settings.Baud);
  // One byte satisfies a read and there is no inter-byte timer: a
  // non-blocking read without data fails with EAGAIN, so a read of 0 bytes
  // can only mean hangup.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (int e = Set(fd, t); e != 0)
    return e;

  // Drivers may quietly keep the old rate or drop framing bits they do not
  // support (mark/space parity on many adapters); read back and undo.
  struct termios2 now {};
  if (int e = Get(fd, now); e != 0)
    return e;
  if (!RateAcceptable(t.c_ospeed, now.c_ospeed) ||
      (checkFraming && (now.c_cflag & kFramingMask) != (t.c_cflag & kFramingMask))) {
    Set(fd, old);
    return EINVAL;
  }
  return 0;
}

int ReadLineSettings(int fd, LineSettings& settings) {
  struct termios2 t {};
  if (int e = Get(fd, t); e != 0)
    return e;
  settings.Baud = static_cast<std::int32_t>(t.c_ospeed);
  switch (t.c_cflag & CSIZE) {
    case CS5:
      settings.DataBits = 5;
      break;
    case CS6:
      settings.DataBits = 6;
      break;
    case CS7:
      settings.DataBits = 7;
      break;
    default:
      settings.DataBits = 8;
      break;
  }
  settings.StopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
  if (!(t.c_cflag & PARENB)) {
    settings.Parity = TParity::pNone;
  } else if (t.c_cflag & CMSPAR) {
    settings.Parity = (t.c_cflag & PARODD) ? TParity::pMark : TParity::pSpace;
  } else {
    settings.Parity = (t.c_cflag & PARODD) ? TParity::pOdd : TParity::pEven;
  }
  return 0;
}

}  // namespace klv::termios2
