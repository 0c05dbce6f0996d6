// The receive path with both channels' triggers armed: Hex/ASCII with a
// 3-byte trigger string once per KiB (pre- and post-trigger characters on,
// text log on) against the same stream with the triggers disabled; a
// 100 MiB stream the string never matches, for the memory the triggers hold;
// and Ruvo-94 frames with both frame triggers firing and answering.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QTemporaryDir>
#include <random>

#include "app/DisplayRenderers.h"
#include "app/ReceiveDispatcher.h"
#include "conf/ConfDefaults.h"
#include "log/Log.h"
#include "log/PrinterDevice.h"
#include "support/FakeMessageService.h"
#include "support/QuietServices.h"
#include "trigger/T_hextty.h"
#include "trigger/T_ruvo94.h"

namespace klv {
namespace {

struct TSilentBeeper : IBeeper {
  void Beep() override {}
};

// The analyser's receive path without the window: console model, text log,
// renderers, trigger engines and the ordered drain.
struct TReceivePath {
  explicit TReceivePath(TDisplayMode mode) {
    SetConfDefaults(conf, [](int) { return false; });
    conf.DisplayMode = static_cast<std::uint8_t>(mode);
    conf.Protocol.Selected = static_cast<std::uint8_t>(TProtocolId::Ruvo94);
    conf.Log.LogFileName.assign(dir.filePath("bench.log").toStdString());
    console.SetSize(94, 100);
    log.LoadLogSettings();
    conf.Log.LogToFile = log.OpenLog();
    renderers.HexTty.SetTrigger(&hexTty);
    renderers.Ruvo.SetTrigger(&ruvo);
    renderers.RegisterWith(dispatcher);
    dispatcher.ActiveRenderer()->Reset();
  }
  ~TReceivePath() { log.CloseLog(); }
  void Receive(int channel, const QByteArray& bytes) {
    order.AppendBytes(channel, bytes);
    while (order.Drain()) {
    }
  }

