// A device provider that gives each COM number its own provider (pseudo-
// terminals through a ports directory, simulated null-modem ends, ...), and
// can pretend that a number exists but may not be opened.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string_view>

#include "serial/SerialDevice.h"

namespace klv::test {

class PortMap : public ISerialDeviceProvider {
 public:
  void Add(int comNumber, ISerialDeviceProvider* provider) { providers_[comNumber] = provider; }
  void Remove(int comNumber) { providers_.erase(comNumber); }
  void DenyPermission(int comNumber, const QString& reason) { denied_[comNumber] = reason; }

  PortProbeResult Probe(int comNumber) override {
    if (denied_.count(comNumber) > 0) {
      return {PortProbe::PermissionDenied, QStringLiteral("/dev/ttyUSB9"), denied_[comNumber]};
    }
    auto found = providers_.find(comNumber);
    if (found == providers_.end())
      return {PortProbe::Missing, QString(), QStringLiteral("no device")};
    return found->second->Probe(comNumber);
  }
  std::unique_ptr<ISerialDevice> Open(int comNumber) override {
    auto found = providers_.find(comNumber);
    if (found == providers_.end() || denied_.count(comNumber) > 0) {
      throw EComPortError(EComPortError::Kind::OpenFailed,
                          QStringLiteral("COM%1 cannot be opened").arg(comNumber));
    }
    return found->second->Open(comNumber);
  }

 private:
  std::map<int, ISerialDeviceProvider*> providers_;
  std::map<int, QString> denied_;
};

// Writes all bytes to a device, as the far end of a line.
inline void Send(ISerialDevice& device, std::string_view bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const IoResult r = device.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()) + done,
                                    bytes.size() - done);
    ASSERT_EQ(r.Status, IoStatus::Ok);
    done += r.Count;
  }
}

}  // namespace klv::test
