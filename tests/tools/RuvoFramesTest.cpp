// The simulated Ruvo-94 link, checked with the analyser's own decoder: every
// frame it sends decodes as sent, every fault shows as the frame error it
// stands for, and faults come at about the rate asked for.
#include "sim/RuvoFrames.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/ConfigTestSupport.h"
#include "protocol/P_ruvo94.h"
#include "support/RendererFakes.h"

namespace klv::sim {
namespace {

// What the decoder reports: a good frame, or the text of a frame error.
struct Event {
  bool good = false;
  TRuvoFrame frame;
  std::string error;
  friend bool operator==(const Event&, const Event&) = default;
};

void PrintTo(const Event& e, std::ostream* os) {
  if (e.good) {
    *os << "frame to " << int(e.frame.To) << " from " << int(e.frame.From) << " type "
        << e.frame.Type << " data '" << e.frame.Data << "'";
  } else {
    *os << "error '" << e.error << "'";
  }
}

// Runs the analyser's decoder on both channels. Good frames arrive through
// a trigger that never fires and hides them, so the log holds only the
// frame-error lines; both go into one list per channel, in order.
class Decoder : public IRuvoTrigger, public ILogText {
 public:
  Decoder() {
    parts.config.SetDefaults();
    for (auto& channel : parts.config.Conf().Trigger_Ruvo94.Channel)
      channel.Mode = static_cast<std::uint8_t>(TTrigMode::OneShot);
    console.SetSize(94, 50);
    decoder.SetTrigger(this);
    decoder.RuvoReset();
  }

  void Feed(int channel, std::string_view bytes) {
    for (char c : bytes)
      decoder.RuvoReceiveByte(channel, static_cast<std::uint8_t>(c));
  }

  bool CheckRuvoTrigger(int channel, std::uint8_t to, std::uint8_t from, std::uint8_t type,
                        std::string_view message) override {
    events[channel].push_back({true, {to, from, type, std::string(message)}, {}});
    return false;
  }
  bool OnTrigDisplayFrame(int) override { return false; }
  bool OnNoTrigDisplayFrames(int) override { return false; }

  void LogText(std::string_view text, int channel, bool newLine, bool) override {
    line_ += text;
    if (newLine) {
      const std::string prefix = "-----FRAME ERROR: ";
      ASSERT_EQ(line_.rfind(prefix, 0), 0u) << "only frame errors are shown: " << line_;
      events[channel].push_back({false, {}, line_.substr(prefix.size())});
      line_.clear();
    }
  }
  void LogPrinterText(std::string_view, int) override {}

  std::map<int, std::vector<Event>> events;

 private:
  test::ConfigFixtureParts parts;
  TColorConsoleBuffer console;
  TBufferConsoleOutput output{console};
  test::FakeApp app;
  std::string line_;

