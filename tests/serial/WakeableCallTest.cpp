// The wake-up that ends a modem wait blocked in the kernel, which no descriptor can wake.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <future>
#include <thread>

#include "serial/WakeableCall.h"

namespace klv {
namespace {

TEST(SerialWakeableCall, WakeEndsTheBlockedCallAndEveryLaterOne) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  WakeableCall call;
  auto blocked = std::async(std::launch::async, [&] {
    char byte = 0;
    const int r = call.Run([&] { return static_cast<int>(::read(fds[0], &byte, 1)); });
    return std::pair{r, errno};
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // inside read() by now, most likely
  call.Wake();
  if (blocked.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
    ASSERT_EQ(::write(fds[1], "x", 1), 1);  // let the reader go so that the test can fail
  }
  EXPECT_EQ(blocked.get(), (std::pair{-1, EINTR}));
  EXPECT_EQ(call.Run([] { return 0; }), -1);
  ::close(fds[0]);
  ::close(fds[1]);
}

}  // namespace
}  // namespace klv
