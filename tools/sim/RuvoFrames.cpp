#include "sim/RuvoFrames.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "protocol/ProtocolRules.h"

namespace klv::sim {
namespace {

// What the master asks its slaves for, in turn.
constexpr std::array<std::string_view, 6> kRequests = {"TEMP?", "PRES?", "FLOW?",
                                                       "STAT?", "ID?",   "LOG?"};

// A decimal with two places, without the locale's say in it.
std::string Hundredths(long value) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%ld.%02ld", value < 0 ? "-" : "", std::labs(value) / 100,
                std::labs(value) % 100);
  return text;
}

}  // namespace

std::uint8_t RuvoCheckByte(std::string_view stxToEtx) {
  return ComputeChecksum(TChecksumAlg::XorRor, stxToEtx);
}

std::string EncodeRuvoFrame(const TRuvoFrame& frame) {
  if (frame.Data.size() > kMaxRuvoData)
    throw std::invalid_argument("Ruvo-94 frame data longer than 252 bytes");
  for (char c : frame.Data) {
    if (static_cast<std::uint8_t>(c) < kLowestDataByte)
      throw std::invalid_argument("Ruvo-94 frame data byte below 04H");
  }
  std::string bytes;
  bytes.reserve(frame.Data.size() + 7);
  bytes += static_cast<char>(kStx);
  bytes += static_cast<char>(frame.To);
  bytes += static_cast<char>(frame.From);
  bytes += static_cast<char>(frame.Type);
  bytes += static_cast<char>(frame.Data.size() + 3);
  bytes += frame.Data;
  bytes += static_cast<char>(kEtx);
  bytes += static_cast<char>(RuvoCheckByte(bytes));
  return bytes;
}

std::string EncodeRuvoFrame(const TRuvoFrame& frame, TRuvoFault fault, std::uint8_t faultByte) {
  std::string bytes = EncodeRuvoFrame(frame);
  switch (fault) {
    case TRuvoFault::None:
      break;
    case TRuvoFault::BadCheck:
      if (faultByte == 0)
        throw std::invalid_argument("a bad check byte needs a non-zero change");
      bytes.back() = static_cast<char>(static_cast<std::uint8_t>(bytes.back()) ^ faultByte);
      break;
    case TRuvoFault::MissingEtx:
      bytes.erase(bytes.size() - 2, 1);
      break;
    case TRuvoFault::StrayByte:
      if (faultByte == kStx)
        throw std::invalid_argument("a stray STX would start a frame");
      bytes.insert(bytes.begin(), static_cast<char>(faultByte));
      break;
  }
  return bytes;
}

TRuvoGenerator::TRuvoGenerator(std::uint64_t seed, double faultRate)
    : random_(seed), faultRate_(faultRate) {}

TRuvoExchange TRuvoGenerator::Next() {
  const auto slave = static_cast<std::uint8_t>(kFirstSlave + polls_ % kSlaveCount);
  // Each slave is asked for something else on every round of the poll.
  const std::string_view request = kRequests[(polls_ / kSlaveCount + polls_) % kRequests.size()];
  ++polls_;
  TRuvoExchange exchange;
  exchange.Poll = Send({slave, kMaster, kPollType, std::string(request)});
  exchange.Answer = Send({kMaster, slave, kAnswerType, AnswerData(slave, request)});
  return exchange;
}

std::string TRuvoGenerator::AnswerData(std::uint8_t slave, std::string_view request) {
  if (request == "TEMP?")
    return "T=" + Hundredths(static_cast<long>(random_.Below(10001)) - 2000) + " C";
  if (request == "PRES?")
    return "P=" + Hundredths(95000 + static_cast<long>(random_.Below(10001))) + " hPa";
  if (request == "FLOW?")
    return "Q=" + Hundredths(static_cast<long>(random_.Below(250001))) + " m3/h";
  if (request == "STAT?") {
    constexpr std::array<std::string_view, 4> kStates = {"OK", "", "WARN 12: FILTER",
                                                         "ALARM 3: OVERTEMP"};
    return std::string(kStates[random_.Below(kStates.size())]);
  }
  if (request == "ID?") {
    char text[kMaxAnswerData + 1];
    std::snprintf(text, sizeof text, "KELVORA SENSOR %02XH FW 2.14 SN %07u", slave,
                  random_.Below(10000000));
    return text;
  }
  // A log record cut anywhere from empty to the longest answer; its CR LF
  // are data bytes like any other (both are at least 04H).
  std::string log;
  while (log.size() < kMaxAnswerData) {
    char entry[40];
    std::snprintf(entry, sizeof entry, "EV%03u T+%us\r\n", random_.Below(1000),
                  random_.Below(100000));
    log += entry;
  }
  log.resize(random_.Below(kMaxAnswerData + 1));
  return log;
}

TRuvoSend TRuvoGenerator::Send(TRuvoFrame frame) {
  TRuvoSend send;
  std::uint8_t faultByte = 0;
  if (random_.Chance(faultRate_)) {
    send.Fault = static_cast<TRuvoFault>(1 + random_.Below(3));
    faultByte = static_cast<std::uint8_t>(random_.Below(255));
    if (send.Fault == TRuvoFault::BadCheck) {
      faultByte = static_cast<std::uint8_t>(faultByte + 1);  // 01H..FFH
    } else if (send.Fault == TRuvoFault::StrayByte && faultByte >= kStx) {
      faultByte = static_cast<std::uint8_t>(faultByte + 1);  // anything but STX
    }
  }
  send.Bytes = EncodeRuvoFrame(frame, send.Fault, faultByte);
  // A check byte of 03H would stand in for the missing ETX and swallow the
  // next frame's STX as its check byte: send a bad check byte instead, so
  // that every fault spoils exactly one frame.
  if (send.Fault == TRuvoFault::MissingEtx &&
      static_cast<std::uint8_t>(send.Bytes.back()) == kEtx) {
    send.Fault = TRuvoFault::BadCheck;
    send.Bytes = EncodeRuvoFrame(frame, send.Fault, 0xFF);
  }
  send.Frame = std::move(frame);
  return send;
}

}  // namespace klv::sim
