// The Hex/ASCII and TTY trigger as the renderers consult it, byte by byte.
#pragma once

#include <cstdint>
#include <string>

namespace klv {

class IHexTTYTrigger {
 public:
  virtual ~IHexTTYTrigger() = default;
  // Feeds one received byte; true when the trigger fires with it.
  virtual bool CheckTrigger(int channel, std::uint8_t byte) = 0;
  // Whether bytes the trigger does not release are shown all the same.
  virtual bool OnNoTrigDisplayAll(int channel) = 0;
  // The released output; pre-trigger characters come newest first.
  virtual std::string TakePreTrigChars(int channel) = 0;
  virtual std::string TakeTrigString(int channel) = 0;
  virtual std::string TakePostTrigChars(int channel) = 0;
  virtual bool TakeForceNewLine(int channel) = 0;
  virtual void ResetTrigBuffers(int channel) = 0;
};

}  // namespace klv
