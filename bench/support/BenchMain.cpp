// The main of the benchmarks: a QApplication on the offscreen platform unless
// another is chosen (KLV_BENCH_WIDGETS: the benchmark runs real widgets) or a
// QCoreApplication, then Google Benchmark.
#include <benchmark/benchmark.h>

#ifdef KLV_BENCH_WIDGETS
#include <QApplication>
using TBenchApplication = QApplication;
#else
#include <QCoreApplication>
using TBenchApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
#ifdef KLV_BENCH_WIDGETS
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  TBenchApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
