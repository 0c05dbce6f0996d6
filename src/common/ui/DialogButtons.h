// The button row of the settings dialogs: Print Screen and Help at the left
// (disabled until printing and help exist), OK (default) and Cancel at the right.
#pragma once

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

TDialogButtons MakeDialogButtons(QWidget* dialog);

}  // namespace klv
