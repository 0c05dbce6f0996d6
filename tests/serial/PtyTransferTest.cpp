// Bulk data through a real pseudo-terminal: both directions at once, byte
// for byte, with the port's events on the user-interface thread, and with a
// user interface that stalls while the data keeps coming.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <thread>

#include "PtyFixture.h"
#include "support/EventLoop.h"

namespace klv::test {
namespace {

class SerialPtyTransfer : public ::testing::Test {
 protected:
  void SetUp() override {
    ports_.Link(1, pty_.Slave());
    port_.SetDeviceProvider(&ports_.Provider());
    port_.SetComNumber(1);
    port_.SetBaud(115200);
  }

  // Collects what the avail handler reads, exactly Count bytes per call.
  void CollectInput(int stallCalls = 0, int stallMs = 0) {
    QObject::connect(&port_, &TComPort::OnTriggerAvail, &port_,
                     [this, stallCalls, stallMs](TComPort* p, int count) {
                       if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
                         ++offThreadEvents_;
                       }
                       if (count <= 0 || count > TComPort::InSize)
                         ++badCounts_;
                       maxCount_ = std::max(maxCount_, count);
                       for (int i = 0; i < count; ++i)
                         received_.push_back(p->ReadByte());
                       if (calls_++ < stallCalls) {
                         std::this_thread::sleep_for(std::chrono::milliseconds(stallMs));
                       }
                     });
  }

  Pty pty_;
  TestPorts ports_;
  TComPort port_;
  std::vector<std::uint8_t> received_;
  int offThreadEvents_ = 0;
  int badCounts_ = 0;
  int maxCount_ = 0;
  int calls_ = 0;
};

TEST_F(SerialPtyTransfer, MegabyteEachWayArrivesIntactAndInOrder) {
  constexpr std::size_t kSize = 1 << 20;
  const std::vector<std::uint8_t> toPort = RandomBytes(kSize, 1);
  const std::vector<std::uint8_t> fromPort = RandomBytes(kSize, 2);
  CollectInput();
  port_.SetOpen(true);

  FdReader master(pty_.Master(), kSize);
  FdWriter feeder(pty_.Master(), toPort);
  std::size_t sent = 0;
  const bool finished = RunUntil(
      [&] {
        // Keep the output ring topped up without ever overrunning it.
        while (sent < kSize) {
          const auto room = static_cast<std::size_t>(port_.OutputRoom());
          if (room == 0)
            break;
          const std::size_t n = std::min(room, kSize - sent);
          port_.WriteBytes({reinterpret_cast<const char*>(fromPort.data() + sent), n});
          sent += n;
        }
        return received_.size() >= kSize && master.Done();
      },
      60000);
  master.Stop();
  ASSERT_TRUE(finished) << "received " << received_.size() << ", master got " << master.Count();

  EXPECT_TRUE(received_ == toPort);
  EXPECT_TRUE(master.Data() == fromPort);
  EXPECT_EQ(offThreadEvents_, 0);
  EXPECT_EQ(badCounts_, 0);
  EXPECT_TRUE(RunUntil([&] { return port_.OutputPending() == 0; }));
  EXPECT_EQ(port_.OutputRoom(), TComPort::OutSize);
}

TEST_F(SerialPtyTransfer, StalledUserInterfaceLosesNothing) {
  constexpr std::size_t kSize = 256 * 1024;
  const std::vector<std::uint8_t> toPort = RandomBytes(kSize, 3);
  // The first handler calls sleep: the ring fills up and the receive worker
  // has to wait with the rest in the kernel.
  CollectInput(8, 30);
  port_.SetOpen(true);

  FdWriter feeder(pty_.Master(), toPort);
  ASSERT_TRUE(RunUntil([&] { return received_.size() >= kSize; }, 60000))
      << "received " << received_.size();
  EXPECT_TRUE(received_ == toPort);
  EXPECT_EQ(maxCount_, TComPort::InSize) << "the input ring never filled up";
  EXPECT_EQ(badCounts_, 0);
}

}  // namespace
}  // namespace klv::test
