// A configuration host that records what the configuration asked of it.
#pragma once

#include "app/Config.h"
#include "support/FakeMessageService.h"

namespace klv::test {

class FakeConfigHost : public IConfigHost {
 public:
  bool PortPresent(int) override { return false; }
  void StopFileLog() override { ++fileLogStops; }
  void StopPrinterLog() override { ++printerLogStops; }
  void ApplyConfig() override { ++applies; }
  void UpdateTitle() override { ++titleUpdates; }

  int fileLogStops = 0;
  int printerLogStops = 0;
  int applies = 0;
  int titleUpdates = 0;
};

struct ConfigFixtureParts {
  FakeMessageService messages;
  FakeConfigHost host;
  TConfigFile config{messages, host};
};

}  // namespace klv::test
