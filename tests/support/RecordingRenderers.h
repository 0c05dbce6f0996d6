// Renderers and log that record what the main window hands them.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "common/ReceiveInterfaces.h"

namespace klv::test {

class RecordingRenderers : public IReceiveRenderers {
 public:
  enum class Mode { Hex, Tty, Ruvo };
  struct Byte {
    Mode mode;
    int channel;
    std::uint8_t value;
  };
  struct ModemLine {
    bool hex;
    int channel;
    TModemStatusRecord record;
  };

  void HexReceiveByte(int channel, std::uint8_t byte) override {
    bytes.push_back({Mode::Hex, channel, byte});
  }
  void TtyReceiveByte(int channel, std::uint8_t byte) override {
    bytes.push_back({Mode::Tty, channel, byte});
  }
  void RuvoReceiveByte(int channel, std::uint8_t byte) override {
    bytes.push_back({Mode::Ruvo, channel, byte});
  }
  void HexReset() override { ++hexResets; }
  void RuvoReset() override { ++ruvoResets; }
  void HexModemStatusLine(int channel, const TModemStatusRecord& record) override {
    modemLines.push_back({true, channel, record});
  }
  void TtyModemStatusLine(int channel, const TModemStatusRecord& record) override {
    modemLines.push_back({false, channel, record});
  }
  void HexLogPendingLine(const QString& tail, bool toFile) override {
    pendingLines.push_back({tail, toFile});
  }

  // The bytes of one channel, in the order they arrived.
  std::vector<std::uint8_t> Channel(int channel) const {
    std::vector<std::uint8_t> out;
    for (const Byte& b : bytes) {
      if (b.channel == channel)
        out.push_back(b.value);
    }
    return out;
  }

  std::vector<Byte> bytes;
  std::vector<ModemLine> modemLines;
  std::vector<std::pair<QString, bool>> pendingLines;
  int hexResets = 0;
  int ruvoResets = 0;
};

class RecordingLog : public IReceiveLog {
 public:
  void LoadLogSettings() override { ++loads; }
  bool OpenLog() override { return opensSucceed; }
  void CloseLog() override { ++closes; }
  void OpenPrinterLog() override {}
  void ClosePrinterLog() override { ++printerCloses; }
  void LogRawByte(std::uint8_t byte) override { raw.push_back(byte); }

  bool opensSucceed = true;
  int loads = 0;
  int closes = 0;
  int printerCloses = 0;
  std::vector<std::uint8_t> raw;
};

}  // namespace klv::test
