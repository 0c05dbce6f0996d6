// The whole receive chain without a window: queue, dispatcher, Hex/ASCII or
// TTY renderer, console model and the real text and rich-text logs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
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

// A stream of both channels: text, control codes, new-line characters and binary.
std::vector<std::pair<int, std::uint8_t>> Stream() {
  std::vector<std::pair<int, std::uint8_t>> stream;
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

Outcome Feed(TDisplayMode mode, const QString& logName, bool oneEvent) {
  test::ConfigFixtureParts parts;
  parts.config.SetDefaults();
  TConf& conf = parts.config.Conf();
  conf.DisplayMode = static_cast<std::uint8_t>(mode);
  conf.MiscBool.TimeStamp = true;
  conf.MiscInt.CtrlCharDisplay = 2;
  conf.Log.LogFileName.assign(logName.toStdString());
  TColorConsoleBuffer console;
  console.SetSize(94, 100);
  TBufferConsoleOutput output(console);
  test::QuietServices services("2026-12-06 12:00:00,0");
  test::NoPrinter printer;
  test::FakeMessageService messages;
  TLogEngine log(conf.Log, conf.Misc.LogDataFormat, messages, printer);
  log.SetClock([] { return QDateTime(QDate(2026, 12, 6), QTime(12, 0, 0)); });
  log.LoadLogSettings();
  conf.Log.LogToFile = log.OpenLog();
  EXPECT_TRUE(conf.Log.LogToFile);
  TProtocol_HexTTY hexTty(conf, output, services, log);
  TDisplayRenderers renderers(hexTty);
  TReceiveDispatcher dispatcher(conf, renderers, log);
  renderers.HexReset();

  // Each channel's bytes go through its own queue, as the window reads them.
  std::array<TReceiveQueue, 2> queues;
  const auto stream = Stream();
  std::size_t i = 0;
  while (i < stream.size()) {
    const int channel = stream[i].first;
    QByteArray bytes;
    // One event: everything up to the next change of channel; else one byte.
    while (i < stream.size() && stream[i].first == channel && (oneEvent || bytes.isEmpty())) {
      bytes.append(static_cast<char>(stream[i++].second));
    }
    queues[static_cast<std::size_t>(channel)].Append(bytes);
    for (char b : queues[static_cast<std::size_t>(channel)].TakeAll()) {
      dispatcher.ProcessReceivedByte(channel, static_cast<std::uint8_t>(b));
    }
  }
  log.CloseLog();
  Outcome outcome;
  for (int y = 0; y < console.Rows(); ++y) {
    outcome.rows.emplace_back(console.RowText(y));
    for (int x = 0; x < console.Cols(); ++x) {
      outcome.colours.push_back(
          static_cast<int>(console.Attrs().At(console.AttrAt(x, y)).Font.Color));
    }
  }
  QFile file(logName);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  outcome.log = file.readAll();
  return outcome;
}

TEST(ReceiveChain, OneEventOrOneByteAtATimeGiveTheSameConsoleAndLogs) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (TDisplayMode mode : {TDisplayMode::HexAscii, TDisplayMode::Tty}) {
    for (const char* extension : {"log", "doc"}) {
      const QString a = dir.filePath(QString("whole%1.%2").arg(int(mode)).arg(extension));
      const QString b = dir.filePath(QString("bytes%1.%2").arg(int(mode)).arg(extension));
      const Outcome whole = Feed(mode, a, true);
      const Outcome single = Feed(mode, b, false);
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
