// Bytes through the receive dispatcher into the Hex/ASCII, TTY or Ruvo-94 renderer,
// with the console model and the text log on, on one core; byte by byte, or
// (runs 1) each line or frame handed to the renderer as one piece.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <random>
#include <vector>

#include "app/DisplayRenderers.h"
#include "app/ReceiveDispatcher.h"
#include "conf/ConfDefaults.h"
#include "log/Log.h"
#include "log/PrinterDevice.h"
#include "support/FakeMessageService.h"
#include "support/QuietServices.h"

namespace klv {
namespace {

void BM_ProcessReceivedByte(benchmark::State& state) {
  const auto mode = static_cast<TDisplayMode>(state.range(0));
  const bool runs = state.range(1) != 0;
  QTemporaryDir dir;
  TConf conf;
  SetConfDefaults(conf, [](int) { return false; });
  conf.DisplayMode = static_cast<std::uint8_t>(mode);
  conf.Protocol.Selected = static_cast<std::uint8_t>(TProtocolId::Ruvo94);
  conf.Log.LogFileName.assign(dir.filePath("bench.log").toStdString());
  TColorConsoleBuffer console;
  console.SetSize(94, 100);
  TBufferConsoleOutput output(console);
  test::QuietServices services;
  test::NoPrinter printer;
  test::FakeMessageService messages;
  TLogEngine log(conf.Log, conf.Misc.LogDataFormat, messages, printer);
  log.LoadLogSettings();
  conf.Log.LogToFile = log.OpenLog();
  TDisplayRenderers renderers(conf, output, services, log);
  TReceiveDispatcher dispatcher(conf, log);
  renderers.RegisterWith(dispatcher);
  dispatcher.ActiveRenderer()->Reset();

  // Text lines with line feeds or Ruvo-94 frames with 4 to 60 data bytes;
  // the channel changes after each line or frame.
  std::string data;
  std::vector<int> channels;        // of each byte
  std::vector<std::size_t> starts;  // of each line or frame
  std::int64_t units = 0;
  std::mt19937 random(3);
  while (data.size() < (1 << 20)) {
    std::string unit;
    if (mode == TDisplayMode::Protocol) {
      std::string message;
      for (auto n = 4 + random() % 57; n > 0; --n)
        message.push_back(static_cast<char>(' ' + random() % 95));
      unit = {'\x02', '\x01', '\x20', 'A', static_cast<char>(message.size() + 3)};
      unit += message + '\x03';
      unit.push_back(static_cast<char>(TProtocol_Ruvo94::Checksum(unit)));
    } else {
      for (int i = 0; i < 60; ++i)
        unit.push_back(static_cast<char>(' ' + random() % 95));
      unit.push_back('\n');
    }
    starts.push_back(data.size());
    data += unit;
    channels.insert(channels.end(), unit.size(), static_cast<int>(units % 2));
    ++units;
  }
  starts.push_back(data.size());
  IDisplayRenderer& renderer = *dispatcher.ActiveRenderer();
  for (auto _ : state) {
    if (!runs) {
      for (std::size_t i = 0; i < data.size(); ++i)
        dispatcher.ProcessReceivedByte(channels[i], static_cast<std::uint8_t>(data[i]));
      continue;
    }
    for (std::size_t u = 0; u + 1 < starts.size(); ++u) {
      std::string_view piece = std::string_view(data).substr(starts[u], starts[u + 1] - starts[u]);
      while (!piece.empty())
        piece.remove_prefix(renderer.ReceiveBytes(static_cast<int>(u % 2), piece));
    }
  }
  if (mode == TDisplayMode::Protocol) {
    state.counters["frames"] = benchmark::Counter(static_cast<double>(units * state.iterations()),
                                                  benchmark::Counter::kIsRate);
  }
  log.CloseLog();
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_ProcessReceivedByte)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->ArgNames({"mode", "runs"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace klv