 public:
  TProtocol_Ruvo94 decoder{parts.config.Conf(), output, app, *this};
};

// What the decoder must report for a frame sent with its fault.
void Expect(std::vector<Event>& events, const TRuvoSend& send) {
  switch (send.Fault) {
    case TRuvoFault::None:
      events.push_back({true, send.Frame, {}});
      break;
    case TRuvoFault::BadCheck:
      events.push_back({false, {}, "Checksum error"});
      break;
    case TRuvoFault::MissingEtx:
      events.push_back({false, {}, "Missing ETX"});
      break;
    case TRuvoFault::StrayByte:
      events.push_back({false, {}, "Missing STX"});
      events.push_back({true, send.Frame, {}});
      break;
  }
}

struct LinkRun {
  std::vector<TRuvoExchange> exchanges;
  std::map<TRuvoFault, int> faults;
  int frames = 0;
};

LinkRun Generate(std::uint64_t seed, double rate, int count) {
  TRuvoGenerator generator(seed, rate);
  LinkRun run;
  for (int i = 0; i < count; ++i) {
    run.exchanges.push_back(generator.Next());
    for (const TRuvoSend* send : {&run.exchanges.back().Poll, &run.exchanges.back().Answer}) {
      ++run.frames;
      if (send->Fault != TRuvoFault::None)
        ++run.faults[send->Fault];
    }
  }
  return run;
}

int FaultCount(const LinkRun& run) {
  int count = 0;
  for (const auto& [fault, n] : run.faults)
    count += n;
  return count;
}

TEST(RuvoFrames, FramesCarryLengthEtxAndTheRotatedXorCheck) {
  // The check byte of this frame is known from the decoder's own tests.
  EXPECT_EQ(EncodeRuvoFrame({0x01, 0x20, 'A', ""}), std::string("\x02\x01\x20\x41\x03\x03\x6B", 7));
  const std::string good = EncodeRuvoFrame({0x10, 0x01, 'P', "TEMP?\r"});
  ASSERT_EQ(good.size(), 13u);
  EXPECT_EQ(good[4], 6 + 3) << "length byte: data bytes + 3";
  EXPECT_EQ(static_cast<std::uint8_t>(good.back()),
            TProtocol_Ruvo94::Checksum(std::string_view(good).substr(0, good.size() - 1)));

  std::string badCheck = good;
  badCheck.back() = static_cast<char>(badCheck.back() ^ 0x5A);
  EXPECT_EQ(EncodeRuvoFrame({0x10, 0x01, 'P', "TEMP?\r"}, TRuvoFault::BadCheck, 0x5A), badCheck);
  std::string noEtx = good;
  noEtx.erase(11, 1);
  EXPECT_EQ(EncodeRuvoFrame({0x10, 0x01, 'P', "TEMP?\r"}, TRuvoFault::MissingEtx, 0), noEtx);
  EXPECT_EQ(EncodeRuvoFrame({0x10, 0x01, 'P', "TEMP?\r"}, TRuvoFault::StrayByte, 0xFF),
            "\xFF" + good);

  // What cannot be sent as a frame, or not as the fault asked for.
  EXPECT_THROW(EncodeRuvoFrame({1, 2, 'R', std::string("A\x03", 2)}), std::invalid_argument);
  EXPECT_THROW(EncodeRuvoFrame({1, 2, 'R', std::string(253, 'x')}), std::invalid_argument);
  EXPECT_EQ(EncodeRuvoFrame({1, 2, 'R', std::string(252, 'x')}).size(), 252u + 7u);
  EXPECT_THROW(EncodeRuvoFrame({1, 2, 'R', ""}, TRuvoFault::BadCheck, 0), std::invalid_argument);
  EXPECT_THROW(EncodeRuvoFrame({1, 2, 'R', ""}, TRuvoFault::StrayByte, kStx),
               std::invalid_argument);
}

// The master polls 10H..17H in turn and each polled slave answers it; the
// analyser's decoder sees exactly the frames and faults that were sent.
TEST(RuvoFrames, TheLinkDecodesAsSentWithEachFaultShownAsItsError) {
  const LinkRun run = Generate(1, 0.05, 1000);
  Decoder decoder;
  std::map<int, std::vector<Event>> expected;
  std::size_t shortest = 1000, longest = 0;
  for (std::size_t i = 0; i < run.exchanges.size(); ++i) {
    const TRuvoExchange& e = run.exchanges[i];
    const auto slave = static_cast<std::uint8_t>(0x10 + i % 8);
    EXPECT_EQ(e.Poll.Frame.To, slave);
    EXPECT_EQ(e.Poll.Frame.From, 0x01);
    EXPECT_EQ(e.Poll.Frame.Type, 'P');
    EXPECT_FALSE(e.Poll.Frame.Data.empty());
    EXPECT_EQ(e.Answer.Frame.To, 0x01);
    EXPECT_EQ(e.Answer.Frame.From, slave);
    EXPECT_EQ(e.Answer.Frame.Type, 'R');
    EXPECT_LE(e.Answer.Frame.Data.size(), 60u);
    shortest = std::min(shortest, e.Answer.Frame.Data.size());
    longest = std::max(longest, e.Answer.Frame.Data.size());
    Expect(expected[0], e.Poll);
    Expect(expected[1], e.Answer);
    decoder.Feed(0, e.Poll.Bytes);
    decoder.Feed(1, e.Answer.Bytes);
  }
  EXPECT_EQ(shortest, 0u);
  EXPECT_EQ(longest, 60u);
  EXPECT_EQ(decoder.events[0], expected[0]);
  EXPECT_EQ(decoder.events[1], expected[1]);
  // Every kind of fault is among them.
  EXPECT_GE(run.faults.at(TRuvoFault::BadCheck), 10);
  EXPECT_GE(run.faults.at(TRuvoFault::MissingEtx), 10);
  EXPECT_GE(run.faults.at(TRuvoFault::StrayByte), 10);
}

// With every frame faulty the rare frames whose check byte is 03H are met
// too (that byte would pass for the missing ETX): still one fault, one error.
TEST(RuvoFrames, EveryFaultSpoilsOnlyItsOwnFrame) {
  const LinkRun run = Generate(5, 1.0, 4000);
  EXPECT_EQ(FaultCount(run), run.frames);
  Decoder decoder;
  std::map<int, std::vector<Event>> expected;
  for (const TRuvoExchange& e : run.exchanges) {
    Expect(expected[0], e.Poll);
    Expect(expected[1], e.Answer);
    decoder.Feed(0, e.Poll.Bytes);
    decoder.Feed(1, e.Answer.Bytes);
  }
  EXPECT_EQ(decoder.events[0], expected[0]);
  EXPECT_EQ(decoder.events[1], expected[1]);
}

TEST(RuvoFrames, FaultsComeAtAboutTheRateAskedFor) {
  // Fixed seeds: the counts are always the same; the bands say "about".
  EXPECT_EQ(FaultCount(Generate(1, 0.0, 2000)), 0);
  for (const double rate : {0.05, 0.2, 0.5}) {
    const LinkRun run = Generate(1, rate, 2000);
    const double share = FaultCount(run) / static_cast<double>(run.frames);
    EXPECT_GT(share, rate * 0.8) << rate;
    EXPECT_LT(share, rate * 1.2) << rate;
  }
}

}  // namespace
}  // namespace klv::sim
