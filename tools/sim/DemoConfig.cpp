#include "sim/DemoConfig.h"

#include <QString>
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "app/Config.h"

namespace klv::sim {
namespace {

// Nobody to ask: every message goes to stderr, every question gets its
// first button.
class TStderrMessages : public IMessageService {
 public:
  void Information(const QString& text) override { Print(text); }
  TMsgButton Confirmation(const QString& text, TMsgButtons buttons) override {
    Print(text);
    for (TMsgButton b : {TMsgButton::Ok, TMsgButton::Yes, TMsgButton::No, TMsgButton::Cancel}) {
      if (buttons & b)
        return b;
    }
    return TMsgButton::Ok;
  }
  void Error(const QString& text) override { Print(text); }

 private:
  static void Print(const QString& text) {
    std::fprintf(stderr, "kelvora32-sim: %s\n", text.toLocal8Bit().constData());
  }
};

static_assert(std::find(BaudTable.begin(), BaudTable.end(), kDemoBaud) != BaudTable.end());

}  // namespace

bool WriteDemoConfig(const std::string& file, int polls, int answers) {
  TStderrMessages messages;
  TDetachedConfigHost host;  // no ports: the channels are set below
  TConfigFile config(messages, host);
  config.SetDefaults();
  TConf& conf = config.Conf();

  const auto baud = std::find(BaudTable.begin(), BaudTable.end(), kDemoBaud);
  const int ports[2] = {polls, answers};
  for (std::size_t channel = 0; channel < 2; ++channel) {
    TComEntry& entry = conf.Comparam.Channel[channel];
    entry.Enabled = true;
    entry.Port = static_cast<std::uint8_t>(ports[channel]);
    entry.BaudIndex = static_cast<std::uint16_t>(std::distance(BaudTable.begin(), baud));
  }
  conf.DisplayMode = static_cast<std::uint8_t>(TDisplayMode::Protocol);
  conf.Protocol.Selected = static_cast<std::uint8_t>(TProtocolId::Ruvo94);
  conf.MiscBool.TimeStamp = true;

  config.SetConfigFileName(QString::fromLocal8Bit(file.c_str()));
  return config.SaveConfig();
}

}  // namespace klv::sim
