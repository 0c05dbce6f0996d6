// Length byte, checksum and checksum placement of transmit strings, the bytes
// sent after a string, and which rule set a string goes by.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "protocol/ProtocolRules.h"

namespace klv {
namespace {

using namespace std::string_literals;
constexpr auto kBinary = TChecksumStyle::OneByteBinary;
constexpr auto kAscii = TChecksumStyle::TwoByteAscii;
constexpr auto kXor = TChecksumAlg::Xor;
constexpr auto kAdd = TChecksumAlg::Add;

TProtocolparam Rules(int start, int end, int pos, int lengthPos = 0, int adjust = 0,
                     TChecksumStyle style = kBinary, TChecksumAlg alg = kXor) {
  TProtocolparam rules;
  rules.ChecksumStart = static_cast<std::int16_t>(start);
  rules.ChecksumEnd = static_cast<std::int16_t>(end);
  rules.ChecksumPos = static_cast<std::int16_t>(pos);
  rules.LengthPos = static_cast<std::uint16_t>(lengthPos);
  rules.LengthAdjust = static_cast<std::int16_t>(adjust);
  rules.ChecksumStyle = static_cast<std::uint8_t>(style);
  rules.ChecksumAlg = static_cast<std::uint8_t>(alg);
  return rules;
}

TEST(ProtocolRulesTest, LengthByteChecksumPlacementAndSuffix) {
  const std::string full(kMaxRuleStringLength, 'x');
  const TProtocolparam unknownStyle = Rules(1, 0, 1, 0, 0, static_cast<TChecksumStyle>(2));
  // A string before and after the rules are applied, the checksum they give
  // and the bytes sent after the string.
  const std::tuple<std::string, TProtocolparam, std::string, int, std::string> cases[] = {
      // The three algorithms over the whole string (an unknown one gives 00H).
      {"\x01\x02", Rules(1, 0, 0, 0, 0, kBinary, TChecksumAlg::XorRor), "\x01\x02", 0x41, "\x41"},
      {"\x01\x02", Rules(1, 0, 0), "\x01\x02", 0x03, "\x03"},
      {"\xFF\x02\x01", Rules(1, 0, 0, 0, 0, kBinary, kAdd), "\xFF\x02\x01", 0x02, "\x02"},
      {"\x01\x02", Rules(1, 0, 0, 0, 0, kBinary, TChecksumAlg(7)), "\x01\x02", 0, "\0"s},
      // The range: characters start .. L - end, 00H when it is empty or outside.
      {"ABC", Rules(3, 0, 0), "ABC", 'C', "C"},
      {"ABC", Rules(2, 1, 0), "ABC", 'B', "B"},
      {"ABC", Rules(4, 0, 0), "ABC", 0, "\0"s},
      {"ABC", Rules(1, 3, 0), "ABC", 0, "\0"s},
      {"ABC", Rules(3, 1, 0), "ABC", 0, "\0"s},
      {"ABC", Rules(1, -1, 0), "ABC", 0, "\0"s},
      {"", Rules(1, 0, 0), "", 0, "\0"s},
      // Start 0 turns checksums off, and so does a negative start.
      {"ABC", Rules(0, 0, 0), "ABC", 0, ""},
      {"ABC", Rules(-32768, -32768, 0), "ABC", 0, ""},
      {"ABCD", Rules(0, 0, 1, 0, 0, kAscii), "ABCD", 0, ""},
      // Ruvo-94: length byte d + 3, XOR-ROR over everything, sent after the string.
      {"\x02\x01\x20\x41\x00\x03"s, Ruvo94RuleSet(), "\x02\x01\x20\x41\x03\x03"s, 0x6B, "\x6B"},
      {"\x02\x01\x20\x41?xy\x03", Ruvo94RuleSet(), "\x02\x01\x20\x41\x05xy\x03", 0x0A, "\x0A"},
      {"\x02\x01\x20\x41\x00\x03"s, NoneRuleSet(), "\x02\x01\x20\x41\x00\x03"s, 0, ""},
      // Placed over its placeholders at L - |position|, as upper-case hex or one byte.
      {"123??", Rules(1, 2, 1, 0, 0, kAscii, kAdd), "12396", 0x96, ""},
      {"\xAB??", Rules(1, 2, 1, 0, 0, kAscii, kAdd), "\xAB"s + "AB", 0xAB, ""},
      {"\x02\x41?\x03", Rules(1, 2, 1), "\x02\x41\x43\x03", 0x43, ""},
      {"\x02\x41?\x03", Rules(1, 2, -1), "\x02\x41\x43\x03", 0x43, ""},
      {"ABC", Rules(1, 0, -32768), "ABC", 'A' ^ 'B' ^ 'C', ""},
      {"AB", Rules(1, 0, 2), "AB", 'A' ^ 'B', ""},  // no room before the position
      {"AB", Rules(1, 0, 1, 0, 0, kAscii), "AB", 'A' ^ 'B', ""},
      {"AB", Rules(1, 2, 1), "\0B"s, 0, ""},  // a range not yet there places 00H
      {"ABCD", unknownStyle, "ABCD", 'A' ^ 'B' ^ 'C' ^ 'D', ""},
      // The length byte: a blank appended for it, or character p overwritten.
      {"ABC", Rules(0, 0, 0, 4), "ABC\x04", 0, ""},
      {"", Rules(0, 0, 0, 1, 2), "\x03", 0, ""},
      {"AB", Rules(0, 0, 0, 4), "AB", 0, ""},
      {"ABWXYZ", Rules(0, 0, 0, 2, -7), "A\xFFWXYZ", 0, ""},
      {full, Rules(0, 0, 0, 256), full, 0, ""},
      // Two hex digits after the string.
      {"\x01\xF0\x0C", Rules(2, 0, 0, 0, 0, kAscii, kAdd), "\x01\xF0\x0C", 0xFC, "FC"},
      {"A", Rules(2, 0, 0, 0, 0, kAscii, kAdd), "A", 0, "00"},
  };
  int line = 0;
  for (const auto& [before, rules, after, sum, suffix] : cases) {
    SCOPED_TRACE(testing::Message() << "case " << line++);
    std::string s = before;
    EXPECT_EQ(ApplyStringRules(s, rules), sum);
    EXPECT_EQ(s, after);
    EXPECT_EQ(TransmitSuffix(s, rules), suffix);
    EXPECT_EQ(StringChecksum(s, rules), sum);
    ApplyStringRules(s, rules);
    EXPECT_EQ(s, after) << "applied twice";
  }
  // A stored checksum is sent as it is, whatever the string now holds.
  EXPECT_EQ(ChecksumSuffix(0x0E, Rules(2, 0, 0, 0, 0, kAscii)), "0E");
  EXPECT_EQ(ChecksumSuffix(0x5A, Rules(1, 0, 3)), "");
  EXPECT_EQ(ChecksumSuffix(0x5A, unknownStyle), "");
}

TEST(ProtocolRulesTest, SelectRuleSetByKindDisplayModeAndProtocol) {
  const TProtocolparam user = Rules(2, 1, 3, 4, -2, kAscii, kAdd);
  const auto same = [](const TProtocolparam& a, const TProtocolparam& b) {
    return std::memcmp(&a, &b, sizeof(TProtocolparam)) == 0;
  };
  for (const int number : {0, 1, 2}) {  // none, Ruvo-94, Profibus
    const auto protocol = static_cast<std::uint8_t>(number);
    const TProtocolparam set = protocol == 1 ? Ruvo94RuleSet() : NoneRuleSet();
    EXPECT_TRUE(same(SelectRuleSet(2, false, protocol, user), user)) << int(protocol);
    EXPECT_TRUE(same(SelectRuleSet(2, true, protocol, user), set)) << int(protocol);
    EXPECT_TRUE(same(SelectRuleSet(3, false, protocol, user), set)) << int(protocol);
    EXPECT_TRUE(same(SelectRuleSet(3, true, protocol, user), set)) << int(protocol);
    for (int kind : {0, 1, 4, 5, -1, 255}) {  // none, script, global unresolved, rubbish
      EXPECT_TRUE(same(SelectRuleSet(kind, false, protocol, user), NoneRuleSet())) << kind;
      EXPECT_TRUE(same(SelectRuleSet(kind, true, protocol, user), NoneRuleSet())) << kind;
    }
  }
}

}  // namespace
}  // namespace klv
