#include "strings/StringRules.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "protocol/ProtocolRules.h"

namespace klv {
namespace {

// Puts `bytes` back as the entry's string. Only the bytes that belong to the
// string are written: the rest of the room keeps what it held, so looking
// at an entry changes no byte beyond its string.
void StoreBytes(TLibString& entry, const std::string& bytes) {
  const std::size_t count = std::min(bytes.size(), entry.Str.Capacity());
  std::memcpy(entry.Str.chars.data(), bytes.data(), count);
  entry.Str.length = static_cast<std::uint8_t>(count);
}

}  // namespace

TProtocolparam GetStringRules(const TConf& conf, const TStrngs& library, int index) {
  const auto at = static_cast<std::size_t>(std::clamp(index, 0, kLibraryEntries - 1));
  const std::uint8_t own = library.Strings[at].Syntax;
  const int kind =
      own == static_cast<std::uint8_t>(TStringSyntax::Global) ? library.GlobalSyntax : own;
  const bool protocolDisplay =
      conf.DisplayMode == static_cast<std::uint8_t>(TDisplayMode::Protocol);
  return SelectRuleSet(kind, protocolDisplay, conf.Protocol.Selected, conf.Protocolparam);
}

void ApplyLengthByte(TLibString& entry, const TProtocolparam& rules) {
  std::string bytes(entry.Str.view());
  ApplyLengthRule(bytes, rules);
  StoreBytes(entry, bytes);
}

std::uint8_t ApplyChecksum(TLibString& entry, const TProtocolparam& rules) {
  std::string bytes(entry.Str.view());
  const std::uint8_t checksum = PlaceChecksum(bytes, rules);
  StoreBytes(entry, bytes);
  entry.Checksum = checksum;
  return checksum;
}

}  // namespace klv
