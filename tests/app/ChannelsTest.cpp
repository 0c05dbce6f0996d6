// The channels without a window: on pseudo-terminals for the data path and on
// the simulated null-modem cable for modem lines and a device that vanishes.
#include "app/Channels.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <QFile>
#include <QThread>

#include "conf/ConfDefaults.h"
#include "serial/PtyFixture.h"
#include "serial/SimulatedNullModem.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"
#include "support/PortMap.h"
#include "support/RecordingRenderers.h"

namespace klv {
namespace {

using End = SimulatedNullModem::End;
using test::RunUntil;
using test::Send;

class ChannelsTest : public testing::Test {
 protected:
  ChannelsTest() : guard_(&ports_) {
    SetConfDefaults(conf_, [](int) { return false; });
    dispatcher_.SetModeRenderer(TDisplayMode::HexAscii, &renderer_);
    QObject::connect(&channels_, &TChannels::ChannelsChanged, [this] { ++changes_; });
  }
  // Channel 1 (and 2) enabled on the given ports, opened.
  void Open(int port1, int port2 = 0) {
    conf_.Comparam.Channel[0].Enabled = true;
    conf_.Comparam.Channel[0].Port = static_cast<std::uint8_t>(port1);
    conf_.Comparam.Channel[1].Enabled = port2 != 0;
    conf_.Comparam.Channel[1].Port = static_cast<std::uint8_t>(port2);
    ASSERT_TRUE(channels_.OpenChannels());
  }
  // A simulated cable whose end A is COM n.
  SimulatedNullModem& Cable(int comNumber) {
    cables_.push_back(std::make_unique<SimulatedNullModem>(comNumber));
    ports_.Add(comNumber, cables_.back().get());
    return *cables_.back();
  }
  // A pseudo-terminal behind COM n.
  test::Pty& PtyPort(int comNumber) {
    ptys_.push_back(std::make_unique<test::Pty>());
    directory_.Link(comNumber, ptys_.back()->Slave());
    ports_.Add(comNumber, &directory_.Provider());
    return *ptys_.back();
  }

