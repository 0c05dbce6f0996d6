#include "strings/AutoTransmitter.h"

#include <algorithm>

namespace klv {

TQtAutoXmitClock::TQtAutoXmitClock() {
  elapsed_.start();
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Fire(); });
}

TAutoTransmitter::TAutoTransmitter(const TConf& conf, IChannelServices& channels,
                                   IChannelActivitySlots& activities, IMessageService& messages,
                                   std::function<void()> transmit,
                                   std::unique_ptr<IAutoXmitClock> clock, QObject* parent)
    : QObject(parent),
      conf_(conf),
      channels_(channels),
      activities_(activities),
      messages_(messages),
      transmit_(std::move(transmit)),
      clock_(clock ? std::move(clock) : std::make_unique<TQtAutoXmitClock>()) {
  clock_->SetHandler([this] { Tick(); });
}

TAutoTransmitter::~TAutoTransmitter() {
  Stop();
}

bool TAutoTransmitter::Start(int currentNr) {
  if (!activities_.TakeActivity(kChannel, *this)) {
    messages_.Information(
        QStringLiteral("Channel 1 is busy with a script or a file transmission.\n"
                       "Auto transmission has not been turned on."));
    return false;
  }
  running_ = true;
  currentNr_ = currentNr;
  planned_ = clock_->NowMs() + kFirstDelayMs;
  clock_->Start(kFirstDelayMs);
  return true;
}

void TAutoTransmitter::Stop() {
  if (running_)
    Halt();
}

void TAutoTransmitter::StopActivity() {
  if (running_)
    End();
}

int TAutoTransmitter::Interval() const {
  const int interval = conf_.MiscInt.AutoXmitInterval;
  return interval == 0 ? kShortestIntervalMs : interval;
}

void TAutoTransmitter::PlanNext(int interval, std::int64_t tickStart, std::int64_t now) {
  // From the planned start, not from this tick's: a late tick does not
  // delay the ones after it. When even the next planned start has passed,
  // the plan starts afresh an interval after this tick's start rather than
  // sending a burst to catch up.
  planned_ += interval;
  if (planned_ < now)
    planned_ = tickStart + interval;
  clock_->Start(static_cast<int>(std::max<std::int64_t>(planned_ - now, 0)));
}

void TAutoTransmitter::Halt() {
  running_ = false;
  clock_->Stop();
  activities_.ReleaseActivity(kChannel, *this);
}

// Ends by itself: the timer and the check mark, before anything is said.
void TAutoTransmitter::End() {
  Halt();
  emit Ended();
}

void TAutoTransmitter::Tick() {
  if (!running_)
    return;
  const std::int64_t t0 = clock_->NowMs();
  if (!channels_.ChannelAvailable(kChannel)) {
    PlanNext(Interval(), t0, t0);  // nothing to send on; keeps its pace
    return;
  }
  clock_->Stop();
  if (conf_.Strngs.CurrentNr != currentNr_) {
    End();
    messages_.Information(
        QStringLiteral("The current string selection has been\nchanged while transmitting.\n"
                       "Auto transmission has been turned off."));
    return;
  }
  if (channels_.ChannelOutputRoom(kChannel) <= kLeastOutputRoom) {
    End();
    channels_.DiscardChannelOutput(kChannel);
    messages_.Error(QStringLiteral(
        "The transmission buffer has overflowed.\nIncrease the delay between string "
        "transmissions or increase the baudrate\nAuto transmission has been turned off."));
    return;
  }
  transmit_();
  if (!running_)
    return;  // the transmission ended it (the channel was lost)
  const int interval = Interval();
  const std::int64_t now = clock_->NowMs();
  const std::int64_t elapsed = now - t0;
  if (elapsed > interval) {
    End();
    messages_.Error(QStringLiteral("The transmission took %1 mS, which is longer than the "
                                   "AutoTransmitt interval of %2 mS.\n\nThis might be caused by "
                                   "incorrect timing parameters or \nby user intervention that "
                                   "temporarily inhibits transmission.\n\n"
                                   "Auto transmission has been turned off.")
                        .arg(elapsed)
                        .arg(interval));
    return;
  }
  PlanNext(interval, t0, now);
}

}  // namespace klv
