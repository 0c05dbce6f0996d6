// The port object on a real pseudo-terminal: bulk data under a stalled user interface, bytes
// that trickle in, discarding, open failures, a device that goes away, rates and switching ports.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
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

  // Collects what the avail handler reads, exactly Count bytes per call; the first stallCalls
  // sleep.
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

// The first handler calls sleep: the input ring fills up, the worker waits with the rest in the
// kernel, and nothing may be lost either way.
TEST_F(SerialPtyPort, MegabyteEachWayUnderAStalledUserInterfaceArrivesIntact) {
  constexpr std::size_t kSize = 1 << 20;
  const std::vector<std::uint8_t> toPort = RandomBytes(kSize, 1), fromPort = RandomBytes(kSize, 2);
  CollectInput(8);
  port_.SetOpen(true);
  FdWriter feeder(pty_.Master(), toPort);
  std::vector<std::uint8_t> atMaster;
  std::size_t sent = 0;
  ASSERT_TRUE(RunUntil(
      [&] {
        Feed(port_, fromPort, sent);
        const std::vector<std::uint8_t> more = ReadAvailable(pty_.Master());
        atMaster.insert(atMaster.end(), more.begin(), more.end());
        return received_.size() >= kSize && atMaster.size() >= kSize;
      },
      60000))
      << "received " << received_.size() << ", master got " << atMaster.size();
  EXPECT_TRUE(received_ == toPort);
  EXPECT_TRUE(atMaster == fromPort);
  EXPECT_EQ(maxCount_, TComPort::InSize) << "the input ring never filled up";
  EXPECT_TRUE(RunUntil([&] { return port_.OutputRoom() == TComPort::OutSize; }));
}

// Bytes that trickle in one by one are handed over in blocks, about one a millisecond, not one per
// byte the worker reads.
TEST_F(SerialPtyPort, TricklingBytesArriveInBlocks) {
  const std::vector<std::uint8_t> bytes = RandomBytes(200, 4);
  CollectInput();
  port_.SetOpen(true);
  const auto start = std::chrono::steady_clock::now();
  std::thread writer([&] {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      EXPECT_EQ(::write(pty_.Master(), &bytes[i], 1), 1);
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });
  // The application's event loop, woken by each delivery as it comes.
  QEventLoop loop;
  QObject::connect(&port_, &TComPort::OnTriggerAvail, &loop, [&] {
    if (received_.size() >= bytes.size())
      loop.quit();
  });
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  loop.exec();
  writer.join();
  ASSERT_EQ(received_.size(), bytes.size());
  const auto ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
  EXPECT_LE(calls_, ms.count() + 2) << "deliveries in " << ms.count() << " ms";
  EXPECT_TRUE(received_ == bytes);
}

