#include "app/ui/Klvmain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QImageReader>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QStatusTipEvent>
#include <QTime>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/StatusTexts.h"
#include "app/ui/CommandParts.h"
#include "common/Cp1252.h"
#include "log/ui/PrinterDevice.h"

namespace klv {
namespace {

// The keyboard sends these Windows letters as their code page 437 codes.
unsigned char KeyboardByte(unsigned char byte) {
  switch (byte) {
    case 228:  // a with diaeresis
      return 132;
    case 229:  // a with ring
      return 134;
    case 246:  // o with diaeresis
      return 148;
    case 196:  // A with diaeresis
      return 142;
    case 197:  // A with ring
      return 143;
    case 214:  // O with diaeresis
      return 153;
    default:
      return byte;
  }
}

// Keys held with Alt or Meta are commands, never data for the line; with Ctrl
// only the control codes a terminal sends (Ctrl+A is 01H) are.
bool SendsData(const QKeyEvent& key) {
  const Qt::KeyboardModifiers held = key.modifiers();
  if (held & (Qt::AltModifier | Qt::MetaModifier))
    return false;
  if (!(held & Qt::ControlModifier))
    return true;
  const QString text = key.text();
  return text.size() == 1 && (text[0].unicode() < 0x20 || text[0].unicode() == 0x7F);
}

// Built in, so that the window has it also when run from the build tree; the
// scalable drawing where this Qt reads SVG.
QIcon ProgramIcon() {
  QIcon icon(QStringLiteral(":/icons/kelvora32.png"));
  if (QImageReader::supportedImageFormats().contains("svg"))
    icon.addFile(QStringLiteral(":/icons/kelvora32.svg"));
  return icon;
}

}  // namespace

TKLVAppForm::TKLVAppForm(TAppFormSetup setup, QWidget* parent) : QMainWindow(parent) {
  if (setup.Messages == nullptr) {
    ownMessages_ = std::make_unique<TMessageBoxService>(this);
    setup.Messages = ownMessages_.get();
  }
  messages_ = setup.Messages;
  helpServices_ = std::make_unique<THelpServices>(this, *messages_);
  SetWindowServices(helpServices_.get());
  parameters_ = setup.Parameters;
  config_ = std::make_unique<TConfigFile>(*messages_, *this);
  TConf& conf = config_->Conf();

  MakeConsole(setup.AttachStdio);
  if (setup.Printer == nullptr) {
    ownPrinter_ = std::make_unique<TQtPrinterDevice>();
    setup.Printer = ownPrinter_.get();
  }
  log_ = std::make_unique<TLogEngine>(conf.Log, conf.Misc.LogDataFormat, *messages_, *setup.Printer,
                                      this);
  dispatcher_ = std::make_unique<TReceiveDispatcher>(conf, *log_);
  channels_ = std::make_unique<TChannels>(conf, *dispatcher_, *messages_);
  renderers_ = std::make_unique<TDisplayRenderers>(conf, *KLV_, *channels_, *log_);
  renderers_->RegisterWith(*dispatcher_);

  parameterBar_ = new TParameterBar(this);
  statusBars_ = {new TChannelStatusBar(0, this), new TChannelStatusBar(1, this)};
  configCommands_ = new TConfigCommands(*config_, *this, *messages_, this);
  displayCommands_ = new TDisplayCommands(conf, *KLV_, *dispatcher_, *messages_, this);
  settingsCommands_ =
      new TSettingsCommands(*config_, *channels_, *displayCommands_, *messages_, this);
  stringCommands_ = new TStringCommands(conf, *channels_, *messages_, beeper_, this);
  triggerCommands_ = new TTriggerCommands(conf, *renderers_, stringCommands_->Transmitter(),
                                          *messages_, beeper_, this);
  logCommands_ = new TLogCommands(conf, *log_, *dispatcher_, this);
  helpCommands_ = new THelpCommands(*helpServices_, this);
  PlaceCommands();

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(parameterBar_);
  layout->addWidget(KLV_, 1);
  layout->addWidget(statusBars_[0]);
  layout->addWidget(statusBars_[1]);
  setCentralWidget(central);
  ConnectParts();
  QApplication::setWindowIcon(ProgramIcon());
  resize(StartSize(screen()->availableGeometry()));

  TimerOneSecond.setInterval(1000);
  connect(&TimerOneSecond, &QTimer::timeout, this, &TKLVAppForm::OneSecondTick);
  TimerOneSecond.start();
  qApp->installEventFilter(this);
  config_->SetConfigFileName(kDefaultConfigFileName);
  config_->SetDefaults();
  UpdateTitle();
  blinkPhase_ = false;
}

TKLVAppForm::~TKLVAppForm() {
  qApp->removeEventFilter(this);
  if (WindowServices() == helpServices_.get())
    SetWindowServices(nullptr);
}

// ---- construction ------------------------------------------------------------

void TKLVAppForm::MakeConsole(bool attachStdio) {
  KLV_ = new TColorConsole(this);
  KLV_->SetCols(94);
  KLV_->SetRows(100);
  TFixedFont font;
  font.Name = QStringLiteral("Fixedsys");
  font.Height = -17;
  font.Color = clBlack;
  font.BkColor = clWhite;
  KLV_->SetFont(font);
  KLV_->SetControlColor(clWhite);
  KLV_->SetLineBreak(TConsoleLineBreak::CRLF);
  const TConsoleOptions options = coAutoTracking | coCheckBreak | coLazyWrite | coFixedPitchOnly;
  try {
    KLV_->SetOptions(attachStdio ? options | coStdInput | coStdOutput : options);
  } catch (const EConsoleError&) {
    KLV_->SetOptions(options);  // another window holds standard input or output
  }
  KLV_->Clear();
}

// Menus and tool buttons in the window's order.
void TKLVAppForm::PlaceCommands() {
  QMenuBar* menus = menuBar();
  configCommands_->PlaceMenu(menus);
  settingsCommands_->PlaceMenu(menus);
  displayCommands_->PlaceMenu(menus);
  stringCommands_->PlaceStringsMenu(menus);
  logCommands_->PlaceMenu(menus);
  stringCommands_->PlaceUtilitiesMenu(menus);
  helpCommands_->PlaceMenu(menus);

  QToolBar* bar = addToolBar(QStringLiteral("SpeedPanel"));
  bar->setObjectName(QStringLiteral("SpeedPanel"));
  bar->setMovable(false);
  configCommands_->PlaceButtons(bar);
  bar->addSeparator();
  displayCommands_->PlaceButtons(bar);
  bar->addSeparator();
  logCommands_->PlaceButtons(bar);
  bar->addSeparator();
  stringCommands_->PlaceButtons(bar);
  bar->addSeparator();
  helpCommands_->PlaceButtons(bar);
}

void TKLVAppForm::ConnectParts() {
  connect(channels_.get(), &TChannels::ChannelsChanged, this, &TKLVAppForm::UpdateStatusBars);
  connect(channels_.get(), &TChannels::LinesChanged, this, &TKLVAppForm::UpdateLineIndicators);
  connect(channels_.get(), &TChannels::Transmitting, parameterBar_,
          &TParameterBar::FlashTransmitIndicator);
  connect(displayCommands_, &TDisplayCommands::DisplayModeChanged, this, [this] {
    UpdateParameterBar();
    UpdateStatusBars();
  });
  connect(displayCommands_, &TDisplayCommands::DisplayClearing, logCommands_,
          &TLogCommands::LogPendingLine);
  connect(displayCommands_, &TDisplayCommands::PauseChanged, this, &TKLVAppForm::UpdateRunStatus);
  connect(settingsCommands_, &TSettingsCommands::DisplaySetupChanged, this, [this] {
    UpdateStatusBars();
    KLV_->PlaceCaret();
  });
  connect(stringCommands_, &TStringCommands::LibraryReplaced, this, [this] {
    UpdateParameterBar();
    KLV_->PlaceCaret();
  });
  connect(settingsCommands_->Triggers1, &QAction::triggered, triggerCommands_,
          [this] { triggerCommands_->TriggerClick(); });
  connect(triggerCommands_, &TTriggerCommands::TriggerStateChanged, this,
          &TKLVAppForm::UpdateTriggerPanels);
  connect(configCommands_, &TConfigCommands::ConfigImported, this, [this] {
    UpdateParameterBar();
    KLV_->PlaceCaret();
  });
  connect(parameterBar_->PanelRunStatus, &QPushButton::clicked, displayCommands_,
          &TDisplayCommands::PauseClick);
  connect(parameterBar_->PanelCurrentString, &QPushButton::clicked, stringCommands_,
          &TStringCommands::LibraryClick);
  ConnectStatusBar(0);
  ConnectStatusBar(1);
}

void TKLVAppForm::ConnectStatusBar(int channel) {
  TChannelStatusBar* bar = statusBars_[static_cast<std::size_t>(channel)];
  TChannels* channels = channels_.get();
  const auto step = [bar, channels, channel](QPushButton* button, TLineParameter which) {
    connect(button, &QPushButton::clicked, channels,
            [channels, channel, which] { channels->StepLineParameter(channel, which); });
  };
  step(bar->PanelComPort, TLineParameter::Port);
  step(bar->PanelBaudRate, TLineParameter::Baud);
  step(bar->PanelDataBits, TLineParameter::DataBits);
  step(bar->PanelParity, TLineParameter::Parity);
  step(bar->PanelStopBits, TLineParameter::StopBits);
  connect(bar->PanelRTS, &QPushButton::clicked, channels,
          [channels, channel] { channels->ToggleRTS(channel); });
  connect(bar->PanelDTR, &QPushButton::clicked, channels,
          [channels, channel] { channels->ToggleDTR(channel); });
  connect(bar->PanelChannel, &QPushButton::clicked, settingsCommands_,
          &TSettingsCommands::LineParametersClick);
  connect(bar->PanelNewLine, &QPushButton::clicked, settingsCommands_,
          &TSettingsCommands::DisplaySetupClick);
  connect(bar->pnTrig, &QPushButton::clicked, triggerCommands_,
          [this, channel] { triggerCommands_->TriggerClick(channel); });
}

// ---- start-up and shut-down -------------------------------------------------

void TKLVAppForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_)
    return;
  shown_ = true;
  // Loading may ask questions: do it once the window is on screen.
  QTimer::singleShot(0, this, &TKLVAppForm::FormShow);
}

