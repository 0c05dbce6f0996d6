// The simulator as a program: its ports appear as links in a temporary
// ports directory, the devices serve real pseudo-terminals, the transcripts
// hold what was sent, and it ends, refuses and reports as it should.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <map>
#include <string>

#include "app/ConfigTestSupport.h"
#include "sim/Devices.h"
#include "sim/FloodStream.h"
#include "sim/RuvoFrames.h"

namespace klv::sim {
namespace {

// Only guards against a hang; nothing is asserted about the time taken.
constexpr int kDeadlineMs = 30000;

class Sim {
 public:
  explicit Sim(const QStringList& args) {
    process.setProgram(QStringLiteral(KLV_SIM_PATH));
    process.setArguments(args);
    process.start();
  }
  ~Sim() {
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished(kDeadlineMs);
    }
  }

  // Waits for the line "ready"; false when the program ended first.
  bool WaitReady() {
    QDeadlineTimer deadline(kDeadlineMs);
    while (!out.contains("\nready\n") && !out.startsWith("ready\n")) {
      if (deadline.hasExpired() ||
          (process.state() == QProcess::NotRunning && process.bytesAvailable() == 0))
        return false;
      process.waitForReadyRead(100);
      out += process.readAllStandardOutput();
    }
    return true;
  }

  // COM number -> the pseudo-terminal its line names.
  std::map<int, QString> Ports() const {
    std::map<int, QString> ports;
    static const QRegularExpression line(QStringLiteral("^COM(\\d+) (/dev/pts/\\d+) \\S.*$"),
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(QString::fromUtf8(out)); it.hasNext();) {
      const auto match = it.next();
      ports[match.captured(1).toInt()] = match.captured(2);
    }
    return ports;
  }

  // Ends the program with `signal`; false when it did not end.
  bool Stop(int signal) {
    ::kill(static_cast<pid_t>(process.processId()), signal);
    return process.waitForFinished(kDeadlineMs);
  }

  // Runs a program that is expected to end by itself.
  bool Finish() { return process.waitForFinished(kDeadlineMs); }

  QProcess process;
  QByteArray out;
};

// The analyser's end of a simulated port.
class Port {
 public:
  explicit Port(const QString& path)
      : fd_(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
  ~Port() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  bool IsOpen() const { return fd_ >= 0; }

  // Whether the line is raw as it stands: no echo, no line editing, no
  // translation either way.
  bool IsRaw() const {
    termios t{};
    return ::tcgetattr(fd_, &t) == 0 && (t.c_lflag & (ECHO | ICANON | ISIG)) == 0 &&
           (t.c_iflag & (ICRNL | IXON | ISTRIP)) == 0 && (t.c_oflag & OPOST) == 0;
  }
  void MakeRaw() {
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd_, TCSANOW, &t);
  }

  // Reads until `done` holds for all received so far; false at the deadline.
  bool ReadUntil(const std::function<bool(const std::string&)>& done) {
    QDeadlineTimer deadline(kDeadlineMs);
    char buffer[4096];
    while (!done(received)) {
      if (deadline.hasExpired())
        return false;
      pollfd p{fd_, POLLIN, 0};
      ::poll(&p, 1, 100);
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n > 0)
        received.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  }
  bool ReadAtLeast(std::size_t count) {
    return ReadUntil([count](const std::string& r) { return r.size() >= count; });
  }
  bool ReadUntilContains(const std::string& text) {
    return ReadUntil([&text](const std::string& r) { return r.find(text) != std::string::npos; });
  }

  bool Write(std::string_view bytes) {
    QDeadlineTimer deadline(kDeadlineMs);
    while (!bytes.empty()) {
      if (deadline.hasExpired())
        return false;
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(n));
      } else {
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, 100);
      }
    }
    return true;
  }

  std::string received;

 private:
  int fd_;
};

std::string ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return "(cannot read " + path.toStdString() + ")";
  return file.readAll().toStdString();
}

std::string FloodBytes(std::uint64_t seed, TByteSet set, std::size_t count) {
  TFloodStream stream(seed, set);
  std::string bytes(count, '\0');
  stream.Fill(reinterpret_cast<std::uint8_t*>(bytes.data()), count);
  return bytes;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++count;
  return count;
}

