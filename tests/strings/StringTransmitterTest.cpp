// The rule set of each library entry, the rules applied to an entry, and the
// bytes a library string puts on the line.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "strings/StringRules.h"
#include "strings/StringTransmitter.h"
#include "support/RendererFakes.h"

namespace klv {
namespace {

TProtocolparam Rules(int start, int pos, int style) {
  TProtocolparam rules;
  rules.ChecksumStart = static_cast<std::int16_t>(start);
  rules.ChecksumPos = static_cast<std::int16_t>(pos);
  rules.ChecksumStyle = static_cast<std::uint8_t>(style);
  rules.ChecksumAlg = static_cast<std::uint8_t>(TChecksumAlg::Add);
  return rules;
}

TEST(StringRulesTest, EachEntryGetsTheSetOfItsSyntaxDisplayModeAndProtocol) {
  TConf conf{};
  conf.Protocolparam = Rules(2, 0, 1);
  const TProtocolparam sets[] = {NoneRuleSet(), Ruvo94RuleSet(), conf.Protocolparam};
  // Entry syntax, global syntax, display mode, protocol; the set (0 none,
  // 1 Ruvo-94, 2 user).
  const std::array<int, 5> cases[] = {{0, 2, 2, 0, 0}, {0, 2, 2, 1, 1}, {0, 2, 1, 1, 2},
                                      {0, 1, 0, 0, 0}, {0, 3, 0, 1, 1}, {2, 1, 0, 0, 2},
                                      {3, 2, 1, 0, 0}, {3, 2, 1, 1, 1}, {4, 2, 0, 0, 0},
                                      {1, 2, 0, 0, 0}, {7, 2, 0, 0, 0}, {0, 9, 0, 1, 0}};
  for (const auto& [syntax, global, mode, protocol, set] : cases) {
    conf.Strngs.Strings[99].Syntax = static_cast<std::uint8_t>(syntax);
    conf.Strngs.GlobalSyntax = static_cast<std::uint8_t>(global);
    conf.DisplayMode = static_cast<std::uint8_t>(mode);
    conf.Protocol.Selected = static_cast<std::uint8_t>(protocol);
    for (const int index : {99, 100}) {  // an index past the table is the last entry
      const TProtocolparam got = GetStringRules(conf, conf.Strngs, index);
      EXPECT_EQ(std::memcmp(&sets[set], &got, sizeof got), 0)
          << syntax << global << mode << protocol;
    }
  }
}

TEST(StringRulesTest, LengthByteAndChecksumAreStoredInTheEntry) {
  TLibString entry{};
  entry.Str.assign("\x02\x01\x20\x41");
  entry.Str.chars[200] = '~';               // the room beyond the string stays as it is
  ApplyLengthByte(entry, Ruvo94RuleSet());  // a blank appended for the length byte
  EXPECT_EQ(ApplyChecksum(entry, Ruvo94RuleSet()), 0x55);
  EXPECT_EQ(std::string(entry.Str.view()) + entry.Str.chars[200], "\x02\x01\x20\x41\x02~");
  entry.Str.assign("123??");
  EXPECT_EQ(ApplyChecksum(entry, Rules(1, 1, 1)), 0x14);  // placed in the string
  EXPECT_EQ(entry.Str.view(), "12314");
  EXPECT_EQ(entry.Checksum, 0x14);
}

struct Channels : test::RecordingChannels {
  bool ChannelAvailable(int channel) const override { return open && channel < 2; }
  bool open = true;
};

struct Runner : IScriptRunner {
  void RunScript(const TStrngs& library, int channel, bool close, bool start) override {
    runs.emplace_back(library.CurrentNr, channel, close, start);
  }
  std::vector<std::tuple<int, int, bool, bool>> runs;
};

TEST(StringTransmitterTest, StoredBytesThenTheStoredChecksumOrAScriptRun) {
  // Entry bytes, syntax (the user set for 2 and 0), the user set, channel
  // open; what entry 5 sends, and what it sends as the current string.
  const std::tuple<std::string, int, TProtocolparam, bool, std::string, std::string> cases[] = {
      {"AB", 2, Rules(1, 0, 0), true, "AB\x55", "AB\x55"},  // the stale checksum as stored
      {"AB", 0, Rules(1, 0, 1), true, "AB55", "AB55"},      // two hex digits
      {"AB", 2, Rules(1, 0, 2), true, "AB", "AB"},          // an unknown style
      {"AB", 2, Rules(0, 0, 0), true, "AB", "AB"},          // checksums off
      {"AB", 2, Rules(1, 1, 0), true, "AB", "AB"},          // placed inside the string
      {"AB", 1, Rules(1, 0, 0), true, "AB", "AB"},         {"AB", 2, Rules(1, 0, 0), false, "", ""},
      {"W100", 4, Rules(1, 0, 0), true, "W100", ""},  // a script is run, not sent
      {"W100", 4, Rules(1, 0, 0), false, "", ""}};
  for (const auto& [bytes, syntax, rules, open, sent, sentAsCurrent] : cases) {
    TConf conf{};
    conf.Protocolparam = rules;
    conf.Strngs.GlobalSyntax = 2;
    conf.Strngs.CurrentNr = 5;
    conf.Strngs.Strings[5].Str.assign(bytes);
    conf.Strngs.Strings[5].Syntax = static_cast<std::uint8_t>(syntax);
    conf.Strngs.Strings[5].Checksum = 0x55;
    Channels channels;
    channels.open = open;
    Runner runner;
    TStringTransmitter transmitter(conf, channels);
    transmitter.SetScriptRunner(&runner);
    for (const int index : {-1, 5, 100})  // an index past the table sends nothing
      transmitter.TransmitLibraryString(index, 1);
    EXPECT_EQ(std::exchange(channels.sent[1], ""), sent) << bytes << syntax;
    transmitter.TransmitCurrentString(1);
    EXPECT_EQ(channels.sent[1], sentAsCurrent) << bytes << syntax;
    EXPECT_EQ(runner.runs.size(), syntax == 4 && open ? 1u : 0u);
    transmitter.SetScriptRunner(nullptr);  // without a runner a script is not run
    transmitter.TransmitCurrentString(0);
    EXPECT_EQ(channels.sent[0], syntax == 4 || !open ? "" : sent);
    transmitter.SetScriptRunner(&runner);  // a library script runs with its entry current
    transmitter.RunLibraryScript(100, 0);
    transmitter.RunLibraryScript(7, 0);
    EXPECT_EQ(runner.runs.back(), std::tuple(7, 0, true, true));
    EXPECT_EQ(conf.Strngs.CurrentNr, 7);
    transmitter.RunLibraryScriptCopy(3, 1);  // a trigger's script leaves the current string
    EXPECT_EQ(runner.runs.back(), std::tuple(3, 1, true, true));
    EXPECT_EQ(conf.Strngs.CurrentNr, 7);
  }
}

}  // namespace
}  // namespace klv
