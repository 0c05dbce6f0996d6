// The Display menu and its tool buttons: the display mode, clearing the
// display and the pause.
#pragma once

#include <QObject>

#include "app/ReceiveDispatcher.h"
#include "common/MessageService.h"
#include "conf/ConfRecord.h"
#include "display/ui/ConsoleWidget.h"

class QAction;
class QMenuBar;
class QToolBar;
class QToolButton;

namespace klv {

class TDisplayCommands : public QObject {
  Q_OBJECT

 public:
  TDisplayCommands(TConf& conf, TConsole& console, TReceiveDispatcher& dispatcher,
                   IMessageService& messages, QWidget* window);

  void PlaceMenu(QMenuBar* bar);
  void PlaceButtons(QToolBar* bar);

  TDisplayMode CurrentDisplayMode() const;
  // Clears the console and starts the mode's renderer afresh.
  void SetDisplayMode(TDisplayMode mode);
  // The Protocol mode, once a protocol is selected.
  void ProtocolDisplayClick();
  void PauseClick();
  // The pause button and menu item as the record says.
  void ShowPause();

  QAction* MenuDisplayTTY;
  QAction* MenuDisplayHexAscii;
  QAction* MenuDisplayProtocoll;
  QAction* MenuDisplayPause;
  QToolButton* BtnTTY;
  QToolButton* BtnHexAscii;
  QToolButton* BtnProtocoll;
  QToolButton* BtnClearDisplay;
  QToolButton* BtnPause;

 signals:
  // At the start of SetDisplayMode, before the console and the line in
  // progress are cleared.
  void DisplayClearing();
  // After SetDisplayMode: the bars show the mode.
  void DisplayModeChanged();
  void PauseChanged();

 private:
  TConf& conf_;
  TConsole& console_;
  TReceiveDispatcher& dispatcher_;
  IMessageService& messages_;
};

}  // namespace klv
