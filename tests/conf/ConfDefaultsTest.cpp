// The record's layout and defaults, byte by byte.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <set>
#include <tuple>
#include <vector>

#include "conf/ConfDefaults.h"

namespace klv {
namespace {

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
std::vector<std::uint8_t> ExpectedDefaultImage() {
  std::vector<std::uint8_t> image(kConfSize, 0);
  PutText(image, 0, "KLV");
  PutText(image, 11, "V3.02 ");
  Put(image, 22, {0, 1, 7, 0, 8, 0, 0, 1, 0});  // channel 1: disabled, COM1, 9600 8N1
  Put(image, 31, {0, 2, 7, 0, 8, 0, 0, 1, 0});  // channel 2: disabled, COM2
  Put(image, 40, {0, 1, 0, 1});                 // RTS off, DTR on
  Put(image, 44, {10, 0, 10, 2, 10, 2, 10, 0, 10, 2, 10, 2});
  for (std::size_t entry = 0; entry < 100; ++entry)
    Put(image, 58 + entry * 294 + 277, {1, 0, 1, 1});  // cursor 1, ASCII, Insert
  Put(image, 58 + 29402, {2});                         // global syntax "Display Mode"
  Put(image, 30772, {0xE8, 0x03});                     // auto-transmit interval 1000 ms
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

TEST(ConfDefaults, EveryByteIsTheDocumentedOneWhateverWasThereBefore) {
  TConf conf;
  std::memset(static_cast<void*>(&conf), 0x5A, kConfSize);
  SetConfDefaults(conf, [](int) { return false; });
  std::vector<std::uint8_t> actual(kConfSize);
  std::memcpy(actual.data(), &conf, kConfSize);
  const std::vector<std::uint8_t> expected = ExpectedDefaultImage();
  int reported = 0;
  for (std::size_t i = 0; i < kConfSize && reported < 10; ++i) {
    if (actual[i] != expected[i]) {
      ADD_FAILURE() << "byte " << i << ": " << int(actual[i]) << " instead of " << int(expected[i]);
      ++reported;
    }
  }
}

TEST(ConfDefaults, TheChannelsTakeTheLowestTwoPresentPorts) {
  // The ports present, and channel 1's and channel 2's enabled flag and port.
  const std::tuple<std::set<int>, bool, int, bool, int> cases[] = {
      {{}, false, 1, false, 2}, {{3, 5}, true, 3, true, 5},    {{16}, true, 16, false, 2},
      {{5}, true, 5, false, 2}, {{1, 2, 3}, true, 1, true, 2}, {{15, 16}, true, 15, true, 16},
  };
  for (const auto& [present, enabled1, port1, enabled2, port2] : cases) {
    TConf conf;
    SetConfDefaults(conf, [&](int n) { return present.count(n) > 0; });
    const auto& channels = conf.Comparam.Channel;
    EXPECT_EQ(std::tuple(bool(channels[0].Enabled), int(channels[0].Port),
                         bool(channels[1].Enabled), int(channels[1].Port)),
              std::tuple(enabled1, port1, enabled2, port2))
        << "ports present: " << present.size();
  }
}

}  // namespace
}  // namespace klv
