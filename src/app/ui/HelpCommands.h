// The Help menu and the help and print-screen buttons.
#pragma once

#include <QObject>

class QAction;
class QMenuBar;
class QToolBar;
class QToolButton;
class QWidget;

namespace klv {

class THelpCommands : public QObject {
  Q_OBJECT

 public:
  explicit THelpCommands(QWidget* window);

  void PlaceMenu(QMenuBar* bar);
  void PlaceButtons(QToolBar* bar);

  QAction* About1;
  QAction* OnlineHelp1;
  QToolButton* ButtonHelp;
  QToolButton* BtnPrtScr;
};

}  // namespace klv
