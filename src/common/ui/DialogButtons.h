// The button row of the settings dialogs: Print Screen and Help at the left,
// OK (default) and Cancel at the right. Help opens the help window on the
// dialog's page and Print Screen prints the dialog's picture, through the
// application's window services.
#pragma once

#include "common/ui/WindowServices.h"

class QHBoxLayout;
class QPushButton;
class QWidget;

namespace klv {

struct TDialogButtons {
  QPushButton* OK = nullptr;
  QPushButton* Cancel = nullptr;
  QPushButton* PrintScreen = nullptr;
  QPushButton* Help = nullptr;
  QHBoxLayout* Row = nullptr;
};

TDialogButtons MakeDialogButtons(QWidget* dialog, THelpContext helpContext);

// Connects a window's own help and print-screen buttons to the services.
void ConnectHelpButton(QPushButton* button, THelpContext helpContext);
void ConnectPrintScreenButton(QPushButton* button, QWidget* window);

}  // namespace klv
