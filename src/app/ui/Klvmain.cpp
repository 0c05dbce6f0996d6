#include "app/ui/Klvmain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/DisplayRenderers.h"
#include "app/StatusTexts.h"
#include "app/ui/Channel.h"
#include "app/ui/Dm_param.h"
#include "app/ui/Miscset.h"
#include "common/Cp1252.h"
#include "log/Log.h"
#include "log/ui/PrinterDevice.h"
#include "protocol/ui/Prop_set.h"

namespace klv {
namespace {

// For a window given its own log without the renderers' side of it.
class TNoLogText : public ILogText {
 public:
  void LogText(std::string_view, int, bool, bool) override {}
  void LogPrinterText(std::string_view, int) override {}
};

constexpr const char* kFileFilter = "KLV configuration *.klv (*.klv)";

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

QPushButton* Panel(const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setFlat(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setStyleSheet(
      QStringLiteral("QPushButton { padding: 1px 6px; border: 1px solid #b0b0b0; }"));
  return button;
}

QLabel* Indicator(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setContentsMargins(4, 0, 4, 0);
  return label;
}

QToolButton* ToolButton(QToolBar* bar, const QString& text, const QString& hint) {
  auto* button = new QToolButton(bar);
  button->setText(text);
  button->setToolTip(hint);
  button->setStatusTip(hint);
  button->setFocusPolicy(Qt::NoFocus);
  bar->addWidget(button);
  return button;
}

// Menu items and buttons whose features come later stay visible but disabled.
void Later(QAction* action) {
  action->setEnabled(false);
}
void Later(QWidget* widget) {
  widget->setEnabled(false);
}

}  // namespace

TKLVAppForm::TKLVAppForm(TAppFormSetup setup, QWidget* parent) : QMainWindow(parent) {
  if (setup.Messages == nullptr) {
    ownMessages_ = std::make_unique<TMessageBoxService>(this);
    setup.Messages = ownMessages_.get();
  }
  messages_ = setup.Messages;
  parameters_ = setup.Parameters;
  config_ = std::make_unique<TConfigFile>(*messages_, *this);

  // The ports as the form sets them up; the record overrides them at every opening.
  PrimaryPort.SetComNumber(1);
  PrimaryPort.SetParity(TParity::pSpace);
  SecondaryPort.SetComNumber(0);
  for (int channel = 0; channel < 2; ++channel) {
    TComPort& port = Port(channel);
    connect(&port, &TComPort::OnTriggerAvail, this,
            [this, channel](TComPort*, int count) { OnTriggerAvail(channel, count); });
    connect(&port, &TComPort::OnTriggerModemStatus, this,
            [this, channel](TComPort*) { OnTriggerModemStatus(channel); });
    connect(&port, &TComPort::OnPortError, this,
            [this, channel](TComPort*, const QString& message) { OnPortError(channel, message); });
  }

  KLV_ = new TColorConsole(this);
  connect(qApp, &QApplication::focusChanged, this, &TKLVAppForm::UpdateCaretRule);
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
  TConsoleOptions options = coAutoTracking | coCheckBreak | coLazyWrite | coFixedPitchOnly;
  if (setup.AttachStdio)
    options |= coStdInput | coStdOutput;
  try {
    KLV_->SetOptions(options);
  } catch (const EConsoleError&) {
    // Another window holds standard input or output: this one does without.
    KLV_->SetOptions(coAutoTracking | coCheckBreak | coLazyWrite | coFixedPitchOnly);
  }
  KLV_->Clear();

  ILogText* logText = setup.LogText;
  if (setup.Log == nullptr) {
    if (setup.Printer == nullptr) {
      printer_ = std::make_unique<TQtPrinterDevice>();
      setup.Printer = printer_.get();
    }
    logEngine_ = std::make_unique<TLogEngine>(Conf().Log, Conf().Misc.LogDataFormat, *messages_,
                                              *setup.Printer, this);
    setup.Log = logEngine_.get();
    logText = logEngine_.get();
    connect(logEngine_.get(), &TLogEngine::FileLogStopped, this, &TKLVAppForm::UpdateLogSwitches);
    connect(logEngine_.get(), &TLogEngine::PrinterLogStopped, this,
            &TKLVAppForm::UpdateLogSwitches);
  }
  log_ = setup.Log;
  if (logText == nullptr) {
    noLogText_ = std::make_unique<TNoLogText>();
    logText = noLogText_.get();
  }
  if (setup.Renderers == nullptr) {
    hexTty_ = std::make_unique<TProtocol_HexTTY>(Conf(), *KLV_, *this, *logText);
    ruvo_ = std::make_unique<TProtocol_Ruvo94>(Conf(), *KLV_, *this, *logText);
    ownRenderers_ = std::make_unique<TDisplayRenderers>(*hexTty_, *ruvo_);
    setup.Renderers = ownRenderers_.get();
  }
  renderers_ = setup.Renderers;
  dispatcher_ = std::make_unique<TReceiveDispatcher>(config_->Conf(), *renderers_, *log_);

  BuildMenus();
  BuildToolBar();
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(BuildParameterBar());
  layout->addWidget(KLV_, 1);
  layout->addWidget(BuildStatusBar(0));
  layout->addWidget(BuildStatusBar(1));
  setCentralWidget(central);

  channelDlg_ = new TChannelDlg(*config_, *this, *messages_, this);
  displayDlg_ = new TFormDmSettings(*config_, this);

  TimerOneSecond.setInterval(1000);
  connect(&TimerOneSecond, &QTimer::timeout, this, &TKLVAppForm::OneSecondTick);
  TimerOneSecond.start();
  TimerXmitIndicator.setSingleShot(true);
  TimerXmitIndicator.setInterval(250);
  connect(&TimerXmitIndicator, &QTimer::timeout, this,
          [this] { PanelTransmittIndicator->clear(); });

  qApp->installEventFilter(this);
  config_->SetConfigFileName(kDefaultConfigFileName);
  config_->SetDefaults();
  UpdateTitle();
  blinkPhase_ = false;
}

TKLVAppForm::~TKLVAppForm() {
  qApp->removeEventFilter(this);
  // The widgets' own destruction moves the focus: this window must not hear of it.
  disconnect(qApp, &QApplication::focusChanged, this, &TKLVAppForm::UpdateCaretRule);
  // A log still open is closed while the configuration it reads is alive.
  logEngine_.reset();
  PrimaryPort.SetOpen(false);
  SecondaryPort.SetOpen(false);
}

// ---- construction of the window -------------------------------------------

void TKLVAppForm::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  QAction* item = file->addAction(QStringLiteral("&New"), this, &TKLVAppForm::NewItemClick);
  item->setStatusTip(QStringLiteral("New configuration"));
  item = file->addAction(QStringLiteral("&Open..."), this, &TKLVAppForm::OpenItemClick);
  item->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F1));
  item->setStatusTip(QStringLiteral("Open a file"));
  item = file->addAction(QStringLiteral("&Save..."), this, &TKLVAppForm::SaveItemClick);
  item->setStatusTip(QStringLiteral("Save current file"));
  item = file->addAction(QStringLiteral("S&ave As"), this, &TKLVAppForm::SaveAsItemClick);
  item->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F2));
  item->setStatusTip(QStringLiteral("Save under a new name"));
  item = file->addAction(QStringLiteral("&Print"));
  item->setStatusTip(QStringLiteral("Print configuration"));
  item->setEnabled(false);  // never has an action
  QMenu* import = file->addMenu(QStringLiteral("&Import"));
  Later(import->addAction(QStringLiteral("&Config.DRL")));
  file->addSeparator();
  item = file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);
  item->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
  item->setStatusTip(QStringLiteral("Exit application"));

  QMenu* settings = menuBar()->addMenu(QStringLiteral("&Settings"));
  item = settings->addAction(QStringLiteral("&Line Parameters"), this,
                             [this] { LineParametersClick(); });
  item->setShortcut(QKeySequence(Qt::Key_F10));
  QMenu* hexTty = settings->addMenu(QStringLiteral("&Hex-ASCII/TTY Mode"));
  hexTty->addAction(QStringLiteral("&Display Setup"), this, &TKLVAppForm::DisplaySetupClick);
  hexTty->addAction(QStringLiteral("&Protocol Parameters"), this,
                    &TKLVAppForm::ProprietaryProtocolClick);
  Later(settings->addAction(QStringLiteral("&Trigger")));
  QMenu* protocols = settings->addMenu(QStringLiteral("&Protocol Selection"));
  for (const char* caption : {"&No protocol", "&Ruvo-94", "&Profibus", "&Modbus"}) {
    const int value = static_cast<int>(protocolItems_.size());
    QAction* choice = protocols->addAction(QString::fromLatin1(caption), this,
                                           [this, value] { ProtocolSelectionClick(value); });
    choice->setCheckable(true);
    protocolItems_.append(choice);
  }
  // Named, but there is no decoder for them.
  for (QAction* undecoded : {protocolItems_[2], protocolItems_[3]}) {
    undecoded->setVisible(false);
    undecoded->setEnabled(false);
  }
  settings->addAction(QStringLiteral("&Miscellaneous"), this, &TKLVAppForm::MiscSettingsClick);

  QMenu* display = menuBar()->addMenu(QStringLiteral("&Display"));
  displayModeGroup_ = new QActionGroup(this);
  MenuDisplayTTY = display->addAction(QStringLiteral("&TTY"), this,
                                      [this] { SetDisplayMode(TDisplayMode::Tty); });
  MenuDisplayHexAscii = display->addAction(QStringLiteral("&Hex/ASCII"), this,
                                           [this] { SetDisplayMode(TDisplayMode::HexAscii); });
  MenuDisplayProtocoll =
      display->addAction(QStringLiteral("&Protocol"), this, &TKLVAppForm::ProtocolDisplayClick);
  for (QAction* mode : {MenuDisplayTTY, MenuDisplayHexAscii, MenuDisplayProtocoll}) {
    mode->setCheckable(true);
    displayModeGroup_->addAction(mode);
  }
  display->addSeparator();
  MenuDisplayPause = display->addAction(QStringLiteral("P&ause"), this, &TKLVAppForm::PauseClick);
  MenuDisplayPause->setCheckable(true);
  MenuDisplayPause->setShortcut(QKeySequence(Qt::Key_F12));

  QMenu* strings = menuBar()->addMenu(QStringLiteral("&Strings"));
  item = strings->addAction(QStringLiteral("&Library"));
  item->setShortcut(QKeySequence(Qt::Key_F2));
  item->setStatusTip(QStringLiteral("Copy, move and delete strings"));
  Later(item);
  item = strings->addAction(QStringLiteral("&Edit"));
  item->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F3));
  item->setStatusTip(QStringLiteral("Edit string and name"));
  Later(item);
  StringsTransmitt = strings->addAction(QStringLiteral("&Transmit"));
  StringsTransmitt->setShortcut(QKeySequence(Qt::Key_F5));
  StringsTransmitt->setStatusTip(QStringLiteral("Transmitt current string"));
  StringsAutoTransmitt = strings->addAction(QStringLiteral("&AutoTransmit"));
  StringsAutoTransmitt->setShortcut(QKeySequence(Qt::Key_F7));
  StringsAutoTransmitt->setStatusTip(QStringLiteral("Transmitt current string repeatedly"));
  StringsAutoTransmitt->setCheckable(true);
  StringsScriptTransmission = strings->addAction(QStringLiteral("&Script Transmission"));
  StringsScriptTransmission->setShortcut(QKeySequence(Qt::Key_F9));
  QMenu* syntax = strings->addMenu(QStringLiteral("&Global String Syntax"));
  for (const char* caption : {"&None", "&Display Mode", "&Protocol"}) {
    QAction* choice = syntax->addAction(QString::fromLatin1(caption));
    choice->setCheckable(true);
    Later(choice);
    syntaxItems_.append(choice);
  }
  strings->addSeparator();
  for (const char* caption : {"E&xport", "I&mport", "&Clear ALL strings"}) {
    Later(strings->addAction(QString::fromLatin1(caption)));
  }

  QMenu* logMenu = menuBar()->addMenu(QStringLiteral("&Log"));
  Later(logMenu->addAction(QStringLiteral("&View Log File")));
  MenuLogFile =
      logMenu->addAction(QStringLiteral("Log to &File"), this, &TKLVAppForm::FileLogSwitch);
  MenuLogFile->setShortcut(QKeySequence(Qt::ALT | Qt::Key_L));
  MenuLogFile->setCheckable(true);
  MenuLogPrinter =
      logMenu->addAction(QStringLiteral("Log to &Printer"), this, &TKLVAppForm::PrinterLogSwitch);
  MenuLogPrinter->setShortcut(QKeySequence(Qt::ALT | Qt::Key_P));
  MenuLogPrinter->setCheckable(true);
  Later(logMenu->addAction(QStringLiteral("&Setup")));

  QMenu* utilities = menuBar()->addMenu(QStringLiteral("&Utilities"));
  Later(utilities->addAction(QStringLiteral("&Transmit File")));
  item = utilities->addAction(QStringLiteral("Transmitt a 250mS &Break On Channel 1"), this,
                              &TKLVAppForm::BreakClick);
  item->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  Later(help->addAction(QStringLiteral("&About...")));
  item = help->addAction(QStringLiteral("Online Help"));
  item->setShortcut(QKeySequence(Qt::Key_F1));
  Later(item);
}

