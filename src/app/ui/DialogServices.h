// What the settings dialogs need from the main window.
#pragma once

#include <QString>

namespace klv {

class IChannelPorts {
 public:
  virtual ~IChannelPorts() = default;
  // Free now, or open on that number by this program.
  virtual bool PortUsable(int comNumber) = 0;
  // The device COM n maps to (for example "/dev/ttyUSB0"), empty when none.
  virtual QString PortDevice(int comNumber) = 0;
  // Closes the port of channel 0 or 1.
  virtual void ClosePort(int channel) = 0;
};

}  // namespace klv
