// The script engine: runs a script string (a library entry of the Script
// syntax) on one channel. Each character is a command: X<n> sends library
// string n, W waits 500 ms (a run of them adds up), R/r and D/d set RTS and
// DTR, C/c wait for CTS, B beeps and S ends. A script without S starts over.
//
// The engine is a state machine on a single-shot timer: one command per tick,
// waits are timer deadlines and CTS is polled on the timer, so received data,
// auto-transmission and the windows keep running while a script does. It
// holds the channel's activity slot while it runs.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

#include "common/ChannelActivity.h"
#include "common/MessageService.h"
#include "common/ReceiveInterfaces.h"
#include "strings/AutoTransmitter.h"
#include "strings/StringLibrary.h"

namespace klv {

class TScriptEngine : public QObject, public IChannelActivity {
  Q_OBJECT

 public:
  static constexpr int kLeastOutputRoom = 300;  // at or below: overflow
  static constexpr int kWaitMs = 500;           // per W
  static constexpr int kCountdownStepMs = 100;
  static constexpr int kCtsPollMs = 10;
  static constexpr int kLogLimit = 300;  // more lines: the first kLogTrim go
  static constexpr int kLogTrim = 100;

  // `transmitter` sends the strings of the live library. Without a clock,
  // the steady clock and a precise Qt timer are used.
  TScriptEngine(IStringTransmitter& transmitter, IChannelServices& channels,
                IChannelActivitySlots& activities, IMessageService& messages,
                std::unique_ptr<IAutoXmitClock> clock = nullptr, QObject* parent = nullptr);
  ~TScriptEngine() override;

  // The text in front of each log line; the current time by default.
  std::function<QString()> TimeStamp;
  std::function<void()> Beep;
  // Turns auto-transmission off; true when it was on.
  std::function<bool()> TurnAutoTransmitOff;
  // An activity under which a script may run on a channel whose slot it
  // holds (auto-transmission running a script string).
  void SetHostActivity(const IChannelActivity* host) { host_ = host; }

  // Takes a copy of `library`, whose current entry is the script, and clears
  // the log. Refused with a message while a script runs.
  bool HandOver(const TStrngs& library, bool closeWhenDone);
  // Runs the handed-over script on channel 0 or 1.
  void Start(int channel);
  // Ends a wait at once; otherwise the pass in progress is the last.
  void RequestStop();

  bool Running() const { return running_; }
  bool Failed() const { return failed_; }
  bool StopRequested() const { return stopRequested_; }
  bool CloseWhenDone() const { return closeWhenDone_; }
  bool SnapshotIsScript() const;
  // "007:Poll": the number and name of the script.
  QString ScriptTitle() const;
  const QStringList& Log() const { return log_; }
  void ClearLog();

  // IChannelActivity: the channel went away; ends the run as a stop does.
  void StopActivity() override;

  // The timer's tick.
  void Step();

 signals:
  void LogAppended(const QString& line, int droppedFront);
  void LogCleared();
  void Transmitted(const QString& title);
  // "1400/1500" during a wait, empty otherwise.
  void WaitingShown(const QString& text);
  void RunningChanged(bool running);
  // The run ended; `close` when the dialog should close (it ended by itself).
  void Finished(bool close);

 private:
  enum class Phase { Idle, Command, Wait, Cts };

  void AddLog(const QString& text, bool indented);
  // Runs the command at pos_ (starting the next pass at the end) and arms
  // the timer for what follows.
  void RunCommand();
  void Transmit();
  void StartWait();
  void ShowCountdown();
  void PollCts();
  void Fail(const QString& text, const QString& logText = {});
  void Finish();

  IStringTransmitter& transmitter_;
  IChannelServices& channels_;
  IChannelActivitySlots& activities_;
  IMessageService& messages_;
  std::unique_ptr<IAutoXmitClock> clock_;
  const IChannelActivity* host_ = nullptr;
  std::unique_ptr<TStrngs> snapshot_;
  QByteArray script_;
  QStringList log_;
  Phase phase_ = Phase::Idle;
  bool running_ = false, failed_ = false, stopRequested_ = false, closeWhenDone_ = false;
  bool ownsSlot_ = false;
  int channel_ = 0;
  qsizetype pos_ = 0;
  std::int64_t deadline_ = 0;
  int waitTotal_ = 0;
  int shownRemaining_ = -1;
  bool ctsWanted_ = false;
};

}  // namespace klv
