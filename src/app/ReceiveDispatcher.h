// The road of a received byte and of a modem-line change to the renderer of
// the active display mode and to the raw log, and the order in which they
// travel it.
#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>
#include <deque>
#include <string_view>

#include "common/ReceiveInterfaces.h"
#include "conf/ConfRecord.h"

namespace klv {

class TReceiveDispatcher {
 public:
  TReceiveDispatcher(const TConf& conf, IReceiveLog& log) : conf_(conf), log_(log) {}

  // The renderer of the Hex/ASCII or the TTY mode.
  void SetModeRenderer(TDisplayMode mode, IDisplayRenderer* renderer);
  // The renderer of the Protocol mode while `protocol` is selected.
  void SetProtocolRenderer(TProtocolId protocol, IDisplayRenderer* renderer);
  // The renderer of the active display mode and protocol; null when the
  // mode has none (a protocol without a decoder).
  IDisplayRenderer* ActiveRenderer() const;

  // Drops the byte while paused; otherwise hands it to the active renderer
  // and, when an unformatted log format is chosen, to the log.
  void ProcessReceivedByte(int channel, std::uint8_t byte);
  // The same for a run of bytes: returns how many were taken (all while
  // paused); the renderer may stop early, after a byte whose handling may
  // have changed the pause or the mode.
  std::size_t ProcessReceivedBytes(int channel, std::string_view bytes);
  void ShowModemChange(int channel, const TModemStatusRecord& record);

  // The record of a modem-status event: the port's line states, with the
  // input lines' change bits (0..3 of the status byte) as changed flags.
  static TModemStatusRecord ModemEventRecord(bool rts, bool dtr, std::uint8_t statusByte);

 private:
  const TConf& conf_;
  IReceiveLog& log_;
  std::array<IDisplayRenderer*, 2> modes_{};
  std::array<IDisplayRenderer*, 4> protocols_{};
};

// Received bytes and modem-line changes of both channels, handed to the
// dispatcher exactly once and in the order they arrived. Rendering may run
// the event loop (a message box) or transmit with local echo: what arrives
// meanwhile is appended and handled by the drain already running, after
// everything that came before it.
class TReceiveOrder {
 public:
  explicit TReceiveOrder(TReceiveDispatcher& dispatcher) : dispatcher_(dispatcher) {}

  void AppendBytes(int channel, const QByteArray& bytes);
  void AppendModemChange(int channel, const TModemStatusRecord& record);
  // Most bytes one drain hands on before it lets the window run again.
  static constexpr std::size_t kDrainBudget = 16384;

  // Hands on what is waiting, about `budget` bytes at most, and returns
  // whether more is waiting (the caller drains again soon). The budget keeps
  // a trigger that answers its own local echo from holding the window for
  // good. A call made while a drain runs (from inside rendering) returns
  // false at once: the running drain takes the rest.
  bool Drain(std::size_t budget = kDrainBudget);
  std::size_t WaitingBytes() const;
  bool Draining() const { return draining_; }
  bool Empty() const { return waiting_.empty(); }

 private:
  struct TArrival {
    int channel = 0;
    bool modem = false;
    TModemStatusRecord record;
    QByteArray bytes;
  };

  TReceiveDispatcher& dispatcher_;
  std::deque<TArrival> waiting_;
  bool draining_ = false;
};

}  // namespace klv
