// The setup dialog of the Ruvo-94 frame triggers, one notebook page per
// channel. It edits the stored trigger record; OK and Apply write the controls
// back, Cancel leaves the record as it is. A received frame may fire a 1-shot
// trigger while the dialog is open; the State group follows it at once.
#pragma once

#include <QDialog>
#include <QString>
#include <array>

#include "common/Beeper.h"
#include "common/MessageService.h"
#include "common/ui/RadioGroup.h"
#include "strings/StringLibrary.h"
#include "trigger/T_ruvo94.h"
#include "trigger/TriggerRecords.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace klv {

class TTrig_Ruvo94Dlg : public QDialog {
  Q_OBJECT

 public:
  // The address and type lists hold the values 4..255; a stored value is
  // the list's item index plus kFirstAddress.
  static constexpr int kFirstAddress = 4;
  static constexpr int kLastAddress = 255;
  // Destination list: these two, then the address entries (item n >= 2 is
  // the address n + 2).
  static constexpr int kDestAsInString = 0;
  static constexpr int kDestSender = 1;

  TTrig_Ruvo94Dlg(TTrigger_Ruvo94& record, const TStrngs& library, TTrigRuvo94& engine,
                  IBeeper& beeper, IMessageService& messages, QWidget* parent = nullptr);

  // Shows the page of channel 0 or 1.
  void SelectChannelPage(int channel);

  void FormShow();
  void OKBtnClick();
  void ApplyBtnClick();
  void CancelBtnClick();
  void btnTestBeep1Click();

  using TChannelRadio = std::array<TRadioGroup*, 2>;
  using TChannelCheck = std::array<QCheckBox*, 2>;
  using TChannelList = std::array<QComboBox*, 2>;

  QTabWidget* Pages;
  TChannelRadio rgMode{};
  TChannelRadio rgState{};
  std::array<QGroupBox*, 2> gbCondition{};
  TChannelCheck cbDest{};
  TChannelList cbDestFrom{};
  TChannelList cbDestTo{};
  TChannelList cbDestOR{};
  TChannelCheck cbSource{};
  TChannelList cbSourceFrom{};
  TChannelList cbSourceTo{};
  TChannelList cbSourceOR{};
  TChannelCheck cbType{};
  TChannelList cbTypeFrom{};
  TChannelList cbTypeTo{};
  TChannelList cbTypeOR{};
  TChannelCheck cbMsg{};
  std::array<QLineEdit*, 2> ebMsg{};
  TChannelCheck cbOtherChTrigged{};
  std::array<QGroupBox*, 2> gbOnTrig{};
  TChannelCheck cbOnTrigTr{};
  TChannelList cbOnTrigTrStrSel{};
  TChannelList cbOnTrigTrDest{};
  TChannelCheck cbOnTrigDisplay{};
  TChannelCheck cbOnTrigBeep{};
  std::array<QPushButton*, 2> btnTestBeep{};
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
  // Keeps the destination fitting the chosen library entry: a script goes
  // as it is stored, a data string is offered to go to the sender. Only a
  // change by the user tells and asks.
  void CheckDestination(int channel, bool byUser);
  void SetDestination(int channel, int index);

  TTrigger_Ruvo94& record_;
  const TStrngs& library_;
  TTrigRuvo94& engine_;
  IBeeper& beeper_;
  IMessageService& messages_;
  // Set while the dialog itself changes the lists, so nothing asks.
  bool loading_ = false;
  // The message texts as loaded: an edit the user left alone keeps the
  // stored bytes.
  std::array<QString, 2> shownMsgText_;
};

}  // namespace klv
