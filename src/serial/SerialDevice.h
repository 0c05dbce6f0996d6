// The device interface under the serial port object. One backend talks to real
// POSIX tty devices (serial adapters and pseudo-terminals); the other is an
// in-process simulated null-modem cable for what a pseudo-terminal cannot show
// (modem lines, parity and data bits, break, a device that vanishes).
//
// Threading: the port object calls Read from its receive worker, Write from its
// output worker and WaitModemChange from its modem worker, each from one thread
// only; every other member is called from the user-interface thread. Shutdown
// may be called from any thread and wakes every blocked call for good.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "serial/SerialTypes.h"

namespace klv {

enum class IoStatus {
  Ok,          // the call moved data or saw a change
  Cancelled,   // CancelWrite woke a blocked Write
  Shutdown,    // Shutdown was called
  Vanished,    // the device is gone (unplugged, hung up, I/O error)
  Unsupported  // the device has no modem lines (WaitModemChange only)
};

struct IoResult {
  IoStatus Status = IoStatus::Ok;
  std::size_t Count = 0;  // bytes moved
  QString Reason;         // for Vanished: what the system said
};

class ISerialDevice {
 public:
  virtual ~ISerialDevice() = default;

  // Path or name of the device, for messages.
  virtual QString Name() const = 0;

  // Applies line settings at once. Throws EComPortError (UnsupportedSetting)
  // and keeps the previous settings when the device refuses them.
  virtual void ApplyLineSettings(const LineSettings& settings) = 0;
  virtual void SetRTS(bool on) = 0;
  virtual void SetDTR(bool on) = 0;
  virtual void SetBreak(bool on) = 0;
  // Current input lines as ModemBits::CTS | DSR | RI | DCD; 0 without modem lines.
  virtual std::uint8_t InputLines() = 0;
  // Drops whatever the driver still holds for transmission.
  virtual void FlushOutput() = 0;

  // Blocks until at least one byte was read into buf (Ok, Count >= 1),
  // or Shutdown/Vanished.
  virtual IoResult Read(std::uint8_t* buf, std::size_t capacity) = 0;
  // Blocks until at least one byte was written (Ok, Count >= 1), or
  // Cancelled/Shutdown/Vanished.
  virtual IoResult Write(const std::uint8_t* data, std::size_t count) = 0;
  // Wakes a Write that is blocked because the line does not take data.
  virtual void CancelWrite() = 0;
  // Blocks until an input line changed: its state differs from `last`, or it
  // changed and came back since the previous call (a pulse; the device counts
  // edges from the moment it was opened). Ok: `lines` holds the state now and
  // `changes` the change bits (ModemBits::DeltaCTS | DeltaDSR |
  // TrailingEdgeRI | DeltaDCD) of every line that moved, pulses included.
  // Otherwise Shutdown/Vanished/Unsupported.
  virtual IoResult WaitModemChange(std::uint8_t last, std::uint8_t& lines,
                                   std::uint8_t& changes) = 0;
  virtual void Shutdown() = 0;
};

// Resolves COM numbers (1..16) to devices.
class ISerialDeviceProvider {
 public:
  virtual ~ISerialDeviceProvider() = default;
  // Tells whether the device is there, free and permitted, without opening
  // it: opening a serial port raises DTR and RTS, which resets many boards.
  virtual PortProbeResult Probe(int comNumber) = 0;
  // Opens the device exclusively. Throws EComPortError (OpenFailed) with a
  // message that names the port, the device and the reason.
  virtual std::unique_ptr<ISerialDevice> Open(int comNumber) = 0;
};

// The provider every port uses unless one is set on the port itself: POSIX
// devices through the ports directory, unless replaced (tests, simulator).
ISerialDeviceProvider& DefaultDeviceProvider();
// Replaces the default provider; nullptr restores the POSIX one. The caller
// keeps ownership and must keep the provider alive while it is set.
void SetDefaultDeviceProvider(ISerialDeviceProvider* provider);

}  // namespace klv
