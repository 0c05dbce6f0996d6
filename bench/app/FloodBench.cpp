// The real main window (offscreen) flooded through pseudo-terminals for a
// settable time (KLV_FLOOD_SECONDS, default 10):
//  - Hex/ASCII with both channels and the binary raw log on; channel 1 sends
//    bytes 00H-7FH and channel 2 bytes 80H-FFH, so the log tells them apart
//    and each channel's stream is checked complete and in order;
//  - TTY with one channel and the text log on; the log must hold exactly the
//    text sent;
//  - TTY with one channel fed 80-byte numbered lines ended by CR LF, with the
//    text log (checked as above) and without it (the console's last rows must
//    be the last lines sent);
//  - idle: both ports open, no traffic.
// Reports the sustained rate, CPU time per MB (writer threads excluded),
// memory, console repaints a second and how late a 10 ms user-interface
// timer fires during the flood.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <sys/resource.h>
#include <time.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <thread>

#include "app/ui/Klvmain.h"
#include "serial/PtyFixture.h"
#include "sim/FloodStream.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"

namespace klv {
namespace {

using sim::TByteSet;
using sim::TFloodStream;

// Runs the event loop as the application does, blocked while there is nothing
// to do, for the given time.
void RunEventLoopFor(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

double FloodSeconds() {
  const QByteArray value = qgetenv("KLV_FLOOD_SECONDS");
  const double seconds = value.isEmpty() ? 10.0 : value.toDouble();
  return seconds > 0 ? seconds : 10.0;
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double ResidentMegabytes() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly))
    return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:"))
      return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
  }
  return 0;
}

// A stream of text lines of printable characters ended by CR LF.
class TextStream {
 public:
  explicit TextStream(std::uint64_t seed) : random_(seed, TByteSet::All) {}
  std::uint8_t Next() {
    if (column_ == 70) {
      column_ = 71;
      return '\r';
    }
    if (column_ == 71) {
      column_ = 0;
      return '\n';
    }
    ++column_;
    return static_cast<std::uint8_t>(' ' + random_.Next() % 95);
  }

 private:
  TFloodStream random_;
  int column_ = 0;
};

// Lines of 80 bytes: the line's number in 8 digits, a blank, 69 printable
// characters (no blank, so a console row shows them all), CR LF.
class NumberedLines {
 public:
  static constexpr std::size_t kLength = 80;
  explicit NumberedLines(std::uint64_t = 0) {}
  static std::string Line(std::uint64_t n) {
    std::string line =
        QStringLiteral("%1 ").arg(n % 100000000, 8, 10, QLatin1Char('0')).toStdString();
    for (std::size_t i = 0; line.size() < kLength - 2; ++i)
      line.push_back(static_cast<char>(33 + (n * 7 + i) % 94));
    return line + "\r\n";
  }
  std::uint8_t Next() {
    if (at_ == line_.size()) {
      line_ = Line(number_++);
      at_ = 0;
    }
    return static_cast<std::uint8_t>(line_[at_++]);
  }

 private:
  std::uint64_t number_ = 0;
  std::string line_;
  std::size_t at_ = 0;
};

// Writes a generated stream into a pty master as fast as it is taken, from
// its own thread, until stopped; counts what was written.
template <typename Stream>
class Flooder {
 public:
  Flooder(int fd, Stream stream) : fd_(fd), stream_(std::move(stream)) {}
  ~Flooder() { Stop(); }
  void Start() {
    thread_ = std::thread([this] { Run(); });
  }
  void Stop() {
    stop_ = true;
    if (thread_.joinable())
      thread_.join();
  }
  std::size_t Written() const { return written_; }
  double CpuSeconds() const { return cpuSeconds_; }

 private:
  void Run() {
    pthread_setname_np(pthread_self(), "klv-flooder");
    std::vector<std::uint8_t> block(4096);
    std::size_t filled = 0;
    std::size_t at = 0;
    while (!stop_) {
      if (at == filled) {
        for (auto& byte : block)
          byte = stream_.Next();
        filled = block.size();
        at = 0;
      }
      const ssize_t n = ::write(fd_, block.data() + at, filled - at);
      if (n > 0) {
        at += static_cast<std::size_t>(n);
        written_ += static_cast<std::size_t>(n);
        continue;
      }
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, 20);
    }
    // The bytes of a block cut short were never sent: the count says so.
    cpuSeconds_ = ThreadCpuSeconds();
  }

  int fd_;
  Stream stream_;
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> written_{0};
  std::atomic<double> cpuSeconds_{0};
  std::thread thread_;
};

