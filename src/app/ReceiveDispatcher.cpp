#include "app/ReceiveDispatcher.h"

#include "serial/SerialTypes.h"

namespace klv {

void TReceiveDispatcher::ProcessReceivedByte(int channel, std::uint8_t byte) {
  if (conf_.Paused)
    return;
  switch (static_cast<TDisplayMode>(conf_.DisplayMode)) {
    case TDisplayMode::HexAscii:
      renderers_.HexReceiveByte(channel, byte);
      break;
    case TDisplayMode::Tty:
      renderers_.TtyReceiveByte(channel, byte);
      break;
    case TDisplayMode::Protocol:
      if (conf_.Protocol.Selected == static_cast<std::uint8_t>(TProtocolId::Ruvo94)) {
        renderers_.RuvoReceiveByte(channel, byte);
      }
      break;
  }
  if (conf_.Misc.LogDataFormat != 0)
    log_.LogRawByte(byte);
}

void TReceiveDispatcher::ShowModemChange(int channel, const TModemStatusRecord& record) {
  switch (static_cast<TDisplayMode>(conf_.DisplayMode)) {
    case TDisplayMode::HexAscii:
      renderers_.HexModemStatusLine(channel, record);
      break;
    case TDisplayMode::Tty:
      renderers_.TtyModemStatusLine(channel, record);
      break;
    case TDisplayMode::Protocol:
      if (conf_.Protocol.Selected == static_cast<std::uint8_t>(TProtocolId::Ruvo94)) {
        renderers_.TtyModemStatusLine(channel, record);
      }
      break;
  }
}

TModemStatusRecord TReceiveDispatcher::ModemEventRecord(bool rts, bool dtr,
                                                        std::uint8_t statusByte) {
  using R = TModemStatusRecord;
  TModemStatusRecord record;
  record.State[R::RTS] = rts;
  record.State[R::DTR] = dtr;
  record.State[R::CTS] = (statusByte & ModemBits::CTS) != 0;
  record.State[R::DSR] = (statusByte & ModemBits::DSR) != 0;
  record.State[R::DCD] = (statusByte & ModemBits::DCD) != 0;
  record.State[R::RI] = (statusByte & ModemBits::RI) != 0;
  record.Changed[R::CTS] = (statusByte & ModemBits::DeltaCTS) != 0;
  record.Changed[R::DSR] = (statusByte & ModemBits::DeltaDSR) != 0;
  record.Changed[R::RI] = (statusByte & ModemBits::TrailingEdgeRI) != 0;
  record.Changed[R::DCD] = (statusByte & ModemBits::DeltaDCD) != 0;
  return record;
}

bool TReceiveQueue::Append(const QByteArray& bytes) {
  pending_.append(bytes);
  if (posted_ || pending_.isEmpty())
    return false;
  posted_ = true;
  return true;
}

QByteArray TReceiveQueue::TakeAll() {
  posted_ = false;
  QByteArray taken;
  taken.swap(pending_);
  return taken;
}

}  // namespace klv
