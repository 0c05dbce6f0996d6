// Types shared by the serial port object and the device backends.
#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace klv {

enum class TParity : std::uint8_t { pNone = 0, pOdd = 1, pEven = 2, pMark = 3, pSpace = 4 };

struct LineSettings {
  std::int32_t Baud = 9600;
  TParity Parity = TParity::pNone;
  std::uint16_t DataBits = 8;  // 5..8
  std::uint16_t StopBits = 1;  // 1 or 2
  friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// Modem-status byte, laid out like a UART's modem status register.
namespace ModemBits {
inline constexpr std::uint8_t DeltaCTS = 0x01;
inline constexpr std::uint8_t DeltaDSR = 0x02;
inline constexpr std::uint8_t TrailingEdgeRI = 0x04;
inline constexpr std::uint8_t DeltaDCD = 0x08;
inline constexpr std::uint8_t CTS = 0x10;
inline constexpr std::uint8_t DSR = 0x20;
inline constexpr std::uint8_t RI = 0x40;
inline constexpr std::uint8_t DCD = 0x80;
inline constexpr std::uint8_t InputLines = CTS | DSR | RI | DCD;
// The mask the analyser arms its modem-status triggers with: CTS, DSR and DCD
// changes and the trailing edge of RI.
inline constexpr std::uint8_t AnalyserMask = 180;
}  // namespace ModemBits

// How often each input line has changed since the device was opened, as the
// kernel counts the interrupts of a UART. Counts run freely and wrap.
struct ModemCounts {
  std::uint32_t CTS = 0;
  std::uint32_t DSR = 0;
  std::uint32_t RI = 0;
  std::uint32_t DCD = 0;
  friend bool operator==(const ModemCounts&, const ModemCounts&) = default;
};

// Change bits (ModemBits::DeltaCTS | DeltaDSR | TrailingEdgeRI | DeltaDCD) for
// the step from the lines `last` to `now`, with `before` and `after` the
// counts read just after each of the two line states. A line whose state is
// unchanged but whose count moved had a pulse: it came and went between the
// two reads, and counts as changed. Drivers count RI either on both edges or
// on its trailing edge only; a rising RI is taken as having had a trailing
// edge too only when at least two edges were counted.
inline std::uint8_t ModemChanges(std::uint8_t last, std::uint8_t now, const ModemCounts& before,
                                 const ModemCounts& after) {
  const auto toggled = static_cast<std::uint8_t>(last ^ now);
  std::uint8_t changes = 0;
  if ((toggled & ModemBits::CTS) || after.CTS != before.CTS)
    changes |= ModemBits::DeltaCTS;
  if ((toggled & ModemBits::DSR) || after.DSR != before.DSR)
    changes |= ModemBits::DeltaDSR;
  if ((toggled & ModemBits::DCD) || after.DCD != before.DCD)
    changes |= ModemBits::DeltaDCD;
  const std::uint32_t ringEdges = after.RI - before.RI;
  const bool ringFell = (last & ModemBits::RI) && !(now & ModemBits::RI);
  const bool ringRose = !(last & ModemBits::RI) && (now & ModemBits::RI);
  if (ringFell || (!ringRose && ringEdges > 0) || (ringRose && ringEdges >= 2))
    changes |= ModemBits::TrailingEdgeRI;
  return changes;
}

// What a trial open of a port number found.
enum class PortProbe {
  Available,         // exists and could be opened exclusively
  Busy,              // exists but another program (or another port object) holds it
  PermissionDenied,  // exists but this user may not open it
  Missing,           // no device behind the number
  Failed,            // exists but the open failed for another reason
};

struct PortProbeResult {
  PortProbe Outcome = PortProbe::Missing;
  QString DevicePath;  // the device the number resolves to, empty when none
  QString Reason;      // for the user: what went wrong and, where there is one, the fix
};

// Raised by the port layer; the message is meant for the user as it stands.
class EComPortError : public std::runtime_error {
 public:
  enum class Kind { OpenFailed, BufferFull, UnsupportedSetting, DeviceFailed };
  EComPortError(Kind kind, const QString& message)
      : std::runtime_error(message.toStdString()), kind_(kind), message_(message) {}
  Kind kind() const { return kind_; }
  const QString& message() const { return message_; }

 private:
  Kind kind_;
  QString message_;
};

}  // namespace klv
