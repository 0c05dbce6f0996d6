// The Ruvo-94 decoder: the byte scripts of tests/fixtures/protocol, and the
// trigger hook with a fake trigger: what is shown and the answers sent.
#include <gtest/gtest.h>

#include "protocol/ProtocolRules.h"
#include "support/ByteScript.h"

namespace klv {
namespace {

using test::RuvoFrame;

class ProtocolScript : public testing::TestWithParam<std::string> {};
TEST_P(ProtocolScript, Runs) {
  test::RunByteScript(GetParam());
}
INSTANTIATE_TEST_SUITE_P(ByteScript, ProtocolScript,
                         testing::ValuesIn(test::ByteScriptFiles("protocol")),
                         test::ByteScriptName);

// Channel 2's trigger is armed; this fake fires and shows as it is told.
class RuvoTriggerHook : public testing::Test, public IRuvoTrigger {
 protected:
  RuvoTriggerHook() {
    rig.decoder.SetTrigger(this);
    rig.decoder.SetStringTransmitter(&transmitter);
    rig.conf.Trigger_Ruvo94.Channel[1].Mode = static_cast<std::uint8_t>(TTrigMode::OneShot);
  }
  bool CheckRuvoTrigger(int channel, std::uint8_t to, std::uint8_t from, std::uint8_t type,
                        std::string_view message) override {
    checked += std::to_string(channel) + RuvoFrame(to, from, type, message);
    return fire;
  }
  bool OnTrigDisplayFrame(int) override { return displayOnTrig; }
  bool OnNoTrigDisplayFrames(int) override { return displayOthers; }

  // What channel 2 sends in answer to a frame from 55H, with library entry
  // `index` set up as the answer.
  std::string Answer(int index, std::string_view text, int destination,
                     TStringSyntax syntax = TStringSyntax::Global) {
    TLibString& entry = rig.conf.Strngs.Strings[static_cast<std::size_t>(std::min(index, 99))];
    entry.Str.assign(text);
    entry.Syntax = static_cast<std::uint8_t>(syntax);
    TRuvo94TrigChannel& settings = rig.conf.Trigger_Ruvo94.Channel[1];
    settings.OnTrigTr = true;
    settings.OnTrigTrStrNr = static_cast<std::uint16_t>(index);
    settings.OnTrigTrDest = static_cast<std::uint16_t>(destination);
    rig.channels.sent[1].clear();
    rig.Feed(rig.ruvo, 1, RuvoFrame(0x01, 0x55, 'A', ""));
    return rig.channels.sent[1];
  }

  test::TRenderRig rig;
  test::FakeTransmitter transmitter;
  std::string checked;
  bool fire = false, displayOnTrig = true, displayOthers = true;
};

TEST_F(RuvoTriggerHook, TheTriggerSeesEachGoodFrameAsReceivedAndDecidesWhatIsShown) {
  rig.Feed(rig.ruvo, 0, RuvoFrame(1, 2, 'A', "m"));  // channel 1's trigger is disabled
  EXPECT_EQ(rig.Row(0), "To:01H From:02H Type:A Msg:m\\");
  displayOthers = false;
  rig.Feed(rig.ruvo, 1, RuvoFrame(0x31, 0x32, 'Z', "data\r") + "?");
  EXPECT_EQ(checked, "1" + RuvoFrame(0x31, 0x32, 'Z', "data\r"));
  EXPECT_EQ(rig.Row(1), "-----FRAME ERROR: Missing STX") << "the frame is not shown";
  fire = true;
  displayOnTrig = false;
  rig.Feed(rig.ruvo, 1, RuvoFrame(0x31, 0x32, 'Z', "x"));
  EXPECT_EQ(rig.Row(2), "");
  displayOnTrig = true;
  rig.Feed(rig.ruvo, 1, RuvoFrame(0x31, 0x32, 'Z', "y"));
  EXPECT_EQ(rig.Row(2), "To:31H From:32H Type:Z Msg:y\\");
  EXPECT_EQ(rig.channels.sent[1], "") << "no answer is set";
}

TEST_F(RuvoTriggerHook, AnswersGoAsStoredToTheSenderOrToAnAddressWithTheCheckByte) {
  fire = true;
  const auto withCheck = [](std::string text) {
    return text + static_cast<char>(ComputeChecksum(TChecksumAlg::XorRor, text));
  };
  const std::string stored("\x02\x09\x01\x41\x03", 5);
  EXPECT_EQ(Answer(7, stored, 0), withCheck(stored));
  EXPECT_EQ(Answer(7, stored, 1), withCheck(std::string("\x02\x55\x01\x41\x03", 5)))
      << "to the sender";
  EXPECT_EQ(Answer(7, stored, 7), withCheck(stored)) << "to address 7 + 2";
  EXPECT_EQ(Answer(7, stored, 254), withCheck(std::string("\x02\x00\x01\x41\x03", 5))) << "wrapped";
  EXPECT_EQ(Answer(3, "\x02", 0), "") << "too short to answer";
  EXPECT_EQ(Answer(4, "W 100", 0, TStringSyntax::Script), "");
  EXPECT_EQ(transmitter.scripts, (std::vector<std::pair<int, int>>{{4, 1}}));
  EXPECT_EQ(Answer(4, "W 100", 1, TStringSyntax::Script), withCheck("W\x55"
                                                                    "100"))
      << "readdressed, a script's bytes are sent";
  EXPECT_EQ(Answer(500, "AB", 0), withCheck("AB")) << "beyond the library: the last entry";
  EXPECT_EQ(rig.channels.sent[0], "");
}

}  // namespace
}  // namespace klv
