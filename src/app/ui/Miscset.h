// The miscellaneous settings dialog: the autotransmit interval, logging of
// the modem control signals and local echo of transmissions.
#pragma once

#include <QDialog>

#include "app/Config.h"
#include "common/MessageService.h"
#include "common/ui/RadioGroup.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace klv {

class TMiscSettingsDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMaxInterval = 60000;
  // The down arrow stops here; typing may go lower.
  static constexpr int kMinArrowInterval = 100;

  TMiscSettingsDlg(TConfigFile& config, IMessageService& messages, QWidget* parent = nullptr);

  void FormShow();
  void ebAutoXmitChange(const QString& text);
  void SpinButton1UpClick();
  void SpinButton1DownClick();
  void OKBtnClick();
  void CancelBtnClick();

  QGroupBox* gbAutoXmit;
  QLineEdit* ebAutoXmit;
  QWidget* SpinButton1;
  QToolButton* SpinButton1Up;
  QToolButton* SpinButton1Down;
  TRadioGroup* rgMult;
  QGroupBox* gbLogMSC;
  QCheckBox* cbLogMSC_P;
  QCheckBox* cbLogMSC_S;
  QGroupBox* gbLocalEcho;
  QCheckBox* cbLocalEcho_P;
  QCheckBox* cbLocalEcho_S;

  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QPushButton* PrintScreenBtn;
  QPushButton* HelpBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  int Step() const;
  // The number the arrows start from: the edit's, or the stored interval
  // when the edit holds none.
  int ArrowBase() const;
  void SetIntervalText(int value);

  TConfigFile& config_;
  IMessageService& messages_;
};

// The interval an arrow of the interval edit makes of the edit's `text`
// (the stored interval when it holds no number): one step of 10 to the
// power of `multiplierIndex` up or down, kept within the allowed range.
int ArrowInterval(const QString& text, int stored, int multiplierIndex, bool up);

namespace MiscText {
inline constexpr const char* IntervalRange = "Allowed interval is 0-60000 mS";
}  // namespace MiscText

}  // namespace klv
