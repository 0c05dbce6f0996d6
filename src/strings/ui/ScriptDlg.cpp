#include "strings/ui/ScriptDlg.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/ui/DialogButtons.h"

namespace klv {
namespace {

template <class Button>
Button* NewButton(QWidget* parent, const char* name, const QString& text, const QString& tip) {
  auto* button = new Button(parent);
  button->setObjectName(QLatin1String(name));
  button->setText(text);
  button->setToolTip(tip);
  return button;
}

QLabel* NewPanel(QWidget* parent, const char* name) {
  auto* panel = new QLabel(parent);
  panel->setObjectName(QLatin1String(name));
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Sunken);
  panel->setMinimumWidth(200);
  return panel;
}

}  // namespace

TScriptStringTransmissionDlg::TScriptStringTransmissionDlg(IStringTransmitter& transmitter,
                                                           IChannelServices& channels,
                                                           IChannelActivitySlots& activities,
                                                           IMessageService& messages,
                                                           IBeeper& beeper, QWidget* parent)
    : QDialog(parent),
      channels_(channels),
      messages_(messages),
      engine_(new TScriptEngine(transmitter, channels, activities, messages, nullptr, this)) {
  setObjectName(QStringLiteral("TScriptStringTransmissionDlg"));
  setWindowTitle(QStringLiteral("Script Transmission"));
  setModal(false);
  engine_->Beep = [&beeper] { beeper.Beep(); };

  pnlSelectedScriptString = NewPanel(this, "pnlSelectedScriptString");
  pnlTransmittedString = NewPanel(this, "pnlTransmittedString");
  pnlWaiting = NewPanel(this, "pnlWaiting");
  MemoLog = new QPlainTextEdit(this);
  MemoLog->setObjectName(QStringLiteral("MemoLog"));
  MemoLog->setReadOnly(true);
  MemoLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  BtnTransmitt_1 = NewButton<QPushButton>(this, "BtnTransmitt_1", QStringLiteral("1"),
                                          QStringLiteral("Transmit current script on channel 1"));
  BtnTransmitt_2 = NewButton<QPushButton>(this, "BtnTransmitt_2", QStringLiteral("2"),
                                          QStringLiteral("Transmit current script on channel 2"));
  BitBtnStop = NewButton<QPushButton>(this, "BitBtnStop", QStringLiteral("&Stop  "),
                                      QStringLiteral("Stop script execution"));
  sbStop = NewButton<QToolButton>(this, "sbStop", QStringLiteral("Stop"),
                                  QStringLiteral("Stop script execution"));
  sbClose = NewButton<QToolButton>(this, "sbClose", QStringLiteral("Close"),
                                   QStringLiteral("Close form"));
  BtnClearLog = NewButton<QPushButton>(this, "BtnClearLog", QStringLiteral("Clear &log"),
                                       QStringLiteral("Clear display"));

  const TDialogButtons buttons = MakeDialogButtons(this, THelpContext::StringLibrary);
  buttons.OK->hide();
  // Cancel is the dialog's Escape: it becomes Close.
  BitBtnClose = buttons.Cancel;
  BitBtnClose->setObjectName(QStringLiteral("BitBtnClose"));
  BitBtnClose->setText(QStringLiteral("&Close"));
  BitBtnClose->setToolTip(QStringLiteral("Close form"));

  auto* tools = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{sbStop, sbClose})
    tools->addWidget(w);
  tools->addStretch(1);
  auto* panels = new QFormLayout;
  panels->addRow(QStringLiteral("Script String:"), pnlSelectedScriptString);
  panels->addRow(QStringLiteral("Transmitted String:"), pnlTransmittedString);
  panels->addRow(QStringLiteral("Waiting mS:"), pnlWaiting);
  auto* actions = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{BtnTransmitt_1, BtnTransmitt_2, BitBtnStop})
    actions->addWidget(w);
  actions->addStretch(1);
  actions->addWidget(BtnClearLog);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(tools);
  layout->addLayout(panels);
  layout->addLayout(actions);
  layout->addWidget(MemoLog, 1);
  layout->addLayout(buttons.Row);
  resize(460, 420);

  connect(BtnTransmitt_1, &QPushButton::clicked, this, [this] { PostStart(0); });
  connect(BtnTransmitt_2, &QPushButton::clicked, this, [this] { PostStart(1); });
  for (QAbstractButton* stop : std::initializer_list<QAbstractButton*>{BitBtnStop, sbStop})
    connect(stop, &QAbstractButton::clicked, engine_, &TScriptEngine::RequestStop);
  connect(sbClose, &QToolButton::clicked, this, &QDialog::close);
  connect(BtnClearLog, &QPushButton::clicked, engine_, &TScriptEngine::ClearLog);

  connect(engine_, &TScriptEngine::LogAppended, this, &TScriptStringTransmissionDlg::AppendLog);
  connect(engine_, &TScriptEngine::LogCleared, MemoLog, &QPlainTextEdit::clear);
  connect(engine_, &TScriptEngine::Transmitted, pnlTransmittedString, &QLabel::setText);
  connect(engine_, &TScriptEngine::WaitingShown, pnlWaiting, &QLabel::setText);
  connect(engine_, &TScriptEngine::RunningChanged, this, [this](bool running) {
    RefreshControls();
    if (running && isVisible())
      raise();
  });
  connect(engine_, &TScriptEngine::Finished, this, [this](bool close) {
    if (close)
      hide();
  });
  RefreshControls();
}

