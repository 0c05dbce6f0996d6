// Window services, a log and a string transmitter that record what the
// renderers ask of them.
#pragma once

#include <QDateTime>
#include <QString>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/ReceiveInterfaces.h"

namespace klv::test {

inline constexpr const char* kStamp = "2026-12-06 10:11:12,3";

class FakeApp : public IAppServices {
 public:
  bool ChannelAvailable(int) const override { return true; }
  void OutputString(int channel, std::string_view bytes) override {
    sent.push_back({channel, std::string(bytes)});
  }
  int ChannelOutputRoom(int) const override { return 4096; }
  void DiscardChannelOutput(int) override {}
  bool ChannelCTS(int) const override { return false; }
  void SetChannelRTS(int, bool) override {}
  void SetChannelDTR(int, bool) override {}
  QString TimeStampText(const QDateTime&) const override { return kStamp; }
  void RefreshCaret() override { ++carets; }

  std::vector<std::pair<int, std::string>> sent;
  int carets = 0;
};

// Assembles the file log and the printer log as text, and keeps the pieces.
class RecordingLogText : public ILogText {
 public:
  struct Piece {
    std::string text;
    int channel;
    bool toRich = true;
  };
  void LogText(std::string_view text, int channel, bool newLine, bool toRich) override {
    file += text;
    if (newLine)
      file += "\r\n";
    filePieces.push_back({std::string(text), channel, toRich});
  }
  void LogPrinterText(std::string_view text, int channel) override {
    printer += text;
    printerPieces.push_back({std::string(text), channel});
  }
  std::string file, printer;
  std::vector<Piece> filePieces, printerPieces;
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
