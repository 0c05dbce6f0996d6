#include "app/ReceiveDispatcher.h"

#include <algorithm>

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
  const char one = static_cast<char>(byte);
  ProcessReceivedBytes(channel, std::string_view(&one, 1));
}

std::size_t TReceiveDispatcher::ProcessReceivedBytes(int channel, std::string_view bytes) {
  if (conf_.Paused)
    return bytes.size();
  IDisplayRenderer* renderer = ActiveRenderer();
  const std::size_t taken =
      renderer != nullptr ? renderer->ReceiveBytes(channel, bytes) : bytes.size();
  if (conf_.Misc.LogDataFormat != 0) {
    for (std::size_t i = 0; i < taken; ++i)
      log_.LogRawByte(static_cast<std::uint8_t>(bytes[i]));
  }
  return taken;
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

std::size_t TReceiveOrder::WaitingBytes() const {
  std::size_t bytes = 0;
  for (const TArrival& arrival : waiting_)
    bytes += static_cast<std::size_t>(arrival.bytes.size());
  return bytes;
}

bool TReceiveOrder::Drain(std::size_t budget) {
  if (draining_)
    return false;
  draining_ = true;
  struct TEndOfDrain {
    bool& draining;
    ~TEndOfDrain() { draining = false; }
  } endOfDrain{draining_};
  std::size_t handed = 0;
  while (!waiting_.empty()) {
    if (handed >= budget)
      return true;
    const TArrival arrival = std::move(waiting_.front());
    waiting_.pop_front();
    if (arrival.modem) {
      dispatcher_.ShowModemChange(arrival.channel, arrival.record);
      continue;
    }
    // The renderer takes a run at a time and stops where handling a byte may
    // have changed the pause or the mode, which are looked at again here.
    std::string_view rest(arrival.bytes.constData(),
                          static_cast<std::size_t>(arrival.bytes.size()));
    while (!rest.empty()) {
      if (handed >= budget) {
        // The rest goes back in front of whatever arrived meanwhile.
        waiting_.push_front({arrival.channel,
                             false,
                             {},
                             QByteArray(rest.data(), static_cast<qsizetype>(rest.size()))});
        return true;
      }
      const std::size_t taken =
          std::max<std::size_t>(1, dispatcher_.ProcessReceivedBytes(arrival.channel, rest));
      rest.remove_prefix(taken);
      handed += taken;
    }
  }
  return false;
}

}  // namespace klv
