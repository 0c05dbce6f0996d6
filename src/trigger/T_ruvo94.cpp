#include "trigger/T_ruvo94.h"

namespace klv {
namespace {

bool Accepted(std::uint8_t value, std::uint16_t from, std::uint16_t to, std::uint16_t orValue) {
  return (from <= value && value <= to) || value == orValue;
}

}  // namespace

TTrigRuvo94::TTrigRuvo94(TConf& conf, IBeeper& beeper, QObject* parent)
    : QObject(parent), conf_(conf), beeper_(beeper) {}

TRuvo94TrigChannel& TTrigRuvo94::Settings(int channel) {
  return conf_.Trigger_Ruvo94.Channel.at(static_cast<std::size_t>(channel));
}

bool TTrigRuvo94::CheckRuvoTrigger(int channel, std::uint8_t to, std::uint8_t from,
                                   std::uint8_t type, std::string_view message) {
  TRuvo94TrigChannel& settings = Settings(channel);
  constexpr auto kArmed = static_cast<std::uint8_t>(TTrigState::Armed);
  constexpr auto kTriggered = static_cast<std::uint8_t>(TTrigState::Triggered);
  const bool armed = settings.State == kArmed;
  bool fired = true;
  // Any other stored state works as Triggered: no condition is looked at.
  if (armed) {
    if (!settings.UseDest && !settings.UseSource && !settings.UseType && !settings.UseMsg &&
        !settings.OtherChTrigged)
      fired = false;
    if (settings.UseDest &&
        !Accepted(to, settings.DestFrom.get(), settings.DestTo.get(), settings.DestOR.get()))
      fired = false;
    if (settings.UseSource && !Accepted(from, settings.SourceFrom.get(), settings.SourceTo.get(),
                                        settings.SourceOR.get()))
      fired = false;
    if (settings.UseType &&
        !Accepted(type, settings.TypeFrom.get(), settings.TypeTo.get(), settings.TypeOR.get()))
      fired = false;
    if (settings.UseMsg && message != settings.MsgText.view())
      fired = false;
    if (settings.OtherChTrigged && Settings(1 - channel).State != kTriggered)
      fired = false;
  }
  if (fired && settings.Mode == static_cast<std::uint8_t>(TTrigMode::OneShot)) {
    if (armed) {
      settings.State = kTriggered;
      emit StateChanged(channel);
    } else {
      fired = false;
    }
  }
  if (fired && settings.OnTrigBeep)
    beeper_.Beep();
  return fired;
}

bool TTrigRuvo94::OnTrigDisplayFrame(int channel) {
  return Settings(channel).OnTrigDisplay;
}

bool TTrigRuvo94::OnNoTrigDisplayFrames(int channel) {
  return Settings(channel).OnNoTrigDisplay;
}

}  // namespace klv
