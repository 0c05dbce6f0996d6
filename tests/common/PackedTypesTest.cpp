#include "common/PackedTypes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace klv {
namespace {

TEST(PackedTypes, IntegersAreLittleEndianWhateverTheHost) {
  LeU16 u;
  LeI16 s;
  LeI32 i;
  u = 0x1234;
  s = -3;
  i = -2;
  EXPECT_EQ(u.bytes, (std::array<std::uint8_t, 2>{0x34, 0x12}));
  EXPECT_EQ(s.bytes, (std::array<std::uint8_t, 2>{0xFD, 0xFF}));
  EXPECT_EQ(i.bytes, (std::array<std::uint8_t, 4>{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(s.get(), -3);
  EXPECT_EQ(i.get(), -2);
}

TEST(PackedTypes, PascalStringClampsAndZeroesTheRoom) {
  PascalString<10> text;
  std::memset(static_cast<void*>(&text), 0xAA, sizeof text);
  text.assign("KLV");
  EXPECT_EQ(text.length, 3);
  EXPECT_EQ(std::string(text.chars.begin(), text.chars.end()),
            std::string("KLV\0\0\0\0\0\0\0", 10));
  EXPECT_EQ(text.view(), "KLV");

  text.assign("0123456789ABC");  // longer than the room
  EXPECT_EQ(text.length, 10);
  EXPECT_EQ(text.view(), "0123456789");

  text.length = 250;  // as a damaged file may have it
  EXPECT_EQ(text.size(), 10u);
  EXPECT_EQ(text.view(), "0123456789");
}

TEST(PackedTypes, BooleanReadsAnyNonZeroAsTrueAndWritesOne) {
  Boolean8 flag;
  flag.raw = 7;
  EXPECT_TRUE(flag);
  flag = true;
  EXPECT_EQ(flag.raw, 1);
  flag = false;
  EXPECT_EQ(flag.raw, 0);
}

}  // namespace
}  // namespace klv