void TKLVAppForm::FormShow() {
  config_->SetDefaults();
  displayCommands_->SetDisplayMode(displayCommands_->CurrentDisplayMode());
  config_->LoadStartupConfig(parameters_);
  // A port that fails to open has been reported; the rest of start-up goes on.
  ApplyConfig();
  config_->CopyToSaved();
  displayCommands_->SetDisplayMode(displayCommands_->CurrentDisplayMode());
  KLV_->setFocus();
  started_ = true;
}

void TKLVAppForm::closeEvent(QCloseEvent* event) {
  if (!closingWithoutQuestion_ && config_->ConfigChanged()) {
    const TMsgButton answer = messages_->Confirmation(
        QStringLiteral("Do you want to save changes to ") + config_->ConfigFileName() + '?',
        TMsgButton::Yes | TMsgButton::No | TMsgButton::Cancel);
    if (answer == TMsgButton::Cancel) {
      event->ignore();
      return;
    }
    if (answer == TMsgButton::Yes)
      configCommands_->SaveItemClick();  // closes also when the save was cancelled
  }
  channels_->CloseChannels();
  event->accept();
}

void TKLVAppForm::ShutDown() {
  // What was received before the signal is shown and logged before the logs close.
  channels_->DrainReceived();
  if (Conf().Log.LogToFile)
    StopFileLog();
  if (Conf().Log.LogToPrinter)
    StopPrinterLog();
  closingWithoutQuestion_ = true;
  close();
}

