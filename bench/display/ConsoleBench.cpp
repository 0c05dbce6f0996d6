// Console speed: text into the model, and a full repaint of the main window's grid.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <string>

#include "display/Console.h"
#include "display/ui/ConsoleWidget.h"

namespace klv {
namespace {

TFixedFont ChannelFont(int channel) {
  TFixedFont font;
  font.Name = "Fixedsys";
  font.Height = -17;
  font.Color = channel == 0 ? clBlack : clBlue;
  font.Style = channel == 0 ? 0 : FontStyle::Underline;
  font.BkColor = clWhite;
  return font;
}

std::string PrintableLines(std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) {
    for (std::size_t i = 0; i < 80; ++i)
      text.push_back(static_cast<char>(' ' + (text.size() * 7 + i) % 95));
    text += "\r\n";
  }
  return text;
}

// Printable text in 4 KiB writes, both channels' colours alternating per write.
void BM_ModelWriteString(benchmark::State& state) {
  TColorConsoleBuffer console;
  console.SetSize(94, 100);
  const std::string text = PrintableLines(1 << 20);
  const std::size_t chunk = 4096;
  for (auto _ : state) {
    int channel = 0;
    for (std::size_t at = 0; at < text.size(); at += chunk, channel ^= 1) {
      console.Font = ChannelFont(channel);
      console.WriteString(std::string_view(text).substr(at, chunk));
    }
    benchmark::DoNotOptimize(console.CursorX());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ModelWriteString)->Unit(benchmark::kMillisecond);

// One character a call, as the Hex/ASCII renderer writes cells.
void BM_ModelWriteChar(benchmark::State& state) {
  TColorConsoleBuffer console;
  console.SetSize(94, 100);
  console.Font = ChannelFont(0);
  const std::string text = PrintableLines(1 << 20);
  for (auto _ : state) {
    for (char c : text)
      console.WriteChar(c);
    benchmark::DoNotOptimize(console.CursorX());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ModelWriteChar)->Unit(benchmark::kMillisecond);

// A full repaint of 94 x 100 cells whose every other cell has the other
// channel's attribute (9400 runs).
void BM_FullRepaintAlternating(benchmark::State& state) {
  TColorConsole console;
  console.SetCols(94);
  console.SetRows(100);
  console.SetFont(ChannelFont(0));
  console.Clear();
  for (int row = 0; row < 100; ++row) {
    console.GotoXY(0, row);
    for (int col = 0; col < 94; ++col) {
      console.SetFont(ChannelFont(col % 2));
      console.WriteChar(static_cast<char>('A' + (row + col) % 26));
    }
  }
  console.resize(94 * console.CharWidth() + 40, 100 * console.CharHeight() + 40);
  QImage target(console.viewport()->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    console.viewport()->render(&target);
  }
  state.counters["runs"] = console.LastPaintRuns();
}
BENCHMARK(BM_FullRepaintAlternating)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace klv
