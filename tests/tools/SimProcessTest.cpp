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
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <map>
#include <string>
#include <tuple>

#include "app/ConfigTestSupport.h"
#include "sim/Devices.h"
#include "sim/FloodStream.h"
#include "sim/RuvoFrames.h"

namespace klv::sim {
namespace {

// Only guards against a hang; nothing is asserted about the time taken.
constexpr int kDeadlineMs = 30000;

class Sim : public QProcess {
 public:
  explicit Sim(const QStringList& args) { start(QStringLiteral(KLV_SIM_PATH), args); }
  ~Sim() override {
    kill();
    waitForFinished(kDeadlineMs);
  }

  // Waits for the line "ready"; false when the program ended first.
  bool WaitReady() {
    QDeadlineTimer deadline(kDeadlineMs);
    while (!out.contains("\nready\n") && !out.startsWith("ready\n")) {
      if (deadline.hasExpired() || (state() == NotRunning && bytesAvailable() == 0))
        return false;
      waitForReadyRead(100);
      out += readAllStandardOutput();
    }
    return true;
  }

  // Ends the program with `signal` and tells whether it ended cleanly.
  bool StopCleanly(int signal) {
    ::kill(static_cast<pid_t>(processId()), signal);
    return waitForFinished(kDeadlineMs) && exitStatus() == NormalExit && exitCode() == 0;
  }

  QByteArray out;
};

// The analyser's end of a simulated port.
class Port {
 public:
  explicit Port(const QString& path)
      : fd_(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY)) {}
  ~Port() { ::close(fd_); }

  // Whether the line is raw as the program left it: no echo, no line
  // editing, no translation either way.
  bool IsRaw() const {
    termios t{};
    return ::tcgetattr(fd_, &t) == 0 && (t.c_lflag & (ECHO | ICANON | ISIG)) == 0 &&
           (t.c_iflag & (ICRNL | IXON | ISTRIP)) == 0 && (t.c_oflag & OPOST) == 0;
  }

