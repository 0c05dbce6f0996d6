// The renderers of the display modes behind the main window's one interface.
#pragma once

#include "common/ReceiveInterfaces.h"
#include "display/P_hextty.h"
#include "protocol/P_ruvo94.h"

namespace klv {

class TDisplayRenderers : public IReceiveRenderers {
 public:
  TDisplayRenderers(TProtocol_HexTTY& hexTty, TProtocol_Ruvo94& ruvo)
      : hexTty_(hexTty), ruvo_(ruvo) {}

  void HexReceiveByte(int channel, std::uint8_t byte) override {
    hexTty_.HexReceiveByte(channel, byte);
  }
  void TtyReceiveByte(int channel, std::uint8_t byte) override {
    hexTty_.TtyReceiveByte(channel, byte);
  }
  void RuvoReceiveByte(int channel, std::uint8_t byte) override {
    ruvo_.RuvoReceiveByte(channel, byte);
  }
  void HexReset() override { hexTty_.HexReset(); }
  void RuvoReset() override { ruvo_.RuvoReset(); }
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
  TProtocol_Ruvo94& ruvo_;
};

}  // namespace klv
