#include "app/Channels.h"

#include <algorithm>

#include "app/StatusTexts.h"

namespace klv {

TChannels::TChannels(TConf& conf, TReceiveDispatcher& dispatcher, IMessageService& messages,
                     QObject* parent)
    : QObject(parent), conf_(conf), messages_(messages), order_(dispatcher) {
  // The ports as the form sets them up; the record overrides them at every opening.
  PrimaryPort.SetComNumber(1);
  PrimaryPort.SetParity(TParity::pSpace);
  SecondaryPort.SetComNumber(0);
  for (int channel = 0; channel < 2; ++channel) {
    TComPort& port = Port(channel);
    connect(&port, &TComPort::OnTriggerAvail, this,
            [this, channel](TComPort*, int count) { OnTriggerAvail(channel, count); });
    connect(&port, &TComPort::OnTriggerModemStatus, this,
            [this, channel](TComPort*) { OnTriggerModemStatus(channel); });
    connect(&port, &TComPort::OnPortError, this,
            [this, channel](TComPort*, const QString& message) { OnPortError(channel, message); });
  }
}

TChannels::~TChannels() {
  CloseChannels();
}

// ---- ports ---------------------------------------------------------------------

bool TChannels::PortPresent(int comNumber) {
  SetCountPortsInUse(true);
  return PortAvailable(comNumber);
}

bool TChannels::PortUsable(int comNumber) {
  SetCountPortsInUse(false);
  const bool available = PortAvailable(comNumber);
  SetCountPortsInUse(true);
  if (available)
    return true;
  for (const TComPort* port : {&PrimaryPort, &SecondaryPort}) {
    if (port->Open() && port->ComNumber() == comNumber)
      return true;
  }
  return false;
}

QString TChannels::PortDevice(int comNumber) {
  return ProbePort(comNumber).DevicePath;
}

void TChannels::ClosePort(int channel) {
  StopActivity(channel);
  Port(channel).SetOpen(false);
}

void TChannels::CloseChannels() {
  ClosePort(0);
  ClosePort(1);
}

bool TChannels::OpenChannels() {
  bool opened = true;
  for (int channel = 0; channel < 2; ++channel) {
    const auto ch = static_cast<std::size_t>(channel);
    TComEntry& entry = conf_.Comparam.Channel[ch];
    openFailure_[ch].clear();
    if (entry.Enabled && !PortUsable(entry.Port)) {
      QString text = QStringLiteral("COM%1 is not available!").arg(entry.Port);
      const PortProbeResult probe = ProbePort(entry.Port);
      if (!probe.Reason.isEmpty())
        text += QStringLiteral("\n\n") + probe.Reason;
      messages_.Information(text);
      entry.Enabled = false;
    }
    if (entry.Enabled) {
      opened = ApplyPort(channel) && opened;
    } else {
      ClosePort(channel);
    }
  }
  emit ChannelsChanged();
  return opened;
}

QString TChannels::PortTrouble(int channel, QString* reason) const {
  const auto ch = static_cast<std::size_t>(channel);
  const QString& why = !lostReason_[ch].isEmpty() ? lostReason_[ch] : openFailure_[ch];
  if (reason != nullptr)
    *reason = why;
  if (!lostReason_[ch].isEmpty())
    return QStringLiteral("lost");
  if (!openFailure_[ch].isEmpty())
    return QStringLiteral("closed");
  return {};
}

// Applies the channel's parameters to its port and opens it if needed.
bool TChannels::ApplyPort(int channel) {
  const auto ch = static_cast<std::size_t>(channel);
  TComEntry& entry = conf_.Comparam.Channel[ch];
  const TModemLines& lines = conf_.ModemControl.Channel[ch];
  TComPort& port = Port(channel);
  LineSettings wanted;
  wanted.Baud = BaudTable[std::min<std::size_t>(entry.BaudIndex, BaudTable.size() - 1)];
  wanted.DataBits = std::clamp<std::uint16_t>(entry.DataBits, 5, 8);
  wanted.Parity = static_cast<TParity>(std::min<std::uint8_t>(entry.Parity, 4));
  wanted.StopBits = entry.StopBits == 2 ? 2 : 1;
  try {
    // On an open port the new device opens before the old one is let go;
    // when it cannot, the channel stays on the old port, and so does the record.
    port.SetComNumber(entry.Port);
  } catch (const EComPortError& error) {
    messages_.Error(error.message());
    entry.Port = port.ComNumber();
  }
  port.SetRTS(lines.RTS);
  port.SetDTR(lines.DTR);
  if (!port.Open() && !OpenPort(channel, wanted))
    return false;
  ApplySettings(channel, wanted);
  return true;
}

// Opens a closed port with the wanted settings or, when the device refuses
// one of them, with those it had, which ApplySettings then changes one by one.
bool TChannels::OpenPort(int channel, const LineSettings& wanted) {
  const auto ch = static_cast<std::size_t>(channel);
  TComPort& port = Port(channel);
  const LineSettings previous{port.Baud(), port.Parity(), port.DataBits(), port.StopBits()};
  const auto openWith = [&port](const LineSettings& settings) {
    port.SetBaud(settings.Baud);
    port.SetDataBits(settings.DataBits);
    port.SetParity(settings.Parity);
    port.SetStopBits(settings.StopBits);
    port.SetOpen(true);
  };
  try {
    try {
      openWith(wanted);
    } catch (const EComPortError&) {
      // The port says only that the opening failed: it may be one of the
      // new settings, so the device gets one more try with the old ones.
      if (wanted == previous)
        throw;
      openWith(previous);
    }
  } catch (const EComPortError& error) {
    openFailure_[ch] = error.message();
    messages_.Error(QStringLiteral("Channel %1 could not be opened.\n\n%2")
                        .arg(channel + 1)
                        .arg(error.message()));
    return false;
  }
  modemTriggers_[ch] = port.NewModemTrigger();
  port.ArmModemTrigger(modemTriggers_[ch], ModemBits::AnalyserMask);
  lostReason_[ch].clear();
  return true;
}

// Each setting the open device refuses is reported, and the record takes
// back the value the device runs, so that the status bar shows the truth.
void TChannels::ApplySettings(int channel, const LineSettings& wanted) {
  TComEntry& entry = conf_.Comparam.Channel[static_cast<std::size_t>(channel)];
  TComPort& port = Port(channel);
  try {
    port.SetBaud(wanted.Baud);
  } catch (const EComPortError&) {
    messages_.Information(QStringLiteral("Unsupported baudrate for channel %1").arg(channel + 1));
    const auto* running = std::find(BaudTable.begin(), BaudTable.end(), port.Baud());
    if (running != BaudTable.end())
      entry.BaudIndex = static_cast<std::uint16_t>(running - BaudTable.begin());
  }
  const auto apply = [&](auto set, const char* what) {
    try {
      set();
    } catch (const EComPortError& error) {
      messages_.Information(QStringLiteral("Channel %1: the device refuses the %2.\n\n%3")
                                .arg(channel + 1)
                                .arg(QLatin1String(what))
                                .arg(error.message()));
    }
  };
  apply([&] { port.SetDataBits(wanted.DataBits); }, "data bits");
  apply([&] { port.SetParity(wanted.Parity); }, "parity");
  apply([&] { port.SetStopBits(wanted.StopBits); }, "stop bits");
  if (port.DataBits() != wanted.DataBits)
    entry.DataBits = port.DataBits();
  if (port.Parity() != wanted.Parity)
    entry.Parity = static_cast<std::uint8_t>(port.Parity());
  if (port.StopBits() != wanted.StopBits)
    entry.StopBits = port.StopBits();
}

void TChannels::OnPortError(int channel, const QString& message) {
  // The port delivered its last bytes before this event; they stay queued
  // and are rendered like any others.
  lostReason_[static_cast<std::size_t>(channel)] = message;
  StopActivity(channel);
  emit ChannelsChanged();
  messages_.Error(QStringLiteral("Channel %1 has been closed.\n\n%2\n\nReconnect the device, then "
                                 "choose the port again (status bar or Line Parameters).")
                      .arg(channel + 1)
                      .arg(message));
}

void TChannels::StepLineParameter(int channel, TLineParameter which) {
  auto& channels = conf_.Comparam.Channel;
  TComEntry& entry = channels[static_cast<std::size_t>(channel)];
  switch (which) {
    case TLineParameter::Port: {
      const TComEntry& other = channels[static_cast<std::size_t>(1 - channel)];
      const int otherPort = other.Enabled ? other.Port : 0;
      entry.Port = static_cast<std::uint8_t>(
          NextPort(entry.Port, otherPort, [this](int n) { return PortUsable(n); }));
      break;
    }
    case TLineParameter::Baud:
      entry.BaudIndex = static_cast<std::uint16_t>(NextBaudIndex(entry.BaudIndex));
      break;
    case TLineParameter::DataBits:
      entry.DataBits = static_cast<std::uint16_t>(NextDataBits(entry.DataBits));
      break;
    case TLineParameter::Parity:
      entry.Parity = static_cast<std::uint8_t>(NextParity(entry.Parity));
      break;
    case TLineParameter::StopBits:
      entry.StopBits = static_cast<std::uint16_t>(NextStopBits(entry.StopBits));
      break;
  }
  OpenChannels();
}

void TChannels::ToggleRTS(int channel) {
  SetChannelRTS(channel, !Port(channel).RTS());
  conf_.ModemControl.Channel[static_cast<std::size_t>(channel)].RTS = Port(channel).RTS();
}

void TChannels::ToggleDTR(int channel) {
  SetChannelDTR(channel, !Port(channel).DTR());
  conf_.ModemControl.Channel[static_cast<std::size_t>(channel)].DTR = Port(channel).DTR();
}

// ---- receiving -------------------------------------------------------------------

// The data event only takes the bytes and posts one drain: the bytes are
// rendered after the events and messages queued before them.
void TChannels::OnTriggerAvail(int channel, int count) {
  TComPort& port = Port(channel);
  QByteArray bytes(count, Qt::Uninitialized);
  for (char& byte : bytes)
    byte = static_cast<char>(port.ReadByte());
  order_.AppendBytes(channel, bytes);
  DrainSoon();
}

void TChannels::DrainSoon() {
  if (drainPosted_)
    return;
  drainPosted_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        drainPosted_ = false;
        DrainNow();
      },
      Qt::QueuedConnection);
}

