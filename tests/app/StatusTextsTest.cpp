// The bars' texts and the next-port rule, as tables.
#include "app/StatusTexts.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "common/TimeStamp.h"
#include "conf/ConfDefaults.h"

namespace klv {
namespace {

TEST(TimeStamp, TheTenthBelongsToTheSecondShownSoStampsNeverRunBackwards) {
  const std::pair<QTime, const char*> cases[] = {
      {QTime(9, 5, 7, 0), "09:05:07,0"},     {QTime(9, 5, 7, 351), "09:05:07,3"},
      {QTime(9, 5, 38, 899), "09:05:38,8"},  {QTime(9, 5, 38, 950), "09:05:38,9"},
      {QTime(9, 5, 38, 999), "09:05:38,9"},  {QTime(9, 5, 39, 0), "09:05:39,0"},
      {QTime(23, 59, 59, 999), "23:59:59,9"}};
  for (const auto& [time, text] : cases) {
    EXPECT_EQ(TimeStampText(QDateTime(QDate(2026, 12, 6), time)),
              QStringLiteral("2026-12-06 ") + text)
        << text;
  }
}

TEST(StatusTexts, NewLineTextsNameTheCodeAndItsPlace) {
  EXPECT_EQ(NewLineText({0x0A, 0}), "NL>0AH");
  EXPECT_EQ(NewLineText({0x0D, 1}), "NL<0DH");
  EXPECT_EQ(NewLineText({0xFF, 0}), "NL>FFH");
  EXPECT_EQ(NewLineText({0x0A, 2}), "NL-");
}

TEST(StatusTexts, NextPortSkipsUnusableNumbersAndTheOtherChannel) {
  const std::set<int> usable = {1, 3, 4, 16};
  const auto isUsable = [&](int n) { return usable.count(n) > 0; };
  struct Case {
    int current, other, next;
  };
  for (const Case c :
       {Case{1, 3, 4}, Case{1, 0, 3}, Case{4, 0, 16}, Case{16, 0, 1}, Case{3, 4, 16}})
    EXPECT_EQ(NextPort(c.current, c.other, isUsable), c.next) << c.current << " " << c.other;
  EXPECT_EQ(NextPort(5, 0, [](int) { return false; }), 5) << "nothing else: the port stays";
}

TEST(StatusTexts, ParameterBarAndTriggerPanelTexts) {
  TConf conf;
  SetConfDefaults(conf, [](int) { return false; });
  conf.Strngs.CurrentNr = 41;
  conf.Strngs.Strings[41].Name.assign("Poll");
  EXPECT_EQ(CurrentStringText(conf), "Str=42");
  EXPECT_EQ(CurrentStringHint(conf), "Current string is #42:\"Poll\"");

  // The display mode, the protocol, channel 2's Hex/TTY and Ruvo-94 trigger modes and states, and
  // the mode panel, the trigger panel and whether it blinks.
  const std::tuple<int, int, int, int, int, int, const char*, const char*, bool> cases[] = {
      {0, 0, 0, 0, 2, 1, "Hex/ASCII", "Tr-Unused", false},
      {1, 1, 1, 2, 0, 0, "TTY", "Tr-Stopped", true},
      {0, 0, 2, 0, 0, 0, "Hex/ASCII", "Tr-Armed", true},
      {2, 1, 1, 0, 2, 1, "Protocol: Ruvo-94", "Tr-Trigged", true},
      {2, 0, 1, 0, 2, 1, "Protocol: No protocol", "Tr-Unused", false},  // no protocol, no trigger
  };
  for (const auto& [mode, protocol, hexMode, hexState, ruvoMode, ruvoState, modeText, panel,
                    blinks] : cases) {
    conf.DisplayMode = static_cast<std::uint8_t>(mode);
    conf.Protocol.Selected = static_cast<std::uint8_t>(protocol);
    conf.Trigger_HexTTY.Channel[1].Mode = static_cast<std::uint8_t>(hexMode);
    conf.Trigger_HexTTY.Channel[1].State = static_cast<std::uint8_t>(hexState);
    conf.Trigger_Ruvo94.Channel[1].Mode = static_cast<std::uint8_t>(ruvoMode);
    conf.Trigger_Ruvo94.Channel[1].State = static_cast<std::uint8_t>(ruvoState);
    bool active = !blinks;
    EXPECT_EQ(TriggerPanelText(conf, 1, &active), panel) << modeText;
    EXPECT_EQ(active, blinks) << modeText;
    EXPECT_EQ(DisplayModeText(conf), modeText);
  }
}

}  // namespace
}  // namespace klv