void TKLVAppForm::BuildToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("SpeedPanel"));
  bar->setObjectName(QStringLiteral("SpeedPanel"));
  bar->setMovable(false);
  connect(ToolButton(bar, QStringLiteral("Open"), QStringLiteral("Open")), &QToolButton::clicked,
          this, &TKLVAppForm::OpenItemClick);
  connect(ToolButton(bar, QStringLiteral("Save"), QStringLiteral("Save")), &QToolButton::clicked,
          this, &TKLVAppForm::SaveItemClick);
  connect(ToolButton(bar, QStringLiteral("Exit"), QStringLiteral("Exit")), &QToolButton::clicked,
          this, &QWidget::close);
  bar->addSeparator();
  BtnTTY = ToolButton(bar, QStringLiteral("TTY"), QStringLiteral("TTY display"));
  BtnHexAscii = ToolButton(bar, QStringLiteral("Hex"), QStringLiteral("Hex/ASCII Display"));
  BtnProtocoll = ToolButton(bar, QStringLiteral("Prot"), QStringLiteral("Protocol Display"));
  auto* modes = new QButtonGroup(this);
  for (QToolButton* b : {BtnTTY, BtnHexAscii, BtnProtocoll}) {
    b->setCheckable(true);
    modes->addButton(b);
  }
  connect(BtnTTY, &QToolButton::clicked, this, [this] { SetDisplayMode(TDisplayMode::Tty); });
  connect(BtnHexAscii, &QToolButton::clicked, this,
          [this] { SetDisplayMode(TDisplayMode::HexAscii); });
  connect(BtnProtocoll, &QToolButton::clicked, this, &TKLVAppForm::ProtocolDisplayClick);
  connect(ToolButton(bar, QStringLiteral("Clear"), QStringLiteral("Clear display")),
          &QToolButton::clicked, this, [this] { SetDisplayMode(CurrentDisplayMode()); });
  BtnPause = ToolButton(bar, QStringLiteral("Pause"), QStringLiteral("Pause - (F12)"));
  BtnPause->setCheckable(true);
  connect(BtnPause, &QToolButton::clicked, this, &TKLVAppForm::PauseClick);
  bar->addSeparator();
  Later(ToolButton(bar, QStringLiteral("View"), QStringLiteral("View log file")));
  Later(ToolButton(bar, QStringLiteral("Clr Log"), QStringLiteral("Clear log file")));
  sbLogFile = ToolButton(bar, QStringLiteral("Log"), QStringLiteral("File log on/off"));
  sbLogFile->setCheckable(true);
  connect(sbLogFile, &QToolButton::clicked, this, &TKLVAppForm::FileLogSwitch);
  sbLogPrinter = ToolButton(bar, QStringLiteral("Prn"), QStringLiteral("Printer log on/off"));
  sbLogPrinter->setCheckable(true);
  connect(sbLogPrinter, &QToolButton::clicked, this, &TKLVAppForm::PrinterLogSwitch);
  sbTimeStamp = ToolButton(bar, QStringLiteral("Time"), QStringLiteral("Timestamp On/Off"));
  sbTimeStamp->setCheckable(true);
  connect(sbTimeStamp, &QToolButton::toggled, this, &TKLVAppForm::TimeStampClick);
  bar->addSeparator();
  BtnTransmitt_1 =
      ToolButton(bar, QStringLiteral("1"), QStringLiteral("Transmit current string on channel 1"));
  BtnTransmitt_2 =
      ToolButton(bar, QStringLiteral("2"), QStringLiteral("Transmit current string on channel 2"));
  bar->addSeparator();
  Later(ToolButton(bar, QStringLiteral("Help"), QStringLiteral("Help")));
  Later(ToolButton(bar, QStringLiteral("Print"), QStringLiteral("Print Screen")));
}

