#include "help/ui/HelpServices.h"

#include "help/ui/OnlineHelp.h"
#include "help/ui/PrintScreen.h"

namespace klv {

THelpServices::THelpServices(QWidget* mainWindow, IMessageService& messages)
    : mainWindow_(mainWindow),
      messages_(messages),
      output_(messages),
      help_(std::make_unique<TOnlineHelp>(output_, mainWindow)) {}

THelpServices::~THelpServices() = default;

void THelpServices::ShowHelp(THelpContext context) {
  help_->ShowPage(static_cast<int>(context));
}

void THelpServices::PrintWindow(QWidget* window) {
  PrintScreen(window, output_);
}

void THelpServices::ShowAbout() {
  TAboutBox about(messages_, urlOpener_, mainWindow_);
  about.exec();
}

}  // namespace klv
