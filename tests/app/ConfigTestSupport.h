// A configuration host that records what the configuration asked of it.
#pragma once

#include <set>

#include "app/Config.h"
#include "support/FakeMessageService.h"

namespace klv::test {

class FakeConfigHost : public IConfigHost {
 public:
  bool PortPresent(int comNumber) override { return presentPorts.count(comNumber) > 0; }
  void StopFileLog() override { ++fileLogStops; }
  void StopPrinterLog() override { ++printerLogStops; }
  void ApplyConfig() override { ++applies; }
  void UpdateTitle() override { ++titleUpdates; }

  std::set<int> presentPorts;
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