  QTemporaryDir dir;
  TConf conf;
  TColorConsoleBuffer console;
  TBufferConsoleOutput output{console};
  test::QuietServices services;
  test::NoPrinter printer;
  test::FakeMessageService messages;
  TLogEngine log{conf.Log, conf.Misc.LogDataFormat, messages, printer};
  TDisplayRenderers renderers{conf, output, services, log};
  TReceiveDispatcher dispatcher{conf, log};
  TReceiveOrder order{dispatcher};
  TSilentBeeper beeper;
  TTrigHexTTY hexTty{conf, beeper};
  TTrigRuvo94 ruvo{conf, beeper};
};

// Retrig on "#@!", 16 characters before and 16 after.
void ArmHexTriggers(TConf& conf) {
  for (THexTTYTrigChannel& t : conf.Trigger_HexTTY.Channel) {
    t.Mode = static_cast<std::uint8_t>(TTrigMode::Retrig);
    t.UseLocalStr = true;
    t.LocalStr.assign("#@!");
    t.DispPreTrigChars = t.DispPostTrigChars = true;
    t.PreTrigCount = 16;
    t.PostTrigCount = 16;
  }
}

// 1 KiB blocks of printable text without the string's characters; with
// `pattern`, each block ends its first half with the string.
QByteArray Block(std::mt19937& random, bool pattern) {
  QByteArray block(1024, Qt::Uninitialized);
  for (char& c : block)
    c = static_cast<char>('a' + random() % 26);
  if (pattern)
    block.replace(509, 3, "#@!");
  return block;
}

// armed 0: triggers disabled; 1: armed; 2: armed with "Display All", so
// every byte is shown as without triggers, and the releases again.
void BM_HexTriggersArmed(benchmark::State& state) {
  TReceivePath path(TDisplayMode::HexAscii);
  if (state.range(0) != 0)
    ArmHexTriggers(path.conf);
  for (THexTTYTrigChannel& t : path.conf.Trigger_HexTTY.Channel)
    t.OnNoTrigDisplay = state.range(0) == 2;
  std::mt19937 random(5);
  std::vector<QByteArray> blocks;
  for (int i = 0; i < 1024; ++i)
    blocks.push_back(Block(random, true));
  for (auto _ : state) {
    for (std::size_t i = 0; i < blocks.size(); ++i)
      path.Receive(static_cast<int>(i % 2), blocks[i]);
  }
  state.SetBytesProcessed(state.iterations() * 1024 * 1024);
}
BENCHMARK(BM_HexTriggersArmed)->DenseRange(0, 2)->ArgName("armed")->Unit(benchmark::kMillisecond);

long MaxResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// 100 MiB in which the string never comes: what the triggers hold stays
// bounded, and so does the process.
void BM_NeverMatching100MiB(benchmark::State& state) {
  TReceivePath path(TDisplayMode::HexAscii);
  ArmHexTriggers(path.conf);
  std::mt19937 random(7);
  const QByteArray block = Block(random, false).repeated(64);  // 64 KiB
  std::size_t held = 0;
  long growth = 0;
  for (auto _ : state) {
    const long before = MaxResidentKiB();
    for (int i = 0; i < 1600; ++i) {
      path.Receive(i % 2, block);
      held = std::max({held, path.hexTty.HeldBytes(0), path.hexTty.HeldBytes(1)});
    }
    growth = MaxResidentKiB() - before;
  }
  state.counters["held_max"] = static_cast<double>(held);
  state.counters["rss_growth_KiB"] = static_cast<double>(growth);
  state.SetBytesProcessed(state.iterations() * 1600 * block.size());
}
BENCHMARK(BM_NeverMatching100MiB)->Iterations(1)->Unit(benchmark::kMillisecond);

// Channel 1 waits for channel 2's trigger, which never fires, holding the
// newest 64 KiB: 16 MiB through channel 1.
void BM_WaitingForTheOtherChannel(benchmark::State& state) {
  TReceivePath path(TDisplayMode::HexAscii);
  ArmHexTriggers(path.conf);
  path.conf.Trigger_HexTTY.Channel[0].UseLocalStr = false;
  path.conf.Trigger_HexTTY.Channel[0].OtherChTrigged = true;
  std::mt19937 random(9);
  const QByteArray block = Block(random, false).repeated(64);  // 64 KiB
  for (auto _ : state) {
    for (int i = 0; i < 256; ++i)
      path.Receive(0, block);
  }
  state.counters["held"] = static_cast<double>(path.hexTty.HeldBytes(0));
  state.SetBytesProcessed(state.iterations() * 256 * block.size());
}
BENCHMARK(BM_WaitingForTheOtherChannel)->Unit(benchmark::kMillisecond);

// Frames of 20 data bytes on both channels; both Retrig triggers fire on each
// and answer the sender with a 5-byte library string.
void BM_RuvoTriggersAnswering(benchmark::State& state) {
  TReceivePath path(TDisplayMode::Protocol);
  TConf& conf = path.conf;
  conf.Strngs.Strings[3].Str.assign(std::string("\x02\x30xy\x03", 5));
  for (TRuvo94TrigChannel& t : conf.Trigger_Ruvo94.Channel) {
    t.Mode = static_cast<std::uint8_t>(TTrigMode::Retrig);
    t.UseType = true;
    t.TypeFrom = t.TypeTo = t.TypeOR = 'A';
    t.OnTrigTr = true;
    t.OnTrigTrStrNr = 3;
    t.OnTrigTrDest = 1;
  }
  std::string frame = {'\x02', '\x31', '\x20', 'A', static_cast<char>(23)};
  frame += std::string(20, 'm') + '\x03';
  frame.push_back(static_cast<char>(TProtocol_Ruvo94::Checksum(frame)));
  const QByteArray frames = QByteArray::fromStdString(frame).repeated(64);
  std::int64_t count = 0;
  for (auto _ : state) {
    for (int i = 0; i < 64; ++i)
      path.Receive(i % 2, frames);
    count += 64 * 64;
  }
  state.counters["frames"] =
      benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(count * static_cast<std::int64_t>(frame.size()));
}
BENCHMARK(BM_RuvoTriggersAnswering)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace klv