void TScriptStringTransmissionDlg::RunScript(const TStrngs& library, int channel,
                                             bool closeWhenDone, bool startAtOnce) {
  if (!engine_->HandOver(library, closeWhenDone))
    return;
  RefreshControls();
  if (!isVisible())
    show();
  if (startAtOnce)
    PostStart(channel);
}

void TScriptStringTransmissionDlg::PostStart(int channel) {
  // Queued, so that the caller (a button, a trigger, the auto-transmission
  // tick) returns before the run begins.
  QMetaObject::invokeMethod(
      this, [this, channel] { engine_->Start(channel); }, Qt::QueuedConnection);
}

void TScriptStringTransmissionDlg::RefreshControls() {
  const bool running = engine_->Running();
  const bool script = engine_->SnapshotIsScript();
  pnlSelectedScriptString->setText(script ? engine_->ScriptTitle()
                                          : QStringLiteral("NOT A SCRIPT STRING"));
  BtnTransmitt_1->setEnabled(script && !running && channels_.ChannelAvailable(0));
  BtnTransmitt_2->setEnabled(script && !running && channels_.ChannelAvailable(1));
  BitBtnStop->setEnabled(running);
  sbStop->setEnabled(running);
  BitBtnClose->setEnabled(!running);
  sbClose->setEnabled(!running);
  if (!running) {
    pnlTransmittedString->clear();
    pnlWaiting->clear();
  }
}

void TScriptStringTransmissionDlg::AppendLog(const QString& line, int droppedFront) {
  MemoLog->appendPlainText(line);
  if (droppedFront <= 0)
    return;
  QTextCursor cursor(MemoLog->document());
  cursor.movePosition(QTextCursor::Start);
  cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, droppedFront);
  cursor.removeSelectedText();
}

bool TScriptStringTransmissionDlg::MayClose() {
  if (!engine_->Running())
    return true;
  messages_.Information(
      QStringLiteral("You must stop the script execution before closing the form."));
  return false;
}

void TScriptStringTransmissionDlg::closeEvent(QCloseEvent* event) {
  if (MayClose())
    event->accept();
  else
    event->ignore();
}

void TScriptStringTransmissionDlg::reject() {
  if (MayClose())
    QDialog::reject();
}

}  // namespace klv