// Every part in turn takes what the record says.
void TKLVAppForm::ApplyConfig() {
  logCommands_->ApplyLogSettings();
  displayCommands_->ShowPause();
  settingsCommands_->ShowProtocolSelection();
  stringCommands_->ShowGlobalSyntax();
  displayCommands_->SetDisplayMode(displayCommands_->CurrentDisplayMode());
  channels_->OpenChannels();
  UpdateTitle();
  UpdateParameterBar();
  stringCommands_->ApplyAutoTransmit();
}

QSize TKLVAppForm::StartSize(const QRect& available) const {
  return sizeHint().expandedTo(minimumSizeHint()).boundedTo(available.size());
}

void TKLVAppForm::UpdateTitle() {
  setWindowTitle(QStringLiteral("Kelvora 32 - ") + config_->ConfigFullPath());
}

bool TKLVAppForm::PortPresent(int comNumber) {
  return channels_->PortPresent(comNumber);
}

void TKLVAppForm::StopFileLog() {
  logCommands_->StopFileLog();
}

void TKLVAppForm::StopPrinterLog() {
  logCommands_->StopPrinterLog();
}

// ---- bars --------------------------------------------------------------------

void TKLVAppForm::UpdateStatusBars() {
  const TDisplayMode mode = displayCommands_->CurrentDisplayMode();
  for (int channel = 0; channel < 2; ++channel) {
    const TComEntry& entry = Conf().Comparam.Channel[static_cast<std::size_t>(channel)];
    TChannelStatusBar& bar = StatusBar(channel);
    bar.setVisible(entry.Enabled);
    if (!entry.Enabled)
      continue;
    QString reason;
    const QString trouble = channels_->PortTrouble(channel, &reason);
    bar.ShowParameters(entry, NewLineText(config_->GetNewLine(channel, mode)),
                       channels_->PortDevice(entry.Port), trouble, reason);
    UpdateLineIndicators(channel, TLines::All);
  }
  stringCommands_->UpdateTransmitButtons();
  UpdateTriggerPanels();
}