TEST_F(SerialPtyPort, DiscardDropsEverythingNotSent) {
  port_.SetOpen(true);
  // The master does not read: the kernel queue fills, then the ring, until it stays full.
  const std::vector<std::uint8_t> data = RandomBytes(1 << 20, 12);
  std::size_t written = 0;
  for (int quiet = 0; quiet < 100; ++quiet) {
    const std::size_t before = written;
    Feed(port_, data, written);
    quiet = written > before ? 0 : quiet;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_EQ(port_.OutputPending(), TComPort::OutSize);
  port_.DiscardOutput();

  // The master now gets a prefix of the data (what the kernel already held), then the marker:
  // nothing of the discarded ring and no stale chunk of the worker.
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
  Pty locked;  // nobody may open it (root may: that case is tried as user nobody)
  ASSERT_EQ(::chmod(QFile::encodeName(locked.Slave()).constData(), 0), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(ports_.Path()).constData(), 0755), 0);
  ports_.Link(3, ports_.Path() + "/unplugged");
  ports_.Link(4, "/dev/null");
  ports_.Link(5, locked.Slave());
  TComPort holder;  // holds COM1 exclusively
  holder.SetDeviceProvider(&ports_.Provider());
  holder.SetComNumber(1);
  holder.SetOpen(true);
  const QString fix = "sudo usermod -aG " + QFileInfo(locked.Slave()).group() + " $USER";
  const struct {
    std::uint8_t com;
    QStringList says;  // the probe's reason has the last part too, but for COM2
    PortProbe probe;
  } cases[] = {
      {2, {"COM2", "no entry COM2 in " + ports_.Path()}, PortProbe::Missing},
      {3, {"COM3", ports_.Path() + "/unplugged, which is not present"}, PortProbe::Missing},
      {4, {"COM4", "/dev/null", "not a serial device"}, PortProbe::Failed},
      {1, {"COM1", pty_.Slave(), "in use"}, PortProbe::Busy},
      {5, {"COM5", locked.Slave(), fix}, PortProbe::PermissionDenied},
  };
  for (const auto& c : cases) {
    const bool asNobody = c.probe == PortProbe::PermissionDenied && geteuid() == 0;
    ASSERT_EQ(asNobody ? ::seteuid(65534) : 0, 0);
    port_.SetComNumber(c.com);
    try {
      port_.SetOpen(true);
      ADD_FAILURE() << "opened COM" << int(c.com);
    } catch (const EComPortError& e) {
      EXPECT_EQ(e.kind(), EComPortError::Kind::OpenFailed);
      for (const QString& part : c.says)
        EXPECT_TRUE(e.message().contains(part)) << e.what() << " lacks " << part.toStdString();
    }
    const PortProbeResult probe = ports_.Provider().Probe(c.com);
    ASSERT_EQ(asNobody ? ::seteuid(0) : 0, 0);
    EXPECT_FALSE(port_.Open());
    EXPECT_EQ(probe.Outcome, c.probe) << int(c.com);
    EXPECT_TRUE(c.com == 2 || probe.Reason.contains(c.says.back())) << probe.Reason.toStdString();
  }

  // A port in use counts as available only while ports in use are counted.
  DefaultProviderGuard guard(&ports_.Provider());
  EXPECT_EQ(ProbePort(1).DevicePath, pty_.Slave());
  EXPECT_TRUE(PortAvailable(1));
  SetCountPortsInUse(false);
  EXPECT_FALSE(PortAvailable(1));
  holder.SetOpen(false);
  EXPECT_TRUE(PortAvailable(1));
}

TEST_F(SerialPtyPort, VanishedDeviceClosesThePortOnceAndGoesQuiet) {
  const int threadsBefore = ThreadCount();
  int errors = 0;
  QObject::connect(&port_, &TComPort::OnPortError, &port_, [&](TComPort* p, const QString& text) {
    ++errors;
    EXPECT_TRUE(!p->Open() && text.contains("COM1") && text.contains(pty_.Slave()))
        << text.toStdString();
  });
  port_.SetOpen(true);

  pty_.CloseMaster();
  ASSERT_TRUE(RunUntil([&] { return errors > 0; }));
  EXPECT_TRUE(RunUntil([&] { return ThreadCount() == threadsBefore; }));
  // Nothing may keep running: the whole process stays nearly idle.
  const double cpuBefore = ProcessCpuMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LT(ProcessCpuMs() - cpuBefore, 50.0);
  QCoreApplication::processEvents();
  EXPECT_EQ(errors, 1);
}

// Any rate reaches the device; a pseudo-terminal keeps no framing (see the simulated pair), and
// that must not stop it from opening.
TEST_F(SerialPtyPort, ChangingTheNumberAndTheRateOfAnOpenPort) {
  Pty other;
  ports_.Link(3, other.Slave());
  CollectInput();
  port_.SetBaud(1001);  // no standard rate
  port_.SetParity(TParity::pEven);
  port_.SetDataBits(7);
  port_.SetOpen(true);
  // The new port cannot be opened: the old one stays open.
  EXPECT_THROW(port_.SetComNumber(2), EComPortError);
  EXPECT_EQ(port_.ComNumber(), 1);
  EXPECT_EQ(ports_.Provider().Probe(1).Outcome, PortProbe::Busy);

  // Switching lets go of the old device and receives on the new one.
  port_.SetComNumber(3);
  EXPECT_TRUE(port_.Open());
  EXPECT_EQ(ports_.Provider().Probe(1).Outcome, PortProbe::Available);
  ASSERT_EQ(::write(other.Master(), "defg", 4), 4);
  EXPECT_TRUE(RunUntil([&] { return received_.size() == 4; }));
  const auto rate = [&] {
    LineSettings device;
    return termios2::ReadLineSettings(other.Master(), device) == 0 ? device.Baud : -1;
  };
  EXPECT_EQ(rate(), 1001);
  port_.SetBaud(250000);
  EXPECT_EQ(rate(), 250000);
}

}  // namespace
}  // namespace klv::test
