// Long actions that transmit on one channel (auto-transmission, a script, a
// file transmission), and the slot each channel has for one of them, so that
// no two interleave their bytes on the line.
#pragma once

namespace klv {

class IChannelActivity {
 public:
  virtual ~IChannelActivity() = default;
  // Ends the activity at once: its timers stop and it sends nothing more.
  virtual void StopActivity() = 0;
};

class IChannelActivitySlots {
 public:
  virtual ~IChannelActivitySlots() = default;
  // Takes channel 0 or 1's slot for `activity`; false while another holds it.
  virtual bool TakeActivity(int channel, IChannelActivity& activity) = 0;
  // Frees the slot if `activity` holds it.
  virtual void ReleaseActivity(int channel, const IChannelActivity& activity) = 0;
  virtual IChannelActivity* Activity(int channel) const = 0;
  // Stops the activity holding the slot, if any, and frees it.
  virtual void StopActivity(int channel) = 0;
};

}  // namespace klv
