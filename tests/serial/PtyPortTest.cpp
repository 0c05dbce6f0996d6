// The port object on a real pseudo-terminal: bulk data both ways and into a
// stalled user interface, discarding output the kernel holds, exclusive
// opening, open failures and permission problems, a device that goes away,
// rates and switching the port number of an open port.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
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

  // Collects what the avail handler reads, exactly Count bytes per call;
  // the first stallCalls calls then sleep.
  void CollectInput(int stallCalls = 0) {
    QObject::connect(&port_, &TComPort::OnTriggerAvail, &port_, [=, this](TComPort* p, int count) {
      EXPECT_EQ(QThread::currentThread(), qApp->thread());
      EXPECT_TRUE(count > 0 && count <= TComPort::InSize) << count;
      maxCount_ = std::max(maxCount_, count);
      for (int i = 0; i < count; ++i)
        received_.push_back(p->ReadByte());
      if (calls_++ < stallCalls)
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    });
  }

  Pty pty_;
  TestPorts ports_;
  TComPort port_;
  std::vector<std::uint8_t> received_;
  int maxCount_ = 0;
  int calls_ = 0;
};
class SerialPtyTransfer : public SerialPtyPort {};

TEST_F(SerialPtyTransfer, MegabyteEachWayArrivesIntactAndInOrder) {
  constexpr std::size_t kSize = 1 << 20;
  const std::vector<std::uint8_t> toPort = RandomBytes(kSize, 1);
  const std::vector<std::uint8_t> fromPort = RandomBytes(kSize, 2);
  CollectInput();
  port_.SetBaud(115200);
  port_.SetOpen(true);

  FdWriter feeder(pty_.Master(), toPort);
  std::vector<std::uint8_t> atMaster;
  std::size_t sent = 0;
  ASSERT_TRUE(RunUntil(
      [&] {
        // Keep the output ring topped up without ever overrunning it.
        const std::size_t n = std::min(static_cast<std::size_t>(port_.OutputRoom()), kSize - sent);
        port_.WriteBytes({reinterpret_cast<const char*>(fromPort.data() + sent), n});
        sent += n;
        const std::vector<std::uint8_t> more = ReadAvailable(pty_.Master());
        atMaster.insert(atMaster.end(), more.begin(), more.end());
        return received_.size() >= kSize && atMaster.size() >= kSize;
      },
      60000))
      << "received " << received_.size() << ", master got " << atMaster.size();
  EXPECT_TRUE(received_ == toPort);
  EXPECT_TRUE(atMaster == fromPort);
  EXPECT_TRUE(RunUntil([&] { return port_.OutputRoom() == TComPort::OutSize; }));
}

TEST_F(SerialPtyTransfer, StalledUserInterfaceLosesNothing) {
  constexpr std::size_t kSize = 256 * 1024;
  const std::vector<std::uint8_t> toPort = RandomBytes(kSize, 3);
  // The first handler calls sleep: the ring fills up and the receive worker
  // has to wait with the rest in the kernel.
  CollectInput(8);
  port_.SetOpen(true);
  FdWriter feeder(pty_.Master(), toPort);
  ASSERT_TRUE(RunUntil([&] { return received_.size() >= kSize; }, 60000))
      << "received " << received_.size();
  EXPECT_TRUE(received_ == toPort);
  EXPECT_EQ(maxCount_, TComPort::InSize) << "the input ring never filled up";
}

TEST_F(SerialPtyPort, DiscardDropsEverythingNotSent) {
  port_.SetOpen(true);
  // The master does not read: the kernel queue fills, then the ring, until
  // it stays full.
  const std::vector<std::uint8_t> data = RandomBytes(1 << 20, 12);
  std::size_t written = 0;
  for (int quiet = 0; quiet < 100; ++quiet) {
    const auto room = static_cast<std::size_t>(port_.OutputRoom());
    ASSERT_LE(written + room, data.size());
    port_.WriteBytes({reinterpret_cast<const char*>(data.data() + written), room});
    written += room;
    quiet = room > 0 ? 0 : quiet;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_EQ(port_.OutputPending(), TComPort::OutSize);
  port_.DiscardOutput();
  EXPECT_EQ(port_.OutputPending(), 0);

  // The master now gets a prefix of the data (what the kernel already held),
  // then the marker written after the discard: nothing of the discarded ring
  // and no stale chunk of the worker.
  const std::string marker = "<after discard>";
  port_.WriteBytes(marker);
  std::vector<std::uint8_t> got;
  ASSERT_TRUE(RunUntil([&] {
    const std::vector<std::uint8_t> more = ReadAvailable(pty_.Master());
    got.insert(got.end(), more.begin(), more.end());
    return got.size() >= marker.size() && std::equal(marker.rbegin(), marker.rend(), got.rbegin());
  }));
  const auto prefix = static_cast<long>(got.size() - marker.size());
  EXPECT_LE(static_cast<std::size_t>(prefix) + TComPort::OutSize, written);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + prefix, data.begin()));
}

