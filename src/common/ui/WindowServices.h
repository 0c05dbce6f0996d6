// What every window's help and print-screen buttons ask for. The application
// puts its services in at start; until then (and in tests that do not) the
// buttons do nothing.
#pragma once

class QWidget;

namespace klv {

// Help pages, in the order of the help window's tabs.
enum class THelpContext : int {
  General = 0,        // the main window
  Settings = 1,       // line parameters, display settings, DRL import
  Protocols = 2,      // protocol parameters
  Miscellaneous = 3,  // miscellaneous settings
  StringLibrary = 4,  // library, string editor, scripts, file transmission
  Triggers = 5,       // both trigger dialogs
  Log = 6             // log setup
};

class IWindowServices {
 public:
  virtual ~IWindowServices() = default;
  // The help window, modal, on the context's page.
  virtual void ShowHelp(THelpContext context) = 0;
  // The window's picture on one page, after the print dialog.
  virtual void PrintWindow(QWidget* window) = 0;
};

// Null clears them.
void SetWindowServices(IWindowServices* services);
IWindowServices* WindowServices();

}  // namespace klv
