// The port object on a real pseudo-terminal: output accounting and discard,
// exclusive opening, permission problems, a device that goes away, line
// settings and switching the port number of an open port.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <thread>

#include "PtyFixture.h"
#include "serial/Termios2.h"
#include "support/EventLoop.h"

namespace klv::test {
namespace {

class SerialPtyPort : public ::testing::Test {
 protected:
  void SetUp() override {
    ports_.Link(1, pty_.Slave());
    port_.SetDeviceProvider(&ports_.Provider());
    port_.SetComNumber(1);
  }

  static std::string_view View(const std::vector<std::uint8_t>& v, std::size_t from = 0,
                               std::size_t n = std::string_view::npos) {
    n = std::min(n, v.size() - from);
    return {reinterpret_cast<const char*>(v.data() + from), n};
  }

  Pty pty_;
  TestPorts ports_;
  TComPort port_;
};

TEST_F(SerialPtyPort, OutputPendingAndRoomAddUpAndDrain) {
  port_.SetOpen(true);
  EXPECT_EQ(port_.OutputPending(), 0);
  EXPECT_EQ(port_.OutputRoom(), TComPort::OutSize);

  const std::vector<std::uint8_t> data = RandomBytes(3000, 11);
  FdReader master(pty_.Master(), data.size());
  port_.WriteBytes(View(data));
  ASSERT_TRUE(RunUntil([&] { return master.Done(); }));
  master.Stop();
  EXPECT_TRUE(master.Data() == data);
  ASSERT_TRUE(RunUntil([&] { return port_.OutputPending() == 0; }));
  EXPECT_EQ(port_.OutputRoom(), TComPort::OutSize);

  // More than the ring holds is refused as a whole.
  const std::vector<std::uint8_t> tooMuch(TComPort::OutSize + 1, 0x55);
  try {
    port_.WriteBytes(View(tooMuch));
    ADD_FAILURE() << "no exception";
  } catch (const EComPortError& e) {
    EXPECT_EQ(e.kind(), EComPortError::Kind::BufferFull);
  }
  EXPECT_EQ(port_.OutputPending(), 0);
  EXPECT_EQ(port_.OutputRoom(), TComPort::OutSize);
}

TEST_F(SerialPtyPort, DiscardDropsEverythingNotSent) {
  port_.SetOpen(true);
  // The master does not read: the kernel queue fills, then the ring.
  const std::vector<std::uint8_t> data = RandomBytes(1 << 20, 12);
  std::size_t written = 0;
  auto fullSince = std::chrono::steady_clock::now();
  const auto deadline = fullSince + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    const auto room = static_cast<std::size_t>(port_.OutputRoom());
    if (room > 0) {
      ASSERT_LE(written + room, data.size());
      port_.WriteBytes(View(data, written, room));
      written += room;
      fullSince = std::chrono::steady_clock::now();
    } else if (std::chrono::steady_clock::now() - fullSince > std::chrono::milliseconds(200)) {
      break;  // full and staying full: the line takes nothing more
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_EQ(port_.OutputRoom(), 0);
  ASSERT_EQ(port_.OutputPending(), TComPort::OutSize);

  // A full ring refuses even one byte and keeps what it has.
  EXPECT_THROW(port_.WriteBytes("x"), EComPortError);
  EXPECT_EQ(port_.OutputPending(), TComPort::OutSize);

  port_.DiscardOutput();
  EXPECT_EQ(port_.OutputPending(), 0);
  EXPECT_EQ(port_.OutputRoom(), TComPort::OutSize);

  // What reaches the master now is a prefix of the data (what the kernel
  // already held), then the marker written after the discard. Nothing of the
  // discarded ring, and no stale chunk of the worker, may show up.
  const std::string marker = "<after discard>";
  port_.WriteBytes(marker);
  std::vector<std::uint8_t> got;
  ASSERT_TRUE(RunUntil([&] {
    const std::vector<std::uint8_t> more = ReadAvailable(pty_.Master());
    got.insert(got.end(), more.begin(), more.end());
    return got.size() >= marker.size() &&
           std::equal(marker.begin(), marker.end(), got.end() - static_cast<long>(marker.size()));
  }));
  const std::size_t prefix = got.size() - marker.size();
  EXPECT_LE(prefix + TComPort::OutSize, written);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + static_cast<long>(prefix), data.begin()));
  EXPECT_TRUE(RunUntil([&] { return port_.OutputPending() == 0; }));
}

TEST_F(SerialPtyPort, PortIsHeldExclusively) {
  DefaultProviderGuard guard(&ports_.Provider());
  EXPECT_EQ(ProbePort(1).Outcome, PortProbe::Available);
  port_.SetOpen(true);

  TComPort second;
  second.SetDeviceProvider(&ports_.Provider());
  second.SetComNumber(1);
  try {
    second.SetOpen(true);
    ADD_FAILURE() << "second open succeeded";
  } catch (const EComPortError& e) {
    EXPECT_EQ(e.kind(), EComPortError::Kind::OpenFailed);
    EXPECT_TRUE(e.message().contains("COM1")) << e.message().toStdString();
    EXPECT_TRUE(e.message().contains(pty_.Slave())) << e.message().toStdString();
  }
  EXPECT_FALSE(second.Open());

  const PortProbeResult probe = ProbePort(1);
  EXPECT_EQ(probe.Outcome, PortProbe::Busy);
  EXPECT_EQ(probe.DevicePath, pty_.Slave());
  SetCountPortsInUse(true);
  EXPECT_TRUE(PortAvailable(1));
  SetCountPortsInUse(false);
  EXPECT_FALSE(PortAvailable(1));

  port_.SetOpen(false);
  EXPECT_EQ(ProbePort(1).Outcome, PortProbe::Available);
  EXPECT_TRUE(PortAvailable(1));
  EXPECT_FALSE(PortAvailable(2));  // no entry COM2
  SetCountPortsInUse(true);
  EXPECT_FALSE(PortAvailable(2));
}

TEST_F(SerialPtyPort, OpenFailureNamesPortDeviceAndReason) {
  port_.SetComNumber(2);  // no such entry
  try {
    port_.SetOpen(true);
    ADD_FAILURE() << "opened a missing port";
  } catch (const EComPortError& e) {
    EXPECT_EQ(e.kind(), EComPortError::Kind::OpenFailed);
    EXPECT_TRUE(e.message().contains("COM2")) << e.message().toStdString();
  }
  EXPECT_FALSE(port_.Open());

  // A dangling link is no device either.
  ports_.Link(3, ports_.Path() + "/nothing-here");
  EXPECT_EQ(ports_.Provider().Probe(3).Outcome, PortProbe::Missing);

  // A link to something that is not a tty opens nothing.
  QFile plain(ports_.Path() + "/plain");
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  ports_.Link(4, plain.fileName());
  port_.SetComNumber(4);
  try {
    port_.SetOpen(true);
    ADD_FAILURE() << "opened a plain file";
  } catch (const EComPortError& e) {
    EXPECT_TRUE(e.message().contains("COM4")) << e.message().toStdString();
    EXPECT_TRUE(e.message().contains("plain")) << e.message().toStdString();
    EXPECT_TRUE(e.message().contains("not a serial device")) << e.message().toStdString();
  }
  EXPECT_EQ(ports_.Provider().Probe(4).Outcome, PortProbe::Failed);
}

TEST_F(SerialPtyPort, PermissionDeniedNamesTheGroupAndTheFix) {
  const QByteArray slave = QFile::encodeName(pty_.Slave());
  struct stat st {};
  ASSERT_EQ(::stat(slave.constData(), &st), 0);
  const group* g = getgrgid(st.st_gid);
  const QString groupName =
      g != nullptr ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);

