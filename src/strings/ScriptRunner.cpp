#include "strings/ScriptRunner.h"

#include <QDateTime>
#include <algorithm>
#include <limits>

#include "common/TimeStamp.h"

namespace klv {
namespace {

QString EntryTitle(const TStrngs& library, int index) {
  const auto& name = library.Strings[static_cast<std::size_t>(index)].Name.view();
  return QStringLiteral("%1:").arg(index + 1, 3, 10, QLatin1Char('0')) +
         QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

}  // namespace

TScriptEngine::TScriptEngine(IStringTransmitter& transmitter, IChannelServices& channels,
                             IChannelActivitySlots& activities, IMessageService& messages,
                             std::unique_ptr<IAutoXmitClock> clock, QObject* parent)
    : QObject(parent),
      TimeStamp([] { return TimeStampText(QDateTime::currentDateTime()); }),
      transmitter_(transmitter),
      channels_(channels),
      activities_(activities),
      messages_(messages),
      clock_(clock ? std::move(clock) : std::make_unique<TQtAutoXmitClock>()),
      snapshot_(std::make_unique<TStrngs>()) {
  SetLibraryDefaults(*snapshot_);
  clock_->SetHandler([this] { Step(); });
}

TScriptEngine::~TScriptEngine() {
  clock_->Stop();
  if (ownsSlot_)
    activities_.ReleaseActivity(channel_, *this);
}

bool TScriptEngine::SnapshotIsScript() const {
  const int current = snapshot_->CurrentNr;
  return current >= 0 && current < kLibraryEntries &&
         snapshot_->Strings[static_cast<std::size_t>(current)].Syntax ==
             static_cast<std::uint8_t>(TStringSyntax::Script);
}

QString TScriptEngine::ScriptTitle() const {
  return EntryTitle(*snapshot_, snapshot_->CurrentNr);
}

bool TScriptEngine::HandOver(const TStrngs& library, bool closeWhenDone) {
  if (running_) {
    messages_.Information(QStringLiteral(
        "A script is already running, and must be turned off before this script may run."));
    return false;
  }
  *snapshot_ = library;
  ClampLibrary(*snapshot_);  // CurrentNr names an entry from here on
  ClearLog();
  if (!SnapshotIsScript())
    AddLog(QStringLiteral("NOT A SCRIPT STRING"), true);
  stopRequested_ = false;
  closeWhenDone_ = closeWhenDone;
  return true;
}

void TScriptEngine::ClearLog() {
  log_.clear();
  emit LogCleared();
}

void TScriptEngine::AddLog(const QString& text, bool indented) {
  log_.append(TimeStamp() + (indented ? QStringLiteral("    ") : QStringLiteral("  ")) + text);
  int dropped = 0;
  if (log_.size() > kLogLimit) {
    dropped = kLogTrim;
    log_.remove(0, kLogTrim);
  }
  emit LogAppended(log_.back(), dropped);
}

void TScriptEngine::Start(int channel) {
  if (running_ || (channel != 0 && channel != 1))
    return;
  channel_ = channel;
  // A file transmission or auto-transmission of a plain string holds the
  // channel: the script's bytes must not interleave with theirs.
  ownsSlot_ = activities_.TakeActivity(channel, *this);
  if (!ownsSlot_ && (host_ == nullptr || activities_.Activity(channel) != host_)) {
    messages_.Information(QStringLiteral("Channel %1 is busy with auto transmission or a file "
                                         "transmission.\nThe script has not been started.")
                              .arg(channel + 1));
    return;
  }
  running_ = true;
  stopRequested_ = false;
  failed_ = false;
  emit RunningChanged(true);
  const std::size_t current = snapshot_->CurrentNr;
  script_ = QByteArray::fromStdString(std::string(snapshot_->Strings[current].Str.view()));
  if (!SnapshotIsScript()) {
    messages_.Error(QStringLiteral("Attempt to run a script on non-script string. Canceled"));
    failed_ = true;
  }
  AddLog(QStringLiteral("Starting script on channel %1").arg(channel + 1), false);
  if (failed_) {
    Finish();
  } else if (script_.isEmpty()) {
    // Nothing to repeat: starting over would never hand control back.
    AddLog(QStringLiteral("End of script"), false);
    Finish();
  } else {
    pos_ = 0;
    phase_ = Phase::Command;
    clock_->Start(0);
  }
}

void TScriptEngine::RequestStop() {
  if (!running_)
    return;
  stopRequested_ = true;
  if (phase_ == Phase::Wait || phase_ == Phase::Cts)
    Finish();
}

void TScriptEngine::StopActivity() {
  ownsSlot_ = false;  // the slot is freed by its owner
  RequestStop();
  if (running_)
    Finish();
}

void TScriptEngine::Step() {
  switch (phase_) {
    case Phase::Idle:
      return;
    case Phase::Command:
      RunCommand();
      return;
    case Phase::Wait:
      if (clock_->NowMs() < deadline_) {
        ShowCountdown();
        return;
      }
      emit WaitingShown(QString());
      phase_ = Phase::Command;
      RunCommand();
      return;
    case Phase::Cts:
      PollCts();
      return;
  }
}

void TScriptEngine::RunCommand() {
  if (pos_ >= script_.size()) {
    if (stopRequested_) {
      Finish();
      return;
    }
    AddLog(QStringLiteral("Starting script on channel %1").arg(channel_ + 1), false);
    pos_ = 0;
  }
  const char command = script_.at(pos_);
  switch (command) {
    case 'X':
    case 'x':
      Transmit();
      break;
    case 'W':
    case 'w':
      StartWait();
      return;
    case 'R':
    case 'r':
    case 'D':
    case 'd': {
      ++pos_;
      const bool on = command == 'R' || command == 'D';
      const bool rts = command == 'R' || command == 'r';
      if (rts)
        channels_.SetChannelRTS(channel_, on);
      else
        channels_.SetChannelDTR(channel_, on);
      AddLog(QLatin1String(rts ? "RTS " : "DTR ") + QLatin1String(on ? "Asserted" : "Negated"),
             true);
      break;
    }
    case 'C':
    case 'c':
      ++pos_;
      ctsWanted_ = command == 'C';
      AddLog(ctsWanted_ ? QStringLiteral("Waiting for asserted CTS")
                        : QStringLiteral("Waiting for negated CTS"),
             true);
      phase_ = Phase::Cts;
      PollCts();
      return;
    case 'B':
    case 'b':
      ++pos_;
      AddLog(QStringLiteral("Beeping"), true);
      if (Beep)
        Beep();
      break;
    case 'S':
    case 's':
      AddLog(QStringLiteral("End of script"), false);
      Finish();
      return;
    default:
      Fail(QStringLiteral("Illegal script command in script string at position %1").arg(pos_));
      return;
  }
  if (running_)
    clock_->Start(0);
}

void TScriptEngine::Transmit() {
  const qsizetype at = pos_++;
  std::int64_t number = 0;
  qsizetype digits = 0;
  for (; pos_ < script_.size() && script_.at(pos_) >= '0' && script_.at(pos_) <= '9'; ++pos_) {
    ++digits;
    if (number <= std::numeric_limits<int>::max())
      number = number * 10 + (script_.at(pos_) - '0');
  }
  const QString illegal =
      QStringLiteral("Illegal string number after transmitt command in script string at position ");
  if (digits == 0 || number > std::numeric_limits<int>::max()) {
    Fail(illegal + QString::number(at + 1));
    return;
  }
  if (number < 1 || number > kLibraryEntries) {
    Fail(illegal + QString::number(pos_));
    return;
  }
  if (channels_.ChannelOutputRoom(channel_) <= kLeastOutputRoom) {
    channels_.DiscardChannelOutput(channel_);
    Fail(QStringLiteral("The transmission buffer has overflowed.\r\nIncrease the delay between "
                        "string transmissions or increase the baudrate"),
         QStringLiteral("Transmission buffer overflow"));
    return;
  }
  const int index = static_cast<int>(number) - 1;
  transmitter_.TransmitLibraryString(index, channel_);
  const QString title = EntryTitle(*snapshot_, index);
  AddLog(QStringLiteral("Transmitting string ") + title, true);
  emit Transmitted(title);
}

void TScriptEngine::StartWait() {
  waitTotal_ = 0;
  while (pos_ < script_.size() && (script_.at(pos_) == 'W' || script_.at(pos_) == 'w')) {
    waitTotal_ += kWaitMs;
    ++pos_;
  }
  AddLog(QStringLiteral("Waiting %1 mS").arg(waitTotal_), true);
  deadline_ = clock_->NowMs() + waitTotal_;
  shownRemaining_ = -1;
  phase_ = Phase::Wait;
  ShowCountdown();
}

// Shows the time left in whole 100 ms and wakes at the next step or at the
// deadline, whichever comes first.
void TScriptEngine::ShowCountdown() {
  const std::int64_t left = deadline_ - clock_->NowMs();
  const int remaining = static_cast<int>(left / kCountdownStepMs * kCountdownStepMs);
  if (remaining != shownRemaining_) {
    shownRemaining_ = remaining;
    emit WaitingShown(QStringLiteral("%1/%2").arg(remaining).arg(waitTotal_));
  }
  const std::int64_t untilStep = left - remaining;
  clock_->Start(static_cast<int>(untilStep > 0 ? untilStep : std::min<std::int64_t>(left, 100)));
}

void TScriptEngine::PollCts() {
  if (channels_.ChannelCTS(channel_) != ctsWanted_) {
    clock_->Start(kCtsPollMs);
    return;
  }
  AddLog(ctsWanted_ ? QStringLiteral("--CTS Asserted") : QStringLiteral("--CTS Negated"), true);
  phase_ = Phase::Command;
  clock_->Start(0);
}

void TScriptEngine::Fail(const QString& text, const QString& logText) {
  AddLog(logText.isEmpty() ? text : logText, true);
  messages_.Error(text);
  failed_ = true;
  closeWhenDone_ = false;
  Finish();
}

void TScriptEngine::Finish() {
  phase_ = Phase::Idle;
  clock_->Stop();
  if ((failed_ || stopRequested_) && TurnAutoTransmitOff && TurnAutoTransmitOff())
    messages_.Information(QStringLiteral("Automatic string transmission has been turned off"));
  running_ = false;
  if (ownsSlot_)
    activities_.ReleaseActivity(channel_, *this);
  ownsSlot_ = false;
  emit WaitingShown(QString());
  emit RunningChanged(false);
  if (stopRequested_)
    AddLog(QStringLiteral("Script transmission aborted by user"), false);
  emit Finished(closeWhenDone_ && !stopRequested_);
}

}  // namespace klv
