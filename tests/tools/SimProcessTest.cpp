// The simulator as a program: its ports appear as links in a temporary ports directory, the devices
// serve pseudo-terminals, the transcripts hold what was sent; it ends, refuses and reports well.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
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

  // Reads until at least `count` bytes, `text` among them, have come; false at the deadline.
  // The line is left as the program set it up: raw, or the bytes would not come back unchanged.
  bool Read(std::size_t count, const std::string& text = "") {
    QDeadlineTimer deadline(kDeadlineMs);
    char buffer[4096];
    while (received.size() < count || received.find(text) == std::string::npos) {
      if (deadline.hasExpired())
        return false;
      pollfd p{fd_, POLLIN, 0};
      const ssize_t n = ::poll(&p, 1, 100) > 0 ? ::read(fd_, buffer, sizeof buffer) : 0;
      received.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
    return true;
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

QStringList Entries(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

TEST(SimProgram, EveryDeviceServesItsPortAndTheTranscriptsHoldWhatWasSent) {
  QTemporaryDir dir;
  const QString ports = dir.filePath("config/kelvora32/ports");  // created by the program
  const QString transcripts = dir.filePath("transcript"), config = dir.filePath("Demo.klv");
  Sim sim({"--ports-dir", ports, "--ruvo", "1,2", "--text", "3", "--echo", "4", "--flood",
           "5:7:low", "--frames", "20", "--transcript", transcripts, "--demo-config", config});
  ASSERT_TRUE(sim.WaitReady()) << sim.readAllStandardError().data();
  ASSERT_EQ(Entries(ports), QStringList({"COM1", "COM2", "COM3", "COM4", "COM5"}));
  std::unique_ptr<Port> port[6];
  for (int com = 1; com <= 5; ++com) {
    // Each port is listed with its pseudo-terminal, and linked to it.
    const QString link = ports + "/COM" + QString::number(com);
    const QString listed = QString("COM%1 %2 ").arg(com).arg(QFileInfo(link).symLinkTarget());
    EXPECT_TRUE(listed.contains("/dev/pts/") && sim.out.contains(listed.toUtf8()))
        << sim.out.data();
    port[com] = std::make_unique<Port>(link);
  }

  // The text device answers a line (CR LF is one line end).
  ASSERT_TRUE(port[3]->Write("hello sim\r\n") && port[3]->Read(0, "Received: hello sim\r\n"));
  EXPECT_EQ(port[3]->received.rfind(TTextDevice::Line(1), 0), 0u) << port[3]->received;
  // The echo sends every byte value back unchanged.
  const std::string pattern = FloodBytes(3, TByteSet::All, 3000);
  ASSERT_TRUE(port[4]->Write(pattern) && port[4]->Read(pattern.size()));
  EXPECT_EQ(port[4]->received, pattern);
  ASSERT_TRUE(port[5]->Read(300000));
  // The Ruvo-94 link: the polls and answers of the default seed and rate (checked in the
  // transcripts, once the link has had time to go on by mistake).
  TRuvoGenerator generator(1, 0.05);
  std::string polls, answers;
  for (int i = 0; i < 20; ++i) {
    const TRuvoExchange e = generator.Next();
    polls += e.Poll.Bytes;
    answers += e.Answer.Bytes;
  }
  ASSERT_TRUE(port[1]->Read(polls.size()) && port[2]->Read(answers.size()));

  // Give the link more than a second to go on by mistake (a next poll would follow within
  // milliseconds): the answer to a mark shows that every line sent before it is read, then two
  // more lines of the text device.
  ASSERT_TRUE(port[3]->Write("mark\r") && port[3]->Read(0, "Received: mark\r\n"));
  const auto count = [&](const char* what) {
    return static_cast<std::uint64_t>(QByteArray::fromStdString(port[3]->received).count(what));
  };
  ASSERT_TRUE(port[3]->Read(0, TTextDevice::Line(count("device, line ") + 2)));
  EXPECT_EQ(count("Received: "), 2u) << port[3]->received;

  ASSERT_TRUE(sim.StopCleanly(SIGTERM));
  EXPECT_TRUE(Entries(ports).isEmpty()) << "the links are gone";
  EXPECT_EQ(ReadFile(transcripts + "/COM1.bin"), polls) << "20 polls and no more";
  EXPECT_EQ(ReadFile(transcripts + "/COM2.bin"), answers);
  EXPECT_EQ(ReadFile(transcripts + "/COM3.bin").rfind(port[3]->received, 0), 0u);
  EXPECT_EQ(ReadFile(transcripts + "/COM4.bin"), pattern);
  // The flood is the seeded stream of low bytes, nothing lost; it went on into the
  // pseudo-terminal after the reading stopped.
  const std::string flood = ReadFile(transcripts + "/COM5.bin");
  EXPECT_EQ(flood.rfind(port[5]->received, 0), 0u);
  EXPECT_TRUE(flood == FloodBytes(7, TByteSet::Low, flood.size()));

  // The analyser's configuration: channel 1 on the polls, 2 on the answers, decoded, time-stamped.
  test::ConfigFixtureParts parts;
  parts.config.SetConfigFileName(config);
  ASSERT_TRUE(parts.config.LoadConfig());
  EXPECT_TRUE(parts.messages.shown.empty());
  const TConf& conf = parts.config.Conf();
  const auto channel = [&](std::size_t i) {
    const TComEntry& e = conf.Comparam.Channel[i];
    return std::tuple(bool(e.Enabled), int(e.Port), BaudTable.at(e.BaudIndex.get()));
  };
  EXPECT_EQ(std::tuple(channel(0), channel(1), TDisplayMode(conf.DisplayMode),
                       TProtocolId(conf.Protocol.Selected), bool(conf.MiscBool.TimeStamp)),
            std::tuple(std::tuple(true, 1, 115200), std::tuple(true, 2, 115200),
                       TDisplayMode::Protocol, TProtocolId::Ruvo94, true));
}

// Only links that still lead to the program's own pseudo-terminals are removed. A link that a
// killed simulator left (to a /dev/pts/N that is gone) is replaced at start.
TEST(SimProgram, InterruptAndHangUpEndItAndRemoveOnlyItsOwnLinks) {
  for (const int signal : {SIGINT, SIGHUP}) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link("/dev/pts/2000000", dir.filePath("COM1")));  // above any pty number
    Sim sim({"--ports-dir", dir.path(), "--echo", "1", "--echo", "2"});
    ASSERT_TRUE(sim.WaitReady()) << signal;
    const QString replaced = dir.filePath("COM2");
    ASSERT_TRUE(QFile::remove(replaced) && QFile::link("/dev/null", replaced));
    ASSERT_TRUE(sim.StopCleanly(signal)) << signal;
    EXPECT_EQ(Entries(dir.path()), QStringList{"COM2"}) << signal;
    EXPECT_EQ(QFileInfo(replaced).symLinkTarget(), "/dev/null") << signal;
  }
}

// Each mistake ends the program with status 2 and one line naming what is wrong, before it sets
// anything up; nothing found in the ports directory is replaced: a link to a missing path outside
// /dev/pts, to a live pseudo-terminal or to a file.
TEST(SimProgram, ErrorsExitWithStatusTwoAndOneLineSayingWhy) {
  QTemporaryDir dir;
  const QString ports = dir.filePath("ports"), entry = ports + "/COM2";
  const QString config = dir.filePath("missing/Demo.klv");
  const int pty = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);  // live, and not the program's
  ASSERT_TRUE(pty >= 0 && ::grantpt(pty) == 0 && ::unlockpt(pty) == 0);
  const std::tuple<QString, QStringList, QString> cases[] = {
      {{}, {"--ruvo", "1,1"}, "--ruvo 1,1"},
      {{}, {"--ruvo", "1,2", "--demo-config", config}, config},
      {dir.filePath("gone"), {"--echo", "1", "--ruvo", "2,3"}, entry},
      {QString::fromLocal8Bit(::ptsname(pty)), {"--echo", "2"}, entry},
      {QStringLiteral(KLV_SIM_PATH), {"--echo", "2"}, entry}};
  const auto entries = [&] { return std::pair(Entries(ports), QFileInfo(entry).symLinkTarget()); };
  for (const auto& [linkTarget, args, says] : cases) {
    QDir(ports).removeRecursively();
    QDir().mkpath(ports);
    EXPECT_TRUE(linkTarget.isEmpty() || QFile::link(linkTarget, entry));
    const auto before = entries();
    Sim sim(QStringList{"--ports-dir", ports} + args);
    EXPECT_TRUE(sim.waitForFinished(kDeadlineMs) && sim.exitCode() == 2) << says.toStdString();
    const QString error = QString::fromUtf8(sim.readAllStandardError());
    EXPECT_TRUE(error.contains(says) && error.count('\n') == 1) << error.toStdString();
    EXPECT_FALSE(sim.readAllStandardOutput().contains("ready"));
    EXPECT_EQ(entries(), before) << "nothing was created or replaced";
  }
  ::close(pty);
}

}  // namespace
}  // namespace klv::sim
