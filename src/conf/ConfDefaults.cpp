#include "conf/ConfDefaults.h"

namespace klv {
namespace {

void SetPortDefaults(TComparam& comparam, const std::function<bool(int)>& portPresent) {
  auto& channels = comparam.Channel;
  channels[0].Enabled = false;
  channels[0].Port = 1;
  channels[1].Enabled = false;
  channels[1].Port = 2;

  constexpr int kLastPort = 16;
  int found = 0;
  for (int n = 1; n <= kLastPort && found == 0; ++n) {
    if (portPresent(n))
      found = n;
  }
  if (found == 0)
    return;
  channels[0].Enabled = true;
  channels[0].Port = static_cast<std::uint8_t>(found);
  for (int n = found + 1; n <= kLastPort; ++n) {
    if (portPresent(n)) {
      channels[1].Enabled = true;
      channels[1].Port = static_cast<std::uint8_t>(n);
      return;
    }
  }
}

}  // namespace

void SetConfDefaults(TConf& conf, const std::function<bool(int)>& portPresent) {
  conf = TConf{};  // every reserved byte zero
  conf.FileHead.Ident.assign(kConfIdent);
  conf.FileHead.Version.assign(kConfVersion);

  for (TComEntry& entry : conf.Comparam.Channel) {
    entry.BaudIndex = 7;  // 9600
    entry.DataBits = 8;
    entry.Parity = 0;
    entry.StopBits = 1;
  }
  SetPortDefaults(conf.Comparam, portPresent);

  for (TModemLines& lines : conf.ModemControl.Channel) {
    lines.RTS = false;
    lines.DTR = true;
  }
  for (auto& channel : conf.NewLine.Entry) {
    channel[0] = {10, static_cast<std::uint8_t>(TNewLinePos::After)};
    channel[1] = {10, static_cast<std::uint8_t>(TNewLinePos::Ignore)};
    channel[2] = {10, static_cast<std::uint8_t>(TNewLinePos::Ignore)};
  }
  conf.DisplayMode = static_cast<std::uint8_t>(TDisplayMode::HexAscii);
  conf.Paused = false;
  SetLibraryDefaults(conf.Strngs);
  conf.Protocolparam = NoneRuleSet();
  conf.Protocol.Selected = static_cast<std::uint8_t>(TProtocolId::None);
  conf.MiscInt.AutoXmitInterval = 1000;
  SetLogDefaults(conf.Log);
  SetTriggerDefaults(conf.Trigger_Ruvo94);
  SetTriggerDefaults(conf.Trigger_HexTTY);
  SetFileXmissionDefaults(conf.FileXmission);
}

}  // namespace klv
