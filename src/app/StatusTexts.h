// Texts and next-setting rules of the main window's status and parameter bars.
#pragma once

#include <QString>
#include <functional>

#include "app/Config.h"

namespace klv {

// "NL>0AH", "NL<0DH", or "NL-" when the character is ignored.
QString NewLineText(TNewLineEntry entry);

// The next port after `current`, counting 16 -> 1, that is usable and is not
// `otherPort` (pass 0 when the other channel is disabled). Returns `current`
// when no other number qualifies.
int NextPort(int current, int otherPort, const std::function<bool(int)>& usable);
int NextBaudIndex(int index);
int NextDataBits(int bits);
int NextParity(int parity);
int NextStopBits(int bits);

// Parameter bar texts.
QString DisplayModeText(const TConf& conf);
QString CurrentStringText(const TConf& conf);
QString CurrentStringHint(const TConf& conf);
// "Tr-Unused", or "Tr-" with "Armed", "Trigged" or "Stopped"; `active` tells
// whether the trigger is in use (it then blinks).
QString TriggerPanelText(const TConf& conf, int channel, bool* active = nullptr);

}  // namespace klv
