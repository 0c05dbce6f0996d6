// File transmission on a fake channel whose output buffer the test fills and
// drains, and a timer the test fires: the blocks, the pacing and each ending.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <optional>

#include "strings/FileTransmitter.h"
#include "support/FakeMessageService.h"
#include "support/QuietServices.h"

namespace klv {
namespace {

struct FakeClock : IAutoXmitClock {
  std::int64_t NowMs() const override { return 0; }
  void Start(int) override { armed = true; }
  void Stop() override { armed = false; }
  bool FireIfArmed() { return std::exchange(armed, false) ? (Fire(), true) : false; }
  bool armed = false;
};

// Channel 2 with the output buffer's fill set by the test; records the blocks.
struct FakeChannel : test::QuietServices, IChannelActivitySlots {
  bool ChannelAvailable(int c) const override { return c == 1 && open; }
  void OutputString(int, std::string_view bytes) override {
    blocks.push_back(int(bytes.size())), got.append(bytes.data(), qsizetype(bytes.size()));
  }
  int ChannelOutputRoom(int) const override { return 4096 - pending; }
  bool TakeActivity(int, IChannelActivity& a) override { return !busy && (holder = &a); }
  void ReleaseActivity(int, const IChannelActivity&) override { holder = nullptr; }
  IChannelActivity* Activity(int) const override { return holder; }
  void StopActivity(int) override { std::exchange(holder, nullptr)->StopActivity(); }
  int pending = 0;
  bool open = true, busy = false;
  IChannelActivity* holder = nullptr;
  std::vector<int> blocks;
  QByteArray got;
};

enum class Event { None, Abort, CloseChannel, SlotStopped, Busy, Full };
struct Case {
  const char* name;
  int size;  // -1: no such file, -2: a directory
  Event event;
  int atTick;  // ticks before the event
  std::vector<int> blocks;
  std::optional<bool> complete;
  const char* message;  // the start of the one message shown, or ""
};

TEST(FileTransmitter, SendsBlocksPacedByTheBufferAndEndsAsAsked) {
  // clang-format off
  const Case cases[] = {
      {"empty", 0, Event::None, 0, {}, true, ""},
      {"300 bytes", 300, Event::None, 0, {128, 128, 44}, true, ""},
      {"buffer not drained", 300, Event::Full, 0, {}, std::nullopt, ""},
      {"abort", 300, Event::Abort, 1, {128}, false, ""},
      {"closed", 300, Event::CloseChannel, 2, {128, 128}, false,
       "Channel 2 has been closed.\nThe file transmission ended after 256 of 300 bytes."},
      {"slot stopped", 300, Event::SlotStopped, 1, {128}, false, "Channel 2 has been closed."},
      {"missing", -1, Event::None, 0, {}, std::nullopt, "The file does not exist"},
      {"directory", -2, Event::None, 0, {}, std::nullopt, "The file \""},
      {"slot busy", 10, Event::Busy, 0, {}, std::nullopt, "Channel 2 is busy"},
      {"closed first", 10, Event::CloseChannel, 0, {}, std::nullopt, "Channel 2 is not open."},
  };
  // clang-format on
  for (const Case& c : cases) {  // every tick finds `pending` bytes in the buffer
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString path = dir.filePath(c.size == -2 ? "" : "f.bin");
    QByteArray data;
    for (int i = 0; i < c.size; ++i)
      data.append(char(i * 7 + i / 256));
    if (QFile file(path); c.size >= 0)
      file.open(QIODevice::WriteOnly), file.write(data);
    FakeChannel channel;
    test::FakeMessageService messages;
    auto* clock = new FakeClock;
    TFileTransmitter engine(channel, channel, messages, 4096, std::unique_ptr<FakeClock>(clock));
    std::optional<bool> complete;
    std::int64_t progress = 0;
    QObject::connect(&engine, &TFileTransmitter::Finished, [&](bool done) { complete = done; });
    QObject::connect(&engine, &TFileTransmitter::Progress, [&](std::int64_t n) { progress = n; });
    channel.busy = c.event == Event::Busy;
    channel.open = !(c.event == Event::CloseChannel && c.atTick == 0);
    EXPECT_EQ(engine.Start(path, 1), c.message[0] == 0 || c.atTick > 0);
    for (int tick = 0; tick < 10; ++tick) {
      channel.pending = c.event == Event::Full ? 10 : 9;
      if (tick == c.atTick && c.event == Event::Abort)
        engine.Abort();
      if (tick == c.atTick && c.event == Event::CloseChannel)
        channel.open = false;
      if (tick == c.atTick && c.event == Event::SlotStopped)
        channel.StopActivity(1);
      if (!clock->FireIfArmed())
        break;
    }
    EXPECT_EQ(channel.blocks, c.blocks);
    EXPECT_EQ(channel.got, data.left(channel.got.size()));
    EXPECT_EQ(progress, channel.got.size());
    EXPECT_EQ(complete, c.complete);
    EXPECT_EQ(engine.Running(), c.event == Event::Full);
    EXPECT_EQ(channel.holder != nullptr, engine.Running());
    ASSERT_EQ(messages.shown.size(), c.message[0] == 0 ? 0u : 1u);
    EXPECT_TRUE(messages.shown.empty() || messages.shown[0].text.startsWith(c.message));
  }
}

}  // namespace
}  // namespace klv
