// How the receive path hands received data to the display renderers and the
// log, and what the channels offer the parts that transmit. Header-only
// interfaces, so every subsystem can implement or call them without linking
// to the window.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace klv {

// States of the six modem lines and whether each changed, in the order
// RTS, DTR, CTS, DSR, DCD, RI.
struct TModemStatusRecord {
  enum Line { RTS = 0, DTR, CTS, DSR, DCD, RI, LineCount };
  std::array<bool, LineCount> State{};
  std::array<bool, LineCount> Changed{};
  friend bool operator==(const TModemStatusRecord&, const TModemStatusRecord&) = default;
};

// The renderer of one display mode: what it shows for each received byte
// and modem-line change. The receive path hands every byte to exactly one.
class IDisplayRenderer {
 public:
  virtual ~IDisplayRenderer() = default;
  virtual void ReceiveByte(int channel, std::uint8_t byte) = 0;
  // Renders bytes of one channel from the front and returns how many it took,
  // at least one of a non-empty piece. A mode may take a run of text in one
  // go; it stops after a byte whose handling may have run other code (a
  // trigger's answer), so that the caller checks its own state (pause, mode)
  // before it hands on the rest.
  virtual std::size_t ReceiveBytes(int channel, std::string_view bytes) {
    if (bytes.empty())
      return 0;
    ReceiveByte(channel, static_cast<std::uint8_t>(bytes.front()));
    return 1;
  }
  virtual void ModemStatusLine(int channel, const TModemStatusRecord& record) = 0;
  // Starts the mode afresh (the console has just been cleared).
  virtual void Reset() = 0;
  // Writes the line in progress, followed by `tail`, to the file log
  // (toFile) or the printer log; the line itself is kept. Modes whose text
  // reaches the logs as it comes have nothing to write.
  virtual void LogPendingLine(std::string_view tail, bool toFile) = 0;
  // Whether a line in progress holds bytes that have not reached the logs.
  virtual bool LinePending() const { return false; }
};

// The file and printer log as the main window drives it.
class IReceiveLog {
 public:
  virtual ~IReceiveLog() = default;
  virtual void LoadLogSettings() = 0;
  virtual bool OpenLog() = 0;
  virtual void CloseLog() = 0;
  virtual void OpenPrinterLog() = 0;
  virtual void ClosePrinterLog() = 0;
  virtual void LogRawByte(std::uint8_t byte) = 0;
};

// The displayed text as the renderers hand it to the logs: bytes of the
// Windows code page, with the channel (0 or 1) that decides channel 2's
// appearance in the rich-text and printer logs.
class ILogText {
 public:
  virtual ~ILogText() = default;
  // File log: the text, then a line end when newLine is set. toRichText
  // false keeps the piece out of a rich-text log.
  virtual void LogText(std::string_view text, int channel, bool newLine, bool toRichText) = 0;
  // Printer log: the text as it stands (line ends are part of it).
  virtual void LogPrinterText(std::string_view text, int channel) = 0;
};

// The two channels as everything that transmits sees them.
class IChannelServices {
 public:
  virtual ~IChannelServices() = default;
  // True while the channel's port is open; false for any other number.
  virtual bool ChannelAvailable(int channel) const = 0;
  // Writes the bytes to the channel's port; with local echo on they come back
  // through the receive path as if received on that channel.
  virtual void OutputString(int channel, std::string_view bytes) = 0;
  virtual int ChannelOutputRoom(int channel) const = 0;
  virtual void DiscardChannelOutput(int channel) = 0;
  virtual bool ChannelCTS(int channel) const = 0;
  virtual void SetChannelRTS(int channel, bool on) = 0;
  virtual void SetChannelDTR(int channel, bool on) = 0;
};

// Transmission of library strings, as triggers ask for it.
class IStringTransmitter {
 public:
  virtual ~IStringTransmitter() = default;
  virtual void TransmitLibraryString(int index, int channel) = 0;
  // Makes library entry `index` the current string and runs it as a script
  // on the channel.
  virtual void RunLibraryScript(int index, int channel) = 0;
  // Runs entry `index` as a script from a copy of the library in which it
  // is current; the live current string stays as it is.
  virtual void RunLibraryScriptCopy(int index, int channel) = 0;
};

}  // namespace klv
