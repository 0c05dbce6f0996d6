// The script dialog: shows the script handed over, what it sends and how
// long it waits, keeps the run's log, and starts and stops the script engine
// on channel 1 or 2. Non-modal; it stays open while a script runs.
#pragma once

#include <QDialog>

#include "common/Beeper.h"
#include "strings/ScriptRunner.h"
#include "strings/StringTransmitter.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace klv {

class TScriptStringTransmissionDlg : public QDialog, public IScriptRunner {
  Q_OBJECT

 public:
  TScriptStringTransmissionDlg(IStringTransmitter& transmitter, IChannelServices& channels,
                               IChannelActivitySlots& activities, IMessageService& messages,
                               IBeeper& beeper, QWidget* parent = nullptr);

  // Takes a snapshot of `library` (its current entry is the script), shows
  // the dialog and, with startAtOnce, posts the start on `channel`.
  void RunScript(const TStrngs& library, int channel, bool closeWhenDone,
                 bool startAtOnce) override;
  // Posts the start of the handed-over script, as the transmit buttons do.
  void PostStart(int channel);
  // The controls as the engine's state and the channels' availability say.
  void RefreshControls();

  TScriptEngine& Engine() { return *engine_; }

  QLabel* pnlSelectedScriptString;
  QLabel* pnlTransmittedString;
  QLabel* pnlWaiting;
  QPlainTextEdit* MemoLog;
  QPushButton* BtnTransmitt_1;
  QPushButton* BtnTransmitt_2;
  QPushButton* BitBtnStop;
  QToolButton* sbStop;
  QPushButton* BitBtnClose;
  QToolButton* sbClose;
  QPushButton* BtnClearLog;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  bool MayClose();
  void AppendLog(const QString& line, int droppedFront);

  IChannelServices& channels_;
  IMessageService& messages_;
  TScriptEngine* engine_;
};

}  // namespace klv
