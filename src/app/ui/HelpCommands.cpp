#include "app/ui/HelpCommands.h"

#include <QMenuBar>
#include <QToolBar>

#include "app/ui/CommandParts.h"

namespace klv {

THelpCommands::THelpCommands(QWidget* window) : QObject(window) {
  About1 = Later(NewMenuItem(this, "About1", QStringLiteral("&About...")));
  OnlineHelp1 = Later(NewMenuItem(this, "OnlineHelp1", QStringLiteral("Online Help"), Qt::Key_F1));
  ButtonHelp =
      Later(NewToolButton(window, "ButtonHelp", QStringLiteral("Help"), QStringLiteral("Help")));
  BtnPrtScr = Later(
      NewToolButton(window, "BtnPrtScr", QStringLiteral("Print"), QStringLiteral("Print Screen")));
}

void THelpCommands::PlaceMenu(QMenuBar* bar) {
  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  help->addActions({About1, OnlineHelp1});
}

void THelpCommands::PlaceButtons(QToolBar* bar) {
  bar->addWidget(ButtonHelp);
  bar->addWidget(BtnPrtScr);
}

}  // namespace klv
