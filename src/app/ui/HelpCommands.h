// The Help menu and the help and print-screen buttons.
#pragma once

#include <QObject>

class QAction;
class QMenuBar;
class QToolBar;
class QToolButton;
class QWidget;

namespace klv {

class THelpServices;

class THelpCommands : public QObject {
  Q_OBJECT

 public:
  THelpCommands(THelpServices& services, QWidget* window);

  void PlaceMenu(QMenuBar* bar);
  void PlaceButtons(QToolBar* bar);

  // The help window on the main window's page.
  void OnlineHelpClick();
  void BtnPrtScrClick();
  void AboutClick();

  QAction* About1;
  QAction* OnlineHelp1;
  QToolButton* ButtonHelp;
  QToolButton* BtnPrtScr;

 private:
  THelpServices& services_;
  QWidget* window_;
};

}  // namespace klv
