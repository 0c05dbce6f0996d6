// The renderers of the display modes behind the main window's one interface.
#pragma once

#include "common/ReceiveInterfaces.h"
#include "display/P_hextty.h"

namespace klv {

class TDisplayRenderers : public IReceiveRenderers {
 public:
  explicit TDisplayRenderers(TProtocol_HexTTY& hexTty) : hexTty_(hexTty) {}

  void HexReceiveByte(int channel, std::uint8_t byte) override {
    hexTty_.HexReceiveByte(channel, byte);
  }
  void TtyReceiveByte(int channel, std::uint8_t byte) override {
    hexTty_.TtyReceiveByte(channel, byte);
  }
  // The Ruvo-94 decoder is not built in yet: Protocol mode shows nothing.
  void RuvoReceiveByte(int, std::uint8_t) override {}
  void HexReset() override { hexTty_.HexReset(); }
  void RuvoReset() override {}
  void HexModemStatusLine(int channel, const TModemStatusRecord& record) override {
    hexTty_.HexModemStatusLine(channel, record);
  }
  void TtyModemStatusLine(int channel, const TModemStatusRecord& record) override {
    hexTty_.TtyModemStatusLine(channel, record);
  }
  void HexLogPendingLine(const QString& tail, bool toFile) override {
    hexTty_.HexLogPendingLine(tail.toStdString(), toFile);
  }

 private:
  TProtocol_HexTTY& hexTty_;
};

}  // namespace klv
