// Length byte, checksum and checksum placement of transmit strings, the bytes
// sent after a string, and which rule set a string goes by.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "protocol/ProtocolRules.h"

namespace klv {
namespace {

constexpr auto kBinary = TChecksumStyle::OneByteBinary;
constexpr auto kAscii = TChecksumStyle::TwoByteAscii;

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values)
    s.push_back(static_cast<char>(v));
  return s;
}

TProtocolparam Rules(int start, int end, int pos, int lengthPos = 0, int adjust = 0,
                     TChecksumStyle style = kBinary, TChecksumAlg alg = TChecksumAlg::Xor) {
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

bool SameSet(const TProtocolparam& a, const TProtocolparam& b) {
  return std::memcmp(&a, &b, sizeof(TProtocolparam)) == 0;
}

TEST(ProtocolRulesTest, ThreeAlgorithmsOverTheWholeString) {
  const std::string s = Bytes({0x01, 0x02});
  EXPECT_EQ(StringChecksum(s, Rules(1, 0, 0, 0, 0, kBinary, TChecksumAlg::XorRor)), 0x41);
  EXPECT_EQ(StringChecksum(s, Rules(1, 0, 0, 0, 0, kBinary, TChecksumAlg::Xor)), 0x03);
  EXPECT_EQ(
      StringChecksum(Bytes({0xFF, 0x02, 0x01}), Rules(1, 0, 0, 0, 0, kBinary, TChecksumAlg::Add)),
      0x02);
  // An algorithm number the record should not hold leaves the checksum at 00H.
  TProtocolparam unknown = Rules(1, 0, 0);
  unknown.ChecksumAlg = 7;
  EXPECT_EQ(StringChecksum(s, unknown), 0);
}

TEST(ProtocolRulesTest, Ruvo94FrameGetsLengthByteAndChecksumAfterIt) {
  std::string frame = Bytes({0x02, 0x01, 0x20, 0x41, 0x00, 0x03});
  const std::uint8_t checksum = ApplyStringRules(frame, Ruvo94RuleSet());
  EXPECT_EQ(frame, Bytes({0x02, 0x01, 0x20, 0x41, 0x03, 0x03}));
  EXPECT_EQ(checksum, 0x6B);  // XOR-ROR over all six characters, length byte included
  EXPECT_EQ(TransmitSuffix(frame, Ruvo94RuleSet()), Bytes({0x6B}));
  EXPECT_EQ(ChecksumSuffix(checksum, Ruvo94RuleSet()), Bytes({0x6B}));

  // Two data bytes: length d + 3 = 5.
  std::string longer = Bytes({0x02, 0x01, 0x20, 0x41, 0x3F, 'x', 'y', 0x03});
  EXPECT_EQ(ApplyStringRules(longer, Ruvo94RuleSet()), 0x0A);
  EXPECT_EQ(longer, Bytes({0x02, 0x01, 0x20, 0x41, 0x05, 'x', 'y', 0x03}));
}

TEST(ProtocolRulesTest, ChecksumPlacedOverPlaceholders) {
  // "2-byte ascii" ADD: 31H + 32H + 33H = 96H replaces characters 4 and 5.
  std::string ascii = Bytes({0x31, 0x32, 0x33, 0x3F, 0x3F});
  const TProtocolparam asciiRules = Rules(1, 2, 1, 0, 0, kAscii, TChecksumAlg::Add);
  EXPECT_EQ(ApplyStringRules(ascii, asciiRules), 0x96);
  EXPECT_EQ(ascii, Bytes({0x31, 0x32, 0x33, 0x39, 0x36}));
  EXPECT_EQ(TransmitSuffix(ascii, asciiRules), "");

  // Letters are upper case.
  std::string upper = Bytes({0xAB, 0x3F, 0x3F});
  EXPECT_EQ(ApplyStringRules(upper, Rules(1, 2, 1, 0, 0, kAscii, TChecksumAlg::Add)), 0xAB);
  EXPECT_EQ(upper, Bytes({0xAB, 'A', 'B'}));

  // "1-byte binary": checksum of characters 1..2 just before the last one.
  std::string binary = Bytes({0x02, 0x41, 0x3F, 0x03});
  EXPECT_EQ(ApplyStringRules(binary, Rules(1, 2, 1)), 0x43);
  EXPECT_EQ(binary, Bytes({0x02, 0x41, 0x43, 0x03}));

  // Applying the rules again gives the same string.
  std::string again = binary;
  ApplyStringRules(again, Rules(1, 2, 1));
  EXPECT_EQ(again, binary);
}

TEST(ProtocolRulesTest, NegativePositionWorksAsItsAbsoluteValue) {
  std::string s = Bytes({0x02, 0x41, 0x3F, 0x03});
  EXPECT_EQ(ApplyStringRules(s, Rules(1, 2, -1)), 0x43);
  EXPECT_EQ(s, Bytes({0x02, 0x41, 0x43, 0x03}));
  // Not position 0, so nothing follows the string.
  EXPECT_EQ(TransmitSuffix(s, Rules(1, 2, -1)), "");

  // The most negative value must not overflow.
  std::string shortString = "ABC";
  ApplyStringRules(shortString, Rules(1, 0, -32768));
  EXPECT_EQ(shortString, "ABC");
}

TEST(ProtocolRulesTest, NoneSetChangesNothing) {
  for (std::string s :
       {std::string(), std::string("A"), Bytes({0x02, 0x01, 0x20, 0x41, 0x00, 0x03})}) {
    const std::string before = s;
    EXPECT_EQ(ApplyStringRules(s, NoneRuleSet()), 0);
    EXPECT_EQ(s, before);
    EXPECT_EQ(TransmitSuffix(s, NoneRuleSet()), "");
  }
}

TEST(ProtocolRulesTest, LengthByte) {
  // L = p - 1: a blank is appended, and becomes the length byte.
  std::string appended = "ABC";
  ApplyStringRules(appended, Rules(0, 0, 0, 4, 0));
  EXPECT_EQ(appended, Bytes({'A', 'B', 'C', 0x04}));

  std::string empty;
  ApplyStringRules(empty, Rules(0, 0, 0, 1, 2));
  EXPECT_EQ(empty, Bytes({0x03}));

  // Too short even for that: unchanged.
  std::string tooShort = "AB";
  ApplyStringRules(tooShort, Rules(0, 0, 0, 4, 0));
  EXPECT_EQ(tooShort, "AB");

  // Longer: character p is overwritten, L + adjustment as its low byte.
  std::string longer = "ABCDEF";
  ApplyStringRules(longer, Rules(0, 0, 0, 2, -7));
  EXPECT_EQ(longer, Bytes({'A', 0xFF, 'C', 'D', 'E', 'F'}));

  // A full string is never grown past its room; the position beyond it is ignored.
  std::string full(kMaxRuleStringLength, 'x');
  ApplyStringRules(full, Rules(0, 0, 0, 256, 0));
  EXPECT_EQ(full, std::string(kMaxRuleStringLength, 'x'));
  std::string far = "AB";
  ApplyStringRules(far, Rules(0, 0, 0, 65535, 0));
  EXPECT_EQ(far, "AB");
}

TEST(ProtocolRulesTest, ChecksumGuards) {
  const std::string s = "ABC";
  EXPECT_EQ(StringChecksum(s, Rules(1, 0, 0)), 'A' ^ 'B' ^ 'C');
  EXPECT_EQ(StringChecksum(s, Rules(3, 0, 0)), 'C');
  EXPECT_EQ(StringChecksum(s, Rules(2, 1, 0)), 'B');
  EXPECT_EQ(StringChecksum(s, Rules(0, 0, 0)), 0);   // off
  EXPECT_EQ(StringChecksum(s, Rules(4, 0, 0)), 0);   // start beyond the string
  EXPECT_EQ(StringChecksum(s, Rules(1, 5, 0)), 0);   // end larger than the string
  EXPECT_EQ(StringChecksum(s, Rules(1, 3, 0)), 0);   // empty range
  EXPECT_EQ(StringChecksum(s, Rules(3, 1, 0)), 0);   // start after the end
  EXPECT_EQ(StringChecksum(s, Rules(1, -1, 0)), 0);  // end beyond the last character
  EXPECT_EQ(StringChecksum(s, Rules(-1, 0, 0)), 0);  // before the first character
  EXPECT_EQ(StringChecksum(s, Rules(-32768, -32768, 0)), 0);
  EXPECT_EQ(StringChecksum(s, Rules(32767, 32767, 0)), 0);
  EXPECT_EQ(StringChecksum("", Rules(1, 0, 0)), 0);
}

TEST(ProtocolRulesTest, PlacementGuards) {
  // No room before the position: unchanged.
  std::string binary = "AB";
  ApplyStringRules(binary, Rules(1, 0, 2));
  EXPECT_EQ(binary, "AB");
  std::string ascii = "AB";
  ApplyStringRules(ascii, Rules(1, 0, 1, 0, 0, kAscii));
  EXPECT_EQ(ascii, "AB");

  // A range the checksum cannot cover still places 00H: the string is being
  // built up around its placeholders.
  std::string partial = "AB";
  EXPECT_EQ(ApplyStringRules(partial, Rules(1, 2, 1)), 0);
  EXPECT_EQ(partial, Bytes({0x00, 'B'}));

  // Start 0 turns checksums off: no placement, even with a position set. A
  // negative start counts as off.
  for (int start : {0, -1}) {
    std::string off = "ABCD";
    EXPECT_EQ(ApplyStringRules(off, Rules(start, 0, 1, 0, 0, kAscii)), 0);
    EXPECT_EQ(off, "ABCD");
    EXPECT_EQ(TransmitSuffix(off, Rules(start, 0, 0)), "");
  }

  // An unknown style places nothing and sends nothing.
  TProtocolparam unknownStyle = Rules(1, 0, 1);
  unknownStyle.ChecksumStyle = 2;
  std::string kept = "ABCD";
  EXPECT_EQ(ApplyStringRules(kept, unknownStyle), 'A' ^ 'B' ^ 'C' ^ 'D');
  EXPECT_EQ(kept, "ABCD");
  unknownStyle.ChecksumPos = 0;
  EXPECT_EQ(TransmitSuffix(kept, unknownStyle), "");
}

TEST(ProtocolRulesTest, SuffixInBothStyles) {
  const TProtocolparam ascii = Rules(2, 0, 0, 0, 0, kAscii, TChecksumAlg::Add);
  EXPECT_EQ(TransmitSuffix(Bytes({0x01, 0xF0, 0x0C}), ascii), "FC");
  EXPECT_EQ(TransmitSuffix("A", ascii), "00");  // range empty: checksum 0
  // A stored checksum is sent as it is, whatever the string now holds.
  EXPECT_EQ(ChecksumSuffix(0x0E, ascii), "0E");
  EXPECT_EQ(ChecksumSuffix(0x00, Rules(1, 0, 0)), Bytes({0x00}));
  EXPECT_EQ(ChecksumSuffix(0x5A, Rules(1, 0, 3)), "");
}

TEST(ProtocolRulesTest, SelectRuleSetByKindDisplayModeAndProtocol) {
  const TProtocolparam user = Rules(2, 1, 3, 4, -2, kAscii, TChecksumAlg::Add);
  const TProtocolparam none = NoneRuleSet();
  const TProtocolparam ruvo = Ruvo94RuleSet();
  constexpr std::uint8_t kNoProtocol = 0, kRuvo = 1, kProfibus = 2;

  for (std::uint8_t protocol : {kNoProtocol, kRuvo, kProfibus}) {
    SCOPED_TRACE(protocol);
    const TProtocolparam& protocolSet = protocol == kRuvo ? ruvo : none;
    // Display Mode: the user set unless the display mode is Protocol.
    EXPECT_TRUE(SameSet(SelectRuleSet(2, false, protocol, user), user));
    EXPECT_TRUE(SameSet(SelectRuleSet(2, true, protocol, user), protocolSet));
    // Protocol: follows the selected protocol in every display mode.
    EXPECT_TRUE(SameSet(SelectRuleSet(3, false, protocol, user), protocolSet));
    EXPECT_TRUE(SameSet(SelectRuleSet(3, true, protocol, user), protocolSet));
    // None, script, an unresolved global kind or rubbish: the none set.
    for (int kind : {0, 1, 4, 5, -1, 255}) {
      for (bool protocolDisplay : {false, true})
        EXPECT_TRUE(SameSet(SelectRuleSet(kind, protocolDisplay, protocol, user), none));
    }
  }
}

}  // namespace
}  // namespace klv
