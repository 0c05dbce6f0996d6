// The setup dialog of the Hex/ASCII and TTY triggers, one notebook page per
// channel. It edits the stored trigger record; OK and Apply write the controls
// back and empty the engine's buffers, Cancel leaves the record as it is.
// While it is open a received byte may change a channel's state; the State
// group follows it at once.
#pragma once

#include <QDialog>
#include <QString>
#include <array>

#include "common/Beeper.h"
#include "common/ui/RadioGroup.h"
#include "strings/StringLibrary.h"
#include "trigger/T_hextty.h"
#include "trigger/TriggerRecords.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace klv {

class TTrig_HexTTYDlg : public QDialog {
  Q_OBJECT

 public:
  // The typed strings accept this many characters.
  static constexpr int kEditLength = 50;

  TTrig_HexTTYDlg(TTrigger_HexTTY& record, const TStrngs& library, TTrigHexTTY& engine,
                  IBeeper& beeper, QWidget* parent = nullptr);

  // Shows the page of channel 0 or 1.
  void SelectChannelPage(int channel);

  void FormShow();
  void OKBtnClick();
  void ApplyBtnClick();
  void CancelBtnClick();
  void btnTestBeep1Click();

  using TChannelRadio = std::array<TRadioGroup*, 2>;
  using TChannelCheck = std::array<QCheckBox*, 2>;
  using TChannelEdit = std::array<QLineEdit*, 2>;
  using TChannelList = std::array<QComboBox*, 2>;
  using TChannelSpin = std::array<QSpinBox*, 2>;

  QTabWidget* Pages;
  TChannelRadio rgMode{};
  TChannelRadio rgState{};
  TChannelCheck cbUseLocalStr{};
  TChannelEdit ebLocalStr{};
  TChannelCheck cbUseLibStr{};
  TChannelList cbLibStrSel{};
  TChannelCheck cbOtherChTrigged{};
  TChannelCheck cbDispTrigStr{};
  TChannelCheck cbDispPreTrigChars{};
  TChannelSpin pnPreTrig{};
  TChannelCheck cbDispPostTrigChars{};
  TChannelRadio rgPostTrig{};
  TChannelSpin pnPostTrig{};
  std::array<QGroupBox*, 2> gbOnTrig{};
  TChannelCheck cbOnTrigBeep{};
  std::array<QPushButton*, 2> btnTestBeep{};
  TChannelCheck cbOnTrigTrLocalStr{};
  TChannelEdit ebOnTrigTrLocalStrSel{};
  TChannelCheck cbOnTrigTrLibStr{};
  TChannelList cbOnTrigTrLibStrSel{};
  TChannelCheck cbForceNL{};
  std::array<QGroupBox*, 2> gbOnNoTrig{};
  TChannelCheck cbOnNoTrigDisplay{};

  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QPushButton* ApplyBtn;
  QPushButton* PrintScreenBtn;
  QPushButton* HelpBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* BuildPage(int channel);
  void LoadChannel(int channel);
  void StoreChannel(int channel);
  void Store();
  void EngineStateChanged(int channel);

  TTrigger_HexTTY& record_;
  const TStrngs& library_;
  TTrigHexTTY& engine_;
  IBeeper& beeper_;
  // The edit texts as loaded: an edit the user left alone keeps the stored
  // bytes, also beyond the edit's length.
  std::array<QString, 2> shownLocalStr_;
  std::array<QString, 2> shownOnTrigTrLocalText_;
};

}  // namespace klv
