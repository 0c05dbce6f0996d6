// The whole receive chain without a window: ordered path, dispatcher, the
// renderers, console model and the real text and rich-text logs.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <random>

#include "app/ConfigTestSupport.h"
#include "app/DisplayRenderers.h"
#include "app/ReceiveDispatcher.h"
#include "log/Log.h"
#include "log/PrinterDevice.h"
#include "support/QuietServices.h"

namespace klv {
namespace {

struct Outcome {
  std::vector<std::string> rows;
  std::vector<int> colours;
  QByteArray log;
};

using Stream = std::vector<std::pair<int, std::uint8_t>>;

// A stream of both channels: text, control codes, new-line characters and binary.
Stream MixedStream() {
  Stream stream;
  std::mt19937 random(11);
  const std::string text = "Hello {\\}\r\n\x02\x07\xE5\x80";
  for (int i = 0; i < 3000; ++i) {
    const int channel = static_cast<int>(random() % 2);
    const auto byte = random() % 4 == 0 ? static_cast<std::uint8_t>(random())
                                        : static_cast<std::uint8_t>(text[random() % text.size()]);
    stream.push_back({channel, byte});
  }
  return stream;
}

// Good and broken Ruvo-94 frames on both channels, the channels interleaved
// in runs of random length.
Stream FrameStream() {
  std::mt19937 random(5);
  const auto byte = [&](unsigned low) { return static_cast<char>(low + random() % (256 - low)); };
  std::array<std::string, 2> lines;
  for (int i = 0; i < 400; ++i) {
    std::string data;
    for (int n = static_cast<int>(random() % 60); n > 0; --n)
      data += byte(4);
    std::string frame = {'\x02', byte(0), byte(0), byte(32), static_cast<char>(data.size() + 3)};
    frame += data + '\x03';
    frame += static_cast<char>(TProtocol_Ruvo94::Checksum(frame));
    const auto fault = random() % 6;  // 4 and 5: none
    if (fault == 0)
      frame.back() = static_cast<char>(frame.back() ^ 0x10);  // wrong check byte
    else if (fault == 1)
      frame.erase(frame.size() - 2, 1);  // no ETX
    else if (fault == 2)
      frame.insert(0, "junk");
    else if (fault == 3)
      frame[4] = 2;  // a length below 3
    lines[random() % 2] += frame;
  }
  Stream stream;
  std::array<std::size_t, 2> at = {0, 0};
  while (at[0] < lines[0].size() || at[1] < lines[1].size()) {
    const int channel = static_cast<int>(random() % 2);
    auto& next = at[static_cast<std::size_t>(channel)];
    const std::string& line = lines[static_cast<std::size_t>(channel)];
    for (auto run = random() % 40; run > 0 && next < line.size(); --run)
      stream.push_back({channel, static_cast<std::uint8_t>(line[next++])});
  }
  return stream;
}

Outcome Feed(TDisplayMode mode, const QString& logName, const Stream& stream, bool oneEvent) {
  test::ConfigFixtureParts parts;
  parts.config.SetDefaults();
  TConf& conf = parts.config.Conf();
  conf.DisplayMode = static_cast<std::uint8_t>(mode);
  conf.Protocol.Selected = static_cast<std::uint8_t>(TProtocolId::Ruvo94);
  conf.MiscBool.TimeStamp = true;
  conf.MiscInt.CtrlCharDisplay = 2;
  conf.Log.LogFileName.assign(logName.toStdString());
  TColorConsoleBuffer console;
  console.SetSize(94, 100);
  TBufferConsoleOutput output(console);
  test::QuietServices channels;
  test::NoPrinter printer;
  test::FakeMessageService messages;
  TLogEngine log(conf.Log, conf.Misc.LogDataFormat, messages, printer);
  const auto noon = [] { return QDateTime(QDate(2026, 12, 6), QTime(12, 0, 0)); };
  log.SetClock(noon);
  log.LoadLogSettings();
  conf.Log.LogToFile = log.OpenLog();
  EXPECT_TRUE(conf.Log.LogToFile);
  TDisplayRenderers renderers(conf, output, channels, log);
  renderers.HexTty.SetClock(noon);
  renderers.Ruvo.SetClock(noon);
  TReceiveDispatcher dispatcher(conf, log);
  renderers.RegisterWith(dispatcher);
  dispatcher.ActiveRenderer()->Reset();

  // The bytes go through the ordered receive path, as the channels read them.
  TReceiveOrder order(dispatcher);
  std::size_t i = 0;
  while (i < stream.size()) {
    const int channel = stream[i].first;
    QByteArray bytes;
    // One event: everything up to the next change of channel; else one byte.
    while (i < stream.size() && stream[i].first == channel && (oneEvent || bytes.isEmpty()))
      bytes.append(static_cast<char>(stream[i++].second));
    order.AppendBytes(channel, bytes);
    order.Drain();
  }
  log.CloseLog();
  Outcome outcome;
  for (int y = 0; y < console.Rows(); ++y) {
    outcome.rows.emplace_back(console.RowText(y));
    for (int x = 0; x < console.Cols(); ++x)
      outcome.colours.push_back(int(console.Attrs().At(console.AttrAt(x, y)).Font.Color));
  }
  outcome.log = test::ReadFile(logName);
  return outcome;
}

TEST(ReceiveChain, OneEventOrOneByteAtATimeGiveTheSameConsoleAndLogs) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (TDisplayMode mode : {TDisplayMode::HexAscii, TDisplayMode::Tty, TDisplayMode::Protocol}) {
    const Stream stream = mode == TDisplayMode::Protocol ? FrameStream() : MixedStream();
    for (const char* extension : {"log", "doc"}) {
      const QString a = dir.filePath(QString("whole%1.%2").arg(int(mode)).arg(extension));
      const QString b = dir.filePath(QString("bytes%1.%2").arg(int(mode)).arg(extension));
      const Outcome whole = Feed(mode, a, stream, true);
      const Outcome single = Feed(mode, b, stream, false);
      SCOPED_TRACE(a.toStdString());
      EXPECT_EQ(whole.rows, single.rows);
      EXPECT_EQ(whole.colours, single.colours);
      ASSERT_GT(whole.log.size(), 1000);
      // The logs differ only in their own file names.
      QByteArray expected = whole.log;
      expected.replace(QFileInfo(a).fileName().toUtf8(), QFileInfo(b).fileName().toUtf8());
      EXPECT_EQ(expected, single.log);
    }
  }
}

}  // namespace
}  // namespace klv
