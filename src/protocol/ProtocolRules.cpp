#include "protocol/ProtocolRules.h"

#include <cstdlib>

namespace klv {

namespace {

// Syntax kinds of a transmit string that choose a rule set.
constexpr int kSyntaxDisplayMode = 2;
constexpr int kSyntaxProtocol = 3;
// The protocol number of Ruvo-94 in the protocol selection.
constexpr std::uint8_t kRuvo94Protocol = 1;

// The start is the switch for checksums: 0 turns them off. A negative start
// can only come from a damaged record and counts as off too.
bool ChecksumsOn(const TProtocolparam& rules) {
  return rules.ChecksumStart.get() >= 1;
}

char HighHexDigit(std::uint8_t value) {
  return "0123456789ABCDEF"[value >> 4];
}

char LowHexDigit(std::uint8_t value) {
  return "0123456789ABCDEF"[value & 0x0F];
}

}  // namespace

std::uint8_t StringChecksum(std::string_view s, const TProtocolparam& rules) {
  // Signed arithmetic throughout: the stored fields may be negative.
  const auto length = static_cast<long long>(s.size());
  const long long first = rules.ChecksumStart.get();
  const long long last = length - rules.ChecksumEnd.get();
  if (!ChecksumsOn(rules) || first > length || last > length || first > last)
    return 0;
  const auto alg = static_cast<TChecksumAlg>(rules.ChecksumAlg);
  return ComputeChecksum(alg, s.substr(static_cast<std::size_t>(first - 1),
                                       static_cast<std::size_t>(last - first + 1)));
}

void ApplyLengthRule(std::string& s, const TProtocolparam& rules) {
  const std::size_t lengthPos = rules.LengthPos.get();
  if (lengthPos != 0) {
    if (s.size() == lengthPos - 1 && s.size() < kMaxRuleStringLength)
      s.push_back(' ');
    if (s.size() >= lengthPos) {
      const long long value = static_cast<long long>(s.size()) + rules.LengthAdjust.get();
      s[lengthPos - 1] = static_cast<char>(static_cast<std::uint8_t>(value));
    }
  }
}

std::uint8_t PlaceChecksum(std::string& s, const TProtocolparam& rules) {
  const std::uint8_t checksum = StringChecksum(s, rules);

  // Placement. The dialog shows the position as its absolute value, so a
  // position stored negative works as that value here too. With checksums
  // off nothing is placed: the string keeps its own characters.
  const long long distance = std::llabs(rules.ChecksumPos.get());
  if (!ChecksumsOn(rules) || distance == 0)
    return checksum;
  const long long at = static_cast<long long>(s.size()) - distance;  // 1-based
  switch (static_cast<TChecksumStyle>(rules.ChecksumStyle)) {
    case TChecksumStyle::OneByteBinary:
      if (at >= 1)
        s[static_cast<std::size_t>(at - 1)] = static_cast<char>(checksum);
      break;
    case TChecksumStyle::TwoByteAscii:
      if (at >= 2) {
        s[static_cast<std::size_t>(at - 1)] = HighHexDigit(checksum);
        s[static_cast<std::size_t>(at)] = LowHexDigit(checksum);
      }
      break;
  }
  return checksum;
}

std::uint8_t ApplyStringRules(std::string& s, const TProtocolparam& rules) {
  ApplyLengthRule(s, rules);
  return PlaceChecksum(s, rules);
}

std::string ChecksumSuffix(std::uint8_t checksum, const TProtocolparam& rules) {
  if (rules.ChecksumPos.get() != 0 || !ChecksumsOn(rules))
    return {};
  switch (static_cast<TChecksumStyle>(rules.ChecksumStyle)) {
    case TChecksumStyle::OneByteBinary:
      return std::string(1, static_cast<char>(checksum));
    case TChecksumStyle::TwoByteAscii:
      return {HighHexDigit(checksum), LowHexDigit(checksum)};
  }
  return {};  // an unknown style sends nothing
}

std::string TransmitSuffix(std::string_view s, const TProtocolparam& rules) {
  return ChecksumSuffix(StringChecksum(s, rules), rules);
}

TProtocolparam SelectRuleSet(int syntaxKind, bool protocolDisplay, std::uint8_t selectedProtocol,
                             const TProtocolparam& userSet) {
  const TProtocolparam protocolSet =
      selectedProtocol == kRuvo94Protocol ? Ruvo94RuleSet() : NoneRuleSet();
  switch (syntaxKind) {
    case kSyntaxDisplayMode:
      return protocolDisplay ? protocolSet : userSet;
    case kSyntaxProtocol:
      return protocolSet;
    default:
      return NoneRuleSet();
  }
}

}  // namespace klv
