#include "app/ui/HelpCommands.h"

#include <QMenuBar>
#include <QToolBar>

#include "app/ui/CommandParts.h"
#include "help/ui/HelpServices.h"

namespace klv {

THelpCommands::THelpCommands(THelpServices& services, QWidget* window)
    : QObject(window), services_(services), window_(window) {
  About1 = NewMenuItem(this, "About1", QStringLiteral("&About..."));
  OnlineHelp1 = NewMenuItem(this, "OnlineHelp1", QStringLiteral("Online Help"), Qt::Key_F1);
  ButtonHelp = NewToolButton(window, "ButtonHelp", QStringLiteral("Help"), QStringLiteral("Help"));
  BtnPrtScr =
      NewToolButton(window, "BtnPrtScr", QStringLiteral("Print"), QStringLiteral("Print Screen"));
  connect(About1, &QAction::triggered, this, &THelpCommands::AboutClick);
  connect(OnlineHelp1, &QAction::triggered, this, &THelpCommands::OnlineHelpClick);
  connect(ButtonHelp, &QToolButton::clicked, this, &THelpCommands::OnlineHelpClick);
  connect(BtnPrtScr, &QToolButton::clicked, this, &THelpCommands::BtnPrtScrClick);
}

void THelpCommands::PlaceMenu(QMenuBar* bar) {
  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  help->addActions({About1, OnlineHelp1});
}

void THelpCommands::PlaceButtons(QToolBar* bar) {
  bar->addWidget(ButtonHelp);
  bar->addWidget(BtnPrtScr);
}

void THelpCommands::OnlineHelpClick() {
  services_.ShowHelp(THelpContext::General);
}

void THelpCommands::BtnPrtScrClick() {
  services_.PrintWindow(window_);
}

void THelpCommands::AboutClick() {
  services_.ShowAbout();
}

}  // namespace klv
