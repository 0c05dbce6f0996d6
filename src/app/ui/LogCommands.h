// The Log menu and the log and time-stamp buttons: the file and printer log
// switches, what starting and stopping a log writes, and the log setup
// dialog with its clear and view commands.
#pragma once

#include <QObject>

#include "app/ReceiveDispatcher.h"
#include "conf/ConfRecord.h"
#include "log/Log.h"
#include "log/ui/LogDlg.h"

class QAction;
class QMenuBar;
class QToolBar;
class QToolButton;

namespace klv {

class TLogCommands : public QObject {
  Q_OBJECT

 public:
  TLogCommands(TConf& conf, TLogEngine& log, TReceiveDispatcher& dispatcher, QWidget* window);

  void PlaceMenu(QMenuBar* bar);
  void PlaceButtons(QToolBar* bar);

  void FileLogSwitch();
  void PrinterLogSwitch();
  // The menu checks and the buttons follow the log flags.
  void UpdateLogSwitches();
  // Writes the display line in progress, then closes the log.
  void StopFileLog();
  void StopPrinterLog();
  // Writes the display line in progress, if it holds bytes, to the logs that
  // are on (before the display is cleared, which would lose it).
  void LogPendingLine();
  // The logs and the time-stamp button as a newly applied record says.
  void ApplyLogSettings();
  // Log > Setup: the setup dialog, which needs the file log off; it offers
  // to switch it off first and on again after.
  void LogSetupClick();
  // Log > View Log File: the log in its viewer, after switching the file
  // log off (if the user agrees).
  void ViewLogClick();
  void ClearLogClick();

  // The setup dialog, made once and kept for the whole run.
  TLogDlg& LogDlg() { return *logDlg_; }

  QAction* ViewLogFile1;
  QAction* MenuLogFile;
  QAction* MenuLogPrinter;
  QAction* MenuLogSetup;
  QToolButton* sbViewLogFile;
  QToolButton* sbClearLogFile;
  QToolButton* sbLogFile;
  QToolButton* sbLogPrinter;
  QToolButton* sbTimeStamp;

 private:
  // Two blanks and the time stamp while time stamps are on, else nothing.
  std::string ClosingTail() const;

  TConf& conf_;
  TLogEngine& log_;
  TReceiveDispatcher& dispatcher_;
  IMessageService& messages_;
  QWidget* window_;
  TLogDlg* logDlg_;
};

}  // namespace klv
