#include "trigger/T_hextty.h"

#include <algorithm>

namespace klv {
namespace {

TPostTrigMode PostMode(const THexTTYTrigChannel& settings) {
  // An unknown stored mode works as the last one, as the dialog shows it.
  return static_cast<TPostTrigMode>(std::min<std::uint8_t>(
      settings.PostTrigMode, static_cast<std::uint8_t>(TPostTrigMode::UntilNewLine)));
}

void KeepNewest(std::deque<char>& bytes, std::size_t count) {
  while (bytes.size() > count)
    bytes.pop_front();
}

}  // namespace

TTrigHexTTY::TTrigHexTTY(TConf& conf, IBeeper& beeper, QObject* parent)
    : QObject(parent), conf_(conf), beeper_(beeper) {}

THexTTYTrigChannel& TTrigHexTTY::Settings(int channel) {
  return conf_.Trigger_HexTTY.Channel.at(static_cast<std::size_t>(channel));
}

TTrigHexTTY::TTrigBuffer& TTrigHexTTY::Buffer(int channel) {
  return TTrigStrings.at(static_cast<std::size_t>(channel));
}

std::uint8_t TTrigHexTTY::NewLineChar(int channel) const {
  const std::size_t mode = std::min<std::size_t>(conf_.DisplayMode, 1);  // Hex/ASCII or TTY
  return conf_.NewLine.Entry.at(static_cast<std::size_t>(channel))[mode].NLChar;
}

void TTrigHexTTY::SetTrigState(int channel, TTrigState state) {
  std::uint8_t& stored = Settings(channel).State;
  if (stored == static_cast<std::uint8_t>(state))
    return;
  stored = static_cast<std::uint8_t>(state);
  emit StateChanged(channel);
}

bool TTrigHexTTY::CheckTrigger(int channel, std::uint8_t byte) {
  const THexTTYTrigChannel& settings = Settings(channel);
  bool release = false;
  switch (static_cast<TTrigState>(settings.State)) {
    case TTrigState::Armed:
      release = ArmedByte(channel, byte);
      break;
    case TTrigState::Triggered:
      release = PostByteReleases(channel, byte);
      break;
    default:  // Stopped: nothing changes until the user re-arms
      return false;
  }
  if (!release || !ModeStep(channel, byte))
    return false;

  TTrigBuffer& buffer = Buffer(channel);
  if (settings.DispPreTrigChars) {
    // The newest characters are the trigger text itself; of those before it
    // the newest PreTrigCount stay.
    buffer.PreChars.resize(buffer.PreChars.size() -
                           std::min(buffer.PreChars.size(), buffer.TrigChars.size()));
    KeepNewest(buffer.PreChars, settings.PreTrigCount.get());
  }
  if (!settings.DispTrigStr)
    buffer.TrigChars.clear();
  buffer.ForceNewLine = settings.ForceNL;
  if (settings.OnTrigBeep)
    beeper_.Beep();
  return true;
}

bool TTrigHexTTY::Compare(std::deque<char>& trigChars, std::string_view pattern) {
  if (!pattern.empty() && trigChars.size() <= pattern.size() &&
      std::equal(trigChars.begin(), trigChars.end(), pattern.begin()))
    return trigChars.size() == pattern.size();
  if (!trigChars.empty())
    trigChars.pop_front();
  return false;
}

bool TTrigHexTTY::ArmedByte(int channel, std::uint8_t byte) {
  const THexTTYTrigChannel& settings = Settings(channel);
  TTrigBuffer& buffer = Buffer(channel);
  buffer.TrigChars.push_back(static_cast<char>(byte));
  if (settings.DispPreTrigChars)
    buffer.PreChars.push_back(static_cast<char>(byte));

  const bool strings = settings.UseLocalStr || settings.UseLibStr;
  bool release = strings || settings.OtherChTrigged;
  if (settings.UseLocalStr && !Compare(buffer.TrigChars, settings.LocalStr.view()))
    release = false;
  if (settings.UseLibStr) {
    const std::size_t entry = std::min<std::size_t>(settings.LibStrNr.get(), kLibraryEntries - 1);
    if (!Compare(buffer.TrigChars, conf_.Strngs.Strings[entry].Str.view()))
      release = false;
  }
  const bool otherArmed =
      Settings(1 - channel).State == static_cast<std::uint8_t>(TTrigState::Armed);
  if (settings.OtherChTrigged && otherArmed) {
    // A complete match held back by the other channel gives up its oldest
    // byte, so that TrigChars slides on and the next occurrence can fire;
    // kept whole, it would never equal the pattern again.
    if (strings && release)
      buffer.TrigChars.pop_front();
    release = false;
  }
  if (!strings)  // only the other channel's state decides: hold what its release will show
    KeepNewest(buffer.TrigChars, settings.OtherChTrigged ? kMaxHeldBytes : 0);
  // Only the newest PreTrigCount characters before the trigger text can be shown.
  KeepNewest(buffer.PreChars, settings.PreTrigCount.get() + buffer.TrigChars.size());
  return release;
}

bool TTrigHexTTY::PostByteReleases(int channel, std::uint8_t byte) {
  const THexTTYTrigChannel& settings = Settings(channel);
  std::string& post = Buffer(channel).PostChars;
  const bool newLine = byte == NewLineChar(channel);
  if (post.size() < kMaxHeldBytes || newLine)
    post += static_cast<char>(byte);
  switch (PostMode(settings)) {
    case TPostTrigMode::PresetCount:
      return post.size() >= settings.PostTrigCount.get();
    case TPostTrigMode::All:
      return true;
    case TPostTrigMode::UntilNewLine:
      return newLine;
  }
  return true;
}

// What the mode makes of a byte that met the conditions: whether it releases
// output now, and the state it leaves behind.
bool TTrigHexTTY::ModeStep(int channel, std::uint8_t byte) {
  const THexTTYTrigChannel& settings = Settings(channel);
  const auto mode = static_cast<TTrigMode>(settings.Mode);
  const bool armed = settings.State == static_cast<std::uint8_t>(TTrigState::Armed);
  const std::size_t postLength = Buffer(channel).PostChars.size();
  const bool newLine = byte == NewLineChar(channel);

  if (mode == TTrigMode::OneShot) {
    if (!settings.DispPostTrigChars) {
      if (armed)  // one the user set to Triggered stays so, releasing each byte
        SetTrigState(channel, TTrigState::Stopped);
      return true;
    }
    switch (PostMode(settings)) {
      case TPostTrigMode::PresetCount:
        if (postLength >= settings.PostTrigCount.get()) {
          SetTrigState(channel, TTrigState::Stopped);
          return true;
        }
        SetTrigState(channel, TTrigState::Triggered);
        return false;
      case TPostTrigMode::All:
        SetTrigState(channel, TTrigState::Triggered);
        return true;
      case TPostTrigMode::UntilNewLine:
        if (postLength == 0) {
          SetTrigState(channel, TTrigState::Triggered);
          return false;
        }
        if (newLine) {
          SetTrigState(channel, TTrigState::Stopped);
          return true;
        }
        return false;
    }
  }
  if (mode == TTrigMode::Retrig && settings.DispPostTrigChars) {
    switch (PostMode(settings)) {
      case TPostTrigMode::PresetCount:
        if (postLength < settings.PostTrigCount.get()) {
          SetTrigState(channel, TTrigState::Triggered);
          return false;
        }
        SetTrigState(channel, TTrigState::Armed);
        return true;
      case TPostTrigMode::All:
        SetTrigState(channel, TTrigState::Triggered);
        return true;
      case TPostTrigMode::UntilNewLine:
        if (postLength > 0 && newLine) {
          SetTrigState(channel, TTrigState::Armed);
          return true;
        }
        SetTrigState(channel, TTrigState::Triggered);
        return false;
    }
  }
  return true;
}

bool TTrigHexTTY::OnNoTrigDisplayAll(int channel) {
  return Settings(channel).OnNoTrigDisplay;
}

std::string TTrigHexTTY::TakePreTrigChars(int channel) {
  const std::deque<char> pre = std::exchange(Buffer(channel).PreChars, {});
  return {pre.rbegin(), pre.rend()};  // newest first
}

std::string TTrigHexTTY::TakeTrigString(int channel) {
  const std::deque<char> trig = std::exchange(Buffer(channel).TrigChars, {});
  return {trig.begin(), trig.end()};
}

std::string TTrigHexTTY::TakePostTrigChars(int channel) {
  return std::exchange(Buffer(channel).PostChars, {});
}

bool TTrigHexTTY::TakeForceNewLine(int channel) {
  return std::exchange(Buffer(channel).ForceNewLine, false);
}

void TTrigHexTTY::ResetTrigBuffers(int channel) {
  Buffer(channel) = TTrigBuffer();
}

std::size_t TTrigHexTTY::HeldBytes(int channel) const {
  const TTrigBuffer& buffer = TTrigStrings.at(static_cast<std::size_t>(channel));
  return buffer.PreChars.size() + buffer.TrigChars.size() + buffer.PostChars.size();
}

}  // namespace klv