QWidget* TKLVAppForm::BuildParameterBar() {
  auto* bar = new QWidget(this);
  bar->setObjectName(QStringLiteral("ParameterBar"));
  auto* layout = new QHBoxLayout(bar);
  layout->setContentsMargins(2, 1, 2, 1);
  PanelDisplayMode = Indicator(QString(), bar);
  PanelDisplayMode->setMinimumWidth(160);
  PanelRunStatus = Panel(QStringLiteral("Running"), bar);
  connect(PanelRunStatus, &QPushButton::clicked, this, &TKLVAppForm::PauseClick);
  PanelTransmittIndicator = Indicator(QString(), bar);
  PanelTransmittIndicator->setMinimumWidth(30);
  PanelTransmittIndicator->setStyleSheet(QStringLiteral("color: red;"));
  PanelCurrentString = Panel(QString(), bar);
  PanelClock = Indicator(QString(), bar);
  layout->addWidget(PanelDisplayMode);
  layout->addWidget(PanelRunStatus);
  layout->addStretch(1);
  layout->addWidget(PanelTransmittIndicator);
  layout->addWidget(PanelCurrentString);
  layout->addWidget(PanelClock);
  return bar;
}

QWidget* TKLVAppForm::BuildStatusBar(int channel) {
  TStatusBar& s = statusBars_[static_cast<std::size_t>(channel)];
  s.Bar = new QWidget(this);
  s.Bar->setObjectName(channel == 0 ? QStringLiteral("StatusBarP") : QStringLiteral("StatusBarS"));
  auto* layout = new QHBoxLayout(s.Bar);
  layout->setContentsMargins(2, 1, 2, 1);
  layout->setSpacing(2);
  s.PanelChannel =
      Panel(channel == 0 ? QStringLiteral("Channel 1") : QStringLiteral("Channel 2"), s.Bar);
  s.PanelComPort = Panel(QString(), s.Bar);
  s.PanelBaudRate = Panel(QString(), s.Bar);
  s.PanelDataBits = Panel(QString(), s.Bar);
  s.PanelParity = Panel(QString(), s.Bar);
  s.PanelStopBits = Panel(QString(), s.Bar);
  s.PanelNewLine = Panel(QString(), s.Bar);
  s.PanelRTS = Panel(QStringLiteral("RTS"), s.Bar);
  s.PanelDTR = Panel(QStringLiteral("DTR"), s.Bar);
  s.PanelCTS = Indicator(QStringLiteral("CTS"), s.Bar);
  s.PanelDSR = Indicator(QStringLiteral("DSR"), s.Bar);
  s.PanelDCD = Indicator(QStringLiteral("DCD"), s.Bar);
  s.PanelRI = Indicator(QStringLiteral("RI"), s.Bar);
  s.pnTrig = Panel(QStringLiteral("Tr-Unused"), s.Bar);
  Later(s.pnTrig);  // the trigger dialogs come later
  for (QWidget* w : std::initializer_list<QWidget*>{
           s.PanelChannel, s.PanelComPort, s.PanelBaudRate, s.PanelDataBits, s.PanelParity,
           s.PanelStopBits, s.PanelNewLine, s.PanelRTS, s.PanelDTR, s.PanelCTS, s.PanelDSR,
           s.PanelDCD, s.PanelRI, s.pnTrig}) {
    layout->addWidget(w);
    SetLineColor(w, channel, false);
  }
  if (channel == 1) {
    // The hint area: what the highlighted command or button does.
    HintPanel = new QLabel(s.Bar);
    layout->addWidget(HintPanel, 1);
  } else {
    layout->addStretch(1);
  }
  connect(s.PanelChannel, &QPushButton::clicked, this,
          [this, channel] { LineParametersClick(channel); });
  connect(s.PanelComPort, &QPushButton::clicked, this, [this, channel] { NextPortClick(channel); });
  connect(s.PanelBaudRate, &QPushButton::clicked, this,
          [this, channel] { NextBaudClick(channel); });
  connect(s.PanelDataBits, &QPushButton::clicked, this,
          [this, channel] { NextDataBitsClick(channel); });
  connect(s.PanelParity, &QPushButton::clicked, this,
          [this, channel] { NextParityClick(channel); });
  connect(s.PanelStopBits, &QPushButton::clicked, this,
          [this, channel] { NextStopBitsClick(channel); });
  connect(s.PanelNewLine, &QPushButton::clicked, this, &TKLVAppForm::DisplaySetupClick);
  connect(s.PanelRTS, &QPushButton::clicked, this, [this, channel] { ToggleRTS(channel); });
  connect(s.PanelDTR, &QPushButton::clicked, this, [this, channel] { ToggleDTR(channel); });
  return s.Bar;
}