  // Reads until `done` holds for all received so far; false at the deadline.
  bool ReadUntil(const std::function<bool(const std::string&)>& done) {
    QDeadlineTimer deadline(kDeadlineMs);
    char buffer[4096];
    while (!done(received) && !deadline.hasExpired()) {
      pollfd p{fd_, POLLIN, 0};
      const ssize_t n = ::poll(&p, 1, 100) > 0 ? ::read(fd_, buffer, sizeof buffer) : 0;
      received.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
    return done(received);
  }
  bool ReadAtLeast(std::size_t count) {
    return ReadUntil([count](const std::string& r) { return r.size() >= count; });
  }
  bool ReadUntilContains(const std::string& text) {
    return ReadUntil([&text](const std::string& r) { return r.find(text) != std::string::npos; });
  }

  // The device reads all the time: a blocking write does not stay blocked.
  bool Write(std::string_view bytes) {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  std::string received;

 private:
  int fd_;
};

std::string ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "(cannot read)";
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

QStringList Entries(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

TEST(SimProgram, EveryDeviceServesItsPortAndTheTranscriptsHoldWhatWasSent) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString ports = dir.filePath("config/kelvora32/ports");  // created by the program
  const QString transcripts = dir.filePath("transcript");
  const QString config = dir.filePath("Demo.klv");
  Sim sim({"--ports-dir", ports, "--ruvo", "1,2", "--text", "3", "--echo", "4", "--flood",
           "5:7:low", "--frames", "20", "--transcript", transcripts, "--demo-config", config});
  ASSERT_TRUE(sim.WaitReady()) << sim.readAllStandardError().data();
  ASSERT_EQ(Entries(ports), QStringList({"COM1", "COM2", "COM3", "COM4", "COM5"}));
  std::map<int, std::unique_ptr<Port>> port;
  for (int com = 1; com <= 5; ++com) {
    // Each port is listed with its pseudo-terminal, and linked to it.
    const QString link = ports + "/COM" + QString::number(com);
    const QString listed =
        QStringLiteral("COM%1 %2 ").arg(com).arg(QFileInfo(link).symLinkTarget());
    EXPECT_TRUE(listed.contains("/dev/pts/") && sim.out.contains(listed.toUtf8()))
        << sim.out.data();
    port[com] = std::make_unique<Port>(link);
    EXPECT_TRUE(port[com]->IsRaw()) << "COM" << com << " is raw before anyone sets it up";
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
  ASSERT_TRUE(port[5]->ReadAtLeast(300000));
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

  ASSERT_TRUE(sim.StopCleanly(SIGTERM));
  EXPECT_TRUE(Entries(ports).isEmpty()) << "the links are gone";
  EXPECT_EQ(ReadFile(transcripts + "/COM1.bin"), polls) << "20 polls and no more";
  EXPECT_EQ(ReadFile(transcripts + "/COM2.bin"), answers);
  EXPECT_EQ(ReadFile(transcripts + "/COM3.bin").rfind(port[3]->received, 0), 0u);
  EXPECT_EQ(ReadFile(transcripts + "/COM4.bin"), pattern);
  // The flood went on into the pseudo-terminal after the reading stopped.
  const std::string flood = ReadFile(transcripts + "/COM5.bin");
  EXPECT_GE(flood.size(), port[5]->received.size());
  EXPECT_TRUE(flood == FloodBytes(7, TByteSet::Low, flood.size()));

  // The analyser's configuration for the link: channel 1 on the polls,
  // channel 2 on the answers, decoded with time stamps.
  test::ConfigFixtureParts parts;
  parts.config.SetConfigFileName(config);
  ASSERT_TRUE(parts.config.LoadConfig());
  EXPECT_TRUE(parts.messages.shown.empty());
  const TConf& conf = parts.config.Conf();
  for (const int channel : {0, 1}) {
    const TComEntry& entry = conf.Comparam.Channel[static_cast<std::size_t>(channel)];
    EXPECT_EQ(std::tuple(bool(entry.Enabled), int(entry.Port), BaudTable.at(entry.BaudIndex.get())),
              std::tuple(true, channel + 1, 115200));
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
    Sim sim({"--ports-dir", dir.path(), "--echo", "1", "--echo", "2"});
    ASSERT_TRUE(sim.WaitReady()) << signal;
    const QString replaced = dir.filePath("COM2");
    ASSERT_TRUE(QFile::remove(replaced) && QFile::link("/dev/null", replaced));
    ASSERT_TRUE(sim.StopCleanly(signal)) << signal;
    EXPECT_EQ(Entries(dir.path()), QStringList{"COM2"}) << signal;
    EXPECT_EQ(QFileInfo(replaced).symLinkTarget(), "/dev/null") << signal;
  }
}

// Each mistake ends the program with status 2 and one line naming what is
// wrong, before it sets anything up; nothing found in the ports directory
// is replaced.
TEST(SimProgram, ErrorsExitWithStatusTwoAndOneLineSayingWhy) {
  QTemporaryDir dir;
  const QString ports = dir.filePath("ports"), entry = ports + "/COM2";
  const QString config = dir.filePath("missing/Demo.klv");
  const struct {
    std::function<void()> setUp;
    QStringList args;
    QString says;
  } cases[] = {
      {[] {}, {"--ruvo", "1,1"}, "--ruvo 1,1"},
      {[] {}, {"--ruvo", "1,2", "--demo-config", config}, config},
      {[&] { EXPECT_TRUE(QFile::link(dir.filePath("gone"), entry)); },
       {"--echo", "1", "--ruvo", "2,3"},
       entry},
      {[&] {
         QFile file(entry);
         EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write("someone else's") > 0);
       },
       {"--echo", "1", "--ruvo", "2,3"},
       entry},
  };
  const auto entries = [&] {
    return std::tuple(Entries(ports), QFileInfo(entry).symLinkTarget(), ReadFile(entry));
  };
  for (const auto& c : cases) {
    QDir(ports).removeRecursively();
    QDir().mkpath(ports);
    c.setUp();
    const auto before = entries();
    Sim sim(QStringList{"--ports-dir", ports} + c.args);
    ASSERT_TRUE(sim.waitForFinished(kDeadlineMs)) << c.says.toStdString();
    EXPECT_EQ(sim.exitCode(), 2) << c.says.toStdString();
    const QString error = QString::fromUtf8(sim.readAllStandardError());
    EXPECT_TRUE(error.contains(c.says)) << error.toStdString();
    EXPECT_EQ(error.count('\n'), 1) << error.toStdString();
    EXPECT_FALSE(sim.readAllStandardOutput().contains("ready"));
    EXPECT_EQ(entries(), before) << "nothing was created or replaced";
  }
}

}  // namespace
}  // namespace klv::sim
