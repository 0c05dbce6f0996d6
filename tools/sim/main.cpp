// kelvora32-sim: serial devices for the Kelvora 32 analyser, played on
// pseudo-terminals registered in a ports directory. See --help.
#include <cstdio>
#include <string>
#include <vector>

#include "sim/DemoConfig.h"
#include "sim/Options.h"
#include "sim/Simulator.h"

int main(int argc, char** argv) {
  using namespace klv::sim;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const TParseResult parsed = ParseOptions(args);
  if (!parsed.Error.empty()) {
    std::fprintf(stderr, "kelvora32-sim: %s (see kelvora32-sim --help)\n", parsed.Error.c_str());
    return 2;
  }
  const TSimOptions& options = parsed.Options;
  if (options.Help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (!options.DemoConfig.empty()) {
    for (const TDeviceOption& device : options.Devices) {
      if (device.Kind != TDeviceKind::Ruvo)
        continue;
      if (!WriteDemoConfig(options.DemoConfig, device.Ports[0], device.Ports[1]))
        return 2;
      break;
    }
  }

  TSimulator simulator(options);
  if (!simulator.Open()) {
    simulator.Close();
    return 2;
  }
  simulator.PrintPorts(stdout);
  int status = simulator.Run();
  if (!simulator.Close())
    status = 2;
  return status;
}
