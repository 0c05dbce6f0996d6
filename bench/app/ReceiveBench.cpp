// Bytes through the receive dispatcher into the Hex/ASCII or TTY renderer,
// with the console model and the text log on, on one core.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
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

void BM_ProcessReceivedByte(benchmark::State& state) {
  const auto mode = static_cast<TDisplayMode>(state.range(0));
  QTemporaryDir dir;
  test::ConfigFixtureParts parts;
  parts.config.SetDefaults();
  TConf& conf = parts.config.Conf();
  conf.DisplayMode = static_cast<std::uint8_t>(mode);
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
  TProtocol_HexTTY hexTty(conf, output, services, log);
  TDisplayRenderers renderers(hexTty);
  TReceiveDispatcher dispatcher(conf, renderers, log);
  renderers.HexReset();

  // Text lines with line feeds, channels alternating per line.
  std::string data;
  std::mt19937 random(3);
  while (data.size() < (1 << 20)) {
    for (int i = 0; i < 60; ++i)
      data.push_back(static_cast<char>(' ' + random() % 95));
    data.push_back('\n');
  }
  for (auto _ : state) {
    int channel = 0;
    for (char byte : data) {
      dispatcher.ProcessReceivedByte(channel, static_cast<std::uint8_t>(byte));
      if (byte == '\n')
        channel ^= 1;
    }
  }
  log.CloseLog();
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_ProcessReceivedByte)->Arg(0)->Arg(1)->ArgName("mode")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace klv

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
