#include "protocol/ProtocolParam.h"

namespace klv {

TProtocolparam NoneRuleSet() {
  return TProtocolparam{};
}

TProtocolparam Ruvo94RuleSet() {
  TProtocolparam rules;
  rules.ChecksumStart = 1;
  rules.ChecksumEnd = 0;
  rules.ChecksumPos = 0;
  rules.LengthPos = 5;
  rules.LengthAdjust = -3;
  rules.ChecksumStyle = static_cast<std::uint8_t>(TChecksumStyle::OneByteBinary);
  rules.ChecksumAlg = static_cast<std::uint8_t>(TChecksumAlg::XorRor);
  return rules;
}

}  // namespace klv
