// The protocol parameters dialog: where the user-defined rule set puts the
// checksum and length byte of a transmit string, and how the checksum is
// computed.
#pragma once

#include <QDialog>

#include "common/ui/RadioGroup.h"
#include "protocol/ProtocolParam.h"

class QPushButton;
class QSpinBox;

namespace klv {

class TProprietarySettingsDlg : public QDialog {
  Q_OBJECT

 public:
  // `params` is the user rule set of the configuration record; OK writes it
  // back, Cancel leaves it alone.
  explicit TProprietarySettingsDlg(TProtocolparam& params, QWidget* parent = nullptr);

  void FormShow();
  void OKBtnClick();
  void CancelBtnClick();

  QSpinBox* seCheckSumStart;
  QSpinBox* seChecksumEnd;
  QSpinBox* seCheckSumPos;
  QSpinBox* seLengthPos;
  QSpinBox* seLengthAdjust;
  TRadioGroup* rgCheckSumStyle;
  TRadioGroup* rgCheckSumAlg;

  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QPushButton* PrintScreenBtn;
  QPushButton* HelpBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TProtocolparam& params_;
  TProtocolparam work_;
};

}  // namespace klv