QColor TKLVAppForm::ChannelColor(int channel) const {
  return channel == 0 ? QColor(Qt::black) : QColor(0, 0, 255);
}

void TKLVAppForm::SetLineColor(QWidget* widget, int channel, bool on) {
  const QColor color = on ? QColor(Qt::red) : ChannelColor(channel);
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, color);
  palette.setColor(QPalette::ButtonText, color);
  widget->setPalette(palette);
  if (auto* button = qobject_cast<QPushButton*>(widget)) {
    button->setStyleSheet(QStringLiteral("QPushButton { padding: 1px 6px; border: 1px solid "
                                         "#b0b0b0; color: %1; }")
                              .arg(color.name()));
  }
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
  SetDisplayMode(CurrentDisplayMode());
  config_->LoadStartupConfig(parameters_);
  // A port that fails to open has been reported; the rest of start-up goes on.
  ApplyConfig();
  config_->CopyToSaved();
  SetDisplayMode(CurrentDisplayMode());
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
      SaveItemClick();  // closes also when the save was cancelled
  }
  PrimaryPort.SetOpen(false);
  SecondaryPort.SetOpen(false);
  event->accept();
}

void TKLVAppForm::ShutDown() {
  if (Conf().Log.LogToFile)
    StopFileLog();
  if (Conf().Log.LogToPrinter)
    StopPrinterLog();
  closingWithoutQuestion_ = true;
  close();
}

void TKLVAppForm::ApplyConfig() {
  TConf& conf = Conf();
  log_->LoadLogSettings();
  BtnPause->setChecked(conf.Paused);
  MenuDisplayPause->setChecked(conf.Paused);
  {
    const QSignalBlocker block(sbTimeStamp);
    sbTimeStamp->setChecked(conf.MiscBool.TimeStamp);
  }
  if (conf.Log.LogToFile && !log_->OpenLog())
    conf.Log.LogToFile = false;
  if (conf.Log.LogToPrinter)
    log_->OpenPrinterLog();
  for (int i = 0; i < protocolItems_.size(); ++i) {
    protocolItems_[i]->setChecked(i == conf.Protocol.Selected);
  }
  for (int i = 0; i < syntaxItems_.size(); ++i) {
    syntaxItems_[i]->setChecked(i + 1 == conf.Strngs.GlobalSyntax);
  }
  SetDisplayMode(CurrentDisplayMode());
  OpenChannels();
  UpdateTitle();
  UpdateParameterBar();
}

