#include "app/ui/TriggerCommands.h"

#include <QPushButton>

#include "trigger/ui/Trig_HexTTYDlg.h"
#include "trigger/ui/Trig_Ruvo94Dlg.h"

namespace klv {

TTriggerCommands::TTriggerCommands(TConf& conf, TDisplayRenderers& renderers,
                                   IStringTransmitter& transmitter, IMessageService& messages,
                                   IBeeper& beeper, QWidget* window)
    : QObject(window),
      conf_(conf),
      messages_(messages),
      hexTty_(conf, beeper),
      ruvo_(conf, beeper),
      hexTtyDlg_(new TTrig_HexTTYDlg(conf.Trigger_HexTTY, conf.Strngs, hexTty_, beeper, window)),
      ruvoDlg_(
          new TTrig_Ruvo94Dlg(conf.Trigger_Ruvo94, conf.Strngs, ruvo_, beeper, messages, window)) {
  renderers.HexTty.SetTrigger(&hexTty_);
  renderers.HexTty.SetStringTransmitter(&transmitter);
  renderers.Ruvo.SetTrigger(&ruvo_);
  renderers.Ruvo.SetStringTransmitter(&transmitter);
  connect(&hexTty_, &TTrigHexTTY::StateChanged, this, &TTriggerCommands::TriggerStateChanged);
  connect(&ruvo_, &TTrigRuvo94::StateChanged, this, &TTriggerCommands::TriggerStateChanged);
  // Applied settings show in the panels while the dialog stays open.
  connect(hexTtyDlg_->ApplyBtn, &QPushButton::clicked, this,
          &TTriggerCommands::TriggerStateChanged);
  connect(ruvoDlg_->ApplyBtn, &QPushButton::clicked, this, &TTriggerCommands::TriggerStateChanged);
}

// The dialogs are modal: received data goes on being shown while they are
// open, and they show the live state.
void TTriggerCommands::TriggerClick(int channel) {
  const auto mode = static_cast<TDisplayMode>(conf_.DisplayMode);
  if (mode != TDisplayMode::Protocol) {
    if (channel >= 0)
      hexTtyDlg_->SelectChannelPage(channel);
    hexTtyDlg_->exec();
  } else if (conf_.Protocol.Selected == static_cast<std::uint8_t>(TProtocolId::Ruvo94)) {
    if (channel >= 0)
      ruvoDlg_->SelectChannelPage(channel);
    ruvoDlg_->exec();
  } else {
    messages_.Information(
        QStringLiteral("The currently selected protocoll does not have trigger support"));
  }
  emit TriggerStateChanged();
}

}  // namespace klv
