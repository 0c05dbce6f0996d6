// The real main window (offscreen) on the device simulator's Ruvo-94 link: what the simulator sent,
// decoded channel by channel, is what the window's text log holds, the injected faults included.
#include <gtest/gtest.h>

#include <QProcess>
#include <algorithm>

#include "app/ConfigTestSupport.h"
#include "app/ui/Klvmain.h"
#include "serial/PosixSerialDevice.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"
#include "support/RendererFakes.h"

namespace klv {
namespace {

using test::ReadFile;
using test::RunUntil;

// The log's lines without its own opening and closing lines.
std::vector<std::string> Lines(const QByteArray& text) {
  std::vector<std::string> lines;
  for (QByteArray line : text.split('\n')) {
    if (line.endsWith('\r'))
      line.chop(1);
    if (!line.isEmpty() && !line.startsWith("KLV V3.02"))
      lines.push_back(line.toStdString());
  }
  return lines;
}

// The lines our decoder makes of one channel's bytes.
std::vector<std::string> Decoded(const QByteArray& bytes, int channel) {
  test::ConfigFixtureParts parts;
  parts.config.SetDefaults();
  TColorConsoleBuffer console;
  TBufferConsoleOutput output(console);
  test::RecordingChannels channels;
  test::RecordingLogText log;
  TProtocol_Ruvo94 decoder(parts.config.Conf(), output, channels, log);
  for (char byte : bytes)
    decoder.RuvoReceiveByte(channel, static_cast<std::uint8_t>(byte));
  return Lines(QByteArray::fromStdString(log.file));
}

class SimulatorEndToEnd : public testing::Test {
 protected:
  void TearDown() override {
    form_.reset();
    SetDefaultDeviceProvider(nullptr);
    if (sim_.state() != QProcess::NotRunning) {
      sim_.terminate();
      sim_.waitForFinished(10000);
    }
  }

  test::TempCurrentDir dir_;
  QProcess sim_;
  test::FakeMessageService messages_;
  std::unique_ptr<TKLVAppForm> form_;
};

TEST_F(SimulatorEndToEnd, TheWindowDecodesTheSimulatedLinkAndItsFaults) {
  // A configuration in Protocol mode on COM1 and COM2, logging to a text file.
  test::ConfigFixtureParts parts;
  parts.config.SetDefaults();
  TConf& conf = parts.config.Conf();
  conf.Comparam.Channel[0].Enabled = true;  // on COM1
  conf.Comparam.Channel[1].Enabled = true;  // on COM2
  conf.DisplayMode = static_cast<std::uint8_t>(TDisplayMode::Protocol);
  conf.Protocol.Selected = static_cast<std::uint8_t>(TProtocolId::Ruvo94);
  conf.Log.LogToFile = true;
  conf.Log.LogFileName.assign("Run.Log");
  parts.config.SetConfigFileName(dir_.Path("Config.klv"));
  ASSERT_TRUE(parts.config.SaveConfig());

  const QString ports = dir_.Path("ports");
  const QString transcripts = dir_.Path("sent");
  sim_.setProgram(QStringLiteral(KLV_SIM_PATH));
  sim_.setArguments({"--ports-dir", ports, "--ruvo", "1,2", "--frames", "40", "--fault-rate", "0.3",
                     "--seed", "5", "--pace", "1=20000", "--pace", "2=20000", "--transcript",
                     transcripts});
  sim_.start();
  ASSERT_TRUE(RunUntil([&] {
    return sim_.readAllStandardOutput().contains("ready\n") || sim_.state() == QProcess::NotRunning;
  }));
  ASSERT_EQ(sim_.state(), QProcess::Running) << sim_.readAllStandardError().toStdString();

  PosixDeviceProvider provider{PortsDirectory(ports)};
  SetDefaultDeviceProvider(&provider);
  form_ = std::make_unique<TKLVAppForm>(TAppFormSetup{{}, &messages_, nullptr, false});
  form_->show();
  ASSERT_TRUE(RunUntil([&] { return form_->Started(); }));
  ASSERT_TRUE(form_->Channels().ChannelAvailable(0) && form_->Channels().ChannelAvailable(1))
      << messages_.Texts().size();
  EXPECT_EQ(form_->DisplayCommands().CurrentDisplayMode(), TDisplayMode::Protocol);

  // Every line the decoder makes of what the simulator sent on each port
  // shows up in the window's log; the two channels interleave as they came.
  std::vector<std::string> expected, logged;
  const auto caughtUp = [&] {
    const QByteArray one = ReadFile(transcripts + "/COM1.bin");
    const QByteArray two = ReadFile(transcripts + "/COM2.bin");
    expected = Decoded(one, 0);
    const std::vector<std::string> answers = Decoded(two, 1);
    expected.insert(expected.end(), answers.begin(), answers.end());
    logged = Lines(ReadFile(dir_.Path("Run.Log")));
    std::sort(expected.begin(), expected.end());
    std::sort(logged.begin(), logged.end());
    // 40 polls and 40 answers: at least 80 lines once the link is through.
    return expected.size() >= 80 && expected == logged;
  };
  ASSERT_TRUE(RunUntil(caughtUp, 60000))
      << expected.size() << " lines expected, " << logged.size() << " logged";
  const auto count = [&](std::string_view start) {
    return std::count_if(logged.begin(), logged.end(),
                         [&](const std::string& l) { return l.rfind(start, 0) == 0; });
  };
  EXPECT_GE(count("To:"), 40) << "most frames are good";
  EXPECT_GE(count("-----FRAME ERROR: "), 3) << "faults were injected";
}

}  // namespace
}  // namespace klv
