#include "app/StatusTexts.h"

#include <gtest/gtest.h>

#include <set>

#include "app/ConfigTestSupport.h"

namespace klv {
namespace {

QDateTime At(int h, int m, int s, int ms) {
  return QDateTime(QDate(2026, 12, 6), QTime(h, m, s, ms));
}

TEST(TimeStamp, TenthsAreRoundedButTheSecondsAreNot) {
  EXPECT_EQ(TimeStampText(At(9, 5, 7, 0)), "2026-12-06 09:05:07,0");
  EXPECT_EQ(TimeStampText(At(9, 5, 7, 349)), "2026-12-06 09:05:07,3");
  EXPECT_EQ(TimeStampText(At(9, 5, 7, 351)), "2026-12-06 09:05:07,4");
  // 0.96 s rounds to a whole second: the digit is 0, the seconds stay those of the time.
  EXPECT_EQ(TimeStampText(At(9, 5, 7, 960)), "2026-12-06 09:05:07,0");
  EXPECT_EQ(TimeStampText(At(23, 59, 59, 999)), "2026-12-06 23:59:59,0");
  // Halves go to the even tenth.
  EXPECT_EQ(TimeStampText(At(9, 5, 7, 50)), "2026-12-06 09:05:07,0");
  EXPECT_EQ(TimeStampText(At(9, 5, 7, 150)), "2026-12-06 09:05:07,2");
  EXPECT_EQ(TimeStampText(At(9, 5, 7, 150)).size(), 21);
}

TEST(StatusTexts, NewLineTextsNameTheCodeAndItsPlace) {
  EXPECT_EQ(NewLineText({0x0A, 0}), "NL>0AH");
  EXPECT_EQ(NewLineText({0x0D, 1}), "NL<0DH");
  EXPECT_EQ(NewLineText({0xFF, 0}), "NL>FFH");
  EXPECT_EQ(NewLineText({0x0A, 2}), "NL-");
}

TEST(StatusTexts, NextSettingsWrapAround) {
  EXPECT_EQ(NextBaudIndex(14), 15);  // 115200 -> 1001
  EXPECT_EQ(NextBaudIndex(15), 0);   // 1001 -> 110
  EXPECT_EQ(NextDataBits(8), 5);
  EXPECT_EQ(NextDataBits(5), 6);
  EXPECT_EQ(NextParity(4), 0);
  EXPECT_EQ(NextStopBits(1), 2);
  EXPECT_EQ(NextStopBits(2), 1);
  // Damaged records wrap to the first value instead of running off the tables.
  EXPECT_EQ(NextBaudIndex(200), 0);
  EXPECT_EQ(NextParity(9), 0);
}

TEST(StatusTexts, NextPortSkipsUnusableNumbersAndTheOtherChannel) {
  const std::set<int> usable = {1, 3, 4, 16};
  auto isUsable = [&](int n) { return usable.count(n) > 0; };
  EXPECT_EQ(NextPort(1, 3, isUsable), 4);
  EXPECT_EQ(NextPort(1, 0, isUsable), 3);
  EXPECT_EQ(NextPort(4, 0, isUsable), 16);
  EXPECT_EQ(NextPort(16, 0, isUsable), 1);  // 16 -> 1
  EXPECT_EQ(NextPort(1, 0, [](int) { return false; }), 1);
  EXPECT_EQ(NextPort(3, 1, [](int n) { return n == 1 || n == 3; }), 3);
}

TEST(StatusTexts, ParameterBarAndTriggerPanelTexts) {
  test::ConfigFixtureParts parts;
  parts.config.SetDefaults();
  TConf& conf = parts.config.Conf();
  EXPECT_EQ(DisplayModeText(conf), "Hex/ASCII");
  conf.DisplayMode = 2;
  conf.Protocol.Selected = 1;
  EXPECT_EQ(DisplayModeText(conf), "Protocol: Ruvo-94");
  conf.Strngs.CurrentNr = 41;
  conf.Strngs.Strings[41].Name.assign("Poll");
  EXPECT_EQ(CurrentStringText(conf), "Str=42");
  EXPECT_EQ(CurrentStringHint(conf), "Current string is #42:\"Poll\"");

  bool active = true;
  EXPECT_EQ(TriggerPanelText(conf, 0, &active), "Tr-Unused");
  EXPECT_FALSE(active);
  conf.Trigger_Ruvo94.Channel[1].Mode = 2;
  conf.Trigger_Ruvo94.Channel[1].State = 1;
  EXPECT_EQ(TriggerPanelText(conf, 1, &active), "Tr-Trigged");
  EXPECT_TRUE(active);
  conf.Protocol.Selected = 0;  // no protocol: no trigger
  EXPECT_EQ(TriggerPanelText(conf, 1), "Tr-Unused");
  conf.DisplayMode = 1;
  conf.Trigger_HexTTY.Channel[0].Mode = 1;
  conf.Trigger_HexTTY.Channel[0].State = 2;
  EXPECT_EQ(TriggerPanelText(conf, 0), "Tr-Stopped");
}

}  // namespace
}  // namespace klv
