// What the renderers write to: the console as a terminal with a cursor, the
// lazy-write switch and the two channels' appearance.
#pragma once

#include <string_view>

#include "display/Console.h"

namespace klv {

class IConsoleOutput {
 public:
  virtual ~IConsoleOutput() = default;
  virtual void WriteString(std::string_view text) = 0;
  virtual void WriteChar(char c) = 0;
  virtual void GotoXY(int x, int y) = 0;
  virtual int CursorX() const = 0;
  virtual int CursorY() const = 0;
  // Off around line ends, so that finished lines are shown without delay.
  virtual void SetLazyWrite(bool on) = 0;
  // Colour and style (FontStyle bits) of the text written from now on.
  virtual void SetAppearance(TColor color, std::uint8_t style) = 0;
  // Shows the caret at the cursor, unless the user is working in another
  // control of the window.
  virtual void RefreshCaret() = 0;

  // Channel 1 black and regular, channel 2 blue and underlined.
  void SetChannelAppearance(int channel) {
    SetAppearance(channel == 1 ? clBlue : clBlack,
                  channel == 1 ? FontStyle::Underline : std::uint8_t{0});
  }
};

// Renders into a console model directly (no window): for tests and benchmarks.
class TBufferConsoleOutput : public IConsoleOutput {
 public:
  explicit TBufferConsoleOutput(TConsoleBuffer& buffer) : buffer_(buffer) {}
  void WriteString(std::string_view text) override { buffer_.WriteString(text); }
  void WriteChar(char c) override { buffer_.WriteChar(c); }
  void GotoXY(int x, int y) override { buffer_.GotoXY(x, y); }
  int CursorX() const override { return buffer_.CursorX(); }
  int CursorY() const override { return buffer_.CursorY(); }
  void SetLazyWrite(bool) override {}
  void RefreshCaret() override {}
  void SetAppearance(TColor color, std::uint8_t style) override {
    buffer_.Font.Color = color;
    buffer_.Font.Style = style;
  }

 private:
  TConsoleBuffer& buffer_;
};

}  // namespace klv
