// Auto-transmission on a clock the test moves: the schedule of the starts and
// the three endings with their messages.
#include <gtest/gtest.h>

#include <optional>

#include "conf/ConfRecord.h"
#include "strings/AutoTransmitter.h"
#include "support/FakeMessageService.h"
#include "support/QuietServices.h"

namespace klv {
namespace {

using Kind = test::FakeMessageService::Kind;

class FakeClock : public IAutoXmitClock {
 public:
  std::int64_t NowMs() const override { return now; }
  void Start(int ms) override { due = now + ms; }
  void Stop() override { due.reset(); }
  // Fires the armed timer `lateMs` after it is due.
  void FireLate(std::int64_t lateMs) {
    if (due) {
      now = *std::exchange(due, std::nullopt) + lateMs;
      Fire();
    }
  }
  std::int64_t now = 1000;
  std::optional<std::int64_t> due;
};

// Channel 1, whose activity slot is always free.
class FakeChannel : public test::QuietServices, public IChannelActivitySlots {
 public:
  bool ChannelAvailable(int) const override { return open; }
  int ChannelOutputRoom(int) const override { return room; }
  void DiscardChannelOutput(int) override { ++discards; }
  bool TakeActivity(int, IChannelActivity&) override { return ++taken > 0; }
  void ReleaseActivity(int, const IChannelActivity&) override { --taken; }
  IChannelActivity* Activity(int) const override { return nullptr; }
  void StopActivity(int) override {}

  bool open = true;
  int room = 4096;
  int discards = 0;
  int taken = 0;
};

// The engine on channel 0 of the fakes; `sent` holds when each
// transmission started.
struct AutoXmit {
  explicit AutoXmit(int interval) {
    conf.MiscInt.AutoXmitInterval = static_cast<std::uint16_t>(interval);
    QObject::connect(&engine, &TAutoTransmitter::Ended, [this] { ++ended; });
  }
  TConf conf{};
  FakeChannel channel;
  test::FakeMessageService messages;
  FakeClock* clock = new FakeClock;
  std::vector<std::int64_t> sent;
  std::function<void()> onSend = [] {};
  int ended = 0;
  std::function<void()> send = [this] {
    sent.push_back(clock->now);
    onSend();
  };
  TAutoTransmitter engine{conf,     channel, channel,
                          messages, send,    std::unique_ptr<FakeClock>(clock)};
};

// Starts are planned an interval apart from the first, 100 ms after Start:
// a late tick keeps the plan, one later than a whole interval starts it
// afresh, a closed port sends nothing but keeps the pace. Each ending stops
// the timer, frees the slot, clears the check mark through Ended and says why.
TEST(AutoTransmitter, KeepsThePlannedStartsUntilOneOfItsEndings) {
  const QString changed =
      "The current string selection has been\nchanged while transmitting.\n"
      "Auto transmission has been turned off.";
  const QString overflow =
      "The transmission buffer has overflowed.\nIncrease the delay between string "
      "transmissions or increase the baudrate\nAuto transmission has been turned off.";
  const QString took =
      "The transmission took %1 mS, which is longer than the AutoTransmitt interval of %2 mS.\n\n"
      "This might be caused by incorrect timing parameters or \nby user intervention that "
      "temporarily inhibits transmission.\n\nAuto transmission has been turned off.";
  const struct {
    int interval, room, sendMs;
    bool change;
    std::vector<std::int64_t> late;
    std::vector<int> open;
    std::vector<std::int64_t> sent;
    QString message;
  } cases[] = {
      {100, 4096, 0, false, {0, 7, 3, 0}, {}, {1100, 1207, 1303, 1400}, {}},
      {100, 4096, 0, false, {0, 130, 0, 0}, {}, {1100, 1330, 1430, 1530}, {}},
      {50, 4096, 0, false, {0, 0, 0, 4}, {1, 0, 0, 1}, {1100, 1254}, {}},
      {20, 301, 20, false, {0, 0, 0}, {}, {1100, 1120, 1140}, {}},  // at the limits
      {100, 4096, 0, true, {0, 0}, {}, {1100}, changed},
      {100, 300, 0, false, {0}, {}, {}, overflow},
      {100, 4096, 101, false, {0}, {}, {1100}, took.arg(101).arg(100)},
      {0, 4096, 11, false, {0}, {}, {1100}, took.arg(11).arg(10)},
  };
  for (const auto& c : cases) {
    AutoXmit x(c.interval);
    x.channel.room = c.room;
    x.onSend = [&] {
      x.clock->now += c.sendMs;
      x.conf.Strngs.CurrentNr = c.change ? 5 : 0;
    };
    ASSERT_TRUE(x.engine.Start(0));
    for (std::size_t i = 0; i < c.late.size(); ++i) {
      x.channel.open = c.open.empty() || c.open[i] != 0;
      x.clock->FireLate(c.late[i]);
    }
    const bool ends = !c.message.isEmpty();
    SCOPED_TRACE(c.message.isEmpty() ? std::to_string(c.interval) : c.message.toStdString());
    EXPECT_EQ(x.sent, c.sent);
    EXPECT_EQ(x.messages.Texts(), ends ? std::vector<QString>{c.message} : std::vector<QString>{});
    if (ends) {
      EXPECT_EQ(x.messages.shown.at(0).kind,
                c.message == changed ? Kind::Information : Kind::Error);
    }
    EXPECT_EQ(x.channel.discards, c.message == overflow ? 1 : 0);
    EXPECT_EQ(x.ended, ends ? 1 : 0);
    EXPECT_EQ(x.engine.Running() && x.clock->due && x.channel.taken == 1, !ends);
  }
}

}  // namespace
}  // namespace klv
