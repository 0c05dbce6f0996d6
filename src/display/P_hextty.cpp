#include "display/P_hextty.h"

#include <algorithm>

#include "common/TimeStamp.h"

namespace klv {
namespace {

constexpr std::array<std::string_view, 32> kControlNames = {
    "nul", "soh", "stx", "etx", "eot", "enq", "ack", "bel", "bs",  "ht",  "lf",
    "vt",  "ff",  "cr",  "so",  "si",  "dle", "dc1", "dc2", "dc3", "dc4", "nak",
    "syn", "etb", "can", "em",  "sub", "esc", "fs",  "gs",  "rs",  "us"};

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::uint8_t BS = 8;
constexpr std::uint8_t CR = 13;
constexpr std::uint8_t LF = 10;

// Whether a byte is rendered as itself in a run of text: printable and not a
// new-line character that the setting acts on.
bool IsText(char c, const TNewLineEntry& nl) {
  const auto byte = static_cast<std::uint8_t>(c);
  return byte >= 32 &&
         (byte != nl.NLChar || nl.NLPos == static_cast<std::uint8_t>(TNewLinePos::Ignore));
}

}  // namespace

TProtocol_HexTTY::TProtocol_HexTTY(const TConf& conf, IConsoleOutput& console,
                                   IChannelServices& channels, ILogText& log)
    : conf_(conf), console_(console), channelServices_(channels), log_(log) {
  image_.fill(' ');
}

std::string_view TProtocol_HexTTY::ControlName(std::uint8_t code) {
  return code < kControlNames.size() ? kControlNames[code] : std::string_view();
}

std::string TProtocol_HexTTY::ModemStatusText(const TModemStatusRecord& record) {
  static constexpr std::array<const char*, TModemStatusRecord::LineCount> kNames = {
      "RTS", "DTR", "CTS", "DSR", "DCD", "RI"};
  std::string text = "MODEM STATUS: ";
  for (std::size_t line = 0; line < kNames.size(); ++line) {
    text += kNames[line];
    text += record.Changed[line] ? '>' : '=';
    text += record.State[line] ? '0' : '1';
    text += ' ';
  }
  return text;
}

TNewLineEntry TProtocol_HexTTY::NewLine(int channel, TDisplayMode mode) const {
  return conf_.NewLine.Entry[static_cast<std::size_t>(channel)][static_cast<std::size_t>(mode)];
}

std::string TProtocol_HexTTY::TimeStamp() const {
  return TimeStampText(clock_()).toStdString();
}

void TProtocol_HexTTY::ChannelColours(int channel) {
  console_.SetChannelAppearance(channel);
}

// ---- trigger hook -------------------------------------------------------------

bool TProtocol_HexTTY::TriggerInUse(int channel) const {
  return trigger_ != nullptr &&
         conf_.Trigger_HexTTY.Channel[static_cast<std::size_t>(channel)].Mode !=
             static_cast<std::uint8_t>(TTrigMode::Disabled);
}

// Called only while the channel's trigger is in use. Bytes the trigger does
// not release are shown as usual with "Display All", in runs; the run stops
// after a byte that releases output, since the answer may run other code.
std::size_t TProtocol_HexTTY::TriggeredRun(int channel, std::string_view bytes, Show show,
                                           Render render, EndLine endLine) {
  const bool showOthers = trigger_->OnNoTrigDisplayAll(channel);
  std::size_t from = 0;  // the first byte neither shown nor dropped
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    if (!trigger_->CheckTrigger(channel, static_cast<std::uint8_t>(bytes[at]))) {
      if (!showOthers)
        from = at + 1;
      continue;
    }
    (this->*show)(channel, bytes.substr(from, at - from));
    Release(channel, render, endLine);
    return at + 1;
  }
  (this->*show)(channel, bytes.substr(from));
  return bytes.size();
}

// Shows what the trigger releases, then sends its answers.
void TProtocol_HexTTY::Release(int channel, Render render, EndLine endLine) {
  const THexTTYTrigChannel& settings =
      conf_.Trigger_HexTTY.Channel[static_cast<std::size_t>(channel)];
  RenderAll(channel, trigger_->TakePreTrigChars(channel), true, render);
  RenderAll(channel, trigger_->TakeTrigString(channel), false, render);
  RenderAll(channel, trigger_->TakePostTrigChars(channel), false, render);
  if (trigger_->TakeForceNewLine(channel))
    (this->*endLine)(channel);
  if (settings.OnTrigTrLocalStr)
    channelServices_.OutputString(channel, settings.OnTrigTrLocalText.view());
  if (settings.OnTrigTrLibStr && transmitter_ != nullptr) {
    const int index = std::min<int>(settings.OnTrigTrLibStrNr, kLibraryEntries - 1);
    if (conf_.Strngs.Strings[static_cast<std::size_t>(index)].Syntax ==
        static_cast<std::uint8_t>(TStringSyntax::Script)) {
      transmitter_->RunLibraryScriptCopy(index, channel);
    } else {
      transmitter_->TransmitLibraryString(index, channel);
    }
  }
}

