#include "app/StatusTexts.h"

#include "common/Cp1252.h"

namespace klv {

QString NewLineText(TNewLineEntry entry) {
  if (entry.NLPos == static_cast<std::uint8_t>(TNewLinePos::Ignore))
    return QStringLiteral("NL-");
  const QString code = QStringLiteral("%1H").arg(entry.NLChar, 2, 16, QLatin1Char('0')).toUpper();
  return (entry.NLPos == static_cast<std::uint8_t>(TNewLinePos::Before) ? QStringLiteral("NL<")
                                                                        : QStringLiteral("NL>")) +
         code;
}

int NextPort(int current, int otherPort, const std::function<bool(int)>& usable) {
  int port = current;
  for (int step = 0; step < 16; ++step) {
    port = port >= 16 ? 1 : port + 1;
    if (port == current)
      break;
    if (port != otherPort && usable(port))
      return port;
  }
  return current;
}

int NextBaudIndex(int index) {
  return index >= 15 || index < 0 ? 0 : index + 1;
}
int NextDataBits(int bits) {
  return bits >= 8 || bits < 5 ? 5 : bits + 1;
}
int NextParity(int parity) {
  return parity >= 4 || parity < 0 ? 0 : parity + 1;
}
int NextStopBits(int bits) {
  return bits == 1 ? 2 : 1;
}

QString DisplayModeText(const TConf& conf) {
  switch (static_cast<TDisplayMode>(conf.DisplayMode)) {
    case TDisplayMode::HexAscii:
      return QStringLiteral("Hex/ASCII");
    case TDisplayMode::Tty:
      return QStringLiteral("TTY");
    case TDisplayMode::Protocol:
      break;
  }
  const std::size_t selected = conf.Protocol.Selected;
  return QStringLiteral("Protocol: ") +
         QString::fromLatin1(selected < ProtocolNames.size() ? ProtocolNames[selected] : "");
}

QString CurrentStringText(const TConf& conf) {
  return QStringLiteral("Str=") + QString::number(conf.Strngs.CurrentNr + 1);
}

QString CurrentStringHint(const TConf& conf) {
  const std::size_t index = std::min<std::size_t>(conf.Strngs.CurrentNr, kLibraryEntries - 1);
  return QStringLiteral("Current string is #%1:\"%2\"")
      .arg(conf.Strngs.CurrentNr + 1)
      .arg(Cp1252ToQString(conf.Strngs.Strings[index].Name.view()));
}

QString TriggerPanelText(const TConf& conf, int channel, bool* active) {
  std::uint8_t mode = 0;
  std::uint8_t state = 0;
  const auto ch = static_cast<std::size_t>(channel);
  const auto displayMode = static_cast<TDisplayMode>(conf.DisplayMode);
  if (displayMode == TDisplayMode::HexAscii || displayMode == TDisplayMode::Tty) {
    mode = conf.Trigger_HexTTY.Channel[ch].Mode;
    state = conf.Trigger_HexTTY.Channel[ch].State;
  } else if (conf.Protocol.Selected == static_cast<std::uint8_t>(TProtocolId::Ruvo94)) {
    mode = conf.Trigger_Ruvo94.Channel[ch].Mode;
    state = conf.Trigger_Ruvo94.Channel[ch].State;
  }
  if (active != nullptr)
    *active = mode != 0;
  if (mode == 0)
    return QStringLiteral("Tr-Unused");
  switch (state) {
    case 0:
      return QStringLiteral("Tr-Armed");
    case 1:
      return QStringLiteral("Tr-Trigged");
    default:
      return QStringLiteral("Tr-Stopped");
  }
}

}  // namespace klv