void TKLVAppForm::UpdateTitle() {
  setWindowTitle(QStringLiteral("Kelvora 32 - ") + config_->ConfigFullPath());
}

// ---- ports -------------------------------------------------------------------

bool TKLVAppForm::PortPresent(int comNumber) {
  SetCountPortsInUse(true);
  return PortAvailable(comNumber);
}

bool TKLVAppForm::PortUsable(int comNumber) {
  SetCountPortsInUse(false);
  const bool available = PortAvailable(comNumber);
  SetCountPortsInUse(true);
  if (available)
    return true;
  for (const TComPort* port : {&PrimaryPort, &SecondaryPort}) {
    if (port->Open() && port->ComNumber() == comNumber)
      return true;
  }
  return false;
}

QString TKLVAppForm::PortDevice(int comNumber) {
  return ProbePort(comNumber).DevicePath;
}

void TKLVAppForm::ClosePort(int channel) {
  Port(channel).SetOpen(false);
}

bool TKLVAppForm::OpenChannels() {
  for (int channel = 0; channel < 2; ++channel) {
    TComEntry& entry = Conf().Comparam.Channel[static_cast<std::size_t>(channel)];
    if (entry.Enabled && !PortUsable(entry.Port)) {
      QString text = QStringLiteral("COM%1 is not available!").arg(entry.Port);
      const PortProbeResult probe = ProbePort(entry.Port);
      if (probe.Outcome == PortProbe::PermissionDenied || probe.Outcome == PortProbe::Busy) {
        text += QStringLiteral("\n\n") + probe.Reason;
      }
      messages_->Information(text);
      entry.Enabled = false;
    }
    if (entry.Enabled) {
      if (!ApplyPort(channel))
        return false;
    } else {
      Port(channel).SetOpen(false);
    }
  }
  UpdateStatusBars();
  return true;
}

// Applies channel `channel`'s parameters to its port and opens it if needed.
bool TKLVAppForm::ApplyPort(int channel) {
  const TComEntry& entry = Conf().Comparam.Channel[static_cast<std::size_t>(channel)];
  const TModemLines& lines = Conf().ModemControl.Channel[static_cast<std::size_t>(channel)];
  TComPort& port = Port(channel);
  try {
    try {
      port.SetBaud(BaudTable[std::min<std::size_t>(entry.BaudIndex, BaudTable.size() - 1)]);
    } catch (const EComPortError&) {
      messages_->Information(
          QStringLiteral("Unsupported baudrate for channel %1").arg(channel + 1));
    }
    port.SetComNumber(entry.Port);
    port.SetDataBits(std::clamp<std::uint16_t>(entry.DataBits, 5, 8));
    port.SetParity(static_cast<TParity>(std::min<std::uint8_t>(entry.Parity, 4)));
    port.SetStopBits(entry.StopBits == 2 ? 2 : 1);
    port.SetRTS(lines.RTS);
    port.SetDTR(lines.DTR);
    if (!port.Open()) {
      port.SetOpen(true);
      modemTriggers_[static_cast<std::size_t>(channel)] = port.NewModemTrigger();
      port.ArmModemTrigger(modemTriggers_[static_cast<std::size_t>(channel)],
                           ModemBits::AnalyserMask);
      lostReason_[static_cast<std::size_t>(channel)].clear();
    }
  } catch (const EComPortError& error) {
    messages_->Error(error.message());
    UpdateStatusBars();
    return false;
  }
  return true;
}

void TKLVAppForm::OnPortError(int channel, const QString& message) {
  lostReason_[static_cast<std::size_t>(channel)] = message;
  receiveQueues_[static_cast<std::size_t>(channel)].TakeAll();
  UpdateStatusBars();
  messages_->Error(QStringLiteral("Channel %1 has been closed.\n\n%2\n\nReconnect the device, then "
                                  "choose the port again (status bar or Line Parameters).")
                       .arg(channel + 1)
                       .arg(message));
}

bool TKLVAppForm::ChannelAvailable(int channel) const {
  if (channel == 0)
    return PrimaryPort.Open();
  if (channel == 1)
    return SecondaryPort.Open();
  return false;
}

// ---- receiving ---------------------------------------------------------------

void TKLVAppForm::OnTriggerAvail(int channel, int count) {
  TComPort& port = Port(channel);
  QByteArray bytes;
  bytes.resize(count);
  for (int i = 0; i < count; ++i)
    bytes[i] = static_cast<char>(port.ReadByte());
  if (receiveQueues_[static_cast<std::size_t>(channel)].Append(bytes)) {
    QMetaObject::invokeMethod(
        this, [this, channel] { ProcessChannelData(channel); }, Qt::QueuedConnection);
  }
}

void TKLVAppForm::ProcessChannelData(int channel) {
  const QByteArray bytes = receiveQueues_[static_cast<std::size_t>(channel)].TakeAll();
  for (char byte : bytes)
    ProcessReceivedByte(channel, static_cast<std::uint8_t>(byte));
}

void TKLVAppForm::ProcessReceivedByte(int channel, std::uint8_t byte) {
  dispatcher_->ProcessReceivedByte(channel, byte);
}

TDisplayMode TKLVAppForm::CurrentDisplayMode() const {
  const std::uint8_t mode = config_->Conf().DisplayMode;
  return mode <= 2 ? static_cast<TDisplayMode>(mode) : TDisplayMode::HexAscii;
}

void TKLVAppForm::OnTriggerModemStatus(int channel) {
  const TMiscBool& misc = Conf().MiscBool;
  if (channel == 0 ? misc.LogModemP : misc.LogModemS)
    ReportModemStatus(channel);
  UpdateLineIndicators(channel, TLines::Inputs);
  Port(channel).ArmModemTrigger(modemTriggers_[static_cast<std::size_t>(channel)],
                                ModemBits::AnalyserMask);
}

void TKLVAppForm::ReportModemStatus(int channel) {
  TComPort& port = Port(channel);
  // Reading the status takes its change bits, so changes made during a pause
  // are not reported as new once the display runs again.
  const std::uint8_t status = port.ModemStatusByte();
  if (Conf().Paused || (status & 0x0F) == 0)
    return;
  ShowModemChange(channel, TReceiveDispatcher::ModemEventRecord(port.RTS(), port.DTR(), status));
}

