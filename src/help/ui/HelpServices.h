// The application's window services: the help window (made once, owned here),
// Print Screen of any window, and the about box. The main window puts them
// in with SetWindowServices at start.
#pragma once

#include <memory>

#include "common/ui/WindowServices.h"
#include "help/ui/AboutBox.h"
#include "help/ui/PrintOutput.h"

class QWidget;

namespace klv {

class IMessageService;
class TOnlineHelp;

class THelpServices : public IWindowServices {
 public:
  // `mainWindow` parents the help window and the about box.
  THelpServices(QWidget* mainWindow, IMessageService& messages);
  ~THelpServices() override;
  THelpServices(const THelpServices&) = delete;
  THelpServices& operator=(const THelpServices&) = delete;

  void ShowHelp(THelpContext context) override;
  void PrintWindow(QWidget* window) override;
  // The about box, modal; made when asked for and gone when closed.
  void ShowAbout();

  TOnlineHelp& HelpWindow() { return *help_; }
  TPrintOutput& Output() { return output_; }
  void SetUrlOpener(TUrlOpener opener) { urlOpener_ = std::move(opener); }

 private:
  QWidget* mainWindow_;
  IMessageService& messages_;
  TPrintOutput output_;
  TUrlOpener urlOpener_ = DesktopUrlOpener();
  std::unique_ptr<TOnlineHelp> help_;
};

}  // namespace klv
