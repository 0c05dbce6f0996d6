#include "trigger/TriggerRecords.h"

namespace klv {

void SetTriggerDefaults(TTrigger_HexTTY& triggers) {
  for (THexTTYTrigChannel& channel : triggers.Channel) {
    channel = THexTTYTrigChannel{};
    channel.DispTrigStr = true;
    channel.ForceNL = true;
  }
}

void SetTriggerDefaults(TTrigger_Ruvo94& triggers) {
  constexpr std::uint16_t kDigitOne = '1';
  constexpr std::uint16_t kLetterS = 'S';
  for (TRuvo94TrigChannel& channel : triggers.Channel) {
    channel = TRuvo94TrigChannel{};
    for (LeU16* address : {&channel.DestFrom, &channel.DestTo, &channel.DestOR, &channel.SourceFrom,
                           &channel.SourceTo, &channel.SourceOR}) {
      *address = kDigitOne;
    }
    for (LeU16* type : {&channel.TypeFrom, &channel.TypeTo, &channel.TypeOR})
      *type = kLetterS;
    channel.OnTrigTrDest = 1;
    channel.OnTrigDisplay = true;
  }
}

}  // namespace klv