// The analyser's window on COM1 and COM2, each a pty, in a directory of its own.
class Analyser {
 public:
  Analyser() : guard_(&ports_.Provider()) {
    previous_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());  // no Config.klv: defaults on the two ports
    ports_.Link(1, pty_[0].Slave());
    ports_.Link(2, pty_[1].Slave());
    TAppFormSetup setup;
    setup.Messages = &messages_;
    setup.AttachStdio = false;
    form_ = std::make_unique<TKLVAppForm>(setup);
    form_->resize(900, 700);
    form_->show();
    test::RunUntil([&] { return form_->Started(); });
  }
  ~Analyser() {
    form_.reset();
    QDir::setCurrent(previous_);
  }
  TKLVAppForm& Form() { return *form_; }
  int Master(int channel) { return pty_[channel].Master(); }
  QString LogPath() const { return dir_.filePath(QStringLiteral("KLV.Log")); }
  bool Ok() const { return messages_.shown.empty(); }

 private:
  QTemporaryDir dir_;
  QString previous_;
  test::Pty pty_[2];
  test::TestPorts ports_;
  test::DefaultProviderGuard guard_;
  test::FakeMessageService messages_;
  std::unique_ptr<TKLVAppForm> form_;
};

// Samples what the user would feel while the flood runs.
class Observer {
 public:
  explicit Observer(TConsole& console) : console_(console) {
    tick_.setTimerType(Qt::PreciseTimer);
    tick_.setInterval(10);
    QObject::connect(&tick_, &QTimer::timeout, [this] {
      const qint64 now = clock_.nsecsElapsed();
      if (last_ >= 0)
        lateMs_.push_back(double(now - last_) / 1e6 - 10.0);
      last_ = now;
      if (++ticks_ % 25 == 0)
        peakRss_ = std::max(peakRss_, ResidentMegabytes());
    });
  }
  void Start() {
    startRss_ = ResidentMegabytes();
    peakRss_ = startRss_;
    paints_ = console_.PaintCount();
    clock_.start();
    tick_.start();
  }
  void Stop() {
    tick_.stop();
    seconds_ = double(clock_.nsecsElapsed()) / 1e9;
    paints_ = console_.PaintCount() - paints_;
    endRss_ = ResidentMegabytes();
  }
  void Report(benchmark::State& state) {
    std::sort(lateMs_.begin(), lateMs_.end());
    const auto at = [&](double q) {
      return lateMs_.empty() ? 0.0
                             : lateMs_[static_cast<std::size_t>(q * double(lateMs_.size() - 1))];
    };
    state.counters["repaints_per_s"] = double(paints_) / seconds_;
    state.counters["timer_late_median_ms"] = std::max(0.0, at(0.5));
    state.counters["timer_late_max_ms"] = std::max(0.0, at(1.0));
    state.counters["rss_start_MB"] = startRss_;
    state.counters["rss_peak_MB"] = peakRss_;
    state.counters["rss_end_MB"] = endRss_;
  }

 private:
  TConsole& console_;
  QTimer tick_;
  QElapsedTimer clock_;
  qint64 last_ = -1;
  long ticks_ = 0;
  std::vector<double> lateMs_;
  long paints_ = 0;
  double seconds_ = 1;
  double startRss_ = 0, peakRss_ = 0, endRss_ = 0;
};

// Runs the event loop while the flooders write for the flood time, then until
// the window has taken every byte (the log stops growing).
template <typename Flooders>
double Flood(Flooders& flooders, Observer& observer, const QString& log) {
  const double cpuBefore = ProcessCpuSeconds();
  observer.Start();
  for (auto* flooder : flooders)
    flooder->Start();
  RunEventLoopFor(static_cast<int>(FloodSeconds() * 1000));
  for (auto* flooder : flooders)
    flooder->Stop();
  observer.Stop();
  // What is still in the pty and the window's buffers is taken in a moment.
  qint64 size = -1;
  for (int i = 0; i < 100 && QFileInfo(log).size() != size; ++i) {
    size = QFileInfo(log).size();
    RunEventLoopFor(1200);  // longer than the log's one-second flush
  }
  double writers = 0;
  for (auto* flooder : flooders)
    writers += flooder->CpuSeconds();
  return ProcessCpuSeconds() - cpuBefore - writers;
}

