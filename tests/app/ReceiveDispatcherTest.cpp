#include "app/ReceiveDispatcher.h"

#include <gtest/gtest.h>

#include "app/ConfigTestSupport.h"
#include "serial/SerialTypes.h"
#include "support/RecordingRenderers.h"

namespace klv {
namespace {

using test::RecordingRenderers;

class Dispatch : public testing::Test {
 protected:
  Dispatch() { parts.config.SetDefaults(); }
  TConf& Conf() { return parts.config.Conf(); }
  test::ConfigFixtureParts parts;
  RecordingRenderers renderers;
  test::RecordingLog log;
  TReceiveDispatcher dispatcher{parts.config.Conf(), renderers, log};
};

TEST_F(Dispatch, EachModeReachesItsRendererAndPauseDropsEverything) {
  dispatcher.ProcessReceivedByte(0, 0x41);
  Conf().DisplayMode = 1;
  dispatcher.ProcessReceivedByte(1, 0x42);
  Conf().DisplayMode = 2;
  dispatcher.ProcessReceivedByte(0, 0x43);  // no protocol selected: nowhere
  Conf().Protocol.Selected = 1;
  dispatcher.ProcessReceivedByte(1, 0x44);
  Conf().Paused = true;
  dispatcher.ProcessReceivedByte(0, 0x45);

  ASSERT_EQ(renderers.bytes.size(), 3u);
  EXPECT_EQ(renderers.bytes[0].mode, RecordingRenderers::Mode::Hex);
  EXPECT_EQ(renderers.bytes[1].mode, RecordingRenderers::Mode::Tty);
  EXPECT_EQ(renderers.bytes[1].channel, 1);
  EXPECT_EQ(renderers.bytes[2].mode, RecordingRenderers::Mode::Ruvo);
  EXPECT_EQ(renderers.bytes[2].value, 0x44);
  EXPECT_TRUE(log.raw.empty()) << "the displayed-text format logs no raw bytes";
}

TEST_F(Dispatch, UnformattedLogFormatsGetEveryUnpausedByteEvenWithoutADisplay) {
  Conf().Misc.LogDataFormat = 1;
  Conf().DisplayMode = 2;  // no protocol: nothing displayed, but logged
  dispatcher.ProcessReceivedByte(0, 0x10);
  dispatcher.ProcessReceivedByte(1, 0x20);
  Conf().Paused = true;
  dispatcher.ProcessReceivedByte(0, 0x30);
  EXPECT_EQ(log.raw, (std::vector<std::uint8_t>{0x10, 0x20}));
  EXPECT_TRUE(renderers.bytes.empty());
}

TEST_F(Dispatch, ModemChangesGoToTheModeLineWriter) {
  TModemStatusRecord record;
  dispatcher.ShowModemChange(0, record);
  Conf().DisplayMode = 1;
  dispatcher.ShowModemChange(1, record);
  Conf().DisplayMode = 2;
  dispatcher.ShowModemChange(1, record);  // no protocol: nothing
  Conf().Protocol.Selected = 1;
  dispatcher.ShowModemChange(0, record);
  ASSERT_EQ(renderers.modemLines.size(), 3u);
  EXPECT_TRUE(renderers.modemLines[0].hex);
  EXPECT_FALSE(renderers.modemLines[1].hex);
  EXPECT_FALSE(renderers.modemLines[2].hex);
}

TEST(ModemEventRecord, ChangeBitsBecomeChangedFlags) {
  using R = TModemStatusRecord;
  const std::uint8_t status =
      ModemBits::CTS | ModemBits::DCD | ModemBits::DeltaCTS | ModemBits::TrailingEdgeRI;
  const TModemStatusRecord record = TReceiveDispatcher::ModemEventRecord(true, false, status);
  EXPECT_TRUE(record.State[R::RTS]);
  EXPECT_FALSE(record.State[R::DTR]);
  EXPECT_TRUE(record.State[R::CTS]);
  EXPECT_FALSE(record.State[R::DSR]);
  EXPECT_TRUE(record.State[R::DCD]);
  EXPECT_FALSE(record.State[R::RI]);
  EXPECT_TRUE(record.Changed[R::CTS]);
  EXPECT_TRUE(record.Changed[R::RI]);
  EXPECT_FALSE(record.Changed[R::DSR]);
  EXPECT_FALSE(record.Changed[R::DCD]);
  EXPECT_FALSE(record.Changed[R::RTS]);
}

TEST(ReceiveQueue, EveryByteOnceAndInOrderHoweverEventsInterleave) {
  TReceiveQueue queue;
  QByteArray delivered;
  int posts = 0;
  // Two events before the message is handled, then one after.
  if (queue.Append("abc"))
    ++posts;
  if (queue.Append("de"))
    ++posts;
  delivered += queue.TakeAll();
  if (queue.Append("f"))
    ++posts;
  delivered += queue.TakeAll();
  delivered += queue.TakeAll();  // a stale message finds nothing
  EXPECT_EQ(delivered, "abcdef");
  EXPECT_EQ(posts, 2);
  EXPECT_FALSE(queue.Append(QByteArray())) << "nothing to hand on, no message";
}

}  // namespace
}  // namespace klv
