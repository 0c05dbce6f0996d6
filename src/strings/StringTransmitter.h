// Transmission of library strings: one entry as it is stored, the current
// string (run as a script when it is one), with the rule set's checksum
// appended where the rules place it after the string.
#pragma once

#include <functional>

#include "common/ReceiveInterfaces.h"
#include "conf/ConfRecord.h"
#include "strings/StringLibrary.h"

namespace klv {

// Runs a script string; the script dialog implements it.
class IScriptRunner {
 public:
  virtual ~IScriptRunner() = default;
  // Runs the current entry of `library` (a snapshot is the runner's to
  // take) on channel 0 or 1.
  virtual void RunScript(const TStrngs& library, int channel, bool closeWhenDone,
                         bool startAtOnce) = 0;
};

class TStringTransmitter : public IStringTransmitter {
 public:
  TStringTransmitter(TConf& conf, IChannelServices& channels);
  // Without a runner, script strings are not run (nothing is sent).
  void SetScriptRunner(IScriptRunner* runner) { runner_ = runner; }

  // Entry `index` of the live library on channel 0 or 1, unchanged, then
  // the stored checksum where the rules send it after the string. Nothing
  // happens on a channel that is not available.
  void TransmitLibraryString(int index, int channel) override;
  // Makes entry `index` the current string and runs it as a script.
  void RunLibraryScript(int index, int channel) override;
  void RunLibraryScriptCopy(int index, int channel) override;
  // The transmit commands: the current string is run when it is a script
  // entry, otherwise transmitted.
  void TransmitCurrentString(int channel);

  // Called when running a library script made another entry current.
  std::function<void()> CurrentChanged;

 private:
  TConf& conf_;
  IChannelServices& channels_;
  IScriptRunner* runner_ = nullptr;
};

}  // namespace klv
