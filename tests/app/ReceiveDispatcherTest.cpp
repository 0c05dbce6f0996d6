// Which renderer the display mode and protocol choose, the pause and the raw
// log, and the record of a modem-status event.
#include "app/ReceiveDispatcher.h"

#include <gtest/gtest.h>

#include <tuple>

#include "conf/ConfDefaults.h"
#include "serial/SerialTypes.h"
#include "support/RecordingRenderers.h"

namespace klv {
namespace {

TEST(Dispatch, TheModeAndProtocolChooseOneRendererAndTheRawLogGetsEveryUnpausedByte) {
  TConf conf;
  SetConfDefaults(conf, [](int) { return false; });
  test::RecordingLog log;
  TReceiveDispatcher dispatcher(conf, log);
  test::RecordingRenderer hex, tty, ruvo;
  dispatcher.SetModeRenderer(TDisplayMode::HexAscii, &hex);
  dispatcher.SetModeRenderer(TDisplayMode::Tty, &tty);
  dispatcher.SetProtocolRenderer(TProtocolId::Ruvo94, &ruvo);
  // The display mode and protocol, and the renderer they choose.
  const std::tuple<int, int, IDisplayRenderer*> cases[] = {
      {0, 1, &hex}, {1, 1, &tty}, {2, 1, &ruvo}, {2, 0, nullptr}, {2, 3, nullptr}, {7, 1, nullptr}};
  conf.Misc.LogDataFormat = 3;
  std::uint8_t byte = 0;
  for (const auto& [mode, protocol, chosen] : cases) {
    conf.DisplayMode = static_cast<std::uint8_t>(mode);
    conf.Protocol.Selected = static_cast<std::uint8_t>(protocol);
    EXPECT_EQ(dispatcher.ActiveRenderer(), chosen) << mode << " " << protocol;
    dispatcher.ProcessReceivedByte(1, ++byte);
    dispatcher.ShowModemChange(1, {});
  }
  EXPECT_EQ(hex.Text(1) + tty.Text(1) + ruvo.Text(1), "\x01\x02\x03");
  EXPECT_EQ(hex.modemLines.size() + tty.modemLines.size() + ruvo.modemLines.size(), 3u);
  EXPECT_EQ(log.raw, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}))
      << "the raw log gets the bytes of a mode without a display too";

  conf.Paused = true;
  conf.DisplayMode = 0;
  dispatcher.ProcessReceivedByte(0, 'p');
  EXPECT_TRUE(hex.bytes.size() == 1 && log.raw.size() == 6) << "the pause drops everything";
  conf.Paused = false;
  conf.Misc.LogDataFormat = 0;
  dispatcher.ProcessReceivedByte(0, 'q');
  EXPECT_EQ(hex.Text(0), "q");
  EXPECT_EQ(log.raw.size(), 6u) << "displayed text is not raw";
}

TEST(ModemEventRecord, ChangeBitsBecomeChangedFlags) {
  const std::uint8_t status =
      ModemBits::CTS | ModemBits::DCD | ModemBits::DeltaCTS | ModemBits::TrailingEdgeRI;
  const TModemStatusRecord record = TReceiveDispatcher::ModemEventRecord(true, false, status);
  const std::array<bool, 6> state = {true, false, true, false, true, false};
  const std::array<bool, 6> changed = {false, false, true, false, false, true};
  EXPECT_EQ(record.State, state);
  EXPECT_EQ(record.Changed, changed);
}

}  // namespace
}  // namespace klv
