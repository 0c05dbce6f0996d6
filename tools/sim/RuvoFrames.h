// Ruvo-94 frames as a master and its slaves put them on the line, and the
// faults a test engineer hunts for: a bad check byte, a missing ETX and a
// stray byte between frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/Random.h"

namespace klv::sim {

inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
// Data bytes are at least 04H; the length byte (data + 3) is one byte.
inline constexpr std::uint8_t kLowestDataByte = 0x04;
inline constexpr std::size_t kMaxRuvoData = 255 - 3;

struct TRuvoFrame {
  std::uint8_t To = 0;
  std::uint8_t From = 0;
  std::uint8_t Type = 0;
  std::string Data;
  friend bool operator==(const TRuvoFrame&, const TRuvoFrame&) = default;
};

enum class TRuvoFault : std::uint8_t {
  None,
  BadCheck,    // the check byte is wrong
  MissingEtx,  // the ETX is left out; the check byte follows the data
  StrayByte,   // a byte other than STX comes before the frame
};

// XOR each byte into the sum, then rotate the sum right by one bit.
std::uint8_t RuvoCheckByte(std::string_view stxToEtx);

// The frame as it goes on the line: STX, To, From, Type, length, data, ETX,
// check byte. Throws std::invalid_argument for data longer than kMaxRuvoData
// or with a byte below 04H: such a frame cannot be sent well formed.
std::string EncodeRuvoFrame(const TRuvoFrame& frame);
// The same with a fault. `faultByte` is XORed into the check byte (BadCheck,
// must not be 0) or sent before the frame (StrayByte, must not be STX).
std::string EncodeRuvoFrame(const TRuvoFrame& frame, TRuvoFault fault, std::uint8_t faultByte);

// One frame as sent: what it says, its fault, and its bytes on the line.
struct TRuvoSend {
  TRuvoFrame Frame;
  TRuvoFault Fault = TRuvoFault::None;
  std::string Bytes;
};

// A master's poll and the polled slave's answer.
struct TRuvoExchange {
  TRuvoSend Poll;
  TRuvoSend Answer;
};

// A master at 01H polling the slaves 10H..17H in turn with a short request
// (type 'P'); each slave answers (type 'R') with a reading, a status, an
// identification or a log record of 0..60 data bytes. Each frame gets a
// fault with probability `faultRate`. The same seed gives the same exchanges.
class TRuvoGenerator {
 public:
  static constexpr std::uint8_t kMaster = 0x01;
  static constexpr std::uint8_t kFirstSlave = 0x10;
  static constexpr std::uint8_t kSlaveCount = 8;
  static constexpr std::uint8_t kPollType = 'P';
  static constexpr std::uint8_t kAnswerType = 'R';
  static constexpr std::size_t kMaxAnswerData = 60;

  TRuvoGenerator(std::uint64_t seed, double faultRate);

  TRuvoExchange Next();

 private:
  std::string AnswerData(std::uint8_t slave, std::string_view request);
  TRuvoSend Send(TRuvoFrame frame);

  TRandom random_;
  double faultRate_;
  unsigned polls_ = 0;
};

}  // namespace klv::sim