void TKLVAppForm::ShowModemChange(int channel, const TModemStatusRecord& record) {
  dispatcher_->ShowModemChange(channel, record);
}

void TKLVAppForm::UpdateLineIndicators(int channel, TLines which) {
  const TStatusBar& s = statusBars_[static_cast<std::size_t>(channel)];
  const TComPort& port = Port(channel);
  if (which != TLines::Inputs) {
    SetLineColor(s.PanelRTS, channel, port.RTS());
    SetLineColor(s.PanelDTR, channel, port.DTR());
  }
  if (which != TLines::Outputs) {
    SetLineColor(s.PanelCTS, channel, port.CTS());
    SetLineColor(s.PanelDSR, channel, port.DSR());
    SetLineColor(s.PanelDCD, channel, port.DCD());
    SetLineColor(s.PanelRI, channel, port.RI());
  }
}

// ---- display -----------------------------------------------------------------

void TKLVAppForm::SetDisplayMode(TDisplayMode mode) {
  Conf().DisplayMode = static_cast<std::uint8_t>(mode);
  KLV_->Clear();
  switch (mode) {
    case TDisplayMode::HexAscii:
      MenuDisplayHexAscii->setChecked(true);
      BtnHexAscii->setChecked(true);
      renderers_->HexReset();
      break;
    case TDisplayMode::Tty:
      MenuDisplayTTY->setChecked(true);
      BtnTTY->setChecked(true);
      break;
    case TDisplayMode::Protocol:
      MenuDisplayProtocoll->setChecked(true);
      BtnProtocoll->setChecked(true);
      renderers_->RuvoReset();
      break;
  }
  UpdateParameterBar();
  KLV_->PlaceCaret();
  UpdateStatusBars();
}

void TKLVAppForm::ProtocolDisplayClick() {
  if (Conf().Protocol.Selected == 0) {
    SetDisplayMode(CurrentDisplayMode());
    messages_->Information(QStringLiteral("Please select a protocol first"));
  } else {
    SetDisplayMode(TDisplayMode::Protocol);
  }
}

void TKLVAppForm::ProprietaryProtocolClick() {
  TProprietarySettingsDlg dialog(Conf().Protocolparam, this);
  dialog.exec();
}

void TKLVAppForm::ProtocolSelectionClick(int value) {
  TConf& conf = Conf();
  const bool changed = value != conf.Protocol.Selected;
  conf.Protocol.Selected = static_cast<std::uint8_t>(value);
  for (int i = 0; i < protocolItems_.size(); ++i)
    protocolItems_[i]->setChecked(i == value);
  if (!changed || CurrentDisplayMode() != TDisplayMode::Protocol)
    return;
  if (value == 0) {
    messages_->Information(QStringLiteral("The display mode will be to set Hex/Ascii mode"));
    SetDisplayMode(TDisplayMode::HexAscii);
  } else {
    SetDisplayMode(TDisplayMode::Protocol);  // starts the new protocol's display afresh
  }
}

void TKLVAppForm::PauseClick() {
  TConf& conf = Conf();
  conf.Paused = !conf.Paused;
  BtnPause->setChecked(conf.Paused);
  MenuDisplayPause->setChecked(conf.Paused);
  UpdateRunStatus();
}

void TKLVAppForm::TimeStampClick(bool down) {
  Conf().MiscBool.TimeStamp = down;
}

// The caret follows the text unless this window is active with the focus
// elsewhere than the console. Renderers ask after every byte, so the answer is
// kept up to date on focus and activation changes instead of asked for.
void TKLVAppForm::RefreshCaret() {
  if (caretFollowsText_)
    KLV_->PlaceCaret();
}

void TKLVAppForm::UpdateCaretRule() {
  caretFollowsText_ = !(QApplication::activeWindow() == this && !KLV_->hasFocus());
}

void TKLVAppForm::UpdateStatusBars() {
  for (int channel = 0; channel < 2; ++channel) {
    const TComEntry& entry = Conf().Comparam.Channel[static_cast<std::size_t>(channel)];
    TStatusBar& s = statusBars_[static_cast<std::size_t>(channel)];
    if (!entry.Enabled) {
      s.Bar->setVisible(false);
      continue;
    }
    s.PanelNewLine->setText(NewLineText(config_->GetNewLine(channel, CurrentDisplayMode())));
    const QString& lost = lostReason_[static_cast<std::size_t>(channel)];
    s.PanelComPort->setText(QStringLiteral("COM%1").arg(entry.Port) +
                            (lost.isEmpty() ? QString() : QStringLiteral(" lost")));
    s.PanelComPort->setToolTip(lost.isEmpty() ? PortDevice(entry.Port) : lost);
    SetLineColor(s.PanelComPort, channel, !lost.isEmpty());
    s.PanelBaudRate->setText(
        QString::number(BaudTable[std::min<std::size_t>(entry.BaudIndex, BaudTable.size() - 1)]));
    s.PanelDataBits->setText(QString::number(entry.DataBits));
    s.PanelParity->setText(QString(QChar::fromLatin1(
        ParityChars[std::min<std::size_t>(entry.Parity, ParityChars.size() - 1)])));
    s.PanelStopBits->setText(QString::number(entry.StopBits));
    UpdateLineIndicators(channel, TLines::All);
    s.Bar->setVisible(true);
  }
  // Transmitting library strings arrives with the string library.
  constexpr bool kStringTransmission = false;
  BtnTransmitt_1->setEnabled(kStringTransmission && ChannelAvailable(0));
  BtnTransmitt_2->setEnabled(kStringTransmission && ChannelAvailable(1));
  StringsTransmitt->setEnabled(BtnTransmitt_1->isEnabled());
  StringsAutoTransmitt->setEnabled(BtnTransmitt_1->isEnabled());
  StringsScriptTransmission->setEnabled(BtnTransmitt_1->isEnabled() || BtnTransmitt_2->isEnabled());
  UpdateTriggerPanels();
}

