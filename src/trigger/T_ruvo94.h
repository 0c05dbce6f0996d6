// The Ruvo-94 frame trigger of both channels: decides on each good frame by
// its addresses, type, message and the other channel's state. It keeps no
// state of its own beyond the State in the record.
#pragma once

#include <QObject>
#include <cstdint>
#include <string_view>

#include "common/Beeper.h"
#include "conf/ConfRecord.h"
#include "trigger/RuvoTrigger.h"

namespace klv {

class TTrigRuvo94 : public QObject, public IRuvoTrigger {
  Q_OBJECT

 public:
  TTrigRuvo94(TConf& conf, IBeeper& beeper, QObject* parent = nullptr);

  bool CheckRuvoTrigger(int channel, std::uint8_t to, std::uint8_t from, std::uint8_t type,
                        std::string_view message) override;
  bool OnTrigDisplayFrame(int channel) override;
  bool OnNoTrigDisplayFrames(int channel) override;

 signals:
  // The channel's State in the record changed by a received frame.
  void StateChanged(int channel);

 private:
  TRuvo94TrigChannel& Settings(int channel);

  TConf& conf_;
  IBeeper& beeper_;
};

}  // namespace klv
