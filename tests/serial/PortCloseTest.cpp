// Closing a port whose far end takes nothing drops what the driver still queues.
#include <gtest/gtest.h>

#include <chrono>

#include "PtyFixture.h"
#include "support/EventLoop.h"

namespace klv::test {
namespace {

TEST(SerialPortClose, DropsTheDriversQueueAndReopens) {
  TestPorts ports;
  Pty pty;
  ports.Link(1, pty.Slave());
  TComPort port;
  port.SetDeviceProvider(&ports.Provider());
  port.SetComNumber(1);
  port.SetOpen(true);
  // More than the 4095 bytes the far end's line discipline holds, which no flush reaches.
  const std::vector<std::uint8_t> data = RandomBytes(1 << 20, 7);
  std::size_t sent = 0;
  const auto queued = [&] { return sent - static_cast<std::size_t>(port.OutputPending()); };
  ASSERT_TRUE(RunUntil([&] { return Feed(port, data, sent), queued() >= 8192; }));
  const std::size_t atClose = queued();
  const auto start = std::chrono::steady_clock::now();
  port.SetOpen(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "hang guard";
  EXPECT_LT(ReadAvailable(pty.Master()).size(), atClose);

  port.SetOpen(true);
  port.WriteBytes("next");
  ASSERT_TRUE(RunUntil([&] {
    return ReadAvailable(pty.Master()) == std::vector<std::uint8_t>{'n', 'e', 'x', 't'};
  }));
}

}  // namespace
}  // namespace klv::test
