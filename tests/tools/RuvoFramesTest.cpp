// The simulated Ruvo-94 link, checked with the analyser's own decoder: every
// frame it sends decodes as sent, every fault shows as the frame error it
// stands for, in its place, and faults come at about the rate asked for.
#include "sim/RuvoFrames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <tuple>

#include "conf/ConfDefaults.h"
#include "protocol/P_ruvo94.h"
#include "support/RendererFakes.h"

namespace klv::sim {
namespace {

// The analyser's decoder on both channels. Good frames reach a trigger that
// never fires and hides them; `seen` gets each channel's good frames (as
// encoded) and frame-error lines in the order they come.
struct Decoder : IRuvoTrigger, ILogText {
  Decoder() {
    SetConfDefaults(conf, [](int) { return false; });
    for (auto& channel : conf.Trigger_Ruvo94.Channel)
      channel.Mode = static_cast<std::uint8_t>(TTrigMode::OneShot);
    decoder.SetTrigger(this);
  }
  bool CheckRuvoTrigger(int channel, std::uint8_t to, std::uint8_t from, std::uint8_t type,
                        std::string_view message) override {
    seen[channel] += EncodeRuvoFrame({to, from, type, std::string(message)});
    return false;
  }
  bool OnTrigDisplayFrame(int) override { return false; }
  bool OnNoTrigDisplayFrames(int) override { return false; }
  void LogText(std::string_view text, int channel, bool newLine, bool) override {
    seen[channel] += std::string(text) + (newLine ? "\n" : "");
  }
  void LogPrinterText(std::string_view, int) override {}

  TConf conf;
  TConsoleBuffer console;
  TBufferConsoleOutput output{console};
  test::RecordingChannels channels;
  TProtocol_Ruvo94 decoder{conf, output, channels, *this};
  std::map<int, std::string> seen;
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
// decoder sees exactly the frames and faults that were sent, and the faults
// come at about the rate asked for (fixed seeds: the band says "about"). With
// every frame faulty the rare frames whose check byte is 03H (which would
// pass for the missing ETX) are met too: still one fault, one error.
TEST(RuvoFrames, TheLinkDecodesAsSentWithEachFaultShownAsItsErrorAtTheRateAskedFor) {
  const std::map<TRuvoFault, std::string> errors = {{TRuvoFault::BadCheck, "Checksum error"},
                                                    {TRuvoFault::MissingEtx, "Missing ETX"},
                                                    {TRuvoFault::StrayByte, "Missing STX"}};
  std::size_t shortest = 1000, longest = 0;  // of the answers' data
  for (const auto& [seed, rate, count] :
       {std::tuple(1u, 0.0, 2000), std::tuple(1u, 0.05, 2000), std::tuple(1u, 0.2, 2000),
        std::tuple(1u, 0.5, 2000), std::tuple(5u, 1.0, 4000)}) {
    SCOPED_TRACE(rate);
    TRuvoGenerator generator(seed, rate);
    Decoder decoder;
    std::map<int, std::string> sent;
    std::map<TRuvoFault, int> faults;
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
          sent[channel] += "-----FRAME ERROR: " + errors.at(send.Fault) + "\n";
        if (send.Fault == TRuvoFault::None || send.Fault == TRuvoFault::StrayByte)
          sent[channel] += EncodeRuvoFrame(send.Frame);
        for (char c : send.Bytes)
          decoder.decoder.RuvoReceiveByte(channel, static_cast<std::uint8_t>(c));
      }
    }
    EXPECT_EQ(decoder.seen, sent);
    const int faulty = 2 * count - faults[TRuvoFault::None];
    EXPECT_NEAR(faulty, 2 * count * rate, 2 * count * std::min(rate, 1 - rate) * 0.2);
    for (TRuvoFault fault : {TRuvoFault::BadCheck, TRuvoFault::MissingEtx, TRuvoFault::StrayByte})
      EXPECT_EQ(faults[fault] >= 10, rate > 0) << static_cast<int>(fault);
  }
  EXPECT_EQ(std::pair(shortest, longest), std::pair(std::size_t{0}, std::size_t{60}));
}

}  // namespace
}  // namespace klv::sim
