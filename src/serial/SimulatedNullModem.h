// An in-process null-modem cable between two simulated serial devices, end A
// and end B. Bytes written on one end arrive on the other; the output lines of
// one end drive the input lines of the other as a null-modem cable wires them
// (RTS -> CTS, DTR -> DSR and DCD). Ring indicator, a stalled transmitter and
// a device that disappears can be injected per end, and what each end did
// (line settings, break, flushes) can be read back. Used by tests and by the
// device simulator for what a pseudo-terminal cannot show.
//
// Thread-safe: every member may be called from any thread. Devices opened
// from the pair keep the shared state alive, so they may outlive the object.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "serial/SerialDevice.h"
#include "serial/SerialTypes.h"

namespace klv {

class SimulatedNullModem final : public ISerialDeviceProvider {
 public:
  enum class End : std::uint8_t { A = 0, B = 1 };
  static constexpr std::size_t DefaultCapacity = 64 * 1024;

  // comA and comB are the COM numbers under which the provider offers the
  // ends (0: not offered). capacity bounds the bytes in flight per direction;
  // a Write blocks while the receiving end holds that many unread bytes.
  explicit SimulatedNullModem(int comA = 0, int comB = 0, std::size_t capacity = DefaultCapacity);
  ~SimulatedNullModem() override;
  SimulatedNullModem(const SimulatedNullModem&) = delete;
  SimulatedNullModem& operator=(const SimulatedNullModem&) = delete;

  // Provider: Available, Busy while the end is open, Missing for other
  // numbers and for an end that vanished.
  PortProbeResult Probe(int comNumber) override;
  std::unique_ptr<ISerialDevice> Open(int comNumber) override;
  // Opens an end directly. Throws EComPortError (OpenFailed) when it is
  // open already or has vanished.
  std::unique_ptr<ISerialDevice> OpenEnd(End end);

  // --- Injection -----------------------------------------------------------
  // Ring indicator seen by `end`.
  void SetRing(End end, bool on);
  // While set, Write on `end` takes nothing and blocks (until cancelled).
  void SetFlowStopped(End end, bool stopped);
  // The device behind `end` disappears: every blocked and later call on the
  // open device returns Vanished, its output lines drop, and the end cannot
  // be opened until Reconnect.
  void Vanish(End end);
  void Reconnect(End end);
  // Rates above maxBaud are refused by ApplyLineSettings (0: no limit).
  void SetMaxBaud(End end, std::int32_t maxBaud);

  // --- Observation ---------------------------------------------------------
  bool IsOpen(End end) const;
  // Settings last applied by the device on `end`.
  LineSettings AppliedSettings(End end) const;
  // Output lines as last set by `end` (false while it is closed).
  bool RTS(End end) const;
  bool DTR(End end) const;
  // Input lines of `end` as ModemBits::CTS | DSR | RI | DCD.
  std::uint8_t InputLines(End end) const;
  // Break as received by `end`: whether the other end holds the line in
  // break now, and how many breaks it has started so far.
  bool BreakHeld(End end) const;
  int BreaksReceived(End end) const;
  // How often `end` was asked to drop its pending output.
  int OutputFlushes(End end) const;
  // Whether a Write on `end` is waiting because the line takes nothing.
  bool WriteBlocked(End end) const;
  // Bytes written towards `end` that it has not read yet.
  std::size_t PendingInput(End end) const;

  static End Other(End end) { return end == End::A ? End::B : End::A; }

 private:
  struct Shared;
  class Device;
  // label names the end in error messages.
  std::unique_ptr<ISerialDevice> OpenAs(End end, const QString& label);
  std::shared_ptr<Shared> shared_;
  int comA_;
  int comB_;
};

}  // namespace klv
