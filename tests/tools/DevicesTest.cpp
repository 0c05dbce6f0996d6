// What the simulated devices send and when, and the pacing of the ports, on a hand-moved clock.
#include "sim/Devices.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/Pacer.h"

namespace klv::sim {
namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;
using std::chrono::seconds;

const TTime kStart = TTime{} + seconds(1000);

// Takes everything a queue holds, as a port that writes it all at once.
std::string Drain(TOutputQueue& queue) {
  std::string bytes(queue.Front());
  queue.Consume(bytes.size());
  return bytes;
}

// Writes whatever is allowed at irregular wake-ups (1..13 ms apart): the count follows the
// elapsed time exactly, with nothing gained or lost over a long run.
TEST(Pacer, FollowsTheElapsedTimeWithoutDrift) {
  for (const std::uint64_t rate : {960u, 11520u, 300000u}) {
    TPacer pacer(rate, kStart);
    std::int64_t sent = 0;
    TTime now = kStart;
    for (int step = 0; now < kStart + seconds(100); ++step) {
      now += milliseconds(1 + (step * 7) % 13) + nanoseconds(step % 1000);
      const std::size_t allowed = pacer.Allowance(now);
      pacer.Consume(allowed);
      sent += static_cast<std::int64_t>(allowed);
      const std::int64_t due = std::chrono::duration_cast<nanoseconds>(now - kStart).count() *
                               static_cast<std::int64_t>(rate) / 1'000'000'000;
      ASSERT_EQ(sent, due) << rate << " bytes/s after " << step << " steps";
    }
  }
}

TEST(Pacer, APauseIsMadeUpOnlyByAShortBurstAndIdlingByNone) {
  TPacer pacer(960, kStart);
  pacer.Consume(pacer.Allowance(kStart + milliseconds(500)));
  // Nobody read the port for five seconds; then the pace goes on from there after a burst of
  // 20 ms of the line.
  const TTime later = kStart + seconds(5) + milliseconds(500);
  std::size_t sent = 0;
  for (TTime now = later; now <= later + seconds(1); now += milliseconds(5)) {
    sent += pacer.Allowance(now);
    pacer.Consume(pacer.Allowance(now));
  }
  EXPECT_EQ(sent, 19u + 960u);
  // An idle line: the first byte goes at once, the rest at the pace, each allowed from the
  // moment TimeFor names and not a nanosecond before.
  pacer.Restart(later + seconds(30));
  EXPECT_EQ(pacer.Allowance(later + seconds(30)), 1u);
  pacer.Consume(1);
  for (std::size_t count : {1u, 5u, 19u}) {
    EXPECT_EQ(pacer.Allowance(pacer.TimeFor(count) - nanoseconds(1)), count - 1) << count;
    EXPECT_EQ(pacer.Allowance(pacer.TimeFor(count)), count) << count;
  }
  EXPECT_THROW(TPacer(0, kStart), std::invalid_argument);
}

// The bytes of the polls and answers are checked on the running program; here their timing.
TEST(RuvoLinkDevice, EachAnswerFollowsItsWrittenPollAndTheLinkStopsAfterTheLimit) {
  TRuvoLinkDevice link(3, 0.3, 2);
  TTime now = kStart;
  for (int exchange = 0; exchange < 2; ++exchange) {
    EXPECT_EQ(link.Step(now), kNever) << "waits for the poll to be written";
    EXPECT_FALSE(Drain(link.Output(0)).empty());
    now += seconds(11);  // however long that takes
    EXPECT_EQ(link.Step(now), now + TRuvoLinkDevice::kTurnaround);
    EXPECT_TRUE(link.Output(1).Empty()) << "the slave's turnaround comes first";
    now += TRuvoLinkDevice::kTurnaround;
    EXPECT_EQ(link.Step(now), kNever);
    EXPECT_FALSE(Drain(link.Output(1)).empty());
    EXPECT_TRUE(link.Output(0).Empty()) << "the next poll comes after the answer is written";
    now += seconds(1);
    EXPECT_EQ(link.Step(now), exchange == 0 ? now + TRuvoLinkDevice::kPollGap : kNever);
    now += TRuvoLinkDevice::kPollGap;
  }
  EXPECT_EQ(link.Step(now + seconds(3600)), kNever);
  EXPECT_TRUE(link.Output(0).Empty() && link.Output(1).Empty());
}

TEST(TextDevice, SendsALineASecondAndAnswersEveryLineButNothingPilesUpUnwritten) {
  TTextDevice text;
  EXPECT_EQ(text.Step(kStart), kStart + seconds(1));
  EXPECT_EQ(Drain(text.Output(0)), "Kelvora 32 simulated text device, line 1\r\n");
  text.Step(kStart + milliseconds(999));
  EXPECT_TRUE(text.Output(0).Empty());
  text.Step(kStart + seconds(1));
  // Nobody reads: no line piles up behind it, and none is lost.
  EXPECT_EQ(text.Step(kStart + seconds(5)), kNever);
  EXPECT_EQ(Drain(text.Output(0)), TTextDevice::Line(2));
  EXPECT_EQ(text.Step(kStart + seconds(5)), kStart + seconds(6)) << "no burst of lines after";
  EXPECT_EQ(Drain(text.Output(0)), TTextDevice::Line(3));

  // Every line is answered however it arrives: CR LF is one line end, a lone CR or LF one too.
  for (std::string_view piece : {"hel", "lo\r", "\nwor", "ld\n", "\r\n", "last\r", "\r"})
    text.Receive(0, piece);
  EXPECT_EQ(Drain(text.Output(0)),
            "Received: hello\r\nReceived: world\r\nReceived: \r\n"
            "Received: last\r\nReceived: \r\n");
  // A line without an end is answered in parts rather than kept forever.
  text.Receive(0, std::string(TTextDevice::kMaxLine + 10, 'x') + "\n");
  EXPECT_EQ(Drain(text.Output(0)), TTextDevice::Answer(std::string(TTextDevice::kMaxLine, 'x')) +
                                       TTextDevice::Answer(std::string(10, 'x')));
}

// Neither answering device takes more input while its answers wait unwritten (what the echo
// sends back is checked on the running program).
TEST(AnsweringDevices, TakeNoMoreInputThanTheyCanQueue) {
  TTextDevice text;
  TEchoDevice echo;
  for (TDevice* device : std::initializer_list<TDevice*>{&text, &echo}) {
    for (int i = 0; i < 100000 && device->InputRoom(0) > 0; ++i)
      device->Receive(0, "line\n");
    EXPECT_LT(Drain(device->Output(0)).size(), 70000u);
    EXPECT_GT(device->InputRoom(0), 0u);
  }
}

}  // namespace
}  // namespace klv::sim
