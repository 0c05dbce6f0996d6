// The serial port object of one channel. It hides the device behind line
// parameters, output lines, an input and an output ring of 4096 bytes, modem
// status queries and two events raised on the user-interface thread.
//
// Workers: a receive worker moves device bytes into the input ring (and waits,
// leaving the bytes in the kernel, while the ring is full); an output worker
// drains the output ring into the device; a modem worker watches the input
// lines and fires the armed modem-status triggers. Events reach the owner
// through queued calls on the thread that owns this object.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

#include "serial/SerialDevice.h"
#include "serial/SerialTypes.h"

namespace klv {

// Global switch of PortAvailable: when set, a port that exists but cannot be
// opened because someone else holds it (or this user lacks permission)
// still counts as available. Initially true.
bool CountPortsInUse();
void SetCountPortsInUse(bool on);

// Trial exclusive open of COM n through the default provider.
bool PortAvailable(int comNumber);
PortProbeResult ProbePort(int comNumber);

class TComPort : public QObject {
  Q_OBJECT

 public:
  static constexpr std::uint16_t InSize = 4096;
  static constexpr std::uint16_t OutSize = 4096;
  // Length of one clock tick of HoldBreak, in milliseconds.
  static constexpr int TickMs = 55;

  explicit TComPort(QObject* parent = nullptr);
  ~TComPort() override;

  // Provider for this port only (tests, simulator); nullptr uses the default.
  void SetDeviceProvider(ISerialDeviceProvider* provider);

  std::uint8_t ComNumber() const;
  // On an open port the new device is opened first; when that fails the old
  // one stays open and EComPortError is thrown.
  void SetComNumber(std::uint8_t n);
  std::int32_t Baud() const;
  void SetBaud(std::int32_t baud);  // throws EComPortError when refused; keeps the old rate
  TParity Parity() const;
  void SetParity(TParity parity);
  std::uint16_t DataBits() const;
  void SetDataBits(std::uint16_t bits);
  std::uint16_t StopBits() const;
  void SetStopBits(std::uint16_t bits);

  bool RTS() const;
  void SetRTS(bool on);
  bool DTR() const;
  void SetDTR(bool on);

  bool Open() const;
  // true opens the device with the current properties (throws EComPortError
  // when it cannot), false discards pending output and closes it.
  void SetOpen(bool open);

  // Input lines from the last modem status; false on a closed port.
  bool CTS() const;
  bool DSR() const;
  bool RI() const;
  bool DCD() const;
  // Input line states in bits 4..7 and the changes since the last call in
  // bits 0..3 (reading clears them, like a UART's modem status register).
  std::uint8_t ModemStatusByte();

  // Oldest byte of the input ring; 0 when empty or closed.
  std::uint8_t ReadByte();
  // Bytes waiting in the input ring (0 when closed).
  int InputWaiting() const;
  // Raises OnTriggerAvail now for the bytes waiting in the input ring, as the
  // posted event would (for example before the program exits). Does nothing
  // while a handler of this port is running.
  void DeliverReceived();
  // Appends all bytes to the output ring, or none: throws EComPortError
  // (BufferFull) when the room is smaller than the data.
  void WriteBytes(std::string_view bytes);
  int OutputPending() const;
  int OutputRoom() const;
  void DiscardOutput();
  // Puts the line in break and returns at once; a timer on this port's
  // thread ends the break ticks * 55 ms later, so that thread must run an
  // event loop. Ignored on a closed port and while a break is on (the
  // running break keeps its end). Closing the port, changing its number or
  // losing the device ends the break with the session.
  void HoldBreak(int ticks);
  bool BreakActive() const;

  std::uint16_t NewModemTrigger();
  // Arms a one-shot trigger: it fires on the next change of a line whose
  // state bit (or change bit) is in the mask, then stays quiet until armed again.
  // Triggers belong to the port: an armed trigger stays armed across closing
  // and opening, and arming a closed port takes effect when it opens.
  void ArmModemTrigger(std::uint16_t handle, std::uint8_t mask);

 signals:
  // Count bytes wait in the input ring; the handler reads exactly that many.
  void OnTriggerAvail(klv::TComPort* port, int Count);
  void OnTriggerModemStatus(klv::TComPort* port);
  // The device failed while open (for example it was unplugged); the port has
  // already closed itself. Raised once per failure.
  void OnPortError(klv::TComPort* port, const QString& message);

 private:
  struct Session;
  struct Triggers;
  // Opens COM n through the provider and puts the current settings and
  // output lines on it; throws EComPortError (OpenFailed).
  std::unique_ptr<ISerialDevice> OpenDevice(std::uint8_t comNumber);
  // Applies settings to the open device; throws (UnsupportedSetting) and
  // leaves the device as it was when it refuses them.
  void ApplyToDevice(const LineSettings& settings);
  QString PortName() const;
  // Input line states of the open session, 0 when closed.
  std::uint8_t ModemStatusLines() const;
  void StartSession(std::unique_ptr<ISerialDevice> device);
  void StopSession();
  // Takes the line out of break, if this port put it there.
  void EndBreak();
  void DeliverAvail(std::uint64_t sessionId);
  void DeliverModemStatus(std::uint64_t sessionId);
  void DeliverVanish(std::uint64_t sessionId, const QString& reason);
  LineSettings Settings() const;
  ISerialDeviceProvider& Provider() const;

  ISerialDeviceProvider* provider_ = nullptr;
  std::uint8_t comNumber_ = 0;
  LineSettings settings_;
  bool rts_ = false;
  bool dtr_ = true;
  std::uint16_t nextTriggerHandle_ = 1;
  std::unique_ptr<Triggers> triggers_;  // shared with the modem worker
  std::unique_ptr<Session> session_;
  std::uint64_t sessionCounter_ = 0;
  QTimer breakTimer_;  // single shot, runs while the line is in break
  bool breakOn_ = false;
};

}  // namespace klv
