// The line parameters dialog: port, baud rate, parity, data and stop bits of
// both channels.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

#include "app/Channels.h"
#include "app/Config.h"
#include "common/MessageService.h"
#include "common/ui/RadioGroup.h"

class QButtonGroup;
class QCheckBox;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace klv {

class TChannelDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kPortCount = 16;

  TChannelDlg(TConfigFile& config, IChannelPorts& ports, IMessageService& messages,
              QWidget* parent = nullptr);

  // Fills the controls from the record and the ports as they are now. Runs
  // every time the dialog becomes the active window.
  void FormActivate();
  void OKBtnClick();
  void CancelBtnClick();

  // Channel 1
  QGroupBox* gbChannel1;
  QCheckBox* cbCh1Enabled;
  TRadioGroup* rgPortSelCh1;
  QListWidget* lbBaudRateCh1;
  QListWidget* lbParityCh1;
  TRadioGroup* rgDataBitsCh1;
  TRadioGroup* rgStopBitsCh1;
  // Channel 2
  QGroupBox* gbChannel2;
  QCheckBox* cbCh2Enabled;
  TRadioGroup* rgPortSelCh2;
  QListWidget* lbBaudRateCh2;
  QListWidget* lbParityCh2;
  TRadioGroup* rgDataBitsCh2;
  TRadioGroup* rgStopBitsCh2;

  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QPushButton* PrintScreenBtn;
  QPushButton* HelpBtn;

 protected:
  bool event(QEvent* event) override;

 private:
  // The controls of one channel.
  struct TChannelControls {
    QCheckBox* Enabled;
    TRadioGroup* PortSel;
    QListWidget* BaudRate;
    QListWidget* Parity;
    TRadioGroup* DataBits;
    TRadioGroup* StopBits;
  };

  QGroupBox* BuildChannelBox(int channel, TChannelControls& controls);
  void FillChannel(const TComEntry& entry, const TChannelControls& controls);
  // The selected port of a channel, none when no port button is checked.
  std::optional<int> SelectedPort(const TChannelControls& controls) const;
  void ControlsToEntry(const TChannelControls& controls, TComEntry& entry) const;

  TConfigFile& config_;
  IChannelPorts& ports_;
  IMessageService& messages_;
  std::array<TChannelControls, 2> channels_{};
};

enum class TPortChoice { Ok, NoPort1, NoPort2, SamePort };

// Whether the dialog may take the channels' choices: an enabled channel needs
// a selected port, and two enabled channels may not share one.
TPortChoice CheckPortChoice(const std::array<bool, 2>& enabled,
                            const std::array<std::optional<int>, 2>& ports);

namespace ChannelText {
inline constexpr const char* SamePort = "The two channels may not use the same COM port";
// %1 is the channel number.
inline constexpr const char* NoPort = "Channel %1 is enabled but no COM port is selected";
}  // namespace ChannelText

}  // namespace klv