// The flood with the file log on from start to end; returns the log's content
// and the analyser's CPU time.
template <typename Flooders>
QByteArray FloodWithFileLog(Analyser& analyser, Flooders& flooders, Observer& observer,
                            double* cpuSeconds) {
  analyser.Form().LogCommands().FileLogSwitch();
  *cpuSeconds = Flood(flooders, observer, analyser.LogPath());
  analyser.Form().LogCommands().FileLogSwitch();
  QFile file(analyser.LogPath());
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The figures of a flood whose every byte arrived.
void ReportFlood(benchmark::State& state, std::size_t bytes, double cpuSeconds,
                 Observer& observer) {
  const double megabytes = double(bytes) / 1e6;
  state.counters["MB_per_s"] = megabytes / FloodSeconds();
  state.counters["MB"] = megabytes;
  state.counters["cpu_ms_per_MB"] = cpuSeconds * 1000 / megabytes;
  state.counters["lost_bytes"] = 0;
  observer.Report(state);
}

void BM_FloodHexAsciiBothChannelsRawLog(benchmark::State& state) {
  for (auto _ : state) {
    Analyser analyser;
    TKLVAppForm& form = analyser.Form();
    if (!analyser.Ok() || !form.Channels().ChannelAvailable(0) ||
        !form.Channels().ChannelAvailable(1)) {
      state.SkipWithError("the two pseudo-terminals could not be opened");
      return;
    }
    form.DisplayCommands().SetDisplayMode(TDisplayMode::HexAscii);
    form.Conf().Misc.LogDataFormat = 3;  // binary
    Flooder<TFloodStream> one(analyser.Master(0), TFloodStream(11, TByteSet::Low));
    Flooder<TFloodStream> two(analyser.Master(1), TFloodStream(22, TByteSet::High));
    std::vector<Flooder<TFloodStream>*> flooders = {&one, &two};
    Observer observer(form.KLV());
    double cpu = 0;
    const QByteArray log = FloodWithFileLog(analyser, flooders, observer, &cpu);

    // Each channel's bytes, picked out of the log by their half, must be its
    // stream from the first byte on, complete and in order.
    TFloodStream expectOne(11, TByteSet::Low), expectTwo(22, TByteSet::High);
    std::size_t got[2] = {0, 0};
    bool inOrder = true;
    for (char c : log) {
      const auto byte = static_cast<std::uint8_t>(c);
      const bool first = byte < 0x80;
      inOrder = inOrder && byte == (first ? expectOne : expectTwo).Next();
      ++got[first ? 0 : 1];
    }
    if (!inOrder || got[0] != one.Written() || got[1] != two.Written()) {
      state.SkipWithError("bytes were lost or changed on the way into the log");
      return;
    }
    ReportFlood(state, one.Written() + two.Written(), cpu, observer);
  }
}

// Whether a text log holds its opening lines, the first `written` bytes of
// `stream` exactly as sent, and its closing lines.
template <typename Stream>
bool LogHoldsExactly(const QByteArray& log, Stream stream, std::size_t written) {
  const qsizetype start = log.indexOf('\n', log.indexOf(" opened: ")) + 1;
  QByteArray sent;
  sent.reserve(static_cast<qsizetype>(written));
  for (std::size_t i = 0; i < written; ++i)
    sent.append(static_cast<char>(stream.Next()));
  return start > 0 && log.mid(start, sent.size()) == sent &&
         log.mid(start + sent.size()).startsWith("\r\nKLV V3.02  log file ");
}

void BM_FloodTtyOneChannelTextLog(benchmark::State& state) {
  for (auto _ : state) {
    Analyser analyser;
    TKLVAppForm& form = analyser.Form();
    if (!analyser.Ok() || !form.Channels().ChannelAvailable(0)) {
      state.SkipWithError("the pseudo-terminal could not be opened");
      return;
    }
    form.DisplayCommands().SetDisplayMode(TDisplayMode::Tty);
    Flooder<TextStream> one(analyser.Master(0), TextStream(33));
    std::vector<Flooder<TextStream>*> flooders = {&one};
    Observer observer(form.KLV());
    double cpu = 0;
    const QByteArray log = FloodWithFileLog(analyser, flooders, observer, &cpu);

    if (!LogHoldsExactly(log, TextStream(33), one.Written())) {
      state.SkipWithError("the text log does not hold exactly the text sent");
      return;
    }
    ReportFlood(state, one.Written(), cpu, observer);
  }
}

// Runs the event loop until the console has not changed for a while.
void RunUntilConsoleSettles(TConsole& console) {
  std::string last;
  for (int i = 0; i < 100; ++i) {
    RunEventLoopFor(500);
    const TConsoleBuffer& buffer = console.Buffer();
    std::string now = std::to_string(buffer.CursorX()) + ":" + std::to_string(buffer.CursorY());
    for (int y = 0; y < buffer.Rows(); ++y)
      now.append(buffer.RowText(y));
    if (now == last)
      return;
    last = std::move(now);
  }
}

// One channel in TTY fed numbered lines, with the text log (arg 1) or without.
void BM_FloodTtyNumberedLines(benchmark::State& state) {
  const bool withLog = state.range(0) != 0;
  for (auto _ : state) {
    Analyser analyser;
    TKLVAppForm& form = analyser.Form();
    if (!analyser.Ok() || !form.Channels().ChannelAvailable(0)) {
      state.SkipWithError("the pseudo-terminal could not be opened");
      return;
    }
    form.DisplayCommands().SetDisplayMode(TDisplayMode::Tty);
    Flooder<NumberedLines> one(analyser.Master(0), NumberedLines());
    std::vector<Flooder<NumberedLines>*> flooders = {&one};
    Observer observer(form.KLV());
    double cpu = 0;
    if (withLog) {
      const QByteArray log = FloodWithFileLog(analyser, flooders, observer, &cpu);
      if (!LogHoldsExactly(log, NumberedLines(), one.Written())) {
        state.SkipWithError("the text log does not hold exactly the text sent");
        return;
      }
    } else {
      const double cpuBefore = ProcessCpuSeconds();
      observer.Start();
      one.Start();
      RunEventLoopFor(static_cast<int>(FloodSeconds() * 1000));
      one.Stop();
      observer.Stop();
      RunUntilConsoleSettles(form.KLV());
      cpu = ProcessCpuSeconds() - cpuBefore - one.CpuSeconds();
      // The cursor's row is the line after the last whole one sent; the rows
      // above it are the last whole lines, in order.
      const TConsoleBuffer& console = form.KLV().Buffer();
      const std::uint64_t whole = one.Written() / NumberedLines::kLength;
      for (int row = 1; row <= 20; ++row) {
        const std::string line = NumberedLines::Line(whole - static_cast<std::uint64_t>(row));
        const int y = console.CursorY() - row;
        if (y < 0 || console.RowText(y).substr(0, NumberedLines::kLength - 2) !=
                         std::string_view(line).substr(0, NumberedLines::kLength - 2)) {
          state.SkipWithError("the console does not end with the last lines sent");
          return;
        }
      }
    }
    ReportFlood(state, one.Written(), cpu, observer);
  }
}

void BM_IdleWithBothPortsOpen(benchmark::State& state) {
  for (auto _ : state) {
    Analyser analyser;
    if (!analyser.Ok() || !analyser.Form().Channels().ChannelAvailable(1)) {
      state.SkipWithError("the two pseudo-terminals could not be opened");
      return;
    }
    RunEventLoopFor(1000);  // start-up settles
    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    RunEventLoopFor(5000);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    state.counters["cpu_percent_of_a_core"] = 100 * cpu / (double(clock.elapsed()) / 1000);
  }
}

BENCHMARK(BM_FloodHexAsciiBothChannelsRawLog)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_FloodTtyOneChannelTextLog)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_FloodTtyNumberedLines)
    ->ArgName("textlog")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_IdleWithBothPortsOpen)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace klv
