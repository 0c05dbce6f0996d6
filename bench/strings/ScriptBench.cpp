// Script timing in the real main window (offscreen) on pseudo-terminals: the
// script engine sends on channel 1 while channel 2 receives a 1 MB/s flood
// shown in Hex/ASCII. A thread on channel 1's far end stamps each arrival.
//  - X1WX2WWS, run again each time it ends: string 1 at 0, string 2 at 500
//    and the next run's string 1 at 1500 ms.
//  - X1W, repeating: string 1 is due every 500 ms.
// Reports the median and the worst deviation from those times over
// KLV_SCRIPT_SECONDS (default 10), and, in a third run without the flood,
// the process's CPU use during a long wait.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <algorithm>
#include <cmath>

#include "PtyWindowBench.h"
#include "strings/ui/ScriptDlg.h"

namespace klv {
namespace {

using bench::Arrivals;
using bench::Clock;
using bench::RunEventLoopFor;

constexpr int kStringLength = 4;  // "1111", "2222"

double Seconds() {
  const double seconds = qgetenv("KLV_SCRIPT_SECONDS").toDouble();
  return seconds > 0 ? seconds : 10.0;
}

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The arrival time of each string's first byte, with the string's digit.
std::vector<std::pair<Clock::time_point, char>> Strings(
    const std::vector<Arrivals::Piece>& pieces) {
  std::vector<std::pair<Clock::time_point, char>> strings;
  int at = 0;
  for (const Arrivals::Piece& piece : pieces) {
    for (std::uint8_t byte : piece.bytes) {
      if (at++ % kStringLength == 0)
        strings.emplace_back(piece.at, static_cast<char>(byte));
    }
  }
  return strings;
}

// range(0): 0 X1WX2WWS again and again, 1 a repeating X1W, 2 a 10 s wait
// without the flood (CPU use).
void BM_ScriptTiming(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const char* const scripts[] = {"X1WX2WWS", "X1W", "WWWWWWWWWWWWWWWWWWWWS"};
  for (auto _ : state) {
    bench::PtyWindow window;
    if (!window.Ready()) {
      state.SkipWithError("the two pseudo-terminals could not be opened");
      return;
    }
    window.form->DisplayCommands().SetDisplayMode(TDisplayMode::HexAscii);
    TStrngs& library = window.form->Conf().Strngs;
    library.Strings[0].Str.assign("1111");
    library.Strings[1].Str.assign("2222");
    library.Strings[0].Syntax = library.Strings[1].Syntax =
        static_cast<std::uint8_t>(TStringSyntax::None);
    library.Strings[2].Str.assign(scripts[kind]);
    library.Strings[2].Syntax = static_cast<std::uint8_t>(TStringSyntax::Script);
    library.CurrentNr = 2;
    TScriptStringTransmissionDlg& dialog = window.form->StringCommands().ScriptDlg();
    // Each run that ends by itself starts the next (only X1WX2WWS ends).
    QObject::connect(&dialog.Engine(), &TScriptEngine::Finished, &dialog, [&](bool) {
      if (!dialog.Engine().Failed() && !dialog.Engine().StopRequested() && kind == 0)
        dialog.RunScript(library, 0, false, true);
    });

    std::vector<Arrivals::Piece> pieces;
    double cpu = 0, wall = 0;
    {
      std::unique_ptr<bench::PacedFlood> flood;
      if (kind != 2)
        flood = std::make_unique<bench::PacedFlood>(window.pty[1].Master());
      RunEventLoopFor(1000);  // the flood settles
      Arrivals arrivals(window.pty[0].Master());
      dialog.RunScript(library, 0, false, true);
      RunEventLoopFor(kind == 2 ? 500 : 0);  // into the wait
      const double cpu0 = CpuSeconds();
      const auto wall0 = Clock::now();
      RunEventLoopFor(static_cast<int>(Seconds() * 1000) - (kind == 2 ? 1000 : 0));
      cpu = CpuSeconds() - cpu0;
      wall = std::chrono::duration<double>(Clock::now() - wall0).count();
      dialog.Engine().RequestStop();
      RunEventLoopFor(600);
      pieces = arrivals.Stop();
    }
    if (window.messages.shown.size() != 0) {
      const std::string why = "the script ended: " + window.messages.Texts().front().toStdString();
      state.SkipWithError(why.c_str());
      return;
    }
    if (kind == 2) {
      state.counters["cpu_percent_waiting"] = 100.0 * cpu / wall;
      continue;
    }
    // The deviation of each string from its due time after the one before.
    const auto strings = Strings(pieces);
    std::vector<double> errors;
    for (std::size_t i = 1; i < strings.size(); ++i) {
      const double due = kind == 1 || strings[i].second == '2' ? 500 : 1000;
      const double took =
          std::chrono::duration<double, std::milli>(strings[i].first - strings[i - 1].first)
              .count();
      errors.push_back(std::abs(took - due));
    }
    if (errors.empty()) {
      state.SkipWithError("fewer than two strings arrived");
      return;
    }
    std::sort(errors.begin(), errors.end());
    state.counters["strings"] = static_cast<double>(strings.size());
    state.counters["median_error_ms"] = errors[errors.size() / 2];
    state.counters["worst_error_ms"] = errors.back();
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
  }
}

BENCHMARK(BM_ScriptTiming)
    ->ArgName("script")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace klv
