// The Hex/ASCII and TTY trigger of both channels: watches each received byte
// for the trigger string (typed or from the library) and the other channel's
// state, holds the display back, and releases the characters before the
// trigger string, the string itself and those after it.
#pragma once

#include <QObject>
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "common/Beeper.h"
#include "conf/ConfRecord.h"
#include "trigger/HexTTYTrigger.h"

namespace klv {

class TTrigHexTTY : public QObject, public IHexTTYTrigger {
  Q_OBJECT

 public:
  // With only the other channel as its condition, a trigger holds at most
  // this many of the newest bytes until it fires; "Until NewLine" collects at
  // most this many characters after the trigger string (the new-line
  // character is always kept).
  static constexpr std::size_t kMaxHeldBytes = 65536;

  // `conf` is the live record: the settings and the persisted state are read
  // and written there.
  TTrigHexTTY(TConf& conf, IBeeper& beeper, QObject* parent = nullptr);

  bool CheckTrigger(int channel, std::uint8_t byte) override;
  bool OnNoTrigDisplayAll(int channel) override;
  std::string TakePreTrigChars(int channel) override;
  std::string TakeTrigString(int channel) override;
  std::string TakePostTrigChars(int channel) override;
  bool TakeForceNewLine(int channel) override;
  void ResetTrigBuffers(int channel) override;

  // How many bytes the channel's buffers hold now (for checking their bounds).
  std::size_t HeldBytes(int channel) const;

 signals:
  // The channel's State in the record changed by a received byte.
  void StateChanged(int channel);

 private:
  struct TTrigBuffer {
    // Queues, so that dropping the oldest byte costs the same however much
    // is held (up to 64 KiB while the other channel is awaited).
    std::deque<char> PreChars;  // oldest first; the newest are the end
    std::string PostChars;
    std::deque<char> TrigChars;
    bool ForceNewLine = false;
  };

  THexTTYTrigChannel& Settings(int channel);
  TTrigBuffer& Buffer(int channel);
  void SetTrigState(int channel, TTrigState state);
  // Step 1 of a byte while Armed: whether the conditions hold with it.
  bool ArmedByte(int channel, std::uint8_t byte);
  // Whether TrigChars is the pattern so far (a mismatch drops its oldest
  // byte) and whether it is all of it.
  static bool Compare(std::deque<char>& trigChars, std::string_view pattern);
  bool PostByteReleases(int channel, std::uint8_t byte);
  bool ModeStep(int channel, std::uint8_t byte);
  std::uint8_t NewLineChar(int channel) const;

  TConf& conf_;
  IBeeper& beeper_;
  std::array<TTrigBuffer, 2> TTrigStrings;
};

}  // namespace klv
