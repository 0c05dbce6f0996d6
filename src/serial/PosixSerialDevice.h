// Serial devices of the POSIX tty layer: serial adapters, on-board UARTs and
// pseudo-terminals, opened exclusively and driven without blocking so that
// every wait can be woken for shutdown.
#pragma once

#include <sys/types.h>

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "serial/PortsDirectory.h"
#include "serial/SerialDevice.h"
#include "serial/WakeableCall.h"

namespace klv {

class PosixSerialDevice final : public ISerialDevice {
 public:
  // Result of an exclusive open: the descriptor, or -1 and the errno value.
  struct OpenResult {
    int Fd = -1;
    int Error = 0;
  };
  // Opens a tty for reading and writing without making it the controlling
  // terminal, takes an exclusive flock (another holder gives EWOULDBLOCK) and
  // sets TIOCEXCL so that other programs cannot open it either.
  static OpenResult OpenExclusive(const QString& path);
  // Undoes OpenExclusive.
  static void CloseExclusive(int fd);

  // Takes over a descriptor from OpenExclusive. Throws EComPortError
  // (OpenFailed) when the wake-up descriptors cannot be made.
  PosixSerialDevice(int fd, QString path);
  ~PosixSerialDevice() override;
  PosixSerialDevice(const PosixSerialDevice&) = delete;
  PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

  QString Name() const override { return path_; }
  void ApplyLineSettings(const LineSettings& settings) override;
  void SetRTS(bool on) override;
  void SetDTR(bool on) override;
  void SetBreak(bool on) override;
  std::uint8_t InputLines() override;
  void FlushOutput() override;
  IoResult Read(std::uint8_t* buf, std::size_t capacity) override;
  IoResult Write(const std::uint8_t* data, std::size_t count) override;
  void CancelWrite() override;
  IoResult WaitModemChange(std::uint8_t last, std::uint8_t& lines, std::uint8_t& changes) override;
  void Shutdown() override;

  // Whether a device (by device number) is open in this process.
  static bool OpenHere(dev_t device);

 private:
  // TIOCMGET into ModemBits; false when the device has no modem lines
  // (pseudo-terminals) or the call failed, with the errno value in error.
  bool GetLines(std::uint8_t& lines, int& error);
  // TIOCGICOUNT; false when the driver keeps no counts.
  bool GetCounts(ModemCounts& counts);
  void SetModemBit(int bit, bool on);
  IoResult VanishedResult(int error) const;

  int fd_;
  int shutdownFd_ = -1;  // eventfd; once signalled it stays signalled
  int cancelFd_ = -1;    // eventfd; drained by the writer that sees it
  QString path_;
  dev_t device_ = 0;
  std::atomic<bool> shutdown_{false};
  std::atomic<bool> modemLines_{true};
  bool pseudoTerminal_ = false;
  // Modem worker only: how changes are seen, and the counts last reported.
  bool counted_ = false;  // the driver counts line changes (TIOCGICOUNT)
  bool waits_ = true;     // the driver waits for them (TIOCMIWAIT)
  ModemCounts counts_;
  WakeableCall modemWait_;
};

// What the device node and the system say about a device, without opening it.
struct DeviceNodeContext {
  QString SysfsRoot = QStringLiteral("/sys");
  // Where programs leave UUCP lock files (LCK..ttyUSB0 holding a process id).
  QStringList LockDirs = {QStringLiteral("/run/lock"), QStringLiteral("/var/lock")};
};

// Present, busy, forbidden or missing, told from the node (a character
// device the user may read and write), sysfs (a serial port with hardware
// behind it, not a placeholder ttyS), the devices this process holds open
// and the UUCP lock files of other programs.
PortProbeResult InspectDevice(const QString& path, const DeviceNodeContext& context);

// Resolves COM numbers through a ports directory and opens POSIX devices.
class PosixDeviceProvider final : public ISerialDeviceProvider {
 public:
  explicit PosixDeviceProvider(PortsDirectory directory, DeviceNodeContext context = {});
  const PortsDirectory& Directory() const { return directory_; }

  PortProbeResult Probe(int comNumber) override;
  std::unique_ptr<ISerialDevice> Open(int comNumber) override;

 private:
  PortsDirectory directory_;
  DeviceNodeContext context_;
};

}  // namespace klv
