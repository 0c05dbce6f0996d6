#include "common/ui/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <algorithm>

namespace klv {

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, int columns,
                         QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
  group_->setExclusive(true);
  auto* layout = new QGridLayout(this);
  const int count = static_cast<int>(items.size());
  const int columnCount = std::max(1, columns);
  const int rows = (count + columnCount - 1) / columnCount;
  for (int i = 0; i < count; ++i) {
    auto* button = new QRadioButton(items[i], this);
    group_->addButton(button, i);
    layout->addWidget(button, rows > 0 ? i % rows : 0, rows > 0 ? i / rows : 0);
  }
}

int TRadioGroup::Count() const {
  return static_cast<int>(group_->buttons().size());
}

int TRadioGroup::ItemIndex() const {
  return group_->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
  if (QRadioButton* button = Button(index)) {
    button->setChecked(true);
    return;
  }
  // An exclusive group refuses to uncheck its last checked button.
  if (QAbstractButton* checked = group_->checkedButton()) {
    group_->setExclusive(false);
    checked->setChecked(false);
    group_->setExclusive(true);
  }
}

QRadioButton* TRadioGroup::Button(int index) const {
  return qobject_cast<QRadioButton*>(group_->button(index));
}

}  // namespace klv
