// Auto-transmission on a clock the test moves: the schedule of the starts,
// the three endings with their messages, and the channel's activity slot.
#include <gtest/gtest.h>

#include <optional>

#include "conf/ConfRecord.h"
#include "strings/AutoTransmitter.h"
#include "support/FakeMessageService.h"

namespace klv {
namespace {

using Kind = test::FakeMessageService::Kind;

class FakeClock : public IAutoXmitClock {
 public:
  std::int64_t NowMs() const override { return now; }
  void Start(int ms) override { due = now + ms; }
  void Stop() override { due.reset(); }
  // Fires the armed timer `lateMs` after it is due; false when none is armed.
  bool FireLate(std::int64_t lateMs = 0) {
    if (!due)
      return false;
    now = *std::exchange(due, std::nullopt) + lateMs;
    Fire();
    return true;
  }
  std::int64_t now = 1000;
  std::optional<std::int64_t> due;
};

class FakeChannel : public IChannelServices, public IChannelActivitySlots {
 public:
  bool ChannelAvailable(int channel) const override { return channel == 0 && open; }
  void OutputString(int, std::string_view) override {}
  int ChannelOutputRoom(int) const override { return room; }
  void DiscardChannelOutput(int) override { ++discards; }
  bool ChannelCTS(int) const override { return false; }
  void SetChannelRTS(int, bool) override {}
  void SetChannelDTR(int, bool) override {}
  bool TakeActivity(int, IChannelActivity& activity) override {
    return holder == nullptr || holder == &activity ? (holder = &activity, true) : false;
  }
  void ReleaseActivity(int, const IChannelActivity& activity) override {
    if (holder == &activity)
      holder = nullptr;
  }
  IChannelActivity* Activity(int) const override { return holder; }
  void StopActivity(int) override { std::exchange(holder, nullptr)->StopActivity(); }

