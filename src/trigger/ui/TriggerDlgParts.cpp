#include "trigger/ui/TriggerDlgParts.h"

#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStringList>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/Cp1252.h"
#include "common/ui/DialogButtons.h"

namespace klv {

TTriggerFrame MakeTriggerFrame(QDialog* dialog, const std::function<QWidget*(int)>& buildPage) {
  const TDialogButtons buttons = MakeDialogButtons(dialog, THelpContext::Triggers);
  TTriggerFrame frame;
  frame.OK = buttons.OK;
  frame.OK->setText(QStringLiteral("&OK"));
  frame.Cancel = buttons.Cancel;
  frame.Cancel->setText(QStringLiteral("&Cancel"));
  frame.Apply = new QPushButton(QStringLiteral("&Apply Changes"), dialog);
  buttons.Row->addWidget(frame.Apply);
  frame.PrintScreen = buttons.PrintScreen;
  frame.Help = buttons.Help;
  frame.Pages = new QTabWidget(dialog);
  for (int channel = 0; channel < 2; ++channel)
    frame.Pages->addTab(buildPage(channel), QStringLiteral("Channel %1").arg(channel + 1));
  auto* layout = new QVBoxLayout(dialog);
  layout->addLayout(buttons.Row);
  layout->addWidget(frame.Pages);
  return frame;
}

void FillLibraryList(QComboBox* list, const TStrngs& library) {
  QStringList items;
  for (std::size_t i = 0; i < kLibraryEntries; ++i) {
    const QString name = Cp1252ToQString(library.Strings[i].Name.view());
    items << QStringLiteral("%1 - %2").arg(i + 1, 3, 10, QLatin1Char('0')).arg(name);
  }
  list->clear();
  list->addItems(items);
}

}  // namespace klv
