// The Settings menu: line parameters, display setup, protocol parameters,
// protocol selection and miscellaneous settings, with the dialogs they open.
#pragma once

#include <QList>
#include <QObject>

#include "app/Channels.h"
#include "app/Config.h"
#include "app/ui/DisplayCommands.h"
#include "common/MessageService.h"

class QAction;
class QMenuBar;

namespace klv {

class TChannelDlg;
class TFormDmSettings;

class TSettingsCommands : public QObject {
  Q_OBJECT

 public:
  TSettingsCommands(TConfigFile& config, TChannels& channels, TDisplayCommands& display,
                    IMessageService& messages, QWidget* window);

  void PlaceMenu(QMenuBar* bar);

  // The line parameters dialog; when confirmed, the channels take them.
  void LineParametersClick();
  void DisplaySetupClick();
  void ProprietaryProtocolClick();
  // 0 no protocol, 1 Ruvo-94 (2 Profibus and 3 Modbus have no decoder).
  void ProtocolSelectionClick(int value);
  void MiscSettingsClick();
  // The protocol items' check marks as the record says.
  void ShowProtocolSelection();

  QAction* SettingsLineParameters;
  QAction* MenuDisplayParameters;
  QAction* ProprietaryProtocol;
  QAction* Triggers1;
  QList<QAction*> ProtocolItems;  // prSelNone, prSelRuvo94, prSelProfibus, prSelModbus
  QAction* SettingsMisc;

 signals:
  // After the display setup: new-line settings may have changed.
  void DisplaySetupChanged();

 private:
  TConfigFile& config_;
  TChannels& channels_;
  TDisplayCommands& display_;
  IMessageService& messages_;
  QWidget* window_;
  TChannelDlg* channelDlg_;
  TFormDmSettings* displayDlg_;
};

}  // namespace klv
