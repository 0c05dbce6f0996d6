#include "trigger/ui/Trig_HexTTYDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "common/Cp1252.h"
#include "common/ui/ChoiceControls.h"
#include "common/ui/DialogButtons.h"
#include "trigger/ui/TriggerDlgParts.h"

namespace klv {
namespace {

using Dlg = TTrig_HexTTYDlg;

// The check boxes and the flags they stand for.
struct TCheckField {
  Dlg::TChannelCheck Dlg::*box;
  Boolean8 THexTTYTrigChannel::*flag;
};

constexpr std::array<TCheckField, 11> kCheckFields = {{
    {&Dlg::cbUseLocalStr, &THexTTYTrigChannel::UseLocalStr},
    {&Dlg::cbUseLibStr, &THexTTYTrigChannel::UseLibStr},
    {&Dlg::cbOtherChTrigged, &THexTTYTrigChannel::OtherChTrigged},
    {&Dlg::cbDispTrigStr, &THexTTYTrigChannel::DispTrigStr},
    {&Dlg::cbDispPreTrigChars, &THexTTYTrigChannel::DispPreTrigChars},
    {&Dlg::cbDispPostTrigChars, &THexTTYTrigChannel::DispPostTrigChars},
    {&Dlg::cbOnTrigBeep, &THexTTYTrigChannel::OnTrigBeep},
    {&Dlg::cbOnTrigTrLocalStr, &THexTTYTrigChannel::OnTrigTrLocalStr},
    {&Dlg::cbOnTrigTrLibStr, &THexTTYTrigChannel::OnTrigTrLibStr},
    {&Dlg::cbForceNL, &THexTTYTrigChannel::ForceNL},
    {&Dlg::cbOnNoTrigDisplay, &THexTTYTrigChannel::OnNoTrigDisplay},
}};

std::size_t Index(int channel) {
  return static_cast<std::size_t>(channel);
}

QSpinBox* MakeCountPanel(const char* name, int channel, QWidget* parent) {
  auto* spin = Named(new QSpinBox(parent), name, channel);
  spin->setRange(0, 255);
  spin->setWrapping(true);  // 255 up gives 0, 0 down gives 255
  return spin;
}

// A wrapping spin box would wrap a stored count beyond its range too (1000
// to 0); it shows 255 instead.
void ShowCount(QSpinBox* panel, int count) {
  panel->setValue(std::clamp(count, panel->minimum(), panel->maximum()));
}

QLineEdit* MakeEdit(const char* name, int channel, QWidget* parent) {
  auto* edit = Named(new QLineEdit(parent), name, channel);
  edit->setMaxLength(Dlg::kEditLength);
  return edit;
}

// Returns the text the edit shows, to tell later whether the user changed it.
template <std::size_t N>
QString LoadEdit(QLineEdit* edit, const PascalString<N>& text) {
  edit->setText(Cp1252ToQString(text.view()));
  return edit->text();
}

template <std::size_t N>
void StoreEdit(const QLineEdit* edit, const QString& shown, PascalString<N>& text) {
  if (edit->text() != shown)
    text.assign(QStringToCp1252(edit->text()));
}

}  // namespace

TTrig_HexTTYDlg::TTrig_HexTTYDlg(TTrigger_HexTTY& record, const TStrngs& library,
                                 TTrigHexTTY& engine, IBeeper& beeper, QWidget* parent)
    : QDialog(parent), record_(record), library_(library), engine_(engine), beeper_(beeper) {
  setWindowTitle(QStringLiteral("Hex-Asc/TTY Trigger Setup"));
  setModal(true);

  const TTriggerFrame frame =
      MakeTriggerFrame(this, [this](int channel) { return BuildPage(channel); });
  OKBtn = frame.OK;
  CancelBtn = frame.Cancel;
  ApplyBtn = frame.Apply;
  PrintScreenBtn = frame.PrintScreen;
  HelpBtn = frame.Help;
  Pages = frame.Pages;
  connect(OKBtn, &QPushButton::clicked, this, &TTrig_HexTTYDlg::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TTrig_HexTTYDlg::CancelBtnClick);
  connect(ApplyBtn, &QPushButton::clicked, this, &TTrig_HexTTYDlg::ApplyBtnClick);

  connect(&engine_, &TTrigHexTTY::StateChanged, this, &TTrig_HexTTYDlg::EngineStateChanged);
}

QWidget* TTrig_HexTTYDlg::BuildPage(int channel) {
  const std::size_t ch = Index(channel);
  auto* page = new QWidget(this);

  rgMode[ch] = Named(new TRadioGroup(QStringLiteral("Mode"),
                                     {QStringLiteral("Disabled"), QStringLiteral("1-shot"),
                                      QStringLiteral("Retrig")},
                                     1, page),
                     "rgMode", channel);
  rgState[ch] = Named(new TRadioGroup(QStringLiteral("State"),
                                      {QStringLiteral("Armed"), QStringLiteral("Triggered"),
                                       QStringLiteral("Stopped")},
                                      1, page),
                      "rgState", channel);
  // Choosing a mode arms the trigger; the record follows on OK or Apply.
  connect(rgMode[ch]->Buttons(), &QButtonGroup::idClicked, this,
          [this, ch] { rgState[ch]->SetItemIndex(static_cast<int>(TTrigState::Armed)); });

  cbUseLocalStr[ch] =
      Named(new QCheckBox(QStringLiteral("= Trigger string:"), page), "cbUseLocalStr", channel);
  ebLocalStr[ch] = MakeEdit("ebLocalStr", channel, page);
  cbUseLibStr[ch] =
      Named(new QCheckBox(QStringLiteral("= Trigger string"), page), "cbUseLibStr", channel);
  cbLibStrSel[ch] = Named(new QComboBox(page), "cbLibStrSel", channel);
  cbOtherChTrigged[ch] =
      Named(new QCheckBox(QStringLiteral("Ch %1 triggered or stopped").arg(2 - channel), page),
            "cbOtherChTrigged", channel);
  cbDispTrigStr[ch] = Named(new QCheckBox(QStringLiteral("Display trigger string"), page),
                            "cbDispTrigStr", channel);
  cbDispPreTrigChars[ch] =
      Named(new QCheckBox(QStringLiteral("Display pre-trigger characters:"), page),
            "cbDispPreTrigChars", channel);
  pnPreTrig[ch] = MakeCountPanel("pnPreTrig", channel, page);
  cbDispPostTrigChars[ch] =
      Named(new QCheckBox(QStringLiteral("Display post-trigger characters:"), page),
            "cbDispPostTrigChars", channel);
  pnPostTrig[ch] = MakeCountPanel("pnPostTrig", channel, page);
  rgPostTrig[ch] = Named(new TRadioGroup(QStringLiteral("Post-trigger characters"),
                                         {QStringLiteral("Preset count"), QStringLiteral("All"),
                                          QStringLiteral("Until NewLine")},
                                         1, page),
                         "rgPostTrig", channel);

  gbOnTrig[ch] =
      Named(new QGroupBox(
                channel == 0 ? QStringLiteral("On trigger") : QStringLiteral("On Trigger"), page),
            "gbOnTrig", channel);
  cbOnTrigBeep[ch] = Named(new QCheckBox(QStringLiteral("Beep"), page), "cbOnTrigBeep", channel);
  btnTestBeep[ch] = Named(new QPushButton(QStringLiteral("Test"), page), "btnTestBeep", channel);
  btnTestBeep[ch]->setToolTip(QStringLiteral("Listen to beep"));
  connect(btnTestBeep[ch], &QPushButton::clicked, this, &TTrig_HexTTYDlg::btnTestBeep1Click);
  cbOnTrigTrLocalStr[ch] =
      Named(new QCheckBox(QStringLiteral("Transmit string:"), page), "cbOnTrigTrLocalStr", channel);
  ebOnTrigTrLocalStrSel[ch] = MakeEdit("ebOnTrigTrLocalStrSel", channel, page);
  cbOnTrigTrLibStr[ch] =
      Named(new QCheckBox(QStringLiteral("Transmit string:"), page), "cbOnTrigTrLibStr", channel);
  cbOnTrigTrLibStrSel[ch] = Named(new QComboBox(page), "cbOnTrigTrLibStrSel", channel);
  cbForceNL[ch] = Named(new QCheckBox(QStringLiteral("Force New-Line after display"), page),
                        "cbForceNL", channel);

  gbOnNoTrig[ch] = Named(new QGroupBox(QStringLiteral("On NO trig"), page), "gbOnNoTrig", channel);
  cbOnNoTrigDisplay[ch] =
      Named(new QCheckBox(QStringLiteral("Display All"), page), "cbOnNoTrigDisplay", channel);

  auto* condition = new QGridLayout;
  condition->addWidget(cbUseLocalStr[ch], 0, 0);
  condition->addWidget(ebLocalStr[ch], 0, 1);
  condition->addWidget(cbUseLibStr[ch], 1, 0);
  condition->addWidget(cbLibStrSel[ch], 1, 1);
  condition->addWidget(cbOtherChTrigged[ch], 2, 0, 1, 2);
  condition->addWidget(cbDispTrigStr[ch], 3, 0, 1, 2);
  condition->addWidget(cbDispPreTrigChars[ch], 4, 0);
  condition->addWidget(pnPreTrig[ch], 4, 1, Qt::AlignLeft);
  condition->addWidget(cbDispPostTrigChars[ch], 5, 0);
  condition->addWidget(pnPostTrig[ch], 5, 1, Qt::AlignLeft);

  auto* onTrig = new QGridLayout(gbOnTrig[ch]);
  onTrig->addWidget(cbOnTrigBeep[ch], 0, 0);
  onTrig->addWidget(btnTestBeep[ch], 0, 1, Qt::AlignLeft);
  onTrig->addWidget(cbOnTrigTrLocalStr[ch], 1, 0);
  onTrig->addWidget(ebOnTrigTrLocalStrSel[ch], 1, 1);
  onTrig->addWidget(cbOnTrigTrLibStr[ch], 2, 0);
  onTrig->addWidget(cbOnTrigTrLibStrSel[ch], 2, 1);
  onTrig->addWidget(cbForceNL[ch], 3, 0, 1, 2);
  auto* onNoTrig = new QVBoxLayout(gbOnNoTrig[ch]);
  onNoTrig->addWidget(cbOnNoTrigDisplay[ch]);

  auto* top = new QHBoxLayout;
  top->addWidget(rgMode[ch]);
  top->addWidget(rgState[ch]);
  top->addWidget(rgPostTrig[ch]);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(top);
  layout->addLayout(condition);
  layout->addWidget(gbOnTrig[ch]);
  layout->addWidget(gbOnNoTrig[ch]);
  layout->addStretch(1);
  return page;
}

void TTrig_HexTTYDlg::SelectChannelPage(int channel) {
  Pages->setCurrentIndex(std::clamp(channel, 0, 1));
}

void TTrig_HexTTYDlg::showEvent(QShowEvent* event) {
  // A window restored from the task bar keeps what the user has changed.
  if (!event->spontaneous())
    FormShow();
  QDialog::showEvent(event);
}

void TTrig_HexTTYDlg::FormShow() {
  for (int channel = 0; channel < 2; ++channel) {
    const std::size_t ch = Index(channel);
    FillLibraryList(cbLibStrSel[ch], library_);
    FillLibraryList(cbOnTrigTrLibStrSel[ch], library_);
    LoadChannel(channel);
  }
}

void TTrig_HexTTYDlg::LoadChannel(int channel) {
  const std::size_t ch = Index(channel);
  const THexTTYTrigChannel& settings = record_.Channel[ch];
  ShowChoice(rgMode[ch], settings.Mode);
  ShowChoice(rgState[ch], settings.State);
  for (const TCheckField& field : kCheckFields)
    (this->*field.box)[ch]->setChecked(settings.*field.flag);
  shownLocalStr_[ch] = LoadEdit(ebLocalStr[ch], settings.LocalStr);
  shownOnTrigTrLocalText_[ch] = LoadEdit(ebOnTrigTrLocalStrSel[ch], settings.OnTrigTrLocalText);
  ShowListIndex(cbLibStrSel[ch], settings.LibStrNr.get());
  ShowListIndex(cbOnTrigTrLibStrSel[ch], settings.OnTrigTrLibStrNr.get());
  ShowCount(pnPreTrig[ch], settings.PreTrigCount.get());
  ShowCount(pnPostTrig[ch], settings.PostTrigCount.get());
  ShowChoice(rgPostTrig[ch], settings.PostTrigMode);
}

void TTrig_HexTTYDlg::StoreChannel(int channel) {
  const std::size_t ch = Index(channel);
  THexTTYTrigChannel& settings = record_.Channel[ch];
  settings.Mode = ReadChoice(rgMode[ch], settings.Mode);
  settings.State = ReadChoice(rgState[ch], settings.State);
  for (const TCheckField& field : kCheckFields)
    settings.*field.flag = (this->*field.box)[ch]->isChecked();
  StoreEdit(ebLocalStr[ch], shownLocalStr_[ch], settings.LocalStr);
  StoreEdit(ebOnTrigTrLocalStrSel[ch], shownOnTrigTrLocalText_[ch], settings.OnTrigTrLocalText);
  shownLocalStr_[ch] = ebLocalStr[ch]->text();
  shownOnTrigTrLocalText_[ch] = ebOnTrigTrLocalStrSel[ch]->text();
  settings.LibStrNr = ReadListIndex(cbLibStrSel[ch], settings.LibStrNr.get());
  settings.OnTrigTrLibStrNr =
      ReadListIndex(cbOnTrigTrLibStrSel[ch], settings.OnTrigTrLibStrNr.get());
  settings.PreTrigCount = static_cast<std::uint16_t>(pnPreTrig[ch]->value());
  settings.PostTrigCount = static_cast<std::uint16_t>(pnPostTrig[ch]->value());
  settings.PostTrigMode = ReadChoice(rgPostTrig[ch], settings.PostTrigMode);
}

void TTrig_HexTTYDlg::Store() {
  StoreChannel(0);
  StoreChannel(1);
  engine_.ResetTrigBuffers(0);
  engine_.ResetTrigBuffers(1);
}

void TTrig_HexTTYDlg::OKBtnClick() {
  Store();
  accept();
}

void TTrig_HexTTYDlg::ApplyBtnClick() {
  Store();
}

// The record is left as it is, also its State: a received byte may have
// changed it while the dialog was open, and putting the old State back would
// re-arm a 1-shot trigger that has already fired.
void TTrig_HexTTYDlg::CancelBtnClick() {
  reject();
}

void TTrig_HexTTYDlg::btnTestBeep1Click() {
  beeper_.Beep();
}

void TTrig_HexTTYDlg::EngineStateChanged(int channel) {
  if (channel == 0 || channel == 1)
    ShowChoice(rgState[Index(channel)], record_.Channel[Index(channel)].State);
}

}  // namespace klv
