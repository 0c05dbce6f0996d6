// Auto-transmission: the current string sent on channel 1 again and again,
// each start a fixed interval after the previous one, on a single-shot timer.
// It holds channel 1's activity slot while it runs, so no script or file
// transmission interleaves its bytes with it, and it ends itself with a
// message when the current string changes, the output buffer fills up or a
// transmission takes longer than the interval.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

#include "common/ChannelActivity.h"
#include "common/MessageService.h"
#include "common/ReceiveInterfaces.h"
#include "conf/ConfRecord.h"

namespace klv {

// The millisecond clock and the single-shot timer auto-transmission runs on.
// Tests give their own, so that nothing waits.
class IAutoXmitClock {
 public:
  virtual ~IAutoXmitClock() = default;
  // Milliseconds from a fixed point; never goes back.
  virtual std::int64_t NowMs() const = 0;
  // Arms the timer to fire once, `ms` from now, restarting it if armed.
  virtual void Start(int ms) = 0;
  virtual void Stop() = 0;

  // What runs when the timer fires.
  void SetHandler(std::function<void()> handler) { handler_ = std::move(handler); }

 protected:
  void Fire() {
    if (handler_)
      handler_();
  }

 private:
  std::function<void()> handler_;
};

// The steady clock and a precise Qt timer.
class TQtAutoXmitClock : public IAutoXmitClock {
 public:
  TQtAutoXmitClock();
  std::int64_t NowMs() const override { return elapsed_.elapsed(); }
  void Start(int ms) override { timer_.start(ms); }
  void Stop() override { timer_.stop(); }

 private:
  QElapsedTimer elapsed_;
  QTimer timer_;
};

class TAutoTransmitter : public QObject, public IChannelActivity {
  Q_OBJECT

 public:
  static constexpr int kChannel = 0;
  static constexpr int kFirstDelayMs = 100;
  // The interval taken when the configured one is 0.
  static constexpr int kShortestIntervalMs = 10;
  // Output room at or below which the buffer counts as overflowed.
  static constexpr int kLeastOutputRoom = 300;

  // `transmit` sends (or runs) the current string on channel 1. Without a
  // clock, the steady clock and a Qt timer are used.
  TAutoTransmitter(const TConf& conf, IChannelServices& channels, IChannelActivitySlots& activities,
                   IMessageService& messages, std::function<void()> transmit,
                   std::unique_ptr<IAutoXmitClock> clock = nullptr, QObject* parent = nullptr);
  ~TAutoTransmitter() override;

  // Starts repeating string `currentNr` (the current string now), the
  // first time 100 ms from now. Refused, with a message saying why, while
  // another activity holds channel 1.
  bool Start(int currentNr);
  // Ends it; the caller decides what happens to the output not yet sent.
  void Stop();
  bool Running() const { return running_; }

  // IChannelActivity: the slot's owner ends it (the channel closed); Ended
  // is emitted, nothing is said.
  void StopActivity() override;

  // The timer's tick: one transmission and the arming of the next.
  void Tick();

 signals:
  // Auto-transmission has ended by itself (not through Stop).
  void Ended();

 private:
  int Interval() const;
  // Plans the next start `interval` after the last planned one and arms
  // the timer for it.
  void PlanNext(int interval, std::int64_t tickStart, std::int64_t now);
  void Halt();
  void End();

  const TConf& conf_;
  IChannelServices& channels_;
  IChannelActivitySlots& activities_;
  IMessageService& messages_;
  std::function<void()> transmit_;
  std::unique_ptr<IAutoXmitClock> clock_;
  bool running_ = false;
  int currentNr_ = 0;
  std::int64_t planned_ = 0;  // planned start of the coming tick
};

}  // namespace klv
