// The Ruvo-94 frame trigger as the decoder consults it, frame by frame.
#pragma once

#include <cstdint>
#include <string_view>

namespace klv {

class IRuvoTrigger {
 public:
  virtual ~IRuvoTrigger() = default;
  // Feeds one good frame; true when the trigger fires with it. `message` is
  // the data bytes as received.
  virtual bool CheckRuvoTrigger(int channel, std::uint8_t to, std::uint8_t from, std::uint8_t type,
                                std::string_view message) = 0;
  // Whether a frame that fires the trigger is shown.
  virtual bool OnTrigDisplayFrame(int channel) = 0;
  // Whether frames that do not fire it are shown.
  virtual bool OnNoTrigDisplayFrames(int channel) = 0;
};

}  // namespace klv