TEST(SimProgram, EveryDeviceServesItsPortAndTheTranscriptsHoldWhatWasSent) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString ports = dir.filePath("config/kelvora32/ports");  // created by the program
  const QString transcripts = dir.filePath("transcript");
  const QString config = dir.filePath("Demo.klv");
  Sim sim({"--ports-dir", ports, "--ruvo", "1,2", "--text", "3", "--echo", "4", "--flood",
           "5:7:low", "--frames", "20", "--transcript", transcripts, "--demo-config", config});
  ASSERT_TRUE(sim.WaitReady()) << sim.out.toStdString()
                               << sim.process.readAllStandardError().toStdString();
  const std::map<int, QString> devices = sim.Ports();
  ASSERT_EQ(devices.size(), 5u) << sim.out.toStdString();
  std::map<int, std::unique_ptr<Port>> port;
  for (const auto& [com, device] : devices) {
    const QString link = ports + "/COM" + QString::number(com);
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), device) << link.toStdString();
    port[com] = std::make_unique<Port>(link);
    ASSERT_TRUE(port[com]->IsOpen()) << com;
    EXPECT_TRUE(port[com]->IsRaw()) << "COM" << com << " is raw before anyone sets it up";
    port[com]->MakeRaw();
  }

  // The text device answers a line (CR LF is one line end).
  ASSERT_TRUE(port[3]->Write("hello sim\r\n"));
  ASSERT_TRUE(port[3]->ReadUntilContains("Received: hello sim\r\n")) << port[3]->received;
  EXPECT_EQ(port[3]->received.rfind(TTextDevice::Line(1), 0), 0u) << port[3]->received;

  // The echo sends every byte value back unchanged.
  std::string pattern;
  for (int i = 0; i < 3000; ++i)
    pattern += static_cast<char>((i * 7) & 0xFF);
  ASSERT_TRUE(port[4]->Write(pattern));
  ASSERT_TRUE(port[4]->ReadAtLeast(pattern.size()));
  EXPECT_EQ(port[4]->received, pattern);

  // The flood is the seeded stream of low bytes, nothing lost.
  constexpr std::size_t kFlood = 300000;
  ASSERT_TRUE(port[5]->ReadAtLeast(kFlood));
  EXPECT_TRUE(port[5]->received == FloodBytes(7, TByteSet::Low, port[5]->received.size()));

  // The Ruvo-94 link: the polls and answers of the default seed and rate.
  TRuvoGenerator generator(1, 0.05);
  std::string polls, answers;
  for (int i = 0; i < 20; ++i) {
    const TRuvoExchange e = generator.Next();
    polls += e.Poll.Bytes;
    answers += e.Answer.Bytes;
  }
  ASSERT_TRUE(port[1]->ReadAtLeast(polls.size()));
  ASSERT_TRUE(port[2]->ReadAtLeast(answers.size()));
  EXPECT_EQ(port[1]->received, polls);
  EXPECT_EQ(port[2]->received, answers);

  // Give the link more than a second to go on by mistake (a next poll would
  // follow within milliseconds): the answer to a mark shows that every line
  // sent before it is read, then two more lines of the text device.
  ASSERT_TRUE(port[3]->Write("mark\r"));
  ASSERT_TRUE(port[3]->ReadUntilContains("Received: mark\r\n"));
  const std::size_t lines = Count(port[3]->received, "simulated text device, line ");
  ASSERT_TRUE(port[3]->ReadUntilContains(TTextDevice::Line(lines + 2)));
  EXPECT_EQ(Count(port[3]->received, "Received: "), 2u) << port[3]->received;

  ASSERT_TRUE(sim.Stop(SIGTERM));
  EXPECT_EQ(sim.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(sim.process.exitCode(), 0);
  EXPECT_TRUE(
      QDir(ports).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).isEmpty())
      << "the links are gone";

  EXPECT_EQ(ReadFile(transcripts + "/COM1.bin"), polls) << "20 polls and no more";
  EXPECT_EQ(ReadFile(transcripts + "/COM2.bin"), answers);
  EXPECT_EQ(ReadFile(transcripts + "/COM3.bin").rfind(port[3]->received, 0), 0u);
  EXPECT_EQ(ReadFile(transcripts + "/COM4.bin"), pattern);
  // The flood went on into the pseudo-terminal after the reading stopped.
  const std::string flood = ReadFile(transcripts + "/COM5.bin");
  EXPECT_GE(flood.size(), kFlood);
  EXPECT_TRUE(flood == FloodBytes(7, TByteSet::Low, flood.size()));

  // The analyser's configuration for the link: channel 1 on the polls,
  // channel 2 on the answers, decoded with time stamps.
  test::ConfigFixtureParts parts;
  parts.config.SetConfigFileName(config);
  ASSERT_TRUE(parts.config.LoadConfig());
  EXPECT_TRUE(parts.messages.shown.empty());
  const TConf& conf = parts.config.Conf();
  for (std::size_t channel : {0u, 1u}) {
    const TComEntry& entry = conf.Comparam.Channel[channel];
    EXPECT_TRUE(entry.Enabled) << channel;
    EXPECT_EQ(entry.Port, channel + 1);
    ASSERT_LT(entry.BaudIndex.get(), BaudTable.size());
    EXPECT_EQ(BaudTable[entry.BaudIndex.get()], 115200) << channel;
  }
  EXPECT_EQ(conf.DisplayMode, static_cast<std::uint8_t>(TDisplayMode::Protocol));
  EXPECT_EQ(conf.Protocol.Selected, static_cast<std::uint8_t>(TProtocolId::Ruvo94));
  EXPECT_TRUE(conf.MiscBool.TimeStamp);
}

