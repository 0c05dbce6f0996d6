// The simulated Ruvo-94 link, checked with the analyser's own decoder: every
// frame it sends decodes as sent, every fault shows as the frame error it
// stands for, and faults come at about the rate asked for.
#include "sim/RuvoFrames.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <tuple>

#include "conf/ConfDefaults.h"
#include "protocol/P_ruvo94.h"
#include "support/RendererFakes.h"

namespace klv::sim {
namespace {

// The analyser's decoder on both channels. Good frames reach a trigger that
// never fires and hides them, so the log gets only the frame-error lines.
struct Decoder : IRuvoTrigger {
  Decoder() {
    SetConfDefaults(conf, [](int) { return false; });
    for (auto& channel : conf.Trigger_Ruvo94.Channel)
      channel.Mode = static_cast<std::uint8_t>(TTrigMode::OneShot);
    decoder.SetTrigger(this);
  }
  bool CheckRuvoTrigger(int channel, std::uint8_t to, std::uint8_t from, std::uint8_t type,
                        std::string_view message) override {
    frames[channel].push_back(EncodeRuvoFrame({to, from, type, std::string(message)}));
    return false;
  }
  bool OnTrigDisplayFrame(int) override { return false; }
  bool OnNoTrigDisplayFrames(int) override { return false; }

  TConf conf;
  TConsoleBuffer console;
  TBufferConsoleOutput output{console};
  test::RecordingChannels channels;
  test::RecordingLogText log;
  TProtocol_Ruvo94 decoder{conf, output, channels, log};
  std::map<int, std::vector<std::string>> frames;  // as encoded
};

TEST(RuvoFrames, WhatCannotBeSentWellFormedIsRefused) {
  EXPECT_THROW(EncodeRuvoFrame({1, 2, 'R', std::string("A\x03", 2)}), std::invalid_argument);
  EXPECT_THROW(EncodeRuvoFrame({1, 2, 'R', std::string(253, 'x')}), std::invalid_argument);
  EXPECT_EQ(EncodeRuvoFrame({1, 2, 'R', std::string(252, 'x')}).size(), 252u + 7u);
  EXPECT_THROW(EncodeRuvoFrame({1, 2, 'R', ""}, TRuvoFault::BadCheck, 0), std::invalid_argument);
  EXPECT_THROW(EncodeRuvoFrame({1, 2, 'R', ""}, TRuvoFault::StrayByte, kStx),
               std::invalid_argument);
}

// The master polls 10H..17H in turn and each polled slave answers it; the
// decoder sees exactly the frames and faults that were sent. With every
// frame faulty the rare frames whose check byte is 03H (which would pass for
// the missing ETX) are met too: still one fault, one error.
TEST(RuvoFrames, TheLinkDecodesAsSentWithEachFaultShownAsItsError) {
  const std::map<TRuvoFault, std::string> errors = {{TRuvoFault::BadCheck, "Checksum error"},
                                                    {TRuvoFault::MissingEtx, "Missing ETX"},
                                                    {TRuvoFault::StrayByte, "Missing STX"}};
  for (const auto& [seed, rate, count] : {std::tuple(1u, 0.05, 1000), std::tuple(5u, 1.0, 4000)}) {
    SCOPED_TRACE(rate);
    TRuvoGenerator generator(seed, rate);
    Decoder decoder;
    std::map<int, std::vector<std::string>> frames;
    std::string errorLines[2];
    std::map<TRuvoFault, int> faults;
    std::size_t shortest = 1000, longest = 0;
    for (int i = 0; i < count; ++i) {
      const TRuvoExchange e = generator.Next();
      const auto slave = static_cast<std::uint8_t>(0x10 + i % 8);
      const TRuvoFrame &poll = e.Poll.Frame, &answer = e.Answer.Frame;
      EXPECT_EQ(std::tuple(poll.To, poll.From, poll.Type, answer.To, answer.From, answer.Type),
                std::tuple(slave, 0x01, 'P', 0x01, slave, 'R'));
      EXPECT_FALSE(poll.Data.empty());
      shortest = std::min(shortest, answer.Data.size());
      longest = std::max(longest, answer.Data.size());
      for (int channel : {0, 1}) {
        const TRuvoSend& send = channel == 0 ? e.Poll : e.Answer;
        ++faults[send.Fault];
        if (send.Fault != TRuvoFault::None)
          errorLines[channel] += "-----FRAME ERROR: " + errors.at(send.Fault) + "\r\n";
        if (send.Fault == TRuvoFault::None || send.Fault == TRuvoFault::StrayByte)
          frames[channel].push_back(EncodeRuvoFrame(send.Frame));
        for (char c : send.Bytes)
          decoder.decoder.RuvoReceiveByte(channel, static_cast<std::uint8_t>(c));
      }
    }
    EXPECT_EQ(decoder.frames, frames);
    EXPECT_EQ(decoder.log.Joined(0, false), errorLines[0]);
    EXPECT_EQ(decoder.log.Joined(1, false), errorLines[1]);
    EXPECT_EQ(std::pair(shortest, longest), std::pair(std::size_t{0}, std::size_t{60}));
    for (TRuvoFault fault : {TRuvoFault::BadCheck, TRuvoFault::MissingEtx, TRuvoFault::StrayByte})
      EXPECT_GE(faults[fault], 10) << static_cast<int>(fault);
    EXPECT_EQ(faults[TRuvoFault::None] == 0, rate == 1.0);
  }
}

TEST(RuvoFrames, FaultsComeAtAboutTheRateAskedFor) {
  // Fixed seeds: the counts are always the same; the bands say "about".
  for (const double rate : {0.0, 0.05, 0.2, 0.5}) {
    TRuvoGenerator generator(1, rate);
    int faults = 0;
    for (int i = 0; i < 2000; ++i) {
      const TRuvoExchange e = generator.Next();
      faults +=
          (e.Poll.Fault != TRuvoFault::None ? 1 : 0) + (e.Answer.Fault != TRuvoFault::None ? 1 : 0);
    }
    EXPECT_GE(faults, 4000 * rate * 0.8) << rate;
    EXPECT_LE(faults, 4000 * rate * 1.2) << rate;
  }
}

}  // namespace
}  // namespace klv::sim
