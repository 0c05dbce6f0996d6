// Channels and a log that record what the renderers ask of them.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "support/QuietServices.h"

namespace klv::test {

// Both channels open, with room to spare; the bytes sent on each are kept.
class RecordingChannels : public QuietServices {
 public:
  bool ChannelAvailable(int channel) const override { return channel == 0 || channel == 1; }
  void OutputString(int channel, std::string_view bytes) override {
    sent.at(static_cast<std::size_t>(channel)) += bytes;
  }
  int ChannelOutputRoom(int) const override { return 4096; }

  std::array<std::string, 2> sent;
};

// The file log and the printer log as text; the file log's pieces are kept.
class RecordingLogText : public ILogText {
 public:
  void LogText(std::string_view text, int channel, bool newLine, bool toRich) override {
    pieces.emplace_back(std::string(text) + (newLine ? "\r\n" : ""), channel, toRich);
    file += std::get<0>(pieces.back());
  }
  void LogPrinterText(std::string_view text, int) override { printer += text; }
  // The file log made of one channel's pieces (any channel: -1), or of the
  // pieces bound for the rich-text log.
  std::string Joined(int channel, bool richOnly) const {
    std::string joined;
    for (const auto& [text, from, toRich] : pieces) {
      if ((channel < 0 || from == channel) && (toRich || !richOnly))
        joined += text;
    }
    return joined;
  }
  std::string file, printer;
  std::vector<std::tuple<std::string, int, bool>> pieces;  // text with its line end, channel, rich
};

inline std::string Trimmed(std::string_view row) {
  std::string text(row);
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

}  // namespace klv::test