  if (geteuid() != 0) {
    ASSERT_EQ(::chmod(slave.constData(), 0), 0);
    const PortProbeResult r = ports_.Provider().Probe(1);
    EXPECT_EQ(r.Outcome, PortProbe::PermissionDenied);
    EXPECT_TRUE(r.Reason.contains(groupName)) << r.Reason.toStdString();
    EXPECT_TRUE(r.Reason.contains("usermod -aG")) << r.Reason.toStdString();
    return;
  }

  // As root every open succeeds: probe from a child that became nobody. The
  // child reports the outcome in its exit code and the reason over a pipe.
  ASSERT_EQ(::chmod(slave.constData(), 0600), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(ports_.Path()).constData(), 0755), 0);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t child = fork();
  if (child < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    GTEST_SKIP() << "fork failed";
  }
  if (child == 0) {
    ::close(fds[0]);
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
      _exit(100);
    const PortProbeResult r = ports_.Provider().Probe(1);
    const QByteArray reason = r.Reason.toUtf8();
    [[maybe_unused]] const ssize_t n =
        ::write(fds[1], reason.constData(), static_cast<std::size_t>(reason.size()));
    _exit(10 + static_cast<int>(r.Outcome));
  }
  ::close(fds[1]);
  QByteArray reason;
  char buf[512];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
    reason.append(buf, n);
  ::close(fds[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 100)
    GTEST_SKIP() << "cannot switch to user nobody";
  EXPECT_EQ(WEXITSTATUS(status), 10 + static_cast<int>(PortProbe::PermissionDenied));
  const QString text = QString::fromUtf8(reason);
  EXPECT_TRUE(text.contains(groupName)) << text.toStdString();
  EXPECT_TRUE(text.contains("sudo usermod -aG " + groupName + " $USER")) << text.toStdString();
}

