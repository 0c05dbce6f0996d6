// The settings of a new configuration.
#pragma once

#include <functional>

#include "conf/ConfRecord.h"

namespace klv {

// Fills every byte of `conf` with the defaults. Channel 1 takes the lowest
// port for which `portPresent` holds, channel 2 the next one above it; a
// channel without a port stays disabled on its own number.
void SetConfDefaults(TConf& conf, const std::function<bool(int)>& portPresent);

}  // namespace klv
