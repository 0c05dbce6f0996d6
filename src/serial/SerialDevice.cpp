#include "serial/SerialDevice.h"

#include <atomic>

#include "serial/PortsDirectory.h"
#include "serial/PosixSerialDevice.h"

namespace klv {
namespace {

std::atomic<ISerialDeviceProvider*> g_replacement{nullptr};

ISerialDeviceProvider& PosixProvider() {
  // Built on first use, so the ports directory follows XDG_CONFIG_HOME as it
  // is at that moment.
  static PosixDeviceProvider provider{PortsDirectory()};
  return provider;
}

}  // namespace

ISerialDeviceProvider& DefaultDeviceProvider() {
  ISerialDeviceProvider* replacement = g_replacement.load(std::memory_order_acquire);
  return replacement != nullptr ? *replacement : PosixProvider();
}

void SetDefaultDeviceProvider(ISerialDeviceProvider* provider) {
  g_replacement.store(provider, std::memory_order_release);
}

}  // namespace klv
