#include "protocol/ui/Prop_set.h"

#include "common/ui/ChoiceControls.h"
#include "common/ui/DialogButtons.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

namespace klv {

namespace {

QSpinBox* AddSpinEdit(QGridLayout* grid, const QString& caption, int minimum, int maximum,
                      QWidget* parent) {
  auto* spin = new QSpinBox(parent);
  spin->setRange(minimum, maximum);
  auto* label = new QLabel(caption, parent);
  label->setBuddy(spin);
  const int row = grid->rowCount();
  grid->addWidget(label, row, 0);
  grid->addWidget(spin, row, 1);
  return spin;
}

}  // namespace

TProprietarySettingsDlg::TProprietarySettingsDlg(TProtocolparam& params, QWidget* parent)
    : QDialog(parent), params_(params), work_(params) {
  setWindowTitle(QStringLiteral("Hex-Asc/TTY Protocol parameters"));
  setModal(true);

  auto* grid = new QGridLayout;
  seCheckSumStart =
      AddSpinEdit(grid, QStringLiteral("Checksum from character n (set to 0 to disable checksums)"),
                  0, 9, this);
  seChecksumEnd =
      AddSpinEdit(grid, QStringLiteral("Checksum to last character minus n"), 0, 9, this);
  seCheckSumPos =
      AddSpinEdit(grid, QStringLiteral("Checksum after last character minus n"), 0, 9, this);
  seLengthPos = AddSpinEdit(
      grid,
      QStringLiteral("Message length in position n (set to 0 to disable autoinsert of length)"), 0,
      9, this);
  seLengthAdjust = AddSpinEdit(grid, QStringLiteral("Length adjustment"), -9, 9, this);

  rgCheckSumStyle =
      new TRadioGroup(QStringLiteral("Checksum style"),
                      {QStringLiteral("1-byte binary"), QStringLiteral("2-byte ascii")}, 1, this);
  rgCheckSumAlg = new TRadioGroup(
      QStringLiteral("Checksum algorithm"),
      {QStringLiteral("00H-XOR"), QStringLiteral("00H-XOR-ROR"), QStringLiteral("00H-ADD")}, 1,
      this);

  const TDialogButtons dialogButtons = MakeDialogButtons(this, THelpContext::Protocols);
  OKBtn = dialogButtons.OK;
  CancelBtn = dialogButtons.Cancel;
  PrintScreenBtn = dialogButtons.PrintScreen;
  HelpBtn = dialogButtons.Help;
  connect(OKBtn, &QPushButton::clicked, this, &TProprietarySettingsDlg::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TProprietarySettingsDlg::CancelBtnClick);

  auto* groups = new QHBoxLayout;
  groups->addWidget(rgCheckSumStyle);
  groups->addWidget(rgCheckSumAlg);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(groups);
  layout->addLayout(dialogButtons.Row);
}

void TProprietarySettingsDlg::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TProprietarySettingsDlg::FormShow() {
  work_ = params_;
  // Values beyond a spin edit's range show clamped to it.
  seCheckSumStart->setValue(work_.ChecksumStart.get());
  seChecksumEnd->setValue(work_.ChecksumEnd.get());
  // The rules take the position by its absolute value too (a stored -2 works as 2).
  seCheckSumPos->setValue(std::abs(int{work_.ChecksumPos.get()}));
  seLengthPos->setValue(work_.LengthPos.get());
  seLengthAdjust->setValue(work_.LengthAdjust.get());
  ShowChoice(rgCheckSumStyle, work_.ChecksumStyle);
  ShowChoice(rgCheckSumAlg, work_.ChecksumAlg);
}

void TProprietarySettingsDlg::OKBtnClick() {
  work_.ChecksumStart = static_cast<std::int16_t>(seCheckSumStart->value());
  work_.ChecksumEnd = static_cast<std::int16_t>(seChecksumEnd->value());
  work_.ChecksumPos = static_cast<std::int16_t>(seCheckSumPos->value());
  work_.LengthPos = static_cast<std::uint16_t>(seLengthPos->value());
  work_.LengthAdjust = static_cast<std::int16_t>(seLengthAdjust->value());
  work_.ChecksumStyle = ReadChoice(rgCheckSumStyle, work_.ChecksumStyle);
  work_.ChecksumAlg = ReadChoice(rgCheckSumAlg, work_.ChecksumAlg);
  params_ = work_;  // byte 0 goes back as it came
  accept();
}

void TProprietarySettingsDlg::CancelBtnClick() {
  reject();
}

}  // namespace klv
