#include "sim/Pacer.h"

#include <algorithm>
#include <stdexcept>

namespace klv::sim {
namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;

}  // namespace

TPacer::TPacer(std::uint64_t bytesPerSecond, TTime start)
    : rate_(bytesPerSecond),
      burst_(std::max<std::int64_t>(1, static_cast<std::int64_t>(bytesPerSecond / 50))),
      origin_(start) {
  if (bytesPerSecond == 0 || bytesPerSecond > kMaxRate)
    throw std::invalid_argument("pace out of range");
}

void TPacer::Restart(TTime now) {
  origin_ = now;
  sent_ = -1;
}

std::size_t TPacer::Allowance(TTime now) {
  if (now <= origin_)
    return static_cast<std::size_t>(std::max<std::int64_t>(0, -sent_));
  const auto rate = static_cast<std::int64_t>(rate_);
  std::int64_t elapsed =
      std::chrono::duration_cast<std::chrono::nanoseconds>(now - origin_).count();
  // Move the origin on by whole seconds (exactly `rate` bytes each) so that
  // elapsed * rate stays far from overflowing however long the run.
  const std::int64_t seconds = elapsed / kNanosPerSecond;
  origin_ += std::chrono::seconds(seconds);
  sent_ -= seconds * rate;
  elapsed -= seconds * kNanosPerSecond;

  const std::int64_t due = elapsed * rate / kNanosPerSecond;
  if (due - sent_ > burst_)
    sent_ = due - burst_;  // the time nobody took the bytes is not made up
  return static_cast<std::size_t>(std::max<std::int64_t>(0, due - sent_));
}

void TPacer::Consume(std::size_t count) {
  sent_ += static_cast<std::int64_t>(count);
}

TTime TPacer::TimeFor(std::size_t count) const {
  const std::int64_t last = sent_ + static_cast<std::int64_t>(count);
  if (last <= 0)
    return origin_;
  // The first instant at which elapsed * rate / 1e9 reaches `last`.
  const auto rate = static_cast<std::int64_t>(rate_);
  const std::int64_t nanos = (last * kNanosPerSecond + rate - 1) / rate;
  return origin_ + std::chrono::nanoseconds(nanos);
}

}  // namespace klv::sim