void TChannels::DrainNow() {
  if (order_.Drain())
    DrainSoon();  // the rest after the window has had its turn
}

void TChannels::ProcessReceivedBytes(int channel, const QByteArray& bytes) {
  order_.AppendBytes(channel, bytes);
  DrainNow();
}

// Everything that waits now, but not what answers to it add (a trigger
// answering its own echo would never end).
void TChannels::DrainReceived() {
  for (int channel = 0; channel < 2; ++channel)
    Port(channel).DeliverReceived();
  order_.Drain(std::max<std::size_t>(1, order_.WaitingBytes()));
}

bool TChannels::LogsModemChanges(int channel) const {
  return channel == 0 ? conf_.MiscBool.LogModemP : conf_.MiscBool.LogModemS;
}

void TChannels::OnTriggerModemStatus(int channel) {
  if (LogsModemChanges(channel)) {
    ReportModemStatus(channel);
  } else {
    // Reading takes the change bits, so that a change made while modem
    // logging is off is not reported as new once it is on again.
    Port(channel).ModemStatusByte();
  }
  emit LinesChanged(channel, TLines::Inputs);
  Port(channel).ArmModemTrigger(modemTriggers_[static_cast<std::size_t>(channel)],
                                ModemBits::AnalyserMask);
}

void TChannels::ReportModemStatus(int channel) {
  TComPort& port = Port(channel);
  // Reading the status takes its change bits, so changes made during a pause
  // are not reported as new once the display runs again.
  const std::uint8_t status = port.ModemStatusByte();
  if (conf_.Paused || (status & 0x0F) == 0)
    return;
  // Bytes the port read before the change are shown before it.
  port.DeliverReceived();
  ShowModemChange(channel, TReceiveDispatcher::ModemEventRecord(port.RTS(), port.DTR(), status));
}

