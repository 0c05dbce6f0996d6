// What the simulated devices send and when, and the pacing of the ports, on
// a clock the tests move by hand.
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

std::int64_t Due(std::uint64_t rate, TTime now) {
  return std::chrono::duration_cast<nanoseconds>(now - kStart).count() *
         static_cast<std::int64_t>(rate) / 1'000'000'000;
}

// Writes whatever is allowed at irregular wake-ups (1..13 ms apart): the
// count follows the elapsed time exactly, with nothing gained or lost over
// a long run.
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
      ASSERT_EQ(sent, Due(rate, now)) << rate << " bytes/s after " << step << " steps";
    }
  }
}

TEST(Pacer, APauseIsMadeUpOnlyByAShortBurst) {
  TPacer pacer(960, kStart);
  EXPECT_EQ(pacer.Burst(), 19u);  // 20 ms of the line
  pacer.Consume(pacer.Allowance(kStart + milliseconds(500)));
  // Nobody read the port for five seconds.
  const TTime later = kStart + seconds(5) + milliseconds(500);
  EXPECT_EQ(pacer.Allowance(later), pacer.Burst());
  pacer.Consume(pacer.Burst());
  // Then the pace goes on from there.
  std::size_t sent = 0;
  for (TTime now = later + milliseconds(5); now <= later + seconds(1); now += milliseconds(5)) {
    sent += pacer.Allowance(now);
    pacer.Consume(pacer.Allowance(now));
  }
  EXPECT_EQ(sent, 960u);
}