  test::PortMap ports_;
  test::DefaultProviderGuard guard_;
  test::TestPorts directory_;
  std::vector<std::unique_ptr<test::Pty>> ptys_;
  std::vector<std::unique_ptr<SimulatedNullModem>> cables_;
  TConf conf_;
  test::RecordingLog log_;
  test::FakeMessageService messages_;
  TReceiveDispatcher dispatcher_{conf_, log_};
  test::RecordingRenderer renderer_;
  TChannels channels_{conf_, dispatcher_, messages_};
  int changes_ = 0;
};

// Large blocks on one channel and single bytes on the other: every byte once
// and in order, whatever the events carry.
TEST_F(ChannelsTest, EveryReceivedByteReachesTheRendererOnceAndInOrder) {
  test::Pty& pty1 = PtyPort(1);
  test::Pty& pty2 = PtyPort(2);
  Open(1, 2);
  const std::vector<std::uint8_t> data1 = test::RandomBytes(200000, 1);
  const std::vector<std::uint8_t> data2 = test::RandomBytes(2000, 2);
  {
    test::FdWriter bulk(pty1.Master(), data1);
    for (std::uint8_t byte : data2) {
      ASSERT_EQ(::write(pty2.Master(), &byte, 1), 1);
      QCoreApplication::processEvents();
    }
    ASSERT_TRUE(RunUntil(
        [&] {
          return renderer_.Channel(0).size() >= data1.size() &&
                 renderer_.Channel(1).size() >= data2.size();
        },
        30000));
  }
  EXPECT_EQ(renderer_.Channel(0), data1);
  EXPECT_EQ(renderer_.Channel(1), data2);
}

// A message box opened inside rendering runs the event loop; bytes that
// arrive meanwhile wait until the bytes before them are rendered.
TEST_F(ChannelsTest, BytesArrivingDuringAMessageBoxInsideRenderingComeAfterTheRest) {
  test::Pty& pty = PtyPort(1);
  Open(1);
  renderer_.onByte = [&](int, std::uint8_t byte) {
    if (byte == 'A' && renderer_.bytes.size() == 1)
      messages_.Error("the printer failed");
  };
  messages_.whileShown = [&] {
    ASSERT_EQ(::write(pty.Master(), "ZZZZ\r\n", 6), 6);
    ASSERT_TRUE(RunUntil([&] { return channels_.ReceivedWaiting() > 0; }));
    QCoreApplication::processEvents();  // the posted drain of the new bytes runs here
  };
  channels_.ProcessReceivedBytes(0, "AAAA\r\nBBBB\r\nCCCC\r\n");
  ASSERT_TRUE(RunUntil([&] { return renderer_.bytes.size() == 24; }));
  EXPECT_EQ(renderer_.Text(0), "AAAA\r\nBBBB\r\nCCCC\r\nZZZZ\r\n");
}

// A trigger answer with local echo: the echo joins the received bytes after
// those already on their way, and goes out on the line.
TEST_F(ChannelsTest, LocalEchoOfAnAnswerSentWhileRenderingComesAfterTheBatch) {
  test::Pty& pty = PtyPort(1);
  Open(1);
  conf_.MiscBool.LocalEchoP = true;
  renderer_.onByte = [&](int channel, std::uint8_t byte) {
    if (byte == 'B')
      channels_.OutputString(channel, "xy");
  };
  channels_.ProcessReceivedBytes(0, "ABCD");
  EXPECT_EQ(renderer_.Text(0), "ABCDxy");
  std::vector<std::uint8_t> sent;
  ASSERT_TRUE(RunUntil([&] {
    const auto more = test::ReadAvailable(pty.Master());
    sent.insert(sent.end(), more.begin(), more.end());
    return sent.size() >= 2;
  }));
  EXPECT_EQ(sent, (std::vector<std::uint8_t>{'x', 'y'}));
}

TEST_F(ChannelsTest, PauseAndModemLoggingOffDropChangesButOwnLineTogglesShow) {
  SimulatedNullModem& cable = Cable(1);
  auto far = cable.OpenEnd(End::B);
  Open(1);
  conf_.MiscBool.LogModemP = true;
  conf_.MiscBool.LocalEchoP = true;

  conf_.Paused = true;
  Send(*far, "dropped");
  far->SetRTS(true);  // our CTS changes
  channels_.OutputString(0, "echo");
  ASSERT_TRUE(
      RunUntil([&] { return cable.PendingInput(End::A) == 0 && channels_.PrimaryPort.CTS(); }));
  RunUntil([] { return false; }, 200);
  EXPECT_TRUE(renderer_.bytes.empty() && renderer_.modemLines.empty());

  channels_.ToggleRTS(0);  // our own toggle is shown even while paused
  ASSERT_EQ(renderer_.modemLines.size(), 1u);
  EXPECT_TRUE(renderer_.modemLines[0].record.Changed[TModemStatusRecord::RTS]);
  EXPECT_TRUE(conf_.ModemControl.Channel[0].RTS);
  EXPECT_TRUE(cable.RTS(End::A));

  conf_.Paused = false;
  Send(*far, "new");
  // The port has read the bytes, not yet handed over, when the line changes.
  for (int waited = 0; channels_.PrimaryPort.InputWaiting() < 3 && waited < 5000; ++waited)
    QThread::msleep(1);
  far->SetDTR(true);  // our DSR and DCD come on, after the bytes
  ASSERT_TRUE(RunUntil([&] { return renderer_.modemLines.size() == 2; }));
  EXPECT_EQ(renderer_.Text(0), "new") << "bytes before the line change are shown before it";
  const TModemStatusRecord& after = renderer_.modemLines[1].record;
  EXPECT_TRUE(after.Changed[TModemStatusRecord::DSR]);
  EXPECT_TRUE(after.State[TModemStatusRecord::CTS]);
  EXPECT_FALSE(after.Changed[TModemStatusRecord::CTS]) << "the change during the pause is gone";

  // So is a change while modem logging is off.
  conf_.MiscBool.LogModemP = false;
  far->SetRTS(false);
  ASSERT_TRUE(RunUntil([&] { return !channels_.PrimaryPort.CTS(); }));
  RunUntil([] { return false; }, 100);
  conf_.MiscBool.LogModemP = true;
  far->SetDTR(false);
  ASSERT_TRUE(RunUntil([&] { return renderer_.modemLines.size() == 3; }));
  EXPECT_TRUE(renderer_.modemLines[2].record.Changed[TModemStatusRecord::DSR]);
  EXPECT_FALSE(renderer_.modemLines[2].record.Changed[TModemStatusRecord::CTS]);
}

// Bytes the port read before its device vanished are rendered; then the
// channel is reported lost once and its activity stops.
TEST_F(ChannelsTest, AVanishedDeviceKeepsItsLastBytesAndStopsTheChannelsActivity) {
  struct Activity : IChannelActivity {
    void StopActivity() override { ++stops; }
    int stops = 0;
  } activity, other;
  SimulatedNullModem& cable = Cable(1);
  auto far = cable.OpenEnd(End::B);
  Open(1);
  ASSERT_TRUE(channels_.TakeActivity(0, activity));
  EXPECT_TRUE(channels_.TakeActivity(0, activity)) << "its holder may take it again";
  EXPECT_FALSE(channels_.TakeActivity(0, other));
  EXPECT_TRUE(channels_.TakeActivity(1, other)) << "each channel has its own slot";

  // The port reads the bytes while the user interface is busy; the device
  // goes before they are rendered.
  Send(*far, "last words");
  while (cable.PendingInput(End::A) != 0)
    QThread::msleep(1);
  cable.Vanish(End::A);
  ASSERT_TRUE(RunUntil([&] { return !messages_.shown.empty(); }));
  QThread::msleep(50);
  QCoreApplication::processEvents();
  EXPECT_EQ(renderer_.Text(0), "last words");
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_TRUE(messages_.shown[0].text.startsWith("Channel 1 has been closed."));
  EXPECT_FALSE(channels_.ChannelAvailable(0));
  EXPECT_EQ(channels_.PortTrouble(0), "lost");
  EXPECT_EQ(activity.stops, 1);
  EXPECT_EQ(channels_.Activity(0), nullptr);
  EXPECT_EQ(channels_.Activity(1), &other);

  cable.Reconnect(End::A);
  EXPECT_TRUE(channels_.OpenChannels() && channels_.ChannelAvailable(0) &&
              channels_.PortTrouble(0).isEmpty());
}

// Before the program exits, the bytes the port has read but not yet handed over are rendered.
TEST_F(ChannelsTest, DrainingRendersTheBytesStillInThePortsRing) {
  SimulatedNullModem& cable = Cable(1);
  auto far = cable.OpenEnd(End::B);
  Open(1);
  std::string data(3000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<char>('a' + i % 26);
  Send(*far, data);
  for (int waited = 0; channels_.PrimaryPort.InputWaiting() < 3000 && waited < 5000; ++waited)
    QThread::msleep(1);
  channels_.DrainReceived();
  EXPECT_EQ(renderer_.Text(0), data);
}

// The status bar's buttons: the port skips missing numbers and the other
// channel's port; the baud rate runs 115200, 1001, 110; each is applied.
TEST_F(ChannelsTest, SteppingTheLineParametersAppliesThemAtOnce) {
  SimulatedNullModem &c1 = Cable(1), &c4 = Cable(4);
  Cable(3);
  Open(1, 3);
  channels_.StepLineParameter(0, TLineParameter::Port);
  EXPECT_EQ(conf_.Comparam.Channel[0].Port, 4);
  EXPECT_TRUE(c4.IsOpen(End::A));
  EXPECT_FALSE(c1.IsOpen(End::A));
  channels_.StepLineParameter(0, TLineParameter::Port);  // 16 -> 1 wraps; 3 is channel 2's
  EXPECT_EQ(conf_.Comparam.Channel[0].Port, 1);

  conf_.Comparam.Channel[0].BaudIndex = 14;
  const int changesBefore = changes_;
  for (const std::int32_t baud : {1001, 110}) {
    channels_.StepLineParameter(0, TLineParameter::Baud);
    EXPECT_EQ(c1.AppliedSettings(End::A).Baud, baud);
  }
  EXPECT_EQ(changes_, changesBefore + 2) << "the bars hear of every step";
  channels_.StepLineParameter(0, TLineParameter::Parity);
  channels_.StepLineParameter(0, TLineParameter::DataBits);
  channels_.StepLineParameter(0, TLineParameter::StopBits);
  EXPECT_EQ(c1.AppliedSettings(End::A), (LineSettings{110, TParity::pOdd, 5, 2}));
}

// A refusal leaves the record and the bar on what the device runs, and one
// channel's failure does not keep the other closed.
TEST_F(ChannelsTest, EachChannelOpensOnItsOwnAndARefusalPutsTheRecordBack) {
  SimulatedNullModem &c1 = Cable(1), &c2 = Cable(2), &c3 = Cable(3);
  c1.SetMaxBaud(End::A, 9600);
  conf_.Comparam.Channel[0].BaudIndex = 9;  // 19200
  Open(1, 2);
  EXPECT_TRUE(c1.IsOpen(End::A) && c2.IsOpen(End::A));
  EXPECT_EQ(c1.AppliedSettings(End::A).Baud, 9600) << "opened at the rate it had";
  EXPECT_EQ(conf_.Comparam.Channel[0].BaudIndex, 7);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"Unsupported baudrate for channel 1"});

