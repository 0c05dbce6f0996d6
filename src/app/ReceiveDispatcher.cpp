#include "app/ReceiveDispatcher.h"

#include "serial/SerialTypes.h"

namespace klv {

void TReceiveDispatcher::SetModeRenderer(TDisplayMode mode, IDisplayRenderer* renderer) {
  if (mode != TDisplayMode::Protocol)
    modes_.at(static_cast<std::size_t>(mode)) = renderer;
}

void TReceiveDispatcher::SetProtocolRenderer(TProtocolId protocol, IDisplayRenderer* renderer) {
  protocols_.at(static_cast<std::size_t>(protocol)) = renderer;
}

IDisplayRenderer* TReceiveDispatcher::ActiveRenderer() const {
  const std::size_t mode = conf_.DisplayMode;
  if (mode < modes_.size())
    return modes_[mode];
  if (mode != static_cast<std::size_t>(TDisplayMode::Protocol))
    return nullptr;
  const std::size_t protocol = conf_.Protocol.Selected;
  return protocol < protocols_.size() ? protocols_[protocol] : nullptr;
}

void TReceiveDispatcher::ProcessReceivedByte(int channel, std::uint8_t byte) {
  if (conf_.Paused)
    return;
  if (IDisplayRenderer* renderer = ActiveRenderer())
    renderer->ReceiveByte(channel, byte);
  if (conf_.Misc.LogDataFormat != 0)
    log_.LogRawByte(byte);
}

void TReceiveDispatcher::ShowModemChange(int channel, const TModemStatusRecord& record) {
  if (IDisplayRenderer* renderer = ActiveRenderer())
    renderer->ModemStatusLine(channel, record);
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

void TReceiveOrder::AppendBytes(int channel, const QByteArray& bytes) {
  if (bytes.isEmpty())
    return;
  // Bytes of one channel in a row travel as one arrival. The arrival being
  // drained has already left the queue, so appending never touches it.
  if (!waiting_.empty() && !waiting_.back().modem && waiting_.back().channel == channel) {
    waiting_.back().bytes.append(bytes);
    return;
  }
  waiting_.push_back({channel, false, {}, bytes});
}

void TReceiveOrder::AppendModemChange(int channel, const TModemStatusRecord& record) {
  waiting_.push_back({channel, true, record, {}});
}

void TReceiveOrder::Drain() {
  if (draining_)
    return;
  draining_ = true;
  struct TEndOfDrain {
    bool& draining;
    ~TEndOfDrain() { draining = false; }
  } endOfDrain{draining_};
  while (!waiting_.empty()) {
    const TArrival arrival = std::move(waiting_.front());
    waiting_.pop_front();
    if (arrival.modem) {
      dispatcher_.ShowModemChange(arrival.channel, arrival.record);
      continue;
    }
    for (const char byte : arrival.bytes)
      dispatcher_.ProcessReceivedByte(arrival.channel, static_cast<std::uint8_t>(byte));
  }
}

}  // namespace klv
