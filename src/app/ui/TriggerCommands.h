// The trigger command (Settings menu and the channels' trigger panels): the
// trigger engines behind the renderers and their setup dialogs.
#pragma once

#include <QObject>

#include "app/DisplayRenderers.h"
#include "common/Beeper.h"
#include "common/MessageService.h"
#include "conf/ConfRecord.h"
#include "trigger/T_hextty.h"
#include "trigger/T_ruvo94.h"

namespace klv {

class TTrig_HexTTYDlg;
class TTrig_Ruvo94Dlg;

class TTriggerCommands : public QObject {
  Q_OBJECT

 public:
  // Puts the engines and the library's transmitter into the renderers.
  TTriggerCommands(TConf& conf, TDisplayRenderers& renderers, IStringTransmitter& transmitter,
                   IMessageService& messages, IBeeper& beeper, QWidget* window);

  // The setup dialog of the display mode's trigger kind, modal, on the
  // channel's page when a channel's panel asked (-1: the menu, page as it was).
  void TriggerClick(int channel = -1);

  TTrigHexTTY& HexTtyTrigger() { return hexTty_; }
  TTrigRuvo94& RuvoTrigger() { return ruvo_; }
  TTrig_HexTTYDlg& HexTtyDlg() { return *hexTtyDlg_; }
  TTrig_Ruvo94Dlg& RuvoDlg() { return *ruvoDlg_; }

 signals:
  // A trigger's mode or state may have changed: the panels follow.
  void TriggerStateChanged();

 private:
  TConf& conf_;
  IMessageService& messages_;
  TTrigHexTTY hexTty_;
  TTrigRuvo94 ruvo_;
  TTrig_HexTTYDlg* hexTtyDlg_;
  TTrig_Ruvo94Dlg* ruvoDlg_;
};

}  // namespace klv
