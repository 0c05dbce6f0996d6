// Rule set for the length byte and checksum of a transmit string, and the
// user-defined set as it is stored in the configuration record.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/PackedTypes.h"

namespace klv {

enum class TChecksumStyle : std::uint8_t { OneByteBinary = 0, TwoByteAscii = 1 };
enum class TChecksumAlg : std::uint8_t { Xor = 0, XorRor = 1, Add = 2 };

// 13 bytes.
struct TProtocolparam {
  std::uint8_t NotUsed = 0;        // cleared by the DRL import, otherwise carried over
  LeI16 ChecksumStart;             // first character of the checksum (1-based); 0: no checksum
  LeI16 ChecksumEnd;               // checksum runs to the last character minus this
  LeI16 ChecksumPos;               // checksum placed after the last character minus this
  LeU16 LengthPos;                 // 1-based place of the length byte; 0: no length byte
  LeI16 LengthAdjust;              // added to the string length
  std::uint8_t ChecksumStyle = 0;  // TChecksumStyle
  std::uint8_t ChecksumAlg = 0;    // TChecksumAlg
};

static_assert(kIsPackedRecord<TProtocolparam>);
static_assert(sizeof(TProtocolparam) == 13);
static_assert(offsetof(TProtocolparam, ChecksumStart) == 1);
static_assert(offsetof(TProtocolparam, ChecksumEnd) == 3);
static_assert(offsetof(TProtocolparam, ChecksumPos) == 5);
static_assert(offsetof(TProtocolparam, LengthPos) == 7);
static_assert(offsetof(TProtocolparam, LengthAdjust) == 9);
static_assert(offsetof(TProtocolparam, ChecksumStyle) == 11);
static_assert(offsetof(TProtocolparam, ChecksumAlg) == 12);

// No checksum and no length byte: the default of a new configuration.
TProtocolparam NoneRuleSet();
// The fixed rule set of Ruvo-94 frames.
TProtocolparam Ruvo94RuleSet();

}  // namespace klv
