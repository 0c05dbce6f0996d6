// The main window: owns the two ports and the console, receives every byte
// and modem-line change, keeps the status and parameter bars, offers the
// transmission services and carries the commands.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <array>
#include <memory>

#include "app/Config.h"
#include "app/ReceiveDispatcher.h"
#include "app/ui/DialogServices.h"
#include "app/ui/MessageBoxService.h"
#include "common/ReceiveInterfaces.h"
#include "display/P_hextty.h"
#include "display/ui/ConsoleWidget.h"
#include "log/Log.h"
#include "log/PrinterDevice.h"
#include "protocol/P_ruvo94.h"
#include "serial/ComPort.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;

namespace klv {

class TChannelDlg;
class TFormDmSettings;

struct TAppFormSetup {
  // Command-line parameters without the program name.
  QStringList Parameters;
  // Messages to the user; message boxes when null.
  IMessageService* Messages = nullptr;
  // Renderers and log; when null, the window's own.
  IReceiveRenderers* Renderers = nullptr;
  IReceiveLog* Log = nullptr;
  // The text the renderers log, when Log is given (the window's own engine otherwise).
  ILogText* LogText = nullptr;
  // The printer of the window's own log; the system's default printer when null.
  IPrinterDevice* Printer = nullptr;
  // The console becomes the process's standard input and output.
  bool AttachStdio = true;
};

// One channel's status bar.
struct TStatusBar {
  QWidget* Bar = nullptr;
  QPushButton* PanelChannel = nullptr;
  QPushButton* PanelComPort = nullptr;
  QPushButton* PanelBaudRate = nullptr;
  QPushButton* PanelDataBits = nullptr;
  QPushButton* PanelParity = nullptr;
  QPushButton* PanelStopBits = nullptr;
  QPushButton* PanelNewLine = nullptr;
  QPushButton* PanelRTS = nullptr;
  QPushButton* PanelDTR = nullptr;
  QLabel* PanelCTS = nullptr;
  QLabel* PanelDSR = nullptr;
  QLabel* PanelDCD = nullptr;
  QLabel* PanelRI = nullptr;
  QPushButton* pnTrig = nullptr;
};

class TKLVAppForm : public QMainWindow,
                    public IConfigHost,
                    public IAppServices,
                    public IChannelPorts {
  Q_OBJECT

 public:
  enum class TLines { Outputs, Inputs, All };

  explicit TKLVAppForm(TAppFormSetup setup, QWidget* parent = nullptr);
  ~TKLVAppForm() override;

  TConfigFile& Config() { return *config_; }
  TConf& Conf() { return config_->Conf(); }
  TColorConsole& KLV() { return *KLV_; }
  TComPort& Port(int channel) { return channel == 0 ? PrimaryPort : SecondaryPort; }
  const TStatusBar& StatusBar(int channel) const {
    return statusBars_[static_cast<std::size_t>(channel)];
  }
  bool BlinkPhase() const { return blinkPhase_; }
  // The configuration has been loaded and applied after the first showing.
  bool Started() const { return started_; }

  // IConfigHost
  bool PortPresent(int comNumber) override;
  void StopFileLog() override;
  void StopPrinterLog() override;
  void ApplyConfig() override;
  void UpdateTitle() override;

  // IAppServices
  bool ChannelAvailable(int channel) const override;
  void OutputString(int channel, std::string_view bytes) override;
  int ChannelOutputRoom(int channel) const override;
  void DiscardChannelOutput(int channel) override;
  bool ChannelCTS(int channel) const override;
  void SetChannelRTS(int channel, bool on) override;
  void SetChannelDTR(int channel, bool on) override;
  QString TimeStampText(const QDateTime& time) const override;

  // IChannelPorts
  bool PortUsable(int comNumber) override;
  QString PortDevice(int comNumber) override;
  void ClosePort(int channel) override;

  TDisplayMode CurrentDisplayMode() const;
  void ProcessReceivedByte(int channel, std::uint8_t byte);
  void ReportModemStatus(int channel);
  void ShowModemChange(int channel, const TModemStatusRecord& record);
  void UpdateLineIndicators(int channel, TLines which);
  void SetDisplayMode(TDisplayMode mode);
  void UpdateStatusBars();
  void UpdateParameterBar();
  void UpdateRunStatus();
  void UpdateTriggerPanels();
  // Opens, re-applies or closes both ports as the record says. Returns false
  // when a port failed to open (the user has been told why).
  bool OpenChannels();
  void RefreshCaret() override;
  void FlashTransmitIndicator(int channel);

  // Commands.
  void NewItemClick();
  void OpenItemClick();
  void SaveItemClick();
  void SaveAsItemClick();
  void OpenConfigFile(const QString& fileName);
  bool SaveConfigAs(const QString& fileName);
  void LineParametersClick(int channel = -1);
  void DisplaySetupClick();
  void MiscSettingsClick();
  void PauseClick();
  void ProtocolDisplayClick();
  // 0 no protocol, 1 Ruvo-94 (2 Profibus and 3 Modbus have no decoder).
  void ProtocolSelectionClick(int value);
  // The user's checksum and length rules, in a modal dialog.
  void ProprietaryProtocolClick();
  const QList<QAction*>& ProtocolItems() const { return protocolItems_; }
  void BreakClick();
  void TimeStampClick(bool down);
  void ToggleRTS(int channel);
  void ToggleDTR(int channel);
  void NextPortClick(int channel);
  void NextBaudClick(int channel);
  void NextDataBitsClick(int channel);
  void NextParityClick(int channel);
  void NextStopBitsClick(int channel);
  // A typed character, as the keyboard sends it to channel 1.
  void KeyTyped(const QString& text);
  void FileLogSwitch();
  void PrinterLogSwitch();
  // Menu checks and buttons follow the log flags.
  void UpdateLogSwitches();
  // Ends the program in order without questions (termination signals).
  void ShutDown();
  // The one-second timer's tick: clock, blinking, trigger panels, run status.
  void OneSecondTick();

  // Named controls reached by tests.
  QLabel* PanelDisplayMode = nullptr;
  QPushButton* PanelRunStatus = nullptr;
  QLabel* PanelTransmittIndicator = nullptr;
  QPushButton* PanelCurrentString = nullptr;
  QLabel* PanelClock = nullptr;
  QLabel* HintPanel = nullptr;
  QToolButton* BtnTTY = nullptr;
  QToolButton* BtnHexAscii = nullptr;
  QToolButton* BtnProtocoll = nullptr;
  QToolButton* BtnPause = nullptr;
  QToolButton* sbTimeStamp = nullptr;
  QToolButton* sbLogFile = nullptr;
  QToolButton* sbLogPrinter = nullptr;
  QAction* MenuLogFile = nullptr;
  QAction* MenuLogPrinter = nullptr;
  QToolButton* BtnTransmitt_1 = nullptr;
  QToolButton* BtnTransmitt_2 = nullptr;
  QAction* MenuDisplayTTY = nullptr;
  QAction* MenuDisplayHexAscii = nullptr;
  QAction* MenuDisplayProtocoll = nullptr;
  QAction* MenuDisplayPause = nullptr;
  QAction* StringsTransmitt = nullptr;
  QAction* StringsAutoTransmitt = nullptr;
  QAction* StringsScriptTransmission = nullptr;
  QTimer TimerOneSecond;
  QTimer TimerXmitIndicator;

  TComPort PrimaryPort;
  TComPort SecondaryPort;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;
  void UpdateCaretRule();

 private:
  void BuildMenus();
  void BuildToolBar();
  QWidget* BuildParameterBar();
  QWidget* BuildStatusBar(int channel);
  void FormShow();

  void OnTriggerAvail(int channel, int count);
  void ProcessChannelData(int channel);
  void OnTriggerModemStatus(int channel);
  void OnPortError(int channel, const QString& message);
  bool ApplyPort(int channel);
  QColor ChannelColor(int channel) const;
  void SetLineColor(QWidget* widget, int channel, bool on);

  std::unique_ptr<TMessageBoxService> ownMessages_;
  IMessageService* messages_;
  std::unique_ptr<IPrinterDevice> printer_;
  std::unique_ptr<TLogEngine> logEngine_;
  std::unique_ptr<ILogText> noLogText_;
  std::unique_ptr<TProtocol_HexTTY> hexTty_;
  std::unique_ptr<TProtocol_Ruvo94> ruvo_;
  std::unique_ptr<IReceiveRenderers> ownRenderers_;
  IReceiveRenderers* renderers_;
  IReceiveLog* log_;
  QStringList parameters_;
  std::unique_ptr<TConfigFile> config_;
  std::unique_ptr<TReceiveDispatcher> dispatcher_;
  std::array<TReceiveQueue, 2> receiveQueues_;
  std::array<std::uint16_t, 2> modemTriggers_{};
  // Why a channel's device stopped working, empty while it works.
  std::array<QString, 2> lostReason_;
  TColorConsole* KLV_ = nullptr;
  std::array<TStatusBar, 2> statusBars_;
  QActionGroup* displayModeGroup_ = nullptr;
  QList<QAction*> protocolItems_;
  QList<QAction*> syntaxItems_;
  TChannelDlg* channelDlg_ = nullptr;
  TFormDmSettings* displayDlg_ = nullptr;
  bool blinkPhase_ = false;
  bool shown_ = false;
  bool started_ = false;
  bool closingWithoutQuestion_ = false;
  bool caretFollowsText_ = true;
};

}  // namespace klv
