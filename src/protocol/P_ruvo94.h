// The renderer of the Protocol display mode for Ruvo-94 links: one frame
// state machine per channel; good frames are shown as address, type and
// message lines, broken ones as a red frame-error line.
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
#include "display/P_hextty.h"
#include "trigger/RuvoTrigger.h"

namespace klv {

class TProtocol_Ruvo94 {
 public:
  static constexpr std::uint8_t STX = 0x02;
  static constexpr std::uint8_t ETX = 0x03;
  static constexpr int kTimeStampColumn = 69;
  // Plain characters of the message on one line.
  static constexpr int kPieceLength = 37;

  TProtocol_Ruvo94(const TConf& conf, IConsoleOutput& console, IChannelServices& channels,
                   ILogText& log);

  // The trigger engine; without one, every good frame is shown.
  void SetTrigger(IRuvoTrigger* trigger) { trigger_ = trigger; }
  void SetStringTransmitter(IStringTransmitter* transmitter) { transmitter_ = transmitter; }
  void SetClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

  void RuvoReceiveByte(int channel, std::uint8_t byte);
  void RuvoReset();

  // "To:01H From:20H Type:A Msg:"
  static std::string HeaderText(std::uint8_t to, std::uint8_t from, std::uint8_t type);
  // The frame's check byte: XOR then rotate right, over STX to ETX.
  static std::uint8_t Checksum(std::string_view bytes);

 private:
  enum class TState : std::uint8_t { Stx, To, From, Type, Length, Data, Etx, Check };
  struct TFrame {
    TState state = TState::Stx;
    std::uint8_t to = 0;
    std::uint8_t from = 0;
    std::uint8_t type = 0;
    std::uint8_t remaining = 0;
    std::string message;
    std::uint8_t checksum = 0;
  };

  void Add(TFrame& frame, std::uint8_t byte);
  void GoodFrame(int channel, const TFrame& frame);
  void DisplayFrame(int channel, const TFrame& frame);
  void AnswerFrame(int channel, const TFrame& frame);
  void FrameError(int channel, std::string_view message);

  void OutputPiece(std::string_view text, int channel, bool firstLine);
  void LineEnd(int channel);

  const TConf& conf_;
  IConsoleOutput& console_;
  IChannelServices& channels_;
  ILogText& log_;
  IRuvoTrigger* trigger_ = nullptr;
  IStringTransmitter* transmitter_ = nullptr;
  std::function<QDateTime()> clock_ = [] { return QDateTime::currentDateTime(); };

  std::array<TFrame, 2> frames_;
};

// The Protocol display mode for Ruvo-94 links. Modem-line changes show as
// the TTY mode's status lines.
class TRuvo94Renderer final : public IDisplayRenderer {
 public:
  TRuvo94Renderer(TProtocol_Ruvo94& decoder, TProtocol_HexTTY& modemLines)
      : decoder_(decoder), modemLines_(modemLines) {}
  void ReceiveByte(int channel, std::uint8_t byte) override {
    decoder_.RuvoReceiveByte(channel, byte);
  }
  void ModemStatusLine(int channel, const TModemStatusRecord& record) override {
    modemLines_.TtyModemStatusLine(channel, record);
  }
  void Reset() override { decoder_.RuvoReset(); }
  void LogPendingLine(std::string_view, bool) override {}

 private:
  TProtocol_Ruvo94& decoder_;
  TProtocol_HexTTY& modemLines_;
};

}  // namespace klv