void TKLVAppForm::UpdateParameterBar() {
  PanelDisplayMode->setText(DisplayModeText(Conf()));
  PanelCurrentString->setText(CurrentStringText(Conf()));
  PanelCurrentString->setToolTip(CurrentStringHint(Conf()));
  PanelCurrentString->setStatusTip(CurrentStringHint(Conf()));
  UpdateRunStatus();
}

void TKLVAppForm::UpdateRunStatus() {
  const bool paused = Conf().Paused;
  PanelRunStatus->setText(paused ? QStringLiteral("PAUSED") : QStringLiteral("Running"));
  PanelRunStatus->setStyleSheet(
      QStringLiteral("QPushButton { padding: 1px 6px; border: 1px solid #b0b0b0; color: %1; }")
          .arg(paused && blinkPhase_ ? QStringLiteral("red") : QStringLiteral("black")));
}

void TKLVAppForm::UpdateTriggerPanels() {
  for (int channel = 0; channel < 2; ++channel) {
    if (!Conf().Comparam.Channel[static_cast<std::size_t>(channel)].Enabled)
      continue;
    bool active = false;
    QPushButton* panel = statusBars_[static_cast<std::size_t>(channel)].pnTrig;
    panel->setText(TriggerPanelText(Conf(), channel, &active));
    SetLineColor(panel, channel, false);
    if (active && blinkPhase_)
      SetLineColor(panel, channel, true);
    if (!active) {
      panel->setStyleSheet(QStringLiteral(
          "QPushButton { padding: 1px 6px; border: 1px solid #b0b0b0; color: black; }"));
    }
  }
}

void TKLVAppForm::OneSecondTick() {
  PanelClock->setText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
  blinkPhase_ = !blinkPhase_;
  UpdateTriggerPanels();
  UpdateRunStatus();
}

QString TKLVAppForm::TimeStampText(const QDateTime& time) const {
  return klv::TimeStampText(time);
}

// ---- transmission services --------------------------------------------------

void TKLVAppForm::OutputString(int channel, std::string_view bytes) {
  if (!ChannelAvailable(channel) || bytes.empty())
    return;
  FlashTransmitIndicator(channel);
  try {
    Port(channel).WriteBytes(bytes);
  } catch (const EComPortError& error) {
    messages_->Error(QStringLiteral("Channel %1: %2").arg(channel + 1).arg(error.message()));
    return;
  }
  const TMiscBool& misc = Conf().MiscBool;
  if (channel == 0 ? misc.LocalEchoP : misc.LocalEchoS) {
    for (char byte : bytes)
      ProcessReceivedByte(channel, static_cast<std::uint8_t>(byte));
  }
}

void TKLVAppForm::FlashTransmitIndicator(int channel) {
  TimerXmitIndicator.start();
  PanelTransmittIndicator->setText(QStringLiteral("T%1").arg(channel + 1));
}

int TKLVAppForm::ChannelOutputRoom(int channel) const {
  if (!ChannelAvailable(channel))
    return 0;
  return channel == 0 ? PrimaryPort.OutputRoom() : SecondaryPort.OutputRoom();
}

void TKLVAppForm::DiscardChannelOutput(int channel) {
  if (ChannelAvailable(channel))
    Port(channel).DiscardOutput();
}

bool TKLVAppForm::ChannelCTS(int channel) const {
  if (!ChannelAvailable(channel))
    return false;
  return channel == 0 ? PrimaryPort.CTS() : SecondaryPort.CTS();
}

void TKLVAppForm::SetChannelRTS(int channel, bool on) {
  TComPort& port = Port(channel);
  TModemStatusRecord record;
  record.State[TModemStatusRecord::RTS] = on;
  record.Changed[TModemStatusRecord::RTS] = on != port.RTS();
  port.SetRTS(on);
  if (!record.Changed[TModemStatusRecord::RTS])
    return;
  UpdateLineIndicators(channel, TLines::Outputs);
  const TMiscBool& misc = Conf().MiscBool;
  if (channel == 0 ? misc.LogModemP : misc.LogModemS)
    ShowModemChange(channel, record);
}

void TKLVAppForm::SetChannelDTR(int channel, bool on) {
  TComPort& port = Port(channel);
  TModemStatusRecord record;
  record.State[TModemStatusRecord::DTR] = on;
  record.Changed[TModemStatusRecord::DTR] = on != port.DTR();
  port.SetDTR(on);
  if (!record.Changed[TModemStatusRecord::DTR])
    return;
  UpdateLineIndicators(channel, TLines::Outputs);
  const TMiscBool& misc = Conf().MiscBool;
  if (channel == 0 ? misc.LogModemP : misc.LogModemS)
    ShowModemChange(channel, record);
}

void TKLVAppForm::StopFileLog() {
  const QString tail = sbTimeStamp->isChecked()
                           ? QStringLiteral("  ") + TimeStampText(QDateTime::currentDateTime())
                           : QString();
  if (CurrentDisplayMode() == TDisplayMode::HexAscii)
    renderers_->HexLogPendingLine(tail, true);
  log_->CloseLog();
}

void TKLVAppForm::StopPrinterLog() {
  const QString tail = sbTimeStamp->isChecked()
                           ? QStringLiteral("  ") + TimeStampText(QDateTime::currentDateTime())
                           : QString();
  if (CurrentDisplayMode() == TDisplayMode::HexAscii)
    renderers_->HexLogPendingLine(tail, false);
  log_->ClosePrinterLog();
}

// ---- commands ----------------------------------------------------------------

void TKLVAppForm::UpdateLogSwitches() {
  const TLog& settings = Conf().Log;
  MenuLogFile->setChecked(settings.LogToFile);
  sbLogFile->setChecked(settings.LogToFile);
  MenuLogPrinter->setChecked(settings.LogToPrinter);
  sbLogPrinter->setChecked(settings.LogToPrinter);
}

void TKLVAppForm::FileLogSwitch() {
  TLog& settings = Conf().Log;
  if (settings.LogToFile) {
    StopFileLog();
    settings.LogToFile = false;
  } else {
    settings.LogToFile = log_->OpenLog();
  }
  UpdateLogSwitches();
}

