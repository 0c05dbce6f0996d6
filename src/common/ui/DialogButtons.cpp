#include "common/ui/DialogButtons.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace klv {

void ConnectHelpButton(QPushButton* button, THelpContext helpContext) {
  QObject::connect(button, &QPushButton::clicked, button, [helpContext] {
    if (IWindowServices* services = WindowServices())
      services->ShowHelp(helpContext);
  });
}

void ConnectPrintScreenButton(QPushButton* button, QWidget* window) {
  QObject::connect(button, &QPushButton::clicked, window, [window] {
    if (IWindowServices* services = WindowServices())
      services->PrintWindow(window);
  });
}

TDialogButtons MakeDialogButtons(QWidget* dialog, THelpContext helpContext) {
  TDialogButtons b;
  b.OK = new QPushButton(QStringLiteral("OK"), dialog);
  b.OK->setDefault(true);
  b.Cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
  b.PrintScreen = new QPushButton(QStringLiteral("Print Screen"), dialog);
  b.PrintScreen->setToolTip(QStringLiteral("Print Screen"));
  ConnectPrintScreenButton(b.PrintScreen, dialog);
  b.Help = new QPushButton(QStringLiteral("Help"), dialog);
  b.Help->setToolTip(QStringLiteral("Help"));
  ConnectHelpButton(b.Help, helpContext);
  b.Row = new QHBoxLayout;
  b.Row->addWidget(b.PrintScreen);
  b.Row->addWidget(b.Help);
  b.Row->addStretch(1);
  b.Row->addWidget(b.OK);
  b.Row->addWidget(b.Cancel);
  return b;
}

}  // namespace klv
