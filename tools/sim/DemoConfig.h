// An analyser configuration that shows a simulated Ruvo-94 link decoded.
#pragma once

#include <string>

namespace klv::sim {

// The baud rate both channels are set to.
inline constexpr int kDemoBaud = 115200;

// Writes `file`: channel 1 on COM `polls`, channel 2 on COM `answers`, both
// enabled at kDemoBaud, the Protocol display with Ruvo-94 selected and time
// stamps on; everything else at its defaults. On failure the reason (naming
// the file) goes to stderr and false is returned.
bool WriteDemoConfig(const std::string& file, int polls, int answers);

}  // namespace klv::sim