void TKLVAppForm::PrinterLogSwitch() {
  TLog& settings = Conf().Log;
  if (settings.LogToPrinter) {
    StopPrinterLog();
    settings.LogToPrinter = false;
  } else {
    // The engine clears the flag again when the printer cannot be started.
    settings.LogToPrinter = true;
    log_->OpenPrinterLog();
  }
  UpdateLogSwitches();
}

void TKLVAppForm::NewItemClick() {
  if (messages_->Confirmation(QStringLiteral("Reset ALL settings to default settings?"),
                              TMsgButton::Yes | TMsgButton::No) == TMsgButton::Yes) {
    config_->ResetToDefaults();
  }
}

void TKLVAppForm::OpenItemClick() {
  const QString name = QFileDialog::getOpenFileName(this, QString(), config_->ConfigFullPath(),
                                                    QString::fromLatin1(kFileFilter));
  if (!name.isEmpty())
    OpenConfigFile(name);
}

void TKLVAppForm::OpenConfigFile(const QString& fileName) {
  if (Conf().Log.LogToFile)
    StopFileLog();
  if (Conf().Log.LogToPrinter)
    StopPrinterLog();
  config_->SetDefaults();
  config_->SetConfigFileName(fileName);
  // A failed load has already reset and applied the defaults.
  if (config_->LoadConfig())
    ApplyConfig();
  config_->CopyToSaved();
}

void TKLVAppForm::SaveItemClick() {
  if (QFileInfo(config_->ConfigFileName()).isFile()) {
    config_->SaveConfig();
    return;
  }
  SaveAsItemClick();
}

void TKLVAppForm::SaveAsItemClick() {
  QString name = QFileDialog::getSaveFileName(this, QString(), config_->ConfigFullPath(),
                                              QString::fromLatin1(kFileFilter));
  if (name.isEmpty())
    return;
  if (QFileInfo(name).suffix().isEmpty())
    name += QStringLiteral(".klv");
  SaveConfigAs(name);
}

bool TKLVAppForm::SaveConfigAs(const QString& fileName) {
  const QString previous = config_->ConfigFileName();
  config_->SetConfigFileName(fileName);
  if (config_->SaveConfig())
    return true;
  config_->SetConfigFileName(previous);  // the record still belongs to the old file
  return false;
}

void TKLVAppForm::LineParametersClick(int) {
  if (channelDlg_->exec() == QDialog::Accepted) {
    OpenChannels();
    UpdateStatusBars();
  }
}

void TKLVAppForm::DisplaySetupClick() {
  displayDlg_->exec();
  UpdateStatusBars();
  KLV_->PlaceCaret();
}

void TKLVAppForm::MiscSettingsClick() {
  TMiscSettingsDlg dialog(*config_, *messages_, this);
  dialog.exec();
}

void TKLVAppForm::BreakClick() {
  if (!ChannelAvailable(0)) {
    messages_->Information(QStringLiteral("The Primary Channel is not available"));
    return;
  }
  PrimaryPort.HoldBreak(5, true);
}

void TKLVAppForm::ToggleRTS(int channel) {
  SetChannelRTS(channel, !Port(channel).RTS());
  Conf().ModemControl.Channel[static_cast<std::size_t>(channel)].RTS = Port(channel).RTS();
}

void TKLVAppForm::ToggleDTR(int channel) {
  SetChannelDTR(channel, !Port(channel).DTR());
  Conf().ModemControl.Channel[static_cast<std::size_t>(channel)].DTR = Port(channel).DTR();
}

void TKLVAppForm::NextPortClick(int channel) {
  auto& channels = Conf().Comparam.Channel;
  TComEntry& entry = channels[static_cast<std::size_t>(channel)];
  const TComEntry& other = channels[static_cast<std::size_t>(1 - channel)];
  const int otherPort = other.Enabled ? other.Port : 0;
  const int next = NextPort(entry.Port, otherPort, [this](int n) { return PortUsable(n); });
  entry.Port = static_cast<std::uint8_t>(next);
  OpenChannels();
  UpdateStatusBars();
}

void TKLVAppForm::NextBaudClick(int channel) {
  TComEntry& entry = Conf().Comparam.Channel[static_cast<std::size_t>(channel)];
  entry.BaudIndex = static_cast<std::uint16_t>(NextBaudIndex(entry.BaudIndex));
  UpdateStatusBars();
  OpenChannels();
}

void TKLVAppForm::NextDataBitsClick(int channel) {
  TComEntry& entry = Conf().Comparam.Channel[static_cast<std::size_t>(channel)];
  entry.DataBits = static_cast<std::uint16_t>(NextDataBits(entry.DataBits));
  UpdateStatusBars();
  OpenChannels();
}

void TKLVAppForm::NextParityClick(int channel) {
  TComEntry& entry = Conf().Comparam.Channel[static_cast<std::size_t>(channel)];
  entry.Parity = static_cast<std::uint8_t>(NextParity(entry.Parity));
  UpdateStatusBars();
  OpenChannels();
}

void TKLVAppForm::NextStopBitsClick(int channel) {
  TComEntry& entry = Conf().Comparam.Channel[static_cast<std::size_t>(channel)];
  entry.StopBits = static_cast<std::uint16_t>(NextStopBits(entry.StopBits));
  UpdateStatusBars();
  OpenChannels();
}

void TKLVAppForm::KeyTyped(const QString& text) {
  const std::string bytes = QStringToCp1252(text);
  for (char c : bytes) {
    const char byte = static_cast<char>(KeyboardByte(static_cast<unsigned char>(c)));
    OutputString(0, std::string_view(&byte, 1));
  }
}

// The window sees every typed character before the focused control does; the
// character is not consumed.
bool TKLVAppForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && QApplication::activeModalWidget() == nullptr) {
    QWidget* focus = QApplication::focusWidget();
    QWidget* target = focus != nullptr ? focus : this;
    if (watched == target && target->window() == this) {
      const QString text = static_cast<QKeyEvent*>(event)->text();
      if (!text.isEmpty())
        KeyTyped(text);
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TKLVAppForm::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate)
    UpdateCaretRule();
  if (event->type() == QEvent::StatusTip && HintPanel != nullptr) {
    HintPanel->setText(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QMainWindow::event(event);
}

}  // namespace klv
