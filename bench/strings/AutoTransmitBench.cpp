// Auto-transmission in the real main window (offscreen) on pseudo-terminals:
// channel 1 repeats a 32-byte string every 10, 50 or 100 ms while channel 2
// receives a 1 MB/s flood shown in Hex/ASCII, for KLV_AUTOXMIT_SECONDS
// (default 10). A thread on channel 1's far end stamps every arrival; the
// start of a repetition is the arrival of its first byte. Reports the
// median, mean, shortest and longest start-to-start period against the interval,
// and how many repetitions arrived whole.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "PtyWindowBench.h"

namespace klv {
namespace {

using bench::Arrivals;
using bench::Clock;
using bench::PacedFlood;
using bench::RunEventLoopFor;

constexpr std::string_view kRepetition = "<0123456789 auto-transmission #>";
static_assert(kRepetition.size() == 32);

double Seconds() {
  const double seconds = qgetenv("KLV_AUTOXMIT_SECONDS").toDouble();
  return seconds > 0 ? seconds : 10.0;
}

struct Repetitions {
  std::vector<Clock::time_point> wholeStarts;
  int broken = 0;
};

// Splits the arrivals into repetitions of kRepetition; any byte out of
// place breaks the one it is in.
Repetitions Split(const std::vector<Arrivals::Piece>& pieces) {
  Repetitions result;
  std::size_t at = 0;
  Clock::time_point start;
  for (const Arrivals::Piece& piece : pieces) {
    for (std::uint8_t byte : piece.bytes) {
      if (byte != static_cast<std::uint8_t>(kRepetition[at])) {
        ++result.broken;
        at = 0;
        if (byte != static_cast<std::uint8_t>(kRepetition[0]))
          continue;
      }
      if (at == 0)
        start = piece.at;
      if (++at == kRepetition.size()) {
        result.wholeStarts.push_back(start);
        at = 0;
      }
    }
  }
  if (at != 0)
    ++result.broken;
  return result;
}

void BM_AutoTransmitUnderFlood(benchmark::State& state) {
  const int interval = static_cast<int>(state.range(0));
  for (auto _ : state) {
    bench::PtyWindow window;
    if (!window.Ready()) {
      state.SkipWithError("the two pseudo-terminals could not be opened");
      return;
    }
    auto& form = window.form;
    auto& pty = window.pty;
    auto& messages = window.messages;
    form->DisplayCommands().SetDisplayMode(TDisplayMode::HexAscii);
    TConf& conf = form->Conf();
    conf.Strngs.Strings[0].Str.assign(kRepetition);
    conf.Strngs.Strings[0].Syntax = static_cast<std::uint8_t>(TStringSyntax::None);
    conf.Strngs.CurrentNr = 0;
    conf.MiscInt.AutoXmitInterval = static_cast<std::uint16_t>(interval);

    double floodRate = 0;
    std::vector<Arrivals::Piece> pieces;
    {
      const auto floodStart = Clock::now();
      PacedFlood flood(pty[1].Master());
      RunEventLoopFor(1000);  // the flood settles
      Arrivals arrivals(pty[0].Master());
      form->StringCommands().AutoTransmitClick();
      RunEventLoopFor(static_cast<int>(Seconds() * 1000));
      form->StringCommands().AutoTransmitClick();
      RunEventLoopFor(200);
      pieces = arrivals.Stop();
      floodRate = static_cast<double>(flood.Written()) /
                  std::chrono::duration<double, std::micro>(Clock::now() - floodStart).count();
    }
    if (!messages.shown.empty()) {
      const std::string why = "auto-transmission ended: " + messages.Texts().front().toStdString();
      state.SkipWithError(why.c_str());
      return;
    }

    const Repetitions reps = Split(pieces);
    std::vector<double> periods;
    for (std::size_t i = 1; i < reps.wholeStarts.size(); ++i) {
      periods.push_back(
          std::chrono::duration<double, std::milli>(reps.wholeStarts[i] - reps.wholeStarts[i - 1])
              .count());
    }
    if (periods.empty()) {
      state.SkipWithError("fewer than two repetitions arrived");
      return;
    }
    // Without drift the mean is the interval however the periods scatter.
    const double mean =
        std::chrono::duration<double, std::milli>(reps.wholeStarts.back() - reps.wholeStarts[0])
            .count() /
        static_cast<double>(periods.size());
    std::sort(periods.begin(), periods.end());
    state.counters["mean_ms"] = mean;
    state.counters["interval_ms"] = interval;
    state.counters["median_ms"] = periods[periods.size() / 2];
    state.counters["shortest_ms"] = periods.front();
    state.counters["longest_ms"] = periods.back();
    state.counters["whole"] = static_cast<double>(reps.wholeStarts.size());
    state.counters["broken"] = reps.broken;
    state.counters["flood_MB_per_s"] = floodRate;
  }
}

BENCHMARK(BM_AutoTransmitUnderFlood)
    ->ArgName("interval_ms")
    ->Arg(10)
    ->Arg(50)
    ->Arg(100)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace klv
