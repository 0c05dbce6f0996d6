// Receive throughput of the port object: a writer thread pushes data into a
// pseudo-terminal master as fast as the kernel takes it; the port's avail
// handler reads every byte with ReadByte and checks it against what was
// sent. Reports MB/s (bytes_per_second, wall clock) and the CPU time of the
// whole process per MB received.
#include <benchmark/benchmark.h>
#include <poll.h>

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <thread>
#include <vector>

#include "serial/ComPort.h"
#include "serial/PtyFixture.h"

namespace {

using namespace klv;
using namespace klv::test;

void WriteAll(int fd, const std::vector<std::uint8_t>& data, const std::atomic<bool>& stop) {
  std::size_t done = 0;
  while (done < data.size() && !stop.load()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, 50);
  }
}

void BM_ReceiveThroughPty(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const std::vector<std::uint8_t> data = RandomBytes(size, 7);

  Pty pty;
  TestPorts ports;
  ports.Link(1, pty.Slave());
  TComPort port;
  port.SetDeviceProvider(&ports.Provider());
  port.SetComNumber(1);
  port.SetBaud(4000000);
  port.SetOpen(true);

  std::size_t position = 0;
  std::size_t mismatches = 0;
  QEventLoop loop;
  QObject::connect(&port, &TComPort::OnTriggerAvail, &port, [&](TComPort* p, int count) {
    for (int i = 0; i < count; ++i) {
      const std::uint8_t b = p->ReadByte();
      if (position >= size || b != data[position])
        ++mismatches;
      ++position;
    }
    if (position >= size)
      loop.quit();
  });

  double cpuMs = 0;
  std::size_t received = 0;
  for (auto _ : state) {
    position = 0;
    mismatches = 0;
    std::atomic<bool> stop{false};
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, [&] {
      timedOut = true;
      loop.quit();
    });
    guard.start(120000);

    const double cpuBefore = ProcessCpuMs();
    std::thread writer([&] { WriteAll(pty.Master(), data, stop); });
    loop.exec();
    stop = true;
    writer.join();
    cpuMs += ProcessCpuMs() - cpuBefore;
    received += position;

    if (timedOut || position != size || mismatches != 0) {
      state.SkipWithError(timedOut ? "timed out: bytes were lost" : "received data differs");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(received));
  const double mb = static_cast<double>(received) / 1e6;
  state.counters["CPU_ms_per_MB"] = mb > 0 ? cpuMs / mb : 0.0;
}

BENCHMARK(BM_ReceiveThroughPty)->Arg(16 << 20)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
