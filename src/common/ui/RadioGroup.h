// A captioned group of radio buttons, shared by the settings dialogs.
#pragma once

#include <QGroupBox>
#include <QString>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

namespace klv {

// A captioned box of mutually exclusive radio buttons laid out in columns,
// filled column by column. ItemIndex is the checked item, -1 for none.
class TRadioGroup : public QGroupBox {
 public:
  TRadioGroup(const QString& caption, const QStringList& items, int columns = 1,
              QWidget* parent = nullptr);

  int Count() const;
  int ItemIndex() const;
  // An index outside 0..Count()-1 clears the selection.
  void SetItemIndex(int index);
  QRadioButton* Button(int index) const;
  QButtonGroup* Buttons() const { return group_; }

 private:
  QButtonGroup* group_;
};

}  // namespace klv
