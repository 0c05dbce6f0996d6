#include "app/ui/Miscset.h"

#include "common/ui/DialogButtons.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

namespace klv {

namespace {

constexpr int kMaxIntervalDigits = 5;

// The decimal number in `text`, none when it holds no number.
std::optional<int> ParseNumber(const QString& text) {
  bool ok = false;
  const int value = text.toInt(&ok, 10);
  if (!ok)
    return std::nullopt;
  return value;
}

bool InIntervalRange(int value) {
  return value >= 0 && value <= TMiscSettingsDlg::kMaxInterval;
}

}  // namespace

TMiscSettingsDlg::TMiscSettingsDlg(TConfigFile& config, IMessageService& messages, QWidget* parent)
    : QDialog(parent), config_(config), messages_(messages) {
  setWindowTitle(QStringLiteral("Miscellaneous settings"));
  setModal(true);

  gbAutoXmit = new QGroupBox(QStringLiteral("Autotransmit interval mS"), this);
  ebAutoXmit = new QLineEdit(gbAutoXmit);
  ebAutoXmit->setMaxLength(kMaxIntervalDigits);
  SpinButton1 = new QWidget(gbAutoXmit);
  SpinButton1Up = new QToolButton(SpinButton1);
  SpinButton1Up->setArrowType(Qt::UpArrow);
  SpinButton1Up->setAutoRepeat(true);
  SpinButton1Down = new QToolButton(SpinButton1);
  SpinButton1Down->setArrowType(Qt::DownArrow);
  SpinButton1Down->setAutoRepeat(true);
  auto* arrows = new QVBoxLayout(SpinButton1);
  arrows->setContentsMargins(0, 0, 0, 0);
  arrows->setSpacing(0);
  arrows->addWidget(SpinButton1Up);
  arrows->addWidget(SpinButton1Down);
  auto* intervalLayout = new QHBoxLayout(gbAutoXmit);
  intervalLayout->addWidget(ebAutoXmit);
  intervalLayout->addWidget(SpinButton1);

  rgMult = new TRadioGroup(QStringLiteral("Step multiplier"),
                           {QStringLiteral("1x"), QStringLiteral("10x"), QStringLiteral("100x"),
                            QStringLiteral("1000x")},
                           1, this);
  rgMult->SetItemIndex(2);

  gbLogMSC = new QGroupBox(QStringLiteral("Log Modem Control Signals"), this);
  cbLogMSC_P = new QCheckBox(QStringLiteral("Channel 1"), gbLogMSC);
  cbLogMSC_S = new QCheckBox(QStringLiteral("Channel 2"), gbLogMSC);
  auto* logLayout = new QVBoxLayout(gbLogMSC);
  logLayout->addWidget(cbLogMSC_P);
  logLayout->addWidget(cbLogMSC_S);

  gbLocalEcho = new QGroupBox(QStringLiteral("Local echo of ALL transmissions"), this);
  cbLocalEcho_P = new QCheckBox(QStringLiteral("Channel 1"), gbLocalEcho);
  cbLocalEcho_S = new QCheckBox(QStringLiteral("Channel 2"), gbLocalEcho);
  auto* echoLayout = new QVBoxLayout(gbLocalEcho);
  echoLayout->addWidget(cbLocalEcho_P);
  echoLayout->addWidget(cbLocalEcho_S);

  const TDialogButtons dialogButtons = MakeDialogButtons(this, THelpContext::Miscellaneous);
  OKBtn = dialogButtons.OK;
  CancelBtn = dialogButtons.Cancel;
  PrintScreenBtn = dialogButtons.PrintScreen;
  HelpBtn = dialogButtons.Help;

  // textEdited comes from the user only, so rewriting the text from the
  // handler does not call it again.
  connect(ebAutoXmit, &QLineEdit::textEdited, this, &TMiscSettingsDlg::ebAutoXmitChange);
  connect(SpinButton1Up, &QToolButton::clicked, this, &TMiscSettingsDlg::SpinButton1UpClick);
  connect(SpinButton1Down, &QToolButton::clicked, this, &TMiscSettingsDlg::SpinButton1DownClick);
  connect(OKBtn, &QPushButton::clicked, this, &TMiscSettingsDlg::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TMiscSettingsDlg::CancelBtnClick);

  auto* left = new QVBoxLayout;
  left->addWidget(gbAutoXmit);
  left->addWidget(rgMult);
  auto* right = new QVBoxLayout;
  right->addWidget(gbLogMSC);
  right->addWidget(gbLocalEcho);
  right->addStretch(1);
  auto* groups = new QHBoxLayout;
  groups->addLayout(left);
  groups->addLayout(right);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(groups);
  layout->addLayout(dialogButtons.Row);
}

void TMiscSettingsDlg::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TMiscSettingsDlg::FormShow() {
  const TConf& conf = config_.Conf();
  ebAutoXmit->setText(QString::number(conf.MiscInt.AutoXmitInterval.get()));
  cbLogMSC_P->setChecked(conf.MiscBool.LogModemP);
  cbLogMSC_S->setChecked(conf.MiscBool.LogModemS);
  cbLocalEcho_P->setChecked(conf.MiscBool.LocalEchoP);
  cbLocalEcho_S->setChecked(conf.MiscBool.LocalEchoS);
}

void TMiscSettingsDlg::ebAutoXmitChange(const QString& text) {
  if (text.isEmpty())
    return;
  const int value = ParseNumber(text).value_or(config_.Conf().MiscInt.AutoXmitInterval.get());
  if (!InIntervalRange(value)) {
    messages_.Information(QString::fromLatin1(MiscText::IntervalRange));
    return;
  }
  SetIntervalText(value);
}

// Rewrites the edit with `value`, keeping the cursor the same number of
// characters from the end.
void TMiscSettingsDlg::SetIntervalText(int value) {
  const QString text = QString::number(value);
  const QString old = ebAutoXmit->text();
  if (text == old)
    return;
  const qsizetype fromEnd = old.size() - ebAutoXmit->cursorPosition();
  ebAutoXmit->setText(text);
  ebAutoXmit->setCursorPosition(
      static_cast<int>(std::clamp<qsizetype>(text.size() - fromEnd, 0, text.size())));
}

// Either arrow lands inside the allowed range, also from a number outside it.
int ArrowInterval(const QString& text, int stored, int multiplierIndex, bool up) {
  int step = 1;
  for (int i = 0; i < multiplierIndex; ++i)
    step *= 10;
  const int base = ParseNumber(text).value_or(stored);
  return up ? std::clamp(base + step, 0, TMiscSettingsDlg::kMaxInterval)
            : std::clamp(base - step, TMiscSettingsDlg::kMinArrowInterval,
                         TMiscSettingsDlg::kMaxInterval);
}

void TMiscSettingsDlg::SpinButton1UpClick() {
  SetIntervalText(ArrowInterval(ebAutoXmit->text(), config_.Conf().MiscInt.AutoXmitInterval,
                                rgMult->ItemIndex(), true));
}

void TMiscSettingsDlg::SpinButton1DownClick() {
  SetIntervalText(ArrowInterval(ebAutoXmit->text(), config_.Conf().MiscInt.AutoXmitInterval,
                                rgMult->ItemIndex(), false));
}

void TMiscSettingsDlg::OKBtnClick() {
  TMiscBool& flags = config_.Conf().MiscBool;
  flags.LogModemP = cbLogMSC_P->isChecked();
  flags.LogModemS = cbLogMSC_S->isChecked();
  flags.LocalEchoP = cbLocalEcho_P->isChecked();
  flags.LocalEchoS = cbLocalEcho_S->isChecked();

  if (ebAutoXmit->text().isEmpty())
    ebAutoXmit->setText(QStringLiteral("1"));
  const std::optional<int> value = ParseNumber(ebAutoXmit->text());
  if (!value || !InIntervalRange(*value)) {
    messages_.Information(QString::fromLatin1(MiscText::IntervalRange));
    return;
  }
  config_.Conf().MiscInt.AutoXmitInterval = static_cast<std::uint16_t>(*value);
  accept();
}

void TMiscSettingsDlg::CancelBtnClick() {
  reject();
}

}  // namespace klv
