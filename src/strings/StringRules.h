// The rule set of a library entry and its application to the entry: where the
// length byte and the checksum go, as the string editor lays them out.
#pragma once

#include <cstdint>

#include "conf/ConfRecord.h"
#include "protocol/ProtocolParam.h"
#include "strings/StringLibrary.h"

namespace klv {

// The rule set of entry `index` of `library` (the live one in `conf` or a
// working copy): the entry's syntax, or the library's global syntax when the
// entry has none, chosen by the display mode and selected protocol of `conf`.
// An index outside 0..99 is taken as the nearest entry.
TProtocolparam GetStringRules(const TConf& conf, const TStrngs& library, int index);

// The length byte rule applied to the entry's bytes in place.
void ApplyLengthByte(TLibString& entry, const TProtocolparam& rules);

// The checksum of the entry's bytes, placed in them where the rules say and
// kept in the entry's Checksum. Returns it.
std::uint8_t ApplyChecksum(TLibString& entry, const TProtocolparam& rules);

}  // namespace klv
