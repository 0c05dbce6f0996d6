// Channels, a log and a string transmitter that record what the renderers
// ask of them, and the fixed time the renderers' clock shows in tests.
#pragma once

#include <QDateTime>
#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/ReceiveInterfaces.h"

namespace klv::test {

inline constexpr const char* kStamp = "2026-12-06 10:11:12,3";
inline QDateTime FixedTime() {
  return {QDate(2026, 12, 6), QTime(10, 11, 12, 300)};
}

// Both channels open, with room to spare; the bytes sent on each are kept.
class RecordingChannels : public IChannelServices {
 public:
  bool ChannelAvailable(int channel) const override { return channel == 0 || channel == 1; }
  void OutputString(int channel, std::string_view bytes) override {
    sent.at(static_cast<std::size_t>(channel)) += bytes;
  }
  int ChannelOutputRoom(int) const override { return 4096; }
  void DiscardChannelOutput(int) override {}
  bool ChannelCTS(int) const override { return false; }
  void SetChannelRTS(int, bool) override {}
  void SetChannelDTR(int, bool) override {}

  std::array<std::string, 2> sent;
};

// The file log and the printer log as text; the file log's pieces are kept.
class RecordingLogText : public ILogText {
 public:
  struct Piece {
    std::string text;
    int channel;
    bool newLine, toRich;
  };
  void LogText(std::string_view text, int channel, bool newLine, bool toRich) override {
    filePieces.push_back({std::string(text), channel, newLine, toRich});
    file += text;
    if (newLine)
      file += "\r\n";
  }
  void LogPrinterText(std::string_view text, int) override { printer += text; }
  // The file log made of one channel's pieces (any channel: -1), or of the
  // pieces bound for the rich-text log.
  std::string Joined(int channel, bool richOnly) const {
    std::string text;
    for (const Piece& p : filePieces) {
      if ((channel < 0 || p.channel == channel) && (p.toRich || !richOnly))
        text += p.text + (p.newLine ? "\r\n" : "");
    }
    return text;
  }
  std::string file, printer;
  std::vector<Piece> filePieces;
};

class FakeTransmitter : public IStringTransmitter {
 public:
  void TransmitLibraryString(int index, int channel) override { sent.push_back({index, channel}); }
  void RunLibraryScript(int index, int channel) override { scripts.push_back({index, channel}); }
  std::vector<std::pair<int, int>> sent, scripts;
};

inline std::string Trimmed(std::string_view row) {
  std::string text(row);
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

}  // namespace klv::test
