#include "trigger/ui/TriggerDlgParts.h"

#include <QComboBox>
#include <QStringList>

#include "common/Cp1252.h"

namespace klv {

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