  bool open = true;
  int room = 4096;
  int discards = 0;
  IChannelActivity* holder = nullptr;
};

struct AutoXmit {
  explicit AutoXmit(int interval) {
    conf.MiscInt.AutoXmitInterval = static_cast<std::uint16_t>(interval);
    QObject::connect(&engine, &TAutoTransmitter::Ended, [this] { ++ended; });
  }
  TConf conf{};
  FakeChannel channel;
  test::FakeMessageService messages;
  FakeClock* clock = new FakeClock;
  std::vector<std::int64_t> sent;  // when each transmission started
  std::function<void()> onSend;
  int ended = 0;
  TAutoTransmitter engine{conf,
                          channel,
                          channel,
                          messages,
                          [this] {
                            sent.push_back(clock->now);
                            if (onSend)
                              onSend();
                          },
                          std::unique_ptr<IAutoXmitClock>(clock)};
};

// Starts are planned an interval apart from the start of the first, 100 ms
// after Start: a late tick keeps the plan, one later than a whole interval
// starts it afresh, and ticks while the port is closed send nothing but keep
// the pace.
TEST(AutoTransmitter, StartsFollowThePlanWhateverTheTicksLateness) {
  const struct {
    int interval;
    std::vector<std::int64_t> late;
    std::vector<bool> open;
    std::vector<std::int64_t> sent;
  } cases[] = {
      {100, {0, 7, 3, 0}, {}, {1100, 1207, 1303, 1400}},
      {100, {0, 130, 0, 0}, {}, {1100, 1330, 1430, 1530}},
      {0, {2, 9, 0, 0}, {}, {1102, 1119, 1120, 1130}},
      {50, {0, 0, 0, 4}, {true, false, false, true}, {1100, 1254}},
  };
  for (const auto& c : cases) {
    AutoXmit x(c.interval);
    ASSERT_TRUE(x.engine.Start(0));
    for (std::size_t i = 0; i < c.late.size(); ++i) {
      x.channel.open = c.open.empty() || c.open[i];
      ASSERT_TRUE(x.clock->FireLate(c.late[i]));
    }
    EXPECT_EQ(x.sent, c.sent) << "interval " << c.interval;
    EXPECT_TRUE(x.engine.Running() && x.messages.shown.empty());
  }
}

// Each ending stops the timer, frees the slot, tells the check mark through
// Ended and says why.
TEST(AutoTransmitter, EndsWithItsMessageOnAChangedStringAFullBufferOrASlowTransmission) {
  const QString took = QStringLiteral(
      "The transmission took %1 mS, which is longer than the AutoTransmitt interval of %2 mS.\n\n"
      "This might be caused by incorrect timing parameters or \nby user intervention that "
      "temporarily inhibits transmission.\n\nAuto transmission has been turned off.");
  const struct {
    int interval, room, sendMs;
    bool changeString;
    std::size_t sent;
    int discards;
    Kind kind;
    QString text;
  } cases[] = {
      {100, 4096, 0, true, 1, 0, Kind::Information,
       "The current string selection has been\nchanged while transmitting.\n"
       "Auto transmission has been turned off."},
      {100, 300, 0, false, 0, 1, Kind::Error,
       "The transmission buffer has overflowed.\nIncrease the delay between string "
       "transmissions or increase the baudrate\nAuto transmission has been turned off."},
      {100, 4096, 101, false, 1, 0, Kind::Error, took.arg(101).arg(100)},
      {0, 4096, 11, false, 1, 0, Kind::Error, took.arg(11).arg(10)},
  };
  for (const auto& c : cases) {
    AutoXmit x(c.interval);
    x.channel.room = c.room;
    x.onSend = [&] {
      x.clock->now += c.sendMs;
      x.conf.Strngs.CurrentNr = c.changeString ? 5 : 0;
    };
    ASSERT_TRUE(x.engine.Start(0));
    while (x.clock->FireLate()) {
    }
    EXPECT_EQ(x.sent.size(), c.sent) << c.text.toStdString();
    EXPECT_EQ(x.channel.discards, c.discards) << c.text.toStdString();
    ASSERT_EQ(x.messages.shown.size(), 1u);
    EXPECT_EQ(x.messages.shown[0].kind, c.kind);
    EXPECT_EQ(x.messages.shown[0].text, c.text);
    EXPECT_TRUE(x.ended == 1 && !x.engine.Running() && x.channel.holder == nullptr);
  }
}

// Room just above the limit and a transmission of exactly the interval go on.
TEST(AutoTransmitter, GoesOnAtTheLimits) {
  AutoXmit x(20);
  x.channel.room = 301;
  x.onSend = [&] { x.clock->now += 20; };
  ASSERT_TRUE(x.engine.Start(0));
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(x.clock->FireLate());
  EXPECT_EQ(x.sent, std::vector<std::int64_t>({1100, 1120, 1140}));
  EXPECT_TRUE(x.engine.Running() && x.messages.shown.empty());
}

// Another activity on channel 1 refuses the start; the slot's owner stops a
// running one quietly.
TEST(AutoTransmitter, SharesChannelOneWithNoOtherActivity) {
  AutoXmit x(100);
  AutoXmit other(100);
  x.channel.holder = &other.engine;
  EXPECT_FALSE(x.engine.Start(0));
  EXPECT_FALSE(x.engine.Running() || x.clock->due);
  ASSERT_EQ(x.messages.Texts().size(), 1u);
  EXPECT_TRUE(x.messages.Texts()[0].contains("busy with a script or a file transmission"));

  x.channel.holder = nullptr;
  ASSERT_TRUE(x.engine.Start(0));
  ASSERT_EQ(x.channel.holder, &x.engine);
  x.channel.StopActivity(0);
  EXPECT_FALSE(x.engine.Running() || x.clock->FireLate());
  EXPECT_EQ(x.ended, 1);
  EXPECT_EQ(x.messages.shown.size(), 1u);
}

}  // namespace
}  // namespace klv
