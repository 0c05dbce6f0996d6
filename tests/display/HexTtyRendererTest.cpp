// The Hex/ASCII and TTY renderers: the byte scripts of tests/fixtures/display,
// and the trigger hook with a trigger that fires where it is told to.
#include <gtest/gtest.h>

#include <utility>

#include "support/ByteScript.h"

namespace klv {
namespace {

class DisplayScript : public testing::TestWithParam<std::string> {};
TEST_P(DisplayScript, Runs) {
  test::RunByteScript(GetParam());
}
INSTANTIATE_TEST_SUITE_P(ByteScript, DisplayScript,
                         testing::ValuesIn(test::ByteScriptFiles("display")), test::ByteScriptName);

class FakeTrigger : public IHexTTYTrigger {
 public:
  bool CheckTrigger(int, std::uint8_t byte) override {
    checked.push_back(static_cast<char>(byte));
    return byte == fireOn;
  }
  bool OnNoTrigDisplayAll(int) override { return displayAll; }
  std::string TakePreTrigChars(int) override { return std::exchange(pre, {}); }
  std::string TakeTrigString(int) override { return std::exchange(trig, {}); }
  std::string TakePostTrigChars(int) override { return std::exchange(post, {}); }
  bool TakeForceNewLine(int) override { return std::exchange(forceNewLine, false); }
  void ResetTrigBuffers(int channel) override { resets.push_back(channel); }

  std::uint8_t fireOn = 0xFF;
  bool displayAll = false;
  std::string pre, trig, post, checked;
  bool forceNewLine = false;
  std::vector<int> resets;
};

TEST(HexTtyTriggerHook, TheTriggerDecidesWhatIsShownAndWhatIsSent) {
  test::TRenderRig rig;
  FakeTrigger trigger;
  test::FakeTransmitter transmitter;
  rig.hexTty.SetTrigger(&trigger);
  rig.hexTty.SetStringTransmitter(&transmitter);
  THexTTYTrigChannel& settings = rig.conf.Trigger_HexTTY.Channel[0];
  settings.Mode = static_cast<std::uint8_t>(TTrigMode::OneShot);
  rig.Feed(rig.tty, 0, "abc");
  EXPECT_EQ(rig.Row(0), "") << "an armed trigger shows nothing";
  trigger.displayAll = true;
  rig.Feed(rig.tty, 0, "d");
  EXPECT_EQ(rig.Row(0), "d");

  trigger.fireOn = '!';
  trigger.pre = "zy";  // newest first
  trigger.trig = "!";
  trigger.post = "P";
  trigger.forceNewLine = true;
  settings.OnTrigTrLocalStr = true;
  settings.OnTrigTrLocalText.assign("ACK");
  settings.OnTrigTrLibStr = true;
  settings.OnTrigTrLibStrNr = 7;
  rig.Feed(rig.tty, 0, "!");
  EXPECT_EQ(rig.Row(0), "dyz!P");
  EXPECT_EQ(rig.console.CursorY(), 1) << "forced new line";
  EXPECT_EQ(rig.channels.sent[0], "ACK");
  EXPECT_EQ(transmitter.sent, (std::vector<std::pair<int, int>>{{7, 0}}));

  rig.conf.Strngs.Strings[7].Syntax = static_cast<std::uint8_t>(TStringSyntax::Script);
  rig.Feed(rig.tty, 0, "!");
  EXPECT_EQ(transmitter.scripts, (std::vector<std::pair<int, int>>{{7, 0}}));
  settings.Mode = static_cast<std::uint8_t>(TTrigMode::Disabled);  // straight through
  rig.Feed(rig.tty, 0, "q");
  EXPECT_EQ(trigger.checked, "abcd!!");
  EXPECT_EQ(rig.Row(1), "q");
  rig.hex.Reset();
  EXPECT_EQ(trigger.resets, (std::vector<int>{0, 1}));
}

}  // namespace
}  // namespace klv
