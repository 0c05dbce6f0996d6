#include "protocol/P_ruvo94.h"

#include <algorithm>

#include "common/TimeStamp.h"
#include "protocol/ProtocolRules.h"

namespace klv {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHex(std::string& text, std::uint8_t byte) {
  text += kHexDigits[byte >> 4];
  text += kHexDigits[byte & 0x0F];
}

// A byte of the header or the message as shown: a code below 20H as "[0DH]",
// so that it cannot move the cursor.
void AppendShown(std::string& text, std::uint8_t c) {
  if (c < 0x20) {
    text += '[';
    AppendHex(text, c);
    text += "H]";
  } else {
    text += static_cast<char>(c);
  }
}

// The next line's piece of the message, taken from its front: characters are
// moved while the piece is shorter than 37; codes below 20H show as "[0DH]".
std::string TakePiece(std::string_view& message) {
  std::string piece;
  while (!message.empty() && piece.size() < TProtocol_Ruvo94::kPieceLength) {
    const auto c = static_cast<std::uint8_t>(message.front());
    message.remove_prefix(1);
    AppendShown(piece, c);
  }
  return piece;
}

}  // namespace

TProtocol_Ruvo94::TProtocol_Ruvo94(const TConf& conf, IConsoleOutput& console,
                                   IChannelServices& channels, ILogText& log)
    : conf_(conf), console_(console), channels_(channels), log_(log) {}

std::string TProtocol_Ruvo94::HeaderText(std::uint8_t to, std::uint8_t from, std::uint8_t type) {
  std::string header = "To:";
  AppendHex(header, to);
  header += "H From:";
  AppendHex(header, from);
  header += "H Type:";
  AppendShown(header, type);
  header += " Msg:";
  return header;
}

std::uint8_t TProtocol_Ruvo94::Checksum(std::string_view bytes) {
  return ComputeChecksum(TChecksumAlg::XorRor, bytes);
}

void TProtocol_Ruvo94::RuvoReset() {
  frames_ = {};
}

void TProtocol_Ruvo94::Add(TFrame& frame, std::uint8_t byte) {
  frame.checksum = ChecksumStep(TChecksumAlg::XorRor, frame.checksum, byte);
}

// Every fault shows its line and sends the machine back to the search for
// STX with the next byte; the failing byte itself is not looked at again.
void TProtocol_Ruvo94::RuvoReceiveByte(int channel, std::uint8_t byte) {
  TFrame& frame = frames_[static_cast<std::size_t>(channel)];
  switch (frame.state) {
    case TState::Stx:
      if (byte != STX) {
        FrameError(channel, "Missing STX");
        return;
      }
      frame.checksum = 0;
      Add(frame, byte);
      frame.state = TState::To;
      return;
    case TState::To:
      Add(frame, byte);
      frame.to = byte;
      frame.state = TState::From;
      return;
    case TState::From:
      Add(frame, byte);
      frame.from = byte;
      frame.state = TState::Type;
      return;
    case TState::Type:
      Add(frame, byte);
      frame.type = byte;
      frame.state = TState::Length;
      return;
    case TState::Length:
      Add(frame, byte);
      frame.message.clear();
      if (byte < 3) {
        frame.state = TState::Stx;
        FrameError(channel, "Illegal length parameter");
      } else if (byte == 3) {
        frame.state = TState::Etx;
      } else {
        frame.remaining = static_cast<std::uint8_t>(byte - 3);
        frame.state = TState::Data;
      }
      return;
    case TState::Data:
      if (byte < 0x04) {
        frame.state = TState::Stx;
        FrameError(channel, "Illegal character in message");
        return;
      }
      Add(frame, byte);
      frame.message += static_cast<char>(byte);
      if (--frame.remaining == 0)
        frame.state = TState::Etx;
      return;
    case TState::Etx:
      frame.state = TState::Stx;
      if (byte != ETX) {
        FrameError(channel, "Missing ETX");
        return;
      }
      Add(frame, byte);
      frame.state = TState::Check;
      return;
    case TState::Check:
      frame.state = TState::Stx;
      if (byte != frame.checksum) {
        FrameError(channel, "Checksum error");
        return;
      }
      GoodFrame(channel, frame);
      return;
  }
}

// ---- good frames ----------------------------------------------------------------

