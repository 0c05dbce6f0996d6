// Where a transmit string carries its length byte and checksum, and how the
// checksum is computed: the rules of a TProtocolparam set applied to a string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/ProtocolParam.h"

namespace klv {

// One step of a checksum: the running sum after `byte`.
constexpr std::uint8_t ChecksumStep(TChecksumAlg alg, std::uint8_t sum, std::uint8_t byte) {
  switch (alg) {
    case TChecksumAlg::Xor:
      return static_cast<std::uint8_t>(sum ^ byte);
    case TChecksumAlg::XorRor: {
      const auto t = static_cast<std::uint8_t>(sum ^ byte);
      return static_cast<std::uint8_t>((t >> 1) | (t << 7));
    }
    case TChecksumAlg::Add:
      return static_cast<std::uint8_t>(sum + byte);
  }
  return sum;
}

// The checksum of all of `bytes`, starting from 00H.
constexpr std::uint8_t ComputeChecksum(TChecksumAlg alg, std::string_view bytes) {
  std::uint8_t sum = 0;
  for (char c : bytes)
    sum = ChecksumStep(alg, sum, static_cast<std::uint8_t>(c));
  return sum;
}

// A transmit string holds at most this many bytes; the length byte rule never
// grows a string beyond it.
inline constexpr std::size_t kMaxRuleStringLength = 255;

// The checksum of characters ChecksumStart .. L - ChecksumEnd of `s` (1-based,
// L = s.size()) by the set's algorithm; 0 when that range is empty, lies
// outside the string or the start is 0 (checksums off) or negative.
std::uint8_t StringChecksum(std::string_view s, const TProtocolparam& rules);

// The length byte rule of a set applied to `s` in place: with a length
// position p, a string of p - 1 bytes gets one blank appended, then byte p of
// a string that reaches it becomes the low byte of its length plus the
// adjustment.
void ApplyLengthRule(std::string& s, const TProtocolparam& rules);

// The checksum of `s` by the set, placed at L - |ChecksumPos| as one binary
// byte or two upper-case hex digits over the placeholders there (nothing is
// placed while checksums are off or the position is 0). Returns the checksum.
std::uint8_t PlaceChecksum(std::string& s, const TProtocolparam& rules);

// Applies a rule set to `s` in place, as the string editor does whenever it
// stores or shows a string: the length rule, then the checksum and its
// placement. Returns the checksum, which the string library keeps with the
// string.
std::uint8_t ApplyStringRules(std::string& s, const TProtocolparam& rules);

// The bytes that follow a string on the line when its set sends the checksum
// after it (position 0, start not 0): `checksum` as one byte, or as two
// upper-case hex digits in style "2-byte ascii". Empty otherwise.
std::string ChecksumSuffix(std::uint8_t checksum, const TProtocolparam& rules);
// The same for the checksum of `s` as it stands.
std::string TransmitSuffix(std::string_view s, const TProtocolparam& rules);

// The rule set for a string of syntax kind `syntaxKind` (1 None, 2 Display
// Mode, 3 Protocol; a string following the library's global kind must be
// resolved to it first). Kind 2 takes `userSet`, except in the Protocol
// display mode (`protocolDisplay`), where it goes with the selected protocol
// like kind 3: the Ruvo-94 set when Ruvo-94 is selected, the none set
// otherwise. Every other kind takes the none set.
TProtocolparam SelectRuleSet(int syntaxKind, bool protocolDisplay, std::uint8_t selectedProtocol,
                             const TProtocolparam& userSet);

}  // namespace klv