// Only links that still lead to the program's own pseudo-terminals are
// removed: an entry someone else has put there since stays.
TEST(SimProgram, InterruptAndHangUpEndItAndRemoveOnlyItsOwnLinks) {
  for (const int signal : {SIGINT, SIGHUP}) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Sim sim({"--ports-dir", dir.path(), "--echo", "1", "--echo", "2"});
    ASSERT_TRUE(sim.WaitReady()) << signal;
    const QString mine = dir.filePath("COM1"), replaced = dir.filePath("COM2");
    ASSERT_TRUE(QFile::remove(replaced));
    ASSERT_TRUE(QFile::link("/dev/null", replaced));

    ASSERT_TRUE(sim.Stop(signal)) << signal;
    EXPECT_EQ(sim.process.exitStatus(), QProcess::NormalExit) << signal;
    EXPECT_EQ(sim.process.exitCode(), 0) << signal;
    EXPECT_FALSE(QFileInfo(mine).isSymLink()) << signal;
    EXPECT_EQ(QFileInfo(replaced).symLinkTarget(), "/dev/null") << signal;
  }
}

TEST(SimProgram, AnExistingComEntryIsNeverReplaced) {
  for (const bool asLink : {false, true}) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString entry = dir.filePath("COM2");
    if (asLink) {
      ASSERT_TRUE(QFile::link(dir.filePath("gone"), entry));  // a dangling link counts too
    } else {
      QFile file(entry);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write("someone else's");
    }
    Sim sim({"--ports-dir", dir.path(), "--echo", "1", "--ruvo", "2,3"});
    ASSERT_TRUE(sim.Finish());
    EXPECT_EQ(sim.process.exitCode(), 2);
    const QString error = QString::fromUtf8(sim.process.readAllStandardError());
    EXPECT_TRUE(error.contains(entry)) << error.toStdString();
    EXPECT_FALSE(sim.process.readAllStandardOutput().contains("ready"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              QStringList{"COM2"})
        << "nothing else was created";
    if (asLink) {
      EXPECT_EQ(QFileInfo(entry).symLinkTarget(), dir.filePath("gone"));
    } else {
      EXPECT_EQ(ReadFile(entry), "someone else's");
    }
  }
}

TEST(SimProgram, ErrorsExitWithStatusTwoAndOneLineSayingWhy) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  {
    const QString config = dir.filePath("missing/Demo.klv");
    Sim sim({"--ports-dir", dir.filePath("ports"), "--ruvo", "1,2", "--demo-config", config});
    ASSERT_TRUE(sim.Finish());
    EXPECT_EQ(sim.process.exitCode(), 2);
    const QString error = QString::fromUtf8(sim.process.readAllStandardError());
    EXPECT_TRUE(error.contains(config)) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("ports/COM1"))) << "no port was set up";
  }
  {
    Sim sim({"--ports-dir", dir.filePath("ports"), "--ruvo", "1,1"});
    ASSERT_TRUE(sim.Finish());
    EXPECT_EQ(sim.process.exitCode(), 2);
    const QByteArray error = sim.process.readAllStandardError();
    EXPECT_TRUE(error.contains("--ruvo 1,1")) << error.toStdString();
    EXPECT_EQ(error.count('\n'), 1) << error.toStdString();
    EXPECT_TRUE(sim.process.readAllStandardOutput().isEmpty());
  }
  {
    Sim sim({"--help"});
    ASSERT_TRUE(sim.Finish());
    EXPECT_EQ(sim.process.exitCode(), 0);
    EXPECT_TRUE(sim.process.readAllStandardOutput().contains("Example:"));
  }
}

}  // namespace
}  // namespace klv::sim
