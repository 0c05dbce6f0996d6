// The main window: a thin root that makes the program's parts in order (the
// configuration, the console, the log, the receive path, the channels, the
// bars and one command object per menu area), lays them out, applies the
// configuration to them and ends the program.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <QTimer>
#include <array>
#include <memory>

#include "app/Channels.h"
#include "app/Config.h"
#include "app/DisplayRenderers.h"
#include "app/ReceiveDispatcher.h"
#include "app/ui/ConfigCommands.h"
#include "app/ui/DisplayCommands.h"
#include "app/ui/HelpCommands.h"
#include "app/ui/LogCommands.h"
#include "app/ui/MessageBoxService.h"
#include "app/ui/SettingsCommands.h"
#include "app/ui/StatusBars.h"
#include "app/ui/StringCommands.h"
#include "app/ui/TriggerCommands.h"
#include "common/ui/ApplicationBeeper.h"
#include "display/ui/ConsoleWidget.h"
#include "help/ui/HelpServices.h"
#include "log/Log.h"
#include "log/PrinterDevice.h"

namespace klv {

struct TAppFormSetup {
  // Command-line parameters without the program name.
  QStringList Parameters;
  // Messages to the user; message boxes when null.
  IMessageService* Messages = nullptr;
  // The printer of the printer log; the system's default printer when null.
  IPrinterDevice* Printer = nullptr;
  // The console becomes the process's standard input and output.
  bool AttachStdio = true;
};

class TKLVAppForm : public QMainWindow, public IConfigHost {
  Q_OBJECT

 public:
  explicit TKLVAppForm(TAppFormSetup setup, QWidget* parent = nullptr);
  ~TKLVAppForm() override;

  TConfigFile& Config() { return *config_; }
  TConf& Conf() { return config_->Conf(); }
  TColorConsole& KLV() { return *KLV_; }
  TLogEngine& Log() { return *log_; }
  TChannels& Channels() { return *channels_; }
  TParameterBar& ParameterBar() { return *parameterBar_; }
  TChannelStatusBar& StatusBar(int channel) {
    return *statusBars_[static_cast<std::size_t>(channel)];
  }
  TConfigCommands& ConfigCommands() { return *configCommands_; }
  TDisplayCommands& DisplayCommands() { return *displayCommands_; }
  TSettingsCommands& SettingsCommands() { return *settingsCommands_; }
  TStringCommands& StringCommands() { return *stringCommands_; }
  TTriggerCommands& TriggerCommands() { return *triggerCommands_; }
  TLogCommands& LogCommands() { return *logCommands_; }
  bool BlinkPhase() const { return blinkPhase_; }
  // The configuration has been loaded and applied after the first showing.
  bool Started() const { return started_; }

  // IConfigHost
  bool PortPresent(int comNumber) override;
  void StopFileLog() override;
  void StopPrinterLog() override;
  void ApplyConfig() override;
  void UpdateTitle() override;

  void UpdateStatusBars();
  void UpdateLineIndicators(int channel, TLines which);
  void UpdateParameterBar();
  void UpdateRunStatus();
  void UpdateTriggerPanels();
  // The one-second timer's tick: clock, blinking, trigger panels, run status.
  void OneSecondTick();
  // Ends the program in order without questions (termination signals).
  void ShutDown();
  // The size the window opens at: the console's hint (all its columns and 25
  // rows) with the menus and bars, as far as `available` allows.
  QSize StartSize(const QRect& available) const;

  QTimer TimerOneSecond;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void MakeConsole(bool attachStdio);
  void PlaceCommands();
  void ConnectParts();
  void ConnectStatusBar(int channel);
  void FormShow();
  // A typed character, as the keyboard sends it to channel 1.
  void KeyTyped(const QString& text);

  TApplicationBeeper beeper_;
  std::unique_ptr<TMessageBoxService> ownMessages_;
  IMessageService* messages_;
  QStringList parameters_;
  std::unique_ptr<TConfigFile> config_;
  TColorConsole* KLV_ = nullptr;
  std::unique_ptr<IPrinterDevice> ownPrinter_;
  std::unique_ptr<TLogEngine> log_;
  std::unique_ptr<TReceiveDispatcher> dispatcher_;
  std::unique_ptr<TChannels> channels_;
  std::unique_ptr<TDisplayRenderers> renderers_;
  std::unique_ptr<THelpServices> helpServices_;
  TParameterBar* parameterBar_ = nullptr;
  std::array<TChannelStatusBar*, 2> statusBars_{};
  TConfigCommands* configCommands_ = nullptr;
  TDisplayCommands* displayCommands_ = nullptr;
  TSettingsCommands* settingsCommands_ = nullptr;
  TStringCommands* stringCommands_ = nullptr;
  TTriggerCommands* triggerCommands_ = nullptr;
  TLogCommands* logCommands_ = nullptr;
  THelpCommands* helpCommands_ = nullptr;
  bool blinkPhase_ = false;
  bool shown_ = false;
  bool started_ = false;
  bool closingWithoutQuestion_ = false;
};

}  // namespace klv