void TProtocol_HexTTY::RenderAll(int channel, std::string_view bytes, bool reversed,
                                 Render render) {
  if (reversed) {
    for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) {
      (this->*render)(channel, static_cast<std::uint8_t>(*it));
    }
  } else {
    for (char c : bytes)
      (this->*render)(channel, static_cast<std::uint8_t>(c));
  }
}

// ---- Hex/ASCII ------------------------------------------------------------------

void TProtocol_HexTTY::HexReceiveByte(int channel, std::uint8_t byte) {
  const char one = static_cast<char>(byte);
  HexReceiveBytes(channel, std::string_view(&one, 1));
}

std::size_t TProtocol_HexTTY::HexReceiveBytes(int channel, std::string_view bytes) {
  if (TriggerInUse(channel)) {
    return TriggeredRun(channel, bytes, &TProtocol_HexTTY::HexShow, &TProtocol_HexTTY::HexRender,
                        &TProtocol_HexTTY::HexEndLine);
  }
  HexShow(channel, bytes);
  return bytes.size();
}

void TProtocol_HexTTY::HexShow(int channel, std::string_view bytes) {
  const TNewLineEntry nl = NewLine(channel, TDisplayMode::HexAscii);
  std::size_t at = 0;
  while (at < bytes.size()) {
    const auto room = static_cast<std::size_t>(kBytesPerLine - count_);
    std::size_t end = at;
    while (end < bytes.size() && end - at < room &&
           (static_cast<std::uint8_t>(bytes[end]) != nl.NLChar ||
            nl.NLPos == static_cast<std::uint8_t>(TNewLinePos::Ignore)))
      ++end;
    if (end == at) {
      HexRender(channel, static_cast<std::uint8_t>(bytes[at++]));
    } else {
      HexRun(channel, bytes.substr(at, end - at));
      at = end;
    }
  }
}

void TProtocol_HexTTY::HexReset() {
  HexClearLine();
  console_.GotoXY(kCharColumn, 0);
  if (trigger_ != nullptr) {
    trigger_->ResetTrigBuffers(0);
    trigger_->ResetTrigBuffers(1);
  }
}

void TProtocol_HexTTY::HexClearLine() {
  count_ = 0;
  image_.fill(' ');
  channels_.fill(0);
}

void TProtocol_HexTTY::HexRender(int channel, std::uint8_t byte) {
  const TNewLineEntry nl = NewLine(channel, TDisplayMode::HexAscii);
  const bool isNewLine = byte == nl.NLChar;
  if (isNewLine && nl.NLPos == static_cast<std::uint8_t>(TNewLinePos::Before))
    HexEndLine();

  if (channel == 1)
    ChannelColours(1);
  const char shown = byte < 32 ? '.' : static_cast<char>(byte);
  console_.WriteChar(shown);
  const char hex[2] = {kHexDigits[byte >> 4], kHexDigits[byte & 0x0F]};
  console_.GotoXY(3 * count_, console_.CursorY());
  console_.WriteString(std::string_view(hex, 2));
  const auto at = static_cast<std::size_t>(count_);
  image_[3 * at] = hex[0];
  image_[3 * at + 1] = hex[1];
  image_[kCharColumn + at] = shown;
  channels_[at] = channel;
  ++count_;
  console_.GotoXY(kCharColumn + count_, console_.CursorY());
  console_.RefreshCaret();
  if (channel == 1)
    ChannelColours(0);

  if (isNewLine && nl.NLPos == static_cast<std::uint8_t>(TNewLinePos::After))
    HexEndLine();
  if (count_ >= kBytesPerLine)
    HexEndLine();
}

// As HexRender byte by byte: the shown characters in one write, each byte's
// digits at its own column (the blanks between them keep their look).
void TProtocol_HexTTY::HexRun(int channel, std::string_view bytes) {
  if (channel == 1)
    ChannelColours(1);
  const int y = console_.CursorY();
  std::string shown(bytes);
  for (char& c : shown) {
    if (static_cast<std::uint8_t>(c) < 32)
      c = '.';
  }
  console_.WriteString(shown);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(bytes[i]);
    const char hex[2] = {kHexDigits[byte >> 4], kHexDigits[byte & 0x0F]};
    console_.GotoXY(3 * count_, y);
    console_.WriteString(std::string_view(hex, 2));
    const auto at = static_cast<std::size_t>(count_);
    image_[3 * at] = hex[0];
    image_[3 * at + 1] = hex[1];
    image_[kCharColumn + at] = shown[i];
    channels_[at] = channel;
    ++count_;
  }
  console_.GotoXY(kCharColumn + count_, y);
  console_.RefreshCaret();
  if (channel == 1)
    ChannelColours(0);
  if (count_ >= kBytesPerLine)
    HexEndLine();
}

