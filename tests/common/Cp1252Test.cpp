#include "common/Cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace klv {
namespace {

TEST(Cp1252, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b)
    all.push_back(static_cast<char>(b));
  const QString text = Cp1252ToQString(all);
  ASSERT_EQ(text.size(), 256);
  EXPECT_EQ(QStringToCp1252(text), all);
}

TEST(Cp1252, UpperHalfUsesTheWindowsTableNotLatin1) {
  EXPECT_EQ(Cp1252ToUnicode(0x80), QChar(0x20AC));  // euro sign
  EXPECT_EQ(Cp1252ToUnicode(0x9F), QChar(0x0178));  // Y with diaeresis
  EXPECT_EQ(Cp1252ToUnicode(0xE5), QChar(0x00E5));  // a with ring, as in Latin-1
  EXPECT_EQ(QStringToCp1252(QString(QChar(0x2122))), std::string("\x99"));
  EXPECT_EQ(QStringToCp1252(QStringLiteral("\u4e2d")), "?");
}

}  // namespace
}  // namespace klv