TEST_F(SerialPtyPort, VanishedDeviceClosesThePortOnceAndGoesQuiet) {
  const int threadsBefore = ThreadCount();
  int errors = 0;
  QString message;
  bool openAtError = true;
  QObject::connect(&port_, &TComPort::OnPortError, &port_, [&](TComPort* p, const QString& text) {
    ++errors;
    message = text;
    openAtError = p->Open();
  });
  port_.SetOpen(true);
  EXPECT_GT(ThreadCount(), threadsBefore);

  pty_.CloseMaster();
  ASSERT_TRUE(RunUntil([&] { return errors > 0; }));
  EXPECT_FALSE(openAtError);
  EXPECT_FALSE(port_.Open());
  EXPECT_TRUE(message.contains("COM1")) << message.toStdString();
  EXPECT_TRUE(message.contains(pty_.Slave())) << message.toStdString();
  EXPECT_TRUE(RunUntil([&] { return ThreadCount() == threadsBefore; }));

  // Nothing may keep running: the whole process stays nearly idle.
  const double cpuBefore = ProcessCpuMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const double cpuUsed = ProcessCpuMs() - cpuBefore;
  EXPECT_LT(cpuUsed, 50.0);
  QCoreApplication::processEvents();
  EXPECT_EQ(errors, 1);

  // Operations on the closed port are harmless.
  EXPECT_EQ(port_.ReadByte(), 0);
  port_.WriteBytes("ignored");
  EXPECT_EQ(port_.OutputPending(), 0);
}

TEST_F(SerialPtyPort, LineSettingsReachTheDevice) {
  // A pseudo-terminal keeps the rate but always reports 8 data bits without
  // parity; framing is checked on the simulated pair. Here it must not stop
  // the port from opening.
  port_.SetBaud(1001);  // not in the old rate table
  port_.SetParity(TParity::pEven);
  port_.SetDataBits(7);
  port_.SetStopBits(2);
  port_.SetOpen(true);
  LineSettings device;
  ASSERT_EQ(termios2::ReadLineSettings(pty_.Master(), device), 0);
  EXPECT_EQ(device.Baud, 1001);

  // Changes on an open port apply at once.
  port_.SetBaud(250000);
  port_.SetParity(TParity::pMark);
  ASSERT_EQ(termios2::ReadLineSettings(pty_.Master(), device), 0);
  EXPECT_EQ(device.Baud, 250000);

  // Impossible values are refused, open or not, and change nothing.
  for (const std::int32_t bad : {0, -9600, 4000001}) {
    try {
      port_.SetBaud(bad);
      ADD_FAILURE() << bad << " baud accepted";
    } catch (const EComPortError& e) {
      EXPECT_EQ(e.kind(), EComPortError::Kind::UnsupportedSetting);
    }
  }
  EXPECT_THROW(port_.SetDataBits(9), EComPortError);
  EXPECT_THROW(port_.SetDataBits(4), EComPortError);
  EXPECT_THROW(port_.SetStopBits(3), EComPortError);
  EXPECT_EQ(port_.Baud(), 250000);
  EXPECT_EQ(port_.DataBits(), 7);
  EXPECT_EQ(port_.StopBits(), 2);
  EXPECT_EQ(port_.Parity(), TParity::pMark);
  ASSERT_EQ(termios2::ReadLineSettings(pty_.Master(), device), 0);
  EXPECT_EQ(device.Baud, 250000);

  port_.SetOpen(false);
  EXPECT_THROW(port_.SetBaud(0), EComPortError);
  EXPECT_EQ(port_.Baud(), 250000);
}

TEST_F(SerialPtyPort, ChangingTheNumberOfAnOpenPort) {
  Pty other;
  ports_.Link(3, other.Slave());
  int avail = 0;
  QObject::connect(&port_, &TComPort::OnTriggerAvail, &port_, [&](TComPort* p, int count) {
    for (int i = 0; i < count; ++i)
      p->ReadByte();
    avail += count;
  });
  port_.SetOpen(true);

  // The new port cannot be opened: the old one stays open and keeps working.
  EXPECT_THROW(port_.SetComNumber(2), EComPortError);
  EXPECT_EQ(port_.ComNumber(), 1);
  ASSERT_TRUE(port_.Open());
  ASSERT_EQ(::write(pty_.Master(), "abc", 3), 3);
  EXPECT_TRUE(RunUntil([&] { return avail == 3; }));

  // Switching works and lets go of the old device.
  port_.SetComNumber(3);
  EXPECT_EQ(port_.ComNumber(), 3);
  EXPECT_TRUE(port_.Open());
  EXPECT_EQ(ports_.Provider().Probe(1).Outcome, PortProbe::Available);
  EXPECT_EQ(ports_.Provider().Probe(3).Outcome, PortProbe::Busy);
  ASSERT_EQ(::write(other.Master(), "defg", 4), 4);
  EXPECT_TRUE(RunUntil([&] { return avail == 7; }));
}

}  // namespace
}  // namespace klv::test