TEST(Pacer, AfterIdlingTheFirstByteGoesAtOnceAndTheRestAtThePace) {
  TPacer pacer(960, kStart);
  const TTime idle = kStart + seconds(30);
  pacer.Restart(idle);
  EXPECT_EQ(pacer.Allowance(idle), 1u) << "no burst built up while idle";
  pacer.Consume(1);
  EXPECT_EQ(pacer.TimeFor(1), idle + nanoseconds(1'000'000'000 / 960 + 1));
  EXPECT_EQ(pacer.Allowance(idle + milliseconds(10)), 9u);
}

TEST(Pacer, TimeForIsTheFirstMomentTheBytesAreAllowed) {
  TPacer pacer(11520, kStart);
  pacer.Consume(pacer.Allowance(kStart + milliseconds(1234)));
  for (std::size_t count : {1u, 5u, 230u}) {
    const TTime at = pacer.TimeFor(count);
    EXPECT_GT(at, kStart + milliseconds(1234));
    EXPECT_EQ(pacer.Allowance(at - nanoseconds(1)), count - 1) << count;
    EXPECT_EQ(pacer.Allowance(at), count) << count;
  }
  EXPECT_THROW(TPacer(0, kStart), std::invalid_argument);
}

// Plays a device until `until`, waking when it asks to or every `step`,
// and writes its queues completely at each wake-up.
struct Player {
  TDevice& device;
  TTime now = kStart;
  std::vector<std::string> sent = std::vector<std::string>(2);

  void Until(TTime until, milliseconds step = milliseconds(1)) {
    while (now < until) {
      const TTime wake = device.Step(now);
      for (std::size_t port = 0; port < device.PortCount(); ++port)
        sent[port] += Drain(device.Output(port));
      now = std::min({wake, now + step, until});
    }
  }
};

TEST(RuvoLinkDevice, EachAnswerFollowsItsWrittenPollAndTheLinkStopsAfterTheLimit) {
  TRuvoLinkDevice link(3, 0.3, 5);
  TRuvoGenerator generator(3, 0.3);
  const TRuvoExchange first = generator.Next();

  EXPECT_EQ(link.Step(kStart), kNever) << "waits for the poll to be written";
  EXPECT_EQ(link.Output(0).Front(), first.Poll.Bytes);
  // However long the poll takes to go out, the answer waits for it.
  EXPECT_EQ(link.Step(kStart + seconds(10)), kNever);
  EXPECT_TRUE(link.Output(1).Empty());
  Drain(link.Output(0));
  const TTime written = kStart + seconds(11);
  EXPECT_EQ(link.Step(written), written + TRuvoLinkDevice::kTurnaround);
  EXPECT_TRUE(link.Output(1).Empty());
  link.Step(written + TRuvoLinkDevice::kTurnaround);
  EXPECT_EQ(Drain(link.Output(1)), first.Answer.Bytes);
  EXPECT_TRUE(link.Output(0).Empty()) << "the next poll comes after the answer is written";
  const TTime answered = written + seconds(1);
  EXPECT_EQ(link.Step(answered), answered + TRuvoLinkDevice::kPollGap);
  EXPECT_EQ(link.Exchanges(), 1u);

  // The rest of the five exchanges, then silence.
  Player player{link, answered};
  player.Until(answered + seconds(60));
  std::string polls, answers;
  for (int i = 1; i < 5; ++i) {
    const TRuvoExchange e = generator.Next();
    polls += e.Poll.Bytes;
    answers += e.Answer.Bytes;
  }
  EXPECT_EQ(player.sent[0], polls);
  EXPECT_EQ(player.sent[1], answers);
  EXPECT_EQ(link.Exchanges(), 5u);
  EXPECT_EQ(link.Step(player.now + seconds(3600)), kNever);
  EXPECT_TRUE(link.Output(0).Empty() && link.Output(1).Empty());
}

TEST(TextDevice, SendsALineASecondButWaitsWhileTheLastIsNotWritten) {
  TTextDevice text;
  EXPECT_EQ(text.Step(kStart), kStart + seconds(1));
  EXPECT_EQ(Drain(text.Output(0)), "Kelvora 32 simulated text device, line 1\r\n");
  text.Step(kStart + milliseconds(999));
  EXPECT_TRUE(text.Output(0).Empty());
  text.Step(kStart + seconds(1));
  EXPECT_EQ(text.Output(0).Front(), TTextDevice::Line(2));
  // Nobody reads: no line piles up behind it, and none is lost.
  EXPECT_EQ(text.Step(kStart + seconds(5)), kNever);
  EXPECT_EQ(Drain(text.Output(0)), TTextDevice::Line(2));
  EXPECT_EQ(text.Step(kStart + seconds(5)), kStart + seconds(6)) << "no burst of lines after";
  EXPECT_EQ(Drain(text.Output(0)), TTextDevice::Line(3));
}

TEST(TextDevice, AnswersEveryLineHoweverItArrives) {
  TTextDevice text;
  text.Step(kStart);
  Drain(text.Output(0));
  // CR LF is one line end; a lone CR or LF ends a line too.
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

TEST(TextAndEchoDevices, StopTakingInputWhileTheirAnswersAreNotWritten) {
  TTextDevice text;
  EXPECT_GT(text.InputRoom(0), 0u);
  while (text.Output(0).Size() < TTextDevice::kMaxQueued)
    text.Receive(0, "line\n");
  EXPECT_EQ(text.InputRoom(0), 0u);
  Drain(text.Output(0));
  EXPECT_GT(text.InputRoom(0), 0u);

  TEchoDevice echo;
  std::string sent;
  for (int i = 0; echo.InputRoom(0) > 0; ++i) {
    const std::string piece(std::min<std::size_t>(echo.InputRoom(0), 1000), static_cast<char>(i));
    echo.Receive(0, piece);
    sent += piece;
  }
  EXPECT_EQ(sent.size(), TEchoDevice::kMaxQueued);
  EXPECT_EQ(Drain(echo.Output(0)), sent) << "everything comes back, in order";
  EXPECT_EQ(echo.InputRoom(0), TEchoDevice::kMaxQueued);
}

TEST(FloodDevice, SendsTheSeededStreamUnbroken) {
  TFloodDevice flood(7, TByteSet::Low);
  TFloodStream expected(7, TByteSet::Low);
  std::size_t total = 0;
  for (std::size_t piece = 1; total < 3 * TFloodDevice::kChunk; piece = piece * 3 + 1) {
    flood.Step(kStart);
    ASSERT_GE(flood.Output(0).Size(), TFloodDevice::kChunk / 2) << "kept ahead of the port";
    const std::size_t count = std::min(piece, flood.Output(0).Size());
    const std::string_view bytes = flood.Output(0).Front().substr(0, count);
    for (char c : bytes)
      ASSERT_EQ(static_cast<std::uint8_t>(c), expected.Next()) << "byte " << total;
    flood.Output(0).Consume(count);
    total += count;
  }
}

}  // namespace
}  // namespace klv::sim
