// The record's layout and defaults, byte by byte.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "app/ConfigTestSupport.h"

namespace klv {
namespace {

using test::ConfigFixtureParts;

std::vector<std::uint8_t> ImageOf(const TConf& conf) {
  std::vector<std::uint8_t> image(kConfSize);
  std::memcpy(image.data(), &conf, kConfSize);
  return image;
}

void Put(std::vector<std::uint8_t>& image, std::size_t offset,
         std::initializer_list<std::uint8_t> bytes) {
  std::size_t at = offset;
  for (std::uint8_t b : bytes)
    image.at(at++) = b;
}

void PutText(std::vector<std::uint8_t>& image, std::size_t offset, std::string_view text) {
  image.at(offset) = static_cast<std::uint8_t>(text.size());
  for (std::size_t i = 0; i < text.size(); ++i)
    image.at(offset + 1 + i) = static_cast<std::uint8_t>(text[i]);
}

// The default record written out from the documented offsets, independently
// of the structures: every byte not named here must be zero.
std::vector<std::uint8_t> ExpectedDefaultImage(bool channel1Enabled, std::uint8_t port1,
                                               bool channel2Enabled, std::uint8_t port2) {
  std::vector<std::uint8_t> image(kConfSize, 0);
  PutText(image, 0, "KLV");
  PutText(image, 11, "V3.02 ");
  Put(image, 22, {channel1Enabled ? std::uint8_t{1} : std::uint8_t{0}, port1, 7, 0, 8, 0, 0, 1, 0});
  Put(image, 31, {channel2Enabled ? std::uint8_t{1} : std::uint8_t{0}, port2, 7, 0, 8, 0, 0, 1, 0});
  Put(image, 40, {0, 1, 0, 1});
  Put(image, 44, {10, 0, 10, 2, 10, 2, 10, 0, 10, 2, 10, 2});
  for (std::size_t entry = 0; entry < 100; ++entry) {
    const std::size_t base = 58 + entry * 294;
    Put(image, base + 277, {1, 0, 1, 1});  // cursor 1, ASCII, Insert
  }
  Put(image, 58 + 29402, {2});      // global syntax "Display Mode"
  Put(image, 30772, {0xE8, 0x03});  // auto-transmit interval 1000 ms
  PutText(image, 33573, "KLV.Log");
  for (std::size_t channel = 0; channel < 2; ++channel) {
    const std::size_t ruvo = 33653 + channel * 439;
    Put(image, ruvo + 7, {49, 0, 49, 0, 49, 0, 49, 0, 49, 0, 49, 0, 83, 0, 83, 0, 83, 0});
    Put(image, ruvo + 284, {1, 0, 1});  // answer to the sender; display the frame
    const std::size_t hex = 34531 + channel * 684;
    Put(image, hex + 5, {1});    // display the trigger string
    Put(image, hex + 531, {1});  // force a new line
  }
  Put(image, 35899 + 80, {1, 0, 0, 0});
  return image;
}

void ExpectSameImage(const std::vector<std::uint8_t>& actual,
                     const std::vector<std::uint8_t>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  int reported = 0;
  for (std::size_t i = 0; i < actual.size() && reported < 10; ++i) {
    if (actual[i] != expected[i]) {
      ADD_FAILURE() << "byte " << i << ": " << int(actual[i]) << " instead of " << int(expected[i]);
      ++reported;
    }
  }
}

TEST(ConfigRecord, DefaultsMatchTheDocumentedBytes) {
  ConfigFixtureParts parts;
  parts.config.SetDefaults();
  ExpectSameImage(ImageOf(parts.config.Conf()), ExpectedDefaultImage(false, 1, false, 2));
}

TEST(ConfigRecord, DefaultsOverwriteEveryEarlierByte) {
  ConfigFixtureParts parts;
  std::memset(static_cast<void*>(&parts.config.Conf()), 0x5A, kConfSize);
  parts.config.SetDefaults();
  ExpectSameImage(ImageOf(parts.config.Conf()), ExpectedDefaultImage(false, 1, false, 2));
}

struct PortSearchCase {
  std::set<int> present;
  bool enabled1;
  std::uint8_t port1;
  bool enabled2;
  std::uint8_t port2;
};

TEST(ConfigRecord, PortSearchTakesTheLowestTwoPresentPorts) {
  const std::vector<PortSearchCase> cases = {
      {{}, false, 1, false, 2}, {{3, 5}, true, 3, true, 5},    {{16}, true, 16, false, 2},
      {{5}, true, 5, false, 2}, {{1, 2, 3}, true, 1, true, 2}, {{15, 16}, true, 15, true, 16},
  };
  for (const PortSearchCase& c : cases) {
    ConfigFixtureParts parts;
    parts.host.presentPorts = c.present;
    parts.config.SetDefaults();
    const auto& channels = parts.config.Conf().Comparam.Channel;
    SCOPED_TRACE(testing::Message() << "ports present: " << c.present.size());
    EXPECT_EQ(bool(channels[0].Enabled), c.enabled1);
    EXPECT_EQ(channels[0].Port, c.port1);
    EXPECT_EQ(bool(channels[1].Enabled), c.enabled2);
    EXPECT_EQ(channels[1].Port, c.port2);
  }
}

TEST(ConfigRecord, NewLineEntriesAreReadAndWrittenInPlace) {
  ConfigFixtureParts parts;
  parts.config.SetDefaults();
  EXPECT_EQ(parts.config.GetNewLine(0, TDisplayMode::HexAscii), (TNewLineEntry{10, 0}));
  EXPECT_EQ(parts.config.GetNewLine(1, TDisplayMode::Tty), (TNewLineEntry{10, 2}));

  parts.config.SetNewLine(1, TDisplayMode::Tty, {0x0D, 1});
  const auto image = ImageOf(parts.config.Conf());
  EXPECT_EQ(image[44 + 6 + 2], 0x0D);  // channel 2, TTY
  EXPECT_EQ(image[44 + 6 + 3], 1);
  EXPECT_EQ(parts.config.GetNewLine(1, TDisplayMode::Tty), (TNewLineEntry{0x0D, 1}));
  EXPECT_EQ(parts.config.GetNewLine(0, TDisplayMode::Tty), (TNewLineEntry{10, 2}));
}

TEST(ConfigRecord, ChangedIsTrueOnlyWhileAByteDiffers) {
  ConfigFixtureParts parts;
  parts.config.SetDefaults();
  parts.config.CopyToSaved();
  EXPECT_FALSE(parts.config.ConfigChanged());

  TConf& conf = parts.config.Conf();
  conf.Trigger_HexTTY.Channel[1].SpareWords[49] = 7;  // the very last bytes of a sub-record
  EXPECT_TRUE(parts.config.ConfigChanged());
  conf.Trigger_HexTTY.Channel[1].SpareWords[49] = 0;
  EXPECT_FALSE(parts.config.ConfigChanged());

  conf.FileXmission.SpareInt = 2;  // the record's last field
  EXPECT_TRUE(parts.config.ConfigChanged());
  conf.FileXmission.SpareInt = 1;
  EXPECT_FALSE(parts.config.ConfigChanged());
}

TEST(ConfigRecord, VersionOrderIsThatOfLengthPrefixedStrings) {
  EXPECT_FALSE(VersionIsBelow("V1.16 ", "V1.16 "));
  EXPECT_FALSE(VersionIsBelow("V9.99 ", "V1.16 "));
  EXPECT_FALSE(VersionIsBelow("V1.16 x", "V1.16 "));
  EXPECT_FALSE(VersionIsBelow("V2", "V1.16 "));
  EXPECT_TRUE(VersionIsBelow("V1.15 ", "V1.16 "));
  EXPECT_TRUE(VersionIsBelow("V1.1", "V1.16 "));  // a proper prefix is smaller
  EXPECT_TRUE(VersionIsBelow("", "V1.16 "));
  EXPECT_FALSE(VersionIsBelow("\xFF", "V1.16 "));  // bytes compare unsigned
}

}  // namespace
}  // namespace klv
