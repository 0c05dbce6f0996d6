#include "common/ui/ChoiceControls.h"

#include <QComboBox>
#include <algorithm>

#include "common/ui/RadioGroup.h"

namespace klv {

void ShowChoice(TRadioGroup* group, int value) {
  group->SetItemIndex(std::clamp(value, 0, group->Count() - 1));
}

void ShowListIndex(QComboBox* list, int value) {
  list->setCurrentIndex(std::clamp(value, 0, list->count() - 1));
}

std::uint8_t ReadChoice(const TRadioGroup* group, std::uint8_t before) {
  const int index = group->ItemIndex();
  return index >= 0 ? static_cast<std::uint8_t>(index) : before;
}

std::uint16_t ReadListIndex(const QComboBox* list, std::uint16_t before) {
  const int index = list->currentIndex();
  return index >= 0 ? static_cast<std::uint16_t>(index) : before;
}

}  // namespace klv
