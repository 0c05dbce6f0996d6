#include "common/PackedTypes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace klv {
namespace {

TEST(PackedTypes, IntegersAreLittleEndianWhateverTheHost) {
  LeU16 u;
  u = 0x1234;
  EXPECT_EQ(u.bytes[0], 0x34);
  EXPECT_EQ(u.bytes[1], 0x12);
  LeI16 s;
  s = -3;
  EXPECT_EQ(s.bytes[0], 0xFD);
  EXPECT_EQ(s.bytes[1], 0xFF);
  EXPECT_EQ(s.get(), -3);
  LeI32 i;
  i = -2;
  EXPECT_EQ(i.get(), -2);
  EXPECT_EQ(i.bytes[3], 0xFF);
}

TEST(PackedTypes, PascalStringClampsAndZeroesTheRoom) {
  PascalString<10> text;
  std::memset(static_cast<void*>(&text), 0xAA, sizeof text);
  text.assign("KLV");
  EXPECT_EQ(text.length, 3);
  EXPECT_EQ(text.view(), "KLV");
  for (std::size_t i = 3; i < 10; ++i)
    EXPECT_EQ(text.chars[i], 0) << i;

  text.assign("0123456789ABC");  // longer than the room
  EXPECT_EQ(text.length, 10);
  EXPECT_EQ(text.view(), "0123456789");

  text.length = 250;  // as a damaged file may have it
  EXPECT_EQ(text.size(), 10u);
  EXPECT_EQ(text.view().size(), 10u);
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