  // COM3 cannot run channel 2's rate: the channel stays on COM2, and says so.
  c3.SetMaxBaud(End::A, 4800);
  conf_.Comparam.Channel[1].Port = 3;
  EXPECT_TRUE(channels_.OpenChannels());
  EXPECT_TRUE(messages_.Texts().back().contains("COM3"));
  EXPECT_EQ(conf_.Comparam.Channel[1].Port, 2);
  EXPECT_TRUE(c2.IsOpen(End::A));
  EXPECT_FALSE(c3.IsOpen(End::A));

  // A channel that cannot open at all is closed, and the other opens anyway.
  channels_.CloseChannels();
  c1.SetMaxBaud(End::A, 110);
  conf_.Comparam.Channel[0].BaudIndex = 9;
  EXPECT_FALSE(channels_.OpenChannels());
  EXPECT_FALSE(c1.IsOpen(End::A));
  EXPECT_TRUE(c2.IsOpen(End::A));
  QString reason;
  EXPECT_EQ(channels_.PortTrouble(0, &reason), "closed");
  EXPECT_FALSE(reason.isEmpty());
  EXPECT_TRUE(messages_.Texts().back().startsWith("Channel 1 could not be opened."));
  EXPECT_TRUE(channels_.PortTrouble(1).isEmpty());
}

// The message says why, whatever the reason: missing, forbidden or not a serial device at all.
TEST_F(ChannelsTest, AConfiguredPortThatIsMissingOrForbiddenIsReportedAndDisabled) {
  ports_.DenyPermission(2, "add your user to the group dialout");
  QFile plain(directory_.Path() + "/plain.txt");
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  directory_.Link(5, plain.fileName());
  ports_.Add(5, &directory_.Provider());
  Open(7, 2);
  EXPECT_FALSE(conf_.Comparam.Channel[1].Enabled);
  Open(5);
  const std::vector<QString> shown = messages_.Texts();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_TRUE(shown[0].startsWith("COM7 is not available!\n\n") && shown[0].size() > 26)
      << shown[0].toStdString();
  EXPECT_EQ(shown[1], "COM2 is not available!\n\nadd your user to the group dialout");
  EXPECT_TRUE(shown[2].startsWith("COM5 is not available!\n\n") && shown[2].contains("serial"))
      << shown[2].toStdString();
  EXPECT_FALSE(conf_.Comparam.Channel[0].Enabled);
}

}  // namespace
}  // namespace klv