void TProtocol_HexTTY::HexEndLine(int) {
  if (count_ == 0)
    return;
  std::string stamp;
  if (TimeStampsOn()) {
    // Blanks up to column 69, wherever the line ends.
    stamp = TimeStamp();
    console_.WriteString(std::string(2 + static_cast<std::size_t>(kBytesPerLine - count_), ' ') +
                         stamp);
  }
  console_.SetLazyWrite(false);
  console_.WriteString("\r\n");
  console_.GotoXY(kCharColumn, console_.CursorY());
  console_.RefreshCaret();
  console_.SetLazyWrite(true);
  if (conf_.Log.LogToPrinter)
    HexLogLine(stamp, false);
  if (conf_.Log.LogToFile)
    HexLogLine(stamp, true);
  HexClearLine();
}

void TProtocol_HexTTY::HexLogPendingLine(std::string_view tail, bool toFile) {
  HexLogLine(tail, toFile);
}

// The line goes to the log field by field, each with its byte's channel, in
// the console's columns; positions without a byte are blanks.
void TProtocol_HexTTY::HexLogLine(std::string_view tail, bool toFile) {
  auto piece = [&](std::string_view text, int channel) {
    if (toFile) {
      log_.LogText(text, channel, false, true);
    } else {
      log_.LogPrinterText(text, channel);
    }
  };
  for (std::size_t i = 0; i < kBytesPerLine; ++i) {
    piece(std::string_view(&image_[3 * i], 3), channels_[i]);
  }
  piece("   ", 0);
  for (std::size_t i = 0; i < kBytesPerLine; ++i) {
    piece(std::string_view(&image_[kCharColumn + i], 1), channels_[i]);
  }
  const std::string last = "  " + std::string(tail);
  if (toFile) {
    log_.LogText(last, 0, true, true);
  } else {
    log_.LogPrinterText(last + "\r\n", 0);
  }
}

void TProtocol_HexTTY::HexModemStatusLine(int channel, const TModemStatusRecord& record) {
  HexEndLine();
  std::string text = ModemStatusText(record);
  text.resize(kImageSize, ' ');
  std::copy(text.begin(), text.end(), image_.begin());
  // The line is the channel's, in the logs as on the console.
  channels_.fill(channel);
  if (channel == 1)
    ChannelColours(1);
  console_.GotoXY(0, console_.CursorY());
  console_.WriteString(text);
  if (channel == 1)
    ChannelColours(0);
  count_ = kBytesPerLine;
  console_.GotoXY(kImageSize, console_.CursorY());
  HexEndLine();
  console_.RefreshCaret();
}

// ---- TTY ------------------------------------------------------------------------

void TProtocol_HexTTY::TtyReceiveByte(int channel, std::uint8_t byte) {
  const char one = static_cast<char>(byte);
  TtyReceiveBytes(channel, std::string_view(&one, 1));
}

std::size_t TProtocol_HexTTY::TtyReceiveBytes(int channel, std::string_view bytes) {
  if (TriggerInUse(channel)) {
    return TriggeredRun(channel, bytes, &TProtocol_HexTTY::TtyShow, &TProtocol_HexTTY::TtyRender,
                        &TProtocol_HexTTY::TtyNewLine);
  }
  TtyShow(channel, bytes);
  return bytes.size();
}

void TProtocol_HexTTY::TtyShow(int channel, std::string_view bytes) {
  const TNewLineEntry nl = NewLine(channel, TDisplayMode::Tty);
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t end = at;
    while (end < bytes.size() && IsText(bytes[end], nl))
      ++end;
    if (end == at) {
      TtyRender(channel, static_cast<std::uint8_t>(bytes[at++]));
    } else {
      TtyText(channel, bytes.substr(at, end - at));
      at = end;
    }
  }
}

void TProtocol_HexTTY::TtyLog(std::string_view text, int channel) {
  // The logs take nothing while they are off: no call for every character.
  if (conf_.Log.LogToFile)
    log_.LogText(text, channel, false, true);
  if (conf_.Log.LogToPrinter)
    log_.LogPrinterText(text, channel);
}

void TProtocol_HexTTY::TtyOutput(std::string_view text, int channel) {
  console_.WriteString(text);
  TtyLog(text, channel);
}