TEST_F(SerialPtyPort, OpenFailuresNamePortDeviceAndReason) {
  QFile plain(ports_.Path() + "/plain");
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  ports_.Link(3, ports_.Path() + "/unplugged");
  ports_.Link(4, plain.fileName());
  TComPort holder;  // holds COM1 exclusively
  holder.SetDeviceProvider(&ports_.Provider());
  holder.SetComNumber(1);
  holder.SetOpen(true);
  const struct {
    std::uint8_t com;
    QStringList says;
    PortProbe probe;
  } cases[] = {
      {2, {"COM2", "no entry COM2 in " + ports_.Path()}, PortProbe::Missing},
      {3, {"COM3", ports_.Path() + "/unplugged, which is not present"}, PortProbe::Missing},
      {4, {"COM4", plain.fileName(), "not a serial device"}, PortProbe::Failed},
      {1, {"COM1", pty_.Slave(), "in use"}, PortProbe::Busy},
  };
  for (const auto& c : cases) {
    port_.SetComNumber(c.com);
    try {
      port_.SetOpen(true);
      ADD_FAILURE() << "opened COM" << int(c.com);
    } catch (const EComPortError& e) {
      EXPECT_EQ(e.kind(), EComPortError::Kind::OpenFailed);
      for (const QString& part : c.says)
        EXPECT_TRUE(e.message().contains(part)) << e.what() << " lacks " << part.toStdString();
    }
    EXPECT_FALSE(port_.Open());
    EXPECT_EQ(ports_.Provider().Probe(c.com).Outcome, c.probe) << int(c.com);
  }
  EXPECT_TRUE(ports_.Provider().Probe(3).Reason.contains("/unplugged, which is not present"));

  // A port in use counts as available only while ports in use are counted.
  DefaultProviderGuard guard(&ports_.Provider());
  EXPECT_EQ(ProbePort(1).DevicePath, pty_.Slave());
  EXPECT_TRUE(PortAvailable(1));
  SetCountPortsInUse(false);
  EXPECT_FALSE(PortAvailable(1));
  holder.SetOpen(false);
  EXPECT_TRUE(PortAvailable(1));
}

TEST_F(SerialPtyPort, PermissionDeniedNamesTheGroupAndTheFix) {
  const QString fix = "sudo usermod -aG " + QFileInfo(pty_.Slave()).group() + " $USER";
  ASSERT_EQ(::chmod(QFile::encodeName(pty_.Slave()).constData(), 0), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(ports_.Path()).constData(), 0755), 0);

  // Root opens anything: the probe runs in a child that becomes nobody when
  // it is root, and tells in its exit code whether the reason was right.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
      _exit(2);
    const PortProbeResult r = ports_.Provider().Probe(1);
    const bool ok = r.Outcome == PortProbe::PermissionDenied && r.Reason.contains(fix);
    if (!ok)
      fprintf(stderr, "probe gave %d: %s\n", int(r.Outcome), qPrintable(r.Reason));
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 2)
    GTEST_SKIP() << "cannot switch to user nobody";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "no permission denied naming " << fix.toStdString();
}

TEST_F(SerialPtyPort, VanishedDeviceClosesThePortOnceAndGoesQuiet) {
  const int threadsBefore = ThreadCount();
  int errors = 0;
  QString message;
  QObject::connect(&port_, &TComPort::OnPortError, &port_, [&](TComPort* p, const QString& text) {
    ++errors;
    message = text;
    EXPECT_FALSE(p->Open());
  });
  port_.SetOpen(true);

  pty_.CloseMaster();
  ASSERT_TRUE(RunUntil([&] { return errors > 0; }));
  EXPECT_TRUE(message.contains("COM1") && message.contains(pty_.Slave())) << message.toStdString();
  EXPECT_TRUE(RunUntil([&] { return ThreadCount() == threadsBefore; }));
  // Nothing may keep running: the whole process stays nearly idle.
  const double cpuBefore = ProcessCpuMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LT(ProcessCpuMs() - cpuBefore, 50.0);
  QCoreApplication::processEvents();
  EXPECT_EQ(errors, 1);
}

TEST_F(SerialPtyPort, AnyRateReachesTheDeviceOpenOrNot) {
  // A pseudo-terminal keeps the rate but not the framing (checked on the
  // simulated pair); the framing must not stop it from opening.
  port_.SetBaud(1001);  // no standard rate
  port_.SetParity(TParity::pEven);
  port_.SetDataBits(7);
  port_.SetOpen(true);
  LineSettings device;
  ASSERT_EQ(termios2::ReadLineSettings(pty_.Master(), device), 0);
  EXPECT_EQ(device.Baud, 1001);
  port_.SetBaud(250000);
  ASSERT_EQ(termios2::ReadLineSettings(pty_.Master(), device), 0);
  EXPECT_EQ(device.Baud, 250000);
}

TEST_F(SerialPtyPort, ChangingTheNumberOfAnOpenPort) {
  Pty other;
  ports_.Link(3, other.Slave());
  CollectInput();
  port_.SetOpen(true);
  // The new port cannot be opened: the old one stays open.
  EXPECT_THROW(port_.SetComNumber(2), EComPortError);
  EXPECT_EQ(port_.ComNumber(), 1);
  EXPECT_EQ(ports_.Provider().Probe(1).Outcome, PortProbe::Busy);

  // Switching lets go of the old device and receives on the new one.
  port_.SetComNumber(3);
  EXPECT_TRUE(port_.Open());
  EXPECT_EQ(ports_.Provider().Probe(1).Outcome, PortProbe::Available);
  EXPECT_EQ(ports_.Provider().Probe(3).Outcome, PortProbe::Busy);
  ASSERT_EQ(::write(other.Master(), "defg", 4), 4);
  EXPECT_TRUE(RunUntil([&] { return received_.size() == 4; }));
}

}  // namespace
}  // namespace klv::test
