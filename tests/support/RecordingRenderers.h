// A display renderer and a raw log that record what the receive path hands
// them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/ReceiveInterfaces.h"

namespace klv::test {

class RecordingRenderer : public IDisplayRenderer {
 public:
  struct Byte {
    int channel;
    std::uint8_t value;
  };
  struct ModemLine {
    int channel;
    TModemStatusRecord record;
  };

  void ReceiveByte(int channel, std::uint8_t byte) override {
    bytes.push_back({channel, byte});
    if (onByte)
      onByte(channel, byte);
  }
  void ModemStatusLine(int channel, const TModemStatusRecord& record) override {
    modemLines.push_back({channel, record});
  }
  void Reset() override {}
  void LogPendingLine(std::string_view, bool) override {}

  // The bytes of one channel, in the order they arrived.
  std::vector<std::uint8_t> Channel(int channel) const {
    std::vector<std::uint8_t> out;
    for (const Byte& b : bytes) {
      if (b.channel == channel)
        out.push_back(b.value);
    }
    return out;
  }
  std::string Text(int channel) const {
    const std::vector<std::uint8_t> out = Channel(channel);
    return std::string(out.begin(), out.end());
  }

  std::vector<Byte> bytes;
  std::vector<ModemLine> modemLines;
  // Runs inside rendering, after the byte is recorded.
  std::function<void(int channel, std::uint8_t byte)> onByte;
};

class RecordingLog : public IReceiveLog {
 public:
  void LoadLogSettings() override {}
  bool OpenLog() override { return true; }
  void CloseLog() override {}
  void OpenPrinterLog() override {}
  void ClosePrinterLog() override {}
  void LogRawByte(std::uint8_t byte) override { raw.push_back(byte); }

  std::vector<std::uint8_t> raw;
};

}  // namespace klv::test
