// A printer that is never there and channels that are never open: for
// running the receive chain without a window.
#pragma once

#include "common/ReceiveInterfaces.h"
#include "log/PrinterDevice.h"

namespace klv::test {

class NoPrinter : public IPrinterDevice {
 public:
  bool Begin(QString* error) override {
    if (error != nullptr)
      *error = "no printer";
    return false;
  }
  void SetFont(bool, bool) override {}
  bool Write(const QString&) override { return false; }
  void End() override {}
  QString Destination() const override { return {}; }
  bool PrintsToFile() const override { return false; }
  QString ErrorString() const override { return {}; }
};

class QuietServices : public IChannelServices {
 public:
  bool ChannelAvailable(int) const override { return false; }
  void OutputString(int, std::string_view) override {}
  int ChannelOutputRoom(int) const override { return 0; }
  void DiscardChannelOutput(int) override {}
  bool ChannelCTS(int) const override { return false; }
  void SetChannelRTS(int, bool) override {}
  void SetChannelDTR(int, bool) override {}
};

}  // namespace klv::test
