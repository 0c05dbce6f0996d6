#include "app/ui/SettingsCommands.h"

#include <QMenuBar>

#include "app/ui/Channel.h"
#include "app/ui/CommandParts.h"
#include "app/ui/Dm_param.h"
#include "app/ui/Miscset.h"
#include "protocol/ui/Prop_set.h"

namespace klv {

TSettingsCommands::TSettingsCommands(TConfigFile& config, TChannels& channels,
                                     TDisplayCommands& display, IMessageService& messages,
                                     QWidget* window)
    : QObject(window),
      config_(config),
      channels_(channels),
      display_(display),
      messages_(messages),
      window_(window),
      channelDlg_(new TChannelDlg(config, channels, messages, window)),
      displayDlg_(new TFormDmSettings(config, window)) {
  SettingsLineParameters =
      NewMenuItem(this, "SettingsLineParameters", QStringLiteral("&Line Parameters"), Qt::Key_F10);
  MenuDisplayParameters =
      NewMenuItem(this, "MenuDisplayParameters", QStringLiteral("&Display Setup"));
  ProprietaryProtocol =
      NewMenuItem(this, "ProprietaryProtocol", QStringLiteral("&Protocol Parameters"));
  Triggers1 = NewMenuItem(this, "Triggers1", QStringLiteral("&Trigger"));
  SettingsMisc = NewMenuItem(this, "SettingsMisc", QStringLiteral("&Miscellaneous"));
  const char* const names[] = {"prSelNone", "prSelRuvo94", "prSelProfibus", "prSelModbus"};
  const char* const captions[] = {"&No protocol", "&Ruvo-94", "&Profibus", "&Modbus"};
  for (int value = 0; value < 4; ++value) {
    QAction* item = NewMenuItem(this, names[value], QString::fromLatin1(captions[value]));
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, value] { ProtocolSelectionClick(value); });
    ProtocolItems.append(item);
  }
  // Named, but there is no decoder for them.
  for (QAction* undecoded : {ProtocolItems[2], ProtocolItems[3]}) {
    undecoded->setVisible(false);
    undecoded->setEnabled(false);
  }

  connect(SettingsLineParameters, &QAction::triggered, this,
          &TSettingsCommands::LineParametersClick);
  connect(MenuDisplayParameters, &QAction::triggered, this, &TSettingsCommands::DisplaySetupClick);
  connect(ProprietaryProtocol, &QAction::triggered, this,
          &TSettingsCommands::ProprietaryProtocolClick);
  connect(SettingsMisc, &QAction::triggered, this, &TSettingsCommands::MiscSettingsClick);
}

void TSettingsCommands::PlaceMenu(QMenuBar* bar) {
  QMenu* settings = bar->addMenu(QStringLiteral("&Settings"));
  settings->addAction(SettingsLineParameters);
  QMenu* hexTty = settings->addMenu(QStringLiteral("&Hex-ASCII/TTY Mode"));
  hexTty->menuAction()->setObjectName(QStringLiteral("HexAscTtyMode1"));
  hexTty->addActions({MenuDisplayParameters, ProprietaryProtocol});
  settings->addAction(Triggers1);
  QMenu* protocols = settings->addMenu(QStringLiteral("&Protocol Selection"));
  protocols->menuAction()->setObjectName(QStringLiteral("ProtocolSelection"));
  protocols->addActions(ProtocolItems);
  settings->addAction(SettingsMisc);
}

// The settings dialogs are modal: exec() runs an event loop of its own, in
// which received data goes on being shown (no rendering is under way here).
void TSettingsCommands::LineParametersClick() {
  if (channelDlg_->exec() == QDialog::Accepted)
    channels_.OpenChannels();
}

void TSettingsCommands::DisplaySetupClick() {
  displayDlg_->exec();
  emit DisplaySetupChanged();
}

void TSettingsCommands::ProprietaryProtocolClick() {
  TProprietarySettingsDlg dialog(config_.Conf().Protocolparam, window_);
  dialog.exec();
}

void TSettingsCommands::MiscSettingsClick() {
  TMiscSettingsDlg dialog(config_, messages_, window_);
  dialog.exec();
}

void TSettingsCommands::ShowProtocolSelection() {
  for (int i = 0; i < ProtocolItems.size(); ++i)
    ProtocolItems[i]->setChecked(i == config_.Conf().Protocol.Selected);
}

void TSettingsCommands::ProtocolSelectionClick(int value) {
  TConf& conf = config_.Conf();
  const bool changed = value != conf.Protocol.Selected;
  conf.Protocol.Selected = static_cast<std::uint8_t>(value);
  ShowProtocolSelection();
  if (!changed || display_.CurrentDisplayMode() != TDisplayMode::Protocol)
    return;
  if (value == 0) {
    messages_.Information(QStringLiteral("The display mode will be to set Hex/Ascii mode"));
    display_.SetDisplayMode(TDisplayMode::HexAscii);
  } else {
    display_.SetDisplayMode(TDisplayMode::Protocol);  // starts the new protocol's display afresh
  }
}

}  // namespace klv
