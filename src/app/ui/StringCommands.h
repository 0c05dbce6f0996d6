// The Strings and Utilities menus and the transmit buttons: everything that
// transmits on the channels' behalf of the user.
#pragma once

#include <QList>
#include <QObject>

#include "app/Channels.h"
#include "common/MessageService.h"
#include "conf/ConfRecord.h"

class QAction;
class QMenuBar;
class QToolBar;
class QToolButton;

namespace klv {

class TStringCommands : public QObject {
  Q_OBJECT

 public:
  TStringCommands(TConf& conf, TChannels& channels, IMessageService& messages, QWidget* window);

  void PlaceStringsMenu(QMenuBar* bar);
  void PlaceUtilitiesMenu(QMenuBar* bar);
  void PlaceButtons(QToolBar* bar);

  // The transmit buttons and items follow the channels' availability.
  void UpdateTransmitButtons();
  // The global string syntax items' check marks as the record says.
  void ShowGlobalSyntax();
  // A break of 5 ticks on channel 1.
  void BreakClick();

  QAction* Rearrange1;
  QAction* Edit1;
  QAction* StringsTransmitt;
  QAction* StringsAutoTransmitt;
  QAction* StringsScriptTransmission;
  QList<QAction*> SyntaxItems;  // StrSyntaxSelNone, StrSyntaxSelDisplayMode, StrSyntaxSelProtocol
  QAction* StringsExport;
  QAction* StringsImport;
  QAction* ClearALLstrings1;
  QAction* TransmittFile1;
  QAction* Transmitta250mSBreak1;
  QToolButton* BtnTransmitt_1;
  QToolButton* BtnTransmitt_2;

 private:
  TConf& conf_;
  TChannels& channels_;
  IMessageService& messages_;
};

}  // namespace klv
