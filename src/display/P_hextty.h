// The renderer of the Hex/ASCII and TTY display modes: turns each received
// byte into console text and hands every displayed piece to the logs.
#pragma once

#include <QDateTime>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/ReceiveInterfaces.h"
#include "conf/ConfRecord.h"
#include "display/ConsoleOutput.h"
#include "trigger/HexTTYTrigger.h"

namespace klv {

class TProtocol_HexTTY {
 public:
  static constexpr int kBytesPerLine = 16;
  static constexpr int kImageSize = 67;
  static constexpr int kCharColumn = 51;
  static constexpr int kTimeStampColumn = 69;

  TProtocol_HexTTY(const TConf& conf, IConsoleOutput& console, IChannelServices& channels,
                   ILogText& log);

  // The trigger engine; without one, every byte is shown.
  void SetTrigger(IHexTTYTrigger* trigger) { trigger_ = trigger; }
  void SetStringTransmitter(IStringTransmitter* transmitter) { transmitter_ = transmitter; }
  void SetClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

  void HexReceiveByte(int channel, std::uint8_t byte);
  void TtyReceiveByte(int channel, std::uint8_t byte);
  // Render bytes of one channel from the front and return how many they took:
  // all of them, runs of text in one console write each, or, while the
  // channel's trigger is in use, those up to the first that releases output
  // (its answer may run other code).
  std::size_t HexReceiveBytes(int channel, std::string_view bytes);
  std::size_t TtyReceiveBytes(int channel, std::string_view bytes);
  void HexReset();
  void HexModemStatusLine(int channel, const TModemStatusRecord& record);
  void TtyModemStatusLine(int channel, const TModemStatusRecord& record);
  // Logs the line in progress with `tail` in place of the time stamp; the
  // line itself is kept.
  void HexLogPendingLine(std::string_view tail, bool toFile);

  // "MODEM STATUS: RTS=0 DTR=0 CTS>1 ... " (0 for an asserted line, > for a change).
  static std::string ModemStatusText(const TModemStatusRecord& record);
  static std::string_view ControlName(std::uint8_t code);

  int HexCount() const { return count_; }

 private:
  using Render = void (TProtocol_HexTTY::*)(int, std::uint8_t);
  using Show = void (TProtocol_HexTTY::*)(int, std::string_view);
  using EndLine = void (TProtocol_HexTTY::*)(int);
  bool TriggerInUse(int channel) const;
  std::size_t TriggeredRun(int channel, std::string_view bytes, Show show, Render render,
                           EndLine endLine);
  void Release(int channel, Render render, EndLine endLine);
  void RenderAll(int channel, std::string_view bytes, bool reversed, Render render);

  void HexRender(int channel, std::uint8_t byte);
  // Bytes shown as they come, in runs where they fit on the line.
  void HexShow(int channel, std::string_view bytes);
  // Bytes that fit on the line, none of them a new-line character in use.
  void HexRun(int channel, std::string_view bytes);
  void HexEndLine(int channel = 0);
  void HexLogLine(std::string_view tail, bool toFile);
  void HexClearLine();

  void TtyRender(int channel, std::uint8_t byte);
  // Bytes shown as they come, runs of text in one write.
  void TtyShow(int channel, std::string_view bytes);
  // Printable bytes that are not a new-line character in use, shown as they are.
  void TtyText(int channel, std::string_view text);
  void TtyOutput(std::string_view text, int channel);
  // The logs that run take the text; the console does not.
  void TtyLog(std::string_view text, int channel);
  void TtyNewLine(int channel);
  // Ends the console row (not the logs' line) unless the cursor is at its start.
  void TtyEndRow();
  void TtyTimeStamp(int channel);

  TNewLineEntry NewLine(int channel, TDisplayMode mode) const;
  bool TimeStampsOn() const { return conf_.MiscBool.TimeStamp; }
  std::string TimeStamp() const;
  void ChannelColours(int channel);

  const TConf& conf_;
  IConsoleOutput& console_;
  IChannelServices& channelServices_;
  ILogText& log_;
  IHexTTYTrigger* trigger_ = nullptr;
  IStringTransmitter* transmitter_ = nullptr;
  std::function<QDateTime()> clock_ = [] { return QDateTime::currentDateTime(); };

  int count_ = 0;
  std::array<char, kImageSize> image_{};
  std::array<int, kBytesPerLine> channels_{};
  // TTY: a CR shown by its name ended the row; the next text starts a new one
  // (a cleared console has its cursor at the start of a row anyway).
  bool ttyRowEnded_ = false;
};

// The Hex/ASCII display mode.
class THexAsciiRenderer final : public IDisplayRenderer {
 public:
  explicit THexAsciiRenderer(TProtocol_HexTTY& renderer) : renderer_(renderer) {}
  void ReceiveByte(int channel, std::uint8_t byte) override {
    renderer_.HexReceiveByte(channel, byte);
  }
  std::size_t ReceiveBytes(int channel, std::string_view bytes) override {
    return renderer_.HexReceiveBytes(channel, bytes);
  }
  void ModemStatusLine(int channel, const TModemStatusRecord& record) override {
    renderer_.HexModemStatusLine(channel, record);
  }
  void Reset() override { renderer_.HexReset(); }
  void LogPendingLine(std::string_view tail, bool toFile) override {
    renderer_.HexLogPendingLine(tail, toFile);
  }
  bool LinePending() const override { return renderer_.HexCount() > 0; }

 private:
  TProtocol_HexTTY& renderer_;
};

// The TTY display mode: its text reaches the logs as it comes.
class TTtyRenderer final : public IDisplayRenderer {
 public:
  explicit TTtyRenderer(TProtocol_HexTTY& renderer) : renderer_(renderer) {}
  void ReceiveByte(int channel, std::uint8_t byte) override {
    renderer_.TtyReceiveByte(channel, byte);
  }
  std::size_t ReceiveBytes(int channel, std::string_view bytes) override {
    return renderer_.TtyReceiveBytes(channel, bytes);
  }
  void ModemStatusLine(int channel, const TModemStatusRecord& record) override {
    renderer_.TtyModemStatusLine(channel, record);
  }
  void Reset() override {}
  void LogPendingLine(std::string_view, bool) override {}

 private:
  TProtocol_HexTTY& renderer_;
};

}  // namespace klv
