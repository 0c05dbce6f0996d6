// Paces a port's output like a serial line of a given speed. Byte k since
// the start is due at start + k / rate, so however irregular the writes and
// wake-ups, the count sent follows the elapsed time and never drifts. After
// a hold-up (nobody reading the port, a late wake-up) at most a short burst
// is made up.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace klv::sim {

using TClock = std::chrono::steady_clock;
using TTime = TClock::time_point;
inline constexpr TTime kNever = TTime::max();

class TPacer {
 public:
  // The fastest pace; a 3 Mbaud line needs 300000 bytes/s.
  static constexpr std::uint64_t kMaxRate = 100'000'000;

  // `bytesPerSecond` from 1 to kMaxRate.
  TPacer(std::uint64_t bytesPerSecond, TTime start);

  std::uint64_t Rate() const { return rate_; }
  // Bytes made up at most after a pause: 20 ms of the line, at least one.
  std::size_t Burst() const { return static_cast<std::size_t>(burst_); }

  // The line was idle: its next byte may go at once, the rest at the pace
  // from there (an idle line builds up no burst).
  void Restart(TTime now);
  // How many bytes may be written at `now`.
  std::size_t Allowance(TTime now);
  // Counts `count` bytes written (at most the allowance).
  void Consume(std::size_t count);
  // When `count` bytes (at most Burst()) will be allowed, as of the last
  // Allowance call.
  TTime TimeFor(std::size_t count) const;

 private:
  std::uint64_t rate_;
  std::int64_t burst_;
  TTime origin_;
  // Bytes written since `origin_`; negative when the origin has moved on
  // past bytes that were due but not written.
  std::int64_t sent_ = 0;
};

}  // namespace klv::sim
