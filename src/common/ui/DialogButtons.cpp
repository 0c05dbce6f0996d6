#include "common/ui/DialogButtons.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace klv {

TDialogButtons MakeDialogButtons(QWidget* dialog) {
  TDialogButtons b;
  b.OK = new QPushButton(QStringLiteral("OK"), dialog);
  b.OK->setDefault(true);
  b.Cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
  b.PrintScreen = new QPushButton(QStringLiteral("Print Screen"), dialog);
  b.PrintScreen->setEnabled(false);
  b.Help = new QPushButton(QStringLiteral("Help"), dialog);
  b.Help->setEnabled(false);
  b.Row = new QHBoxLayout;
  b.Row->addWidget(b.PrintScreen);
  b.Row->addWidget(b.Help);
  b.Row->addStretch(1);
  b.Row->addWidget(b.OK);
  b.Row->addWidget(b.Cancel);
  return b;
}

}  // namespace klv
