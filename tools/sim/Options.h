// The simulator's command line.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/FloodStream.h"

namespace klv::sim {

inline constexpr int kFirstCom = 1;
inline constexpr int kLastCom = 16;

enum class TDeviceKind : std::uint8_t { Ruvo, Text, Echo, Flood };

struct TDeviceOption {
  TDeviceKind Kind = TDeviceKind::Echo;
  // COM numbers: a Ruvo-94 link has two (polls, answers), the others one.
  std::vector<int> Ports;
  std::uint64_t FloodSeed = 1;
  TByteSet FloodSet = TByteSet::All;
};

struct TSimOptions {
  bool Help = false;
  std::string PortsDir;
  std::vector<TDeviceOption> Devices;  // in the order given
  std::map<int, std::uint64_t> Pace;   // COM number -> bytes per second, 0 unpaced
  double FaultRate = 0.05;
  std::optional<std::uint64_t> Frames;  // none: endless
  std::uint64_t Seed = 1;
  std::string TranscriptDir;  // empty: no transcript
  std::string DemoConfig;     // empty: none written
};

struct TParseResult {
  TSimOptions Options;
  std::string Error;  // empty when the command line is good
};

// Parses the arguments after the program name. Values follow their option
// as the next argument or after "=" (--ports-dir=DIR).
TParseResult ParseOptions(const std::vector<std::string>& args);

// The pace of COM `com`: its --pace, else the device's default (Ruvo-94 and
// text 960 bytes/s, like a 9600 baud line; echo and flood unpaced). 0 means
// unpaced.
std::uint64_t PortPace(const TSimOptions& options, int com);

// The text of --help.
std::string UsageText();

}  // namespace klv::sim