void TKLVAppForm::UpdateLineIndicators(int channel, TLines which) {
  const TComPort& port = channels_->Port(channel);
  TChannelStatusBar& bar = StatusBar(channel);
  if (which != TLines::Inputs)
    bar.ShowOutputs(port.RTS(), port.DTR());
  if (which != TLines::Outputs)
    bar.ShowInputs(port.CTS(), port.DSR(), port.DCD(), port.RI());
}

void TKLVAppForm::UpdateParameterBar() {
  parameterBar_->ShowDisplayMode(DisplayModeText(Conf()));
  parameterBar_->ShowCurrentString(CurrentStringText(Conf()), CurrentStringHint(Conf()));
  UpdateRunStatus();
}

void TKLVAppForm::UpdateRunStatus() {
  parameterBar_->ShowRunStatus(Conf().Paused, blinkPhase_);
}

void TKLVAppForm::UpdateTriggerPanels() {
  for (int channel = 0; channel < 2; ++channel) {
    if (!Conf().Comparam.Channel[static_cast<std::size_t>(channel)].Enabled)
      continue;
    bool active = false;
    const QString text = TriggerPanelText(Conf(), channel, &active);
    StatusBar(channel).ShowTrigger(text, active, blinkPhase_);
  }
}

void TKLVAppForm::OneSecondTick() {
  parameterBar_->ShowClock(QTime::currentTime());
  blinkPhase_ = !blinkPhase_;
  UpdateTriggerPanels();
  UpdateRunStatus();
}

// ---- keyboard and hints ------------------------------------------------------

void TKLVAppForm::KeyTyped(const QString& text) {
  for (char c : QStringToCp1252(text)) {
    const char byte = static_cast<char>(KeyboardByte(static_cast<unsigned char>(c)));
    channels_->OutputString(0, std::string_view(&byte, 1));
  }
}

// The window sees every typed character before the focused control does; the
// character is not consumed.
bool TKLVAppForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && QApplication::activeModalWidget() == nullptr) {
    QWidget* focus = QApplication::focusWidget();
    QWidget* target = focus != nullptr ? focus : this;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == target && target->window() == this && !key->text().isEmpty() &&
        SendsData(*key)) {
      KeyTyped(key->text());
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// The current hint text becomes the caption of channel 2's hint panel.
bool TKLVAppForm::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip && statusBars_[1] != nullptr) {
    statusBars_[1]->HintPanel->setText(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QMainWindow::event(event);
}

}  // namespace klv