void TProtocol_HexTTY::TtyText(int channel, std::string_view text) {
  if (ttyRowEnded_)
    TtyEndRow();
  if (channel == 1)
    ChannelColours(1);
  TtyOutput(text, channel);
  if (channel == 1)
    ChannelColours(0);
  console_.RefreshCaret();
}

void TProtocol_HexTTY::TtyRender(int channel, std::uint8_t byte) {
  const TNewLineEntry nl = NewLine(channel, TDisplayMode::Tty);
  if (IsText(static_cast<char>(byte), nl)) {
    TtyText(channel, std::string_view(reinterpret_cast<const char*>(&byte), 1));
    return;
  }
  const auto pos = static_cast<TNewLinePos>(nl.NLPos);
  const bool isNewLine = byte == nl.NLChar;
  if (isNewLine && pos == TNewLinePos::Before)
    TtyNewLine(channel);

  // The visible form: the byte itself, "^M" or "[cr]", or nothing.
  std::string shown;
  if (byte >= 32) {
    shown.assign(1, static_cast<char>(byte));
  } else if (conf_.MiscInt.CtrlCharDisplay == 1) {
    shown = {'^', static_cast<char>(byte + 64)};
  } else if (conf_.MiscInt.CtrlCharDisplay == 2) {
    shown = "[" + std::string(ControlName(byte)) + "]";
  }
  // A line end in the data shown by its name is performed after the name,
  // as the end of the row; so CR LF shows "[cr][lf]" and the next text
  // starts on the next row. Nothing written later lands on a shown name.
  const bool lineEnd = byte == CR || byte == LF;
  const bool shownLineEnd = lineEnd && pos == TNewLinePos::Ignore && !shown.empty();
  if (ttyRowEnded_ && !shownLineEnd)
    TtyEndRow();
  if (!shown.empty()) {
    if (channel == 1)
      ChannelColours(1);
    TtyOutput(shown, channel);
    if (channel == 1)
      ChannelColours(0);
  }

  if (isNewLine && pos == TNewLinePos::After)
    TtyNewLine(channel);
  const std::string_view raw(reinterpret_cast<const char*>(&byte), 1);
  if (lineEnd) {
    // Line ends in the data only count while the new-line character is ignored.
    if (pos == TNewLinePos::Ignore) {
      if (byte == CR && TimeStampsOn())
        TtyTimeStamp(channel);
      if (!shownLineEnd) {
        TtyOutput(raw, channel);  // the console performs the carriage return or line feed
      } else {
        TtyLog(raw, channel);
        if (byte == LF)
          TtyEndRow();
        else
          ttyRowEnded_ = true;  // a LF may still follow on this row
      }
    }
  } else if (byte < 32) {
    // Both logs receive the byte. The console beeps for BEL and drops the
    // others; it steps back for BS only where no "^H" or "[bs]" would be
    // blanked by it.
    if (byte == BS && !shown.empty())
      TtyLog(raw, channel);
    else
      TtyOutput(raw, channel);
  }
  console_.RefreshCaret();
}

void TProtocol_HexTTY::TtyEndRow() {
  ttyRowEnded_ = false;
  if (console_.CursorX() == 0)
    return;
  console_.SetLazyWrite(false);
  console_.WriteString("\r\n");
  console_.SetLazyWrite(true);
}

void TProtocol_HexTTY::TtyNewLine(int channel) {
  ttyRowEnded_ = false;
  if (console_.CursorX() == 0)
    return;
  if (TimeStampsOn())
    TtyTimeStamp(channel);
  console_.SetLazyWrite(false);
  console_.WriteString("\r\n");
  console_.SetLazyWrite(true);
  if (conf_.Log.LogToFile)
    log_.LogText({}, channel, true, true);
  if (conf_.Log.LogToPrinter)
    log_.LogPrinterText("\r\n", channel);
  console_.RefreshCaret();
}

void TProtocol_HexTTY::TtyTimeStamp(int channel) {
  const int x = console_.CursorX();
  if (x >= kTimeStampColumn - 1)
    return;
  const std::string text =
      std::string(static_cast<std::size_t>(kTimeStampColumn - x), ' ') + TimeStamp();
  TtyOutput(text, channel);
}

void TProtocol_HexTTY::TtyModemStatusLine(int channel, const TModemStatusRecord& record) {
  TtyNewLine(channel);
  if (channel == 1)
    ChannelColours(1);
  console_.GotoXY(0, console_.CursorY());
  TtyOutput(ModemStatusText(record), channel);
  if (channel == 1)
    ChannelColours(0);
  TtyNewLine(channel);
  console_.RefreshCaret();
}

}  // namespace klv
