#include "app/ui/LogCommands.h"

#include <QMenuBar>
#include <QToolBar>

#include "app/ui/CommandParts.h"
#include "common/TimeStamp.h"
#include "display/ui/ConsoleWidget.h"

namespace klv {

TLogCommands::TLogCommands(TConf& conf, TLogEngine& log, TReceiveDispatcher& dispatcher,
                           QWidget* window)
    : QObject(window),
      conf_(conf),
      log_(log),
      dispatcher_(dispatcher),
      messages_(log.Messages()),
      window_(window),
      logDlg_(new TLogDlg(log, conf.Log, conf.Misc.LogViewer, conf.Misc.LogDataFormat,
                          log.Messages(), window)) {
  logDlg_->CloseFileLog = [this] { StopFileLog(); };
  ViewLogFile1 = NewMenuItem(this, "ViewLogFile1", QStringLiteral("&View Log File"));
  MenuLogFile = NewMenuItem(this, "MenuLogFile", QStringLiteral("Log to &File"),
                            QKeySequence(Qt::ALT | Qt::Key_L));
  MenuLogPrinter = NewMenuItem(this, "MenuLogPrinter", QStringLiteral("Log to &Printer"),
                               QKeySequence(Qt::ALT | Qt::Key_P));
  MenuLogSetup = NewMenuItem(this, "MenuLogSetup", QStringLiteral("&Setup"));
  MenuLogFile->setCheckable(true);
  MenuLogPrinter->setCheckable(true);
  sbViewLogFile = NewToolButton(window, "sbViewLogFile", QStringLiteral("View"),
                                QStringLiteral("View log file"));
  sbClearLogFile = NewToolButton(window, "sbClearLogFile", QStringLiteral("Clr Log"),
                                 QStringLiteral("Clear log file"));
  sbLogFile = NewToolButton(window, "sbLogFile", QStringLiteral("Log"),
                            QStringLiteral("File log on/off"), true);
  sbLogPrinter = NewToolButton(window, "sbLogPrinter", QStringLiteral("Prn"),
                               QStringLiteral("Printer log on/off"), true);
  sbTimeStamp = NewToolButton(window, "sbTimeStamp", QStringLiteral("Time"),
                              QStringLiteral("Timestamp On/Off"), true);

  connect(MenuLogFile, &QAction::triggered, this, &TLogCommands::FileLogSwitch);
  connect(sbLogFile, &QToolButton::clicked, this, &TLogCommands::FileLogSwitch);
  connect(MenuLogPrinter, &QAction::triggered, this, &TLogCommands::PrinterLogSwitch);
  connect(sbLogPrinter, &QToolButton::clicked, this, &TLogCommands::PrinterLogSwitch);
  connect(ViewLogFile1, &QAction::triggered, this, &TLogCommands::ViewLogClick);
  connect(sbViewLogFile, &QToolButton::clicked, this, &TLogCommands::ViewLogClick);
  connect(MenuLogSetup, &QAction::triggered, this, &TLogCommands::LogSetupClick);
  connect(sbClearLogFile, &QToolButton::clicked, this, &TLogCommands::ClearLogClick);
  connect(sbTimeStamp, &QToolButton::toggled, this,
          [this](bool down) { conf_.MiscBool.TimeStamp = down; });
  // A log that fails while open stops by itself.
  connect(&log_, &TLogEngine::FileLogStopped, this, &TLogCommands::UpdateLogSwitches);
  connect(&log_, &TLogEngine::PrinterLogStopped, this, &TLogCommands::UpdateLogSwitches);
}

void TLogCommands::PlaceMenu(QMenuBar* bar) {
  // Alt+L is "Log to File": this menu answers to Alt+O.
  QMenu* menu = bar->addMenu(QStringLiteral("L&og"));
  menu->addActions({ViewLogFile1, MenuLogFile, MenuLogPrinter, MenuLogSetup});
}

void TLogCommands::PlaceButtons(QToolBar* bar) {
  for (QToolButton* button : {sbViewLogFile, sbClearLogFile, sbLogFile, sbLogPrinter, sbTimeStamp})
    bar->addWidget(button);
}

void TLogCommands::ApplyLogSettings() {
  // The dialog's lists too: the view command takes the viewer from there.
  logDlg_->LoadLogSettings();
  {
    const QSignalBlocker block(sbTimeStamp);
    sbTimeStamp->setChecked(conf_.MiscBool.TimeStamp);
  }
  if (conf_.Log.LogToFile && !log_.OpenLog())
    conf_.Log.LogToFile = false;
  if (conf_.Log.LogToPrinter)
    log_.OpenPrinterLog();
  UpdateLogSwitches();
}

void TLogCommands::UpdateLogSwitches() {
  MenuLogFile->setChecked(conf_.Log.LogToFile);
  sbLogFile->setChecked(conf_.Log.LogToFile);
  MenuLogPrinter->setChecked(conf_.Log.LogToPrinter);
  sbLogPrinter->setChecked(conf_.Log.LogToPrinter);
}

void TLogCommands::FileLogSwitch() {
  if (conf_.Log.LogToFile) {
    StopFileLog();
    conf_.Log.LogToFile = false;
  } else {
    conf_.Log.LogToFile = log_.OpenLog();
  }
  UpdateLogSwitches();
}

void TLogCommands::PrinterLogSwitch() {
  if (conf_.Log.LogToPrinter) {
    StopPrinterLog();
    conf_.Log.LogToPrinter = false;
  } else {
    // The engine clears the flag again when the printer cannot be started.
    conf_.Log.LogToPrinter = true;
    log_.OpenPrinterLog();
  }
  UpdateLogSwitches();
}

void TLogCommands::LogSetupClick() {
  const bool wasLogging = conf_.Log.LogToFile;
  if (wasLogging &&
      messages_.Confirmation(
          QStringLiteral("File logging must be turned off when setting up the log.\r\n"
                         "Do you want to turn it off now and enter setup?"),
          TMsgButton::Yes | TMsgButton::No) == TMsgButton::Yes)
    FileLogSwitch();
  if (conf_.Log.LogToFile)
    return;
  logDlg_->exec();
  if (wasLogging && messages_.Confirmation(QStringLiteral("Do you want to turn logging on again?"),
                                           TMsgButton::Yes | TMsgButton::No) == TMsgButton::Yes)
    FileLogSwitch();
  UpdateLogSwitches();
  if (auto* console = window_->findChild<TColorConsole*>())
    console->PlaceCaret();
}

void TLogCommands::ViewLogClick() {
  if (conf_.Log.LogToFile) {
    if (messages_.Confirmation(QStringLiteral("File logging will be turned off"),
                               TMsgButton::Ok | TMsgButton::Cancel) != TMsgButton::Ok)
      return;
    FileLogSwitch();
  }
  // The log is closed and its file complete before the viewer reads it.
  logDlg_->ViewLogFile();
}

void TLogCommands::ClearLogClick() {
  logDlg_->ClearLogFile();
  // Opening the cleared log again may have failed.
  UpdateLogSwitches();
}

std::string TLogCommands::ClosingTail() const {
  if (!sbTimeStamp->isChecked())
    return {};
  return "  " + TimeStampText(QDateTime::currentDateTime()).toStdString();
}

void TLogCommands::LogPendingLine() {
  IDisplayRenderer* renderer = dispatcher_.ActiveRenderer();
  if (renderer == nullptr || !renderer->LinePending())
    return;
  if (conf_.Log.LogToFile)
    renderer->LogPendingLine(ClosingTail(), true);
  if (conf_.Log.LogToPrinter)
    renderer->LogPendingLine(ClosingTail(), false);
}

void TLogCommands::StopFileLog() {
  if (IDisplayRenderer* renderer = dispatcher_.ActiveRenderer())
    renderer->LogPendingLine(ClosingTail(), true);
  log_.CloseLog();
}

void TLogCommands::StopPrinterLog() {
  if (IDisplayRenderer* renderer = dispatcher_.ActiveRenderer())
    renderer->LogPendingLine(ClosingTail(), false);
  log_.ClosePrinterLog();
}

}  // namespace klv