void TChannels::ShowModemChange(int channel, const TModemStatusRecord& record) {
  order_.AppendModemChange(channel, record);
  DrainNow();
}

// ---- transmission services ---------------------------------------------------------

bool TChannels::ChannelAvailable(int channel) const {
  return (channel == 0 || channel == 1) && Port(channel).Open();
}

void TChannels::OutputString(int channel, std::string_view bytes) {
  if (!ChannelAvailable(channel) || bytes.empty())
    return;
  emit Transmitting(channel);
  bool& overflowShown = overflowShown_.at(static_cast<std::size_t>(channel));
  try {
    Port(channel).WriteBytes(bytes);
    overflowShown = false;
  } catch (const EComPortError& error) {
    // A full output buffer is reported once until a write fits again: a
    // trigger answering every frame would otherwise stack box upon box.
    const bool full = error.kind() == EComPortError::Kind::BufferFull;
    if (!full || !overflowShown) {
      overflowShown = full;
      messages_.Error(QStringLiteral("Channel %1: %2").arg(channel + 1).arg(error.message()));
    }
    return;
  }
  const bool echo = channel == 0 ? conf_.MiscBool.LocalEchoP : conf_.MiscBool.LocalEchoS;
  if (echo)
    ProcessReceivedBytes(channel, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

int TChannels::ChannelOutputRoom(int channel) const {
  return ChannelAvailable(channel) ? Port(channel).OutputRoom() : 0;
}

void TChannels::DiscardChannelOutput(int channel) {
  if (ChannelAvailable(channel))
    Port(channel).DiscardOutput();
}

bool TChannels::ChannelCTS(int channel) const {
  return ChannelAvailable(channel) && Port(channel).CTS();
}

void TChannels::SetChannelRTS(int channel, bool on) {
  SetOutputLine(channel, TModemStatusRecord::RTS, on);
}

void TChannels::SetChannelDTR(int channel, bool on) {
  SetOutputLine(channel, TModemStatusRecord::DTR, on);
}

// Shows an output line's change as a modem-status line whose other lines read
// as off; the pause does not hold it back.
void TChannels::SetOutputLine(int channel, int line, bool on) {
  TComPort& port = Port(channel);
  const bool rts = line == TModemStatusRecord::RTS;
  const bool before = rts ? port.RTS() : port.DTR();
  if (rts) {
    port.SetRTS(on);
  } else {
    port.SetDTR(on);
  }
  if (on == before)
    return;
  emit LinesChanged(channel, TLines::Outputs);
  if (!LogsModemChanges(channel))
    return;
  TModemStatusRecord record;
  record.State[static_cast<std::size_t>(line)] = on;
  record.Changed[static_cast<std::size_t>(line)] = true;
  ShowModemChange(channel, record);
}

// ---- activities ----------------------------------------------------------------------

bool TChannels::TakeActivity(int channel, IChannelActivity& activity) {
  IChannelActivity*& holder = activities_.at(static_cast<std::size_t>(channel));
  if (holder != nullptr && holder != &activity)
    return false;
  holder = &activity;
  return true;
}

void TChannels::ReleaseActivity(int channel, const IChannelActivity& activity) {
  IChannelActivity*& holder = activities_.at(static_cast<std::size_t>(channel));
  if (holder == &activity)
    holder = nullptr;
}

void TChannels::StopActivity(int channel) {
  IChannelActivity* holder =
      std::exchange(activities_.at(static_cast<std::size_t>(channel)), nullptr);
  if (holder != nullptr)
    holder->StopActivity();
}

}  // namespace klv
