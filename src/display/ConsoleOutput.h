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
  // Channel 1 black and regular, channel 2 blue and underlined.
  virtual void SetChannelAppearance(int channel) = 0;
};

// The font of each channel's cells, on a given base font.
inline TFixedFont ChannelFont(TFixedFont base, int channel) {
  base.Color = channel == 1 ? clBlue : clBlack;
  base.Style = channel == 1 ? FontStyle::Underline : std::uint8_t{0};
  return base;
}

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
  void SetChannelAppearance(int channel) override {
    buffer_.Font = ChannelFont(buffer_.Font, channel);
  }

 private:
  TConsoleBuffer& buffer_;
};

}  // namespace klv
