#include "strings/StringTransmitter.h"

#include <string>

#include "protocol/ProtocolRules.h"
#include "strings/StringRules.h"

namespace klv {
namespace {

// An index that names no entry is refused rather than taken as another one:
// sending a string the caller did not ask for would be worse than nothing.
bool IsEntry(int index) {
  return index >= 0 && index < kLibraryEntries;
}

}  // namespace

TStringTransmitter::TStringTransmitter(TConf& conf, IChannelServices& channels)
    : conf_(conf), channels_(channels) {}

void TStringTransmitter::TransmitLibraryString(int index, int channel) {
  if (!IsEntry(index))
    return;
  const TProtocolparam rules = GetStringRules(conf_, conf_.Strngs, index);
  if (!channels_.ChannelAvailable(channel))
    return;
  const TLibString& entry = conf_.Strngs.Strings[static_cast<std::size_t>(index)];
  // The bytes and the checksum as the editor last stored them: nothing is
  // recomputed here.
  channels_.OutputString(channel, entry.Str.view());
  const auto checksum = static_cast<std::uint8_t>(entry.Checksum.get());
  const std::string suffix = ChecksumSuffix(checksum, rules);
  if (!suffix.empty())
    channels_.OutputString(channel, suffix);
}

void TStringTransmitter::RunLibraryScript(int index, int channel) {
  if (!IsEntry(index))
    return;
  const bool changed = conf_.Strngs.CurrentNr != index;
  conf_.Strngs.CurrentNr = static_cast<std::uint16_t>(index);
  if (changed && CurrentChanged)
    CurrentChanged();
  if (runner_ != nullptr)
    runner_->RunScript(conf_.Strngs, channel, true, true);
}

void TStringTransmitter::RunLibraryScriptCopy(int index, int channel) {
  if (!IsEntry(index) || runner_ == nullptr)
    return;
  TStrngs copy = conf_.Strngs;
  copy.CurrentNr = static_cast<std::uint16_t>(index);
  runner_->RunScript(copy, channel, true, true);
}

void TStringTransmitter::TransmitCurrentString(int channel) {
  const int current = conf_.Strngs.CurrentNr;
  if (!channels_.ChannelAvailable(channel) || !IsEntry(current))
    return;
  const bool script = conf_.Strngs.Strings[static_cast<std::size_t>(current)].Syntax ==
                      static_cast<std::uint8_t>(TStringSyntax::Script);
  if (!script) {
    TransmitLibraryString(current, channel);
  } else if (runner_ != nullptr) {
    runner_->RunScript(conf_.Strngs, channel, true, true);
  }
}

}  // namespace klv
