// File transmission in the real main window (offscreen) on a pseudo-terminal:
// a file of KLV_FILEXMIT_MB megabytes (default 10) of every byte value sent on
// channel 1 through the file transmission dialog. Reports the throughput,
// the process's CPU time per second of transfer, whether the bytes arrived
// whole and unchanged, and, in a second run, the time from Abort to the
// last byte arriving at the far end.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QFile>
#include <QPushButton>

#include "PtyWindowBench.h"
#include "serial/ComPort.h"
#include "strings/ui/XmitFileDlg.h"

namespace klv {
namespace {

using bench::Clock;

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

QByteArray FileData() {
  const int mb = qEnvironmentVariableIntValue("KLV_FILEXMIT_MB");
  QByteArray data(qsizetype(mb > 0 ? mb : 10) << 20, Qt::Uninitialized);
  std::uint32_t x = 12345;
  for (char& c : data)
    c = char((x = x * 1103515245u + 12345u) >> 24);
  return data;
}

// range(0): 0 sends the whole file, 1 aborts it after a second.
void BM_FileTransmission(benchmark::State& state) {
  const bool abort = state.range(0) == 1;
  for (auto _ : state) {
    bench::PtyWindow window;
    if (!window.Ready()) {
      state.SkipWithError("the two pseudo-terminals could not be opened");
      return;
    }
    const QByteArray data = FileData();
    QFile file(window.dir.filePath("data.bin"));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
      state.SkipWithError("the file could not be written");
      return;
    }
    file.close();
    TXmitFileDlg dialog(window.form->Conf().FileXmission, window.form->Channels(),
                        window.form->Channels(), window.messages, TComPort::OutSize);
    dialog.show();
    dialog.ChooseFile = [&] { return file.fileName(); };
    dialog.btnBrowse->click();

    bench::Arrivals arrivals(window.pty[0].Master());
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    dialog.BtnTransmitt_1->click();
    Clock::time_point aborted{};
    if (abort) {
      bench::RunEventLoopFor(1000);
      aborted = Clock::now();
      dialog.btnAbort->click();
    }
    test::RunUntil([&] { return !dialog.Busy(); }, 3600 * 1000);
    const auto t1 = Clock::now();
    const double cpu = CpuSeconds() - cpu0;
    bench::RunEventLoopFor(500);  // the buffer drains
    const auto pieces = arrivals.Stop();

    QByteArray got;
    for (const auto& piece : pieces)
      got.append(reinterpret_cast<const char*>(piece.bytes.data()), qsizetype(piece.bytes.size()));
    const double seconds = std::chrono::duration<double>(t1 - t0).count();
    state.counters["bytes_sent"] = double(dialog.Transmitter().Sent());
    state.counters["bytes_arrived"] = double(got.size());
    state.counters["unchanged"] = data.startsWith(got) ? 1 : 0;
    state.counters["kB_per_s"] = double(dialog.Transmitter().Sent()) / seconds / 1000;
    state.counters["cpu_percent"] = 100 * cpu / seconds;
    if (abort && !pieces.empty()) {
      state.counters["abort_to_last_byte_ms"] =
          std::chrono::duration<double, std::milli>(pieces.back().at - aborted).count();
    } else {
      state.counters["complete"] = got == data ? 1 : 0;
    }
    if (!window.messages.shown.empty())
      state.SkipWithError(window.messages.Texts().front().toStdString().c_str());
  }
}

BENCHMARK(BM_FileTransmission)
    ->ArgName("abort")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace klv