void TProtocol_Ruvo94::GoodFrame(int channel, const TFrame& frame) {
  const TRuvo94TrigChannel& settings =
      conf_.Trigger_Ruvo94.Channel[static_cast<std::size_t>(channel)];
  if (settings.Mode == static_cast<std::uint8_t>(TTrigMode::Disabled) || trigger_ == nullptr) {
    DisplayFrame(channel, frame);
    return;
  }
  if (!trigger_->CheckRuvoTrigger(channel, frame.to, frame.from, frame.type, frame.message)) {
    if (trigger_->OnNoTrigDisplayFrames(channel))
      DisplayFrame(channel, frame);
    return;
  }
  if (trigger_->OnTrigDisplayFrame(channel))
    DisplayFrame(channel, frame);
  if (settings.OnTrigTr)
    AnswerFrame(channel, frame);
}

// The header, then the message with its "\" end mark in pieces of 37 plain
// characters; later lines are indented under the first piece.
void TProtocol_Ruvo94::DisplayFrame(int channel, const TFrame& frame) {
  const std::string header = HeaderText(frame.to, frame.from, frame.type);
  const std::string indent(header.size(), ' ');
  const std::string marked = frame.message + '\\';
  std::string_view rest = marked;
  bool first = true;
  while (!rest.empty()) {
    if (channel == 1)
      console_.SetChannelAppearance(1);
    const std::string piece = TakePiece(rest);
    if (first) {
      OutputPiece(header + piece, channel, true);
    } else {
      if (channel == 1)
        console_.SetAppearance(clBlue, 0);  // the indent is not underlined
      OutputPiece(indent, channel, false);
      if (channel == 1)
        console_.SetChannelAppearance(1);
      OutputPiece(piece, channel, false);
    }
    if (channel == 1)
      console_.SetChannelAppearance(0);
    LineEnd(channel);
    first = false;
  }
  console_.RefreshCaret();
}

// Sends library string n on the channel: as it is, to the frame's sender or
// to a fixed address, with its check byte; or runs it when it is a script.
void TProtocol_Ruvo94::AnswerFrame(int channel, const TFrame& frame) {
  const TRuvo94TrigChannel& settings =
      conf_.Trigger_Ruvo94.Channel[static_cast<std::size_t>(channel)];
  const int index = std::min<int>(settings.OnTrigTrStrNr, kLibraryEntries - 1);
  const int destination = settings.OnTrigTrDest;
  const TLibString& entry = conf_.Strngs.Strings[static_cast<std::size_t>(index)];
  if (destination == 0 && entry.Syntax == static_cast<std::uint8_t>(TStringSyntax::Script)) {
    if (transmitter_ != nullptr)
      transmitter_->RunLibraryScript(index, channel);
    return;
  }
  std::string text(entry.Str.view());
  if (text.size() < 2)
    return;
  if (destination == 1)
    text[1] = static_cast<char>(frame.from);
  else if (destination >= 2)
    text[1] = static_cast<char>(static_cast<std::uint8_t>(destination + 2));
  text += static_cast<char>(Checksum(text));
  channels_.OutputString(channel, text);
}

// ---- frame errors ------------------------------------------------------------------

void TProtocol_Ruvo94::FrameError(int channel, std::string_view message) {
  console_.SetAppearance(clRed, 0);
  OutputPiece("-----FRAME ERROR: ", channel, false);
  console_.SetChannelAppearance(channel);
  OutputPiece(message, channel, true);
  LineEnd(channel);
  console_.SetChannelAppearance(0);
  console_.RefreshCaret();
}

// ---- output ---------------------------------------------------------------------------

void TProtocol_Ruvo94::OutputPiece(std::string_view text, int channel, bool firstLine) {
  std::string piece(text);
  if (firstLine && conf_.MiscBool.TimeStamp) {
    const int end = console_.CursorX() + static_cast<int>(piece.size());
    piece.append(static_cast<std::size_t>(std::max(0, kTimeStampColumn - end)), ' ');
    piece += TimeStampText(clock_()).toStdString();
  }
  console_.WriteString(piece);
  log_.LogText(piece, channel, false, true);
  log_.LogPrinterText(piece, channel);
}

// The line end goes to the rich-text log too: without it every frame of a
// .doc log would run into one paragraph.
void TProtocol_Ruvo94::LineEnd(int channel) {
  console_.WriteString("\r\n");
  log_.LogText({}, channel, true, true);
  log_.LogPrinterText("\r\n", channel);
}

}  // namespace klv
