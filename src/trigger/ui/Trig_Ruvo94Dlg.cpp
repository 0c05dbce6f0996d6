#include "trigger/ui/Trig_Ruvo94Dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

#include "common/Cp1252.h"
#include "common/ui/ChoiceControls.h"
#include "common/ui/DialogButtons.h"
#include "trigger/ui/TriggerDlgParts.h"

namespace klv {
namespace {

using Dlg = TTrig_Ruvo94Dlg;

struct TCheckField {
  Dlg::TChannelCheck Dlg::*box;
  Boolean8 TRuvo94TrigChannel::*flag;
};

constexpr std::array<TCheckField, 9> kCheckFields = {{
    {&Dlg::cbDest, &TRuvo94TrigChannel::UseDest},
    {&Dlg::cbSource, &TRuvo94TrigChannel::UseSource},
    {&Dlg::cbType, &TRuvo94TrigChannel::UseType},
    {&Dlg::cbMsg, &TRuvo94TrigChannel::UseMsg},
    {&Dlg::cbOtherChTrigged, &TRuvo94TrigChannel::OtherChTrigged},
    {&Dlg::cbOnTrigTr, &TRuvo94TrigChannel::OnTrigTr},
    {&Dlg::cbOnTrigDisplay, &TRuvo94TrigChannel::OnTrigDisplay},
    {&Dlg::cbOnTrigBeep, &TRuvo94TrigChannel::OnTrigBeep},
    {&Dlg::cbOnNoTrigDisplay, &TRuvo94TrigChannel::OnNoTrigDisplay},
}};

// The address and type lists and the values they stand for.
struct TValueField {
  Dlg::TChannelList Dlg::*list;
  LeU16 TRuvo94TrigChannel::*value;
};

constexpr std::array<TValueField, 9> kValueFields = {{
    {&Dlg::cbDestFrom, &TRuvo94TrigChannel::DestFrom},
    {&Dlg::cbDestTo, &TRuvo94TrigChannel::DestTo},
    {&Dlg::cbDestOR, &TRuvo94TrigChannel::DestOR},
    {&Dlg::cbSourceFrom, &TRuvo94TrigChannel::SourceFrom},
    {&Dlg::cbSourceTo, &TRuvo94TrigChannel::SourceTo},
    {&Dlg::cbSourceOR, &TRuvo94TrigChannel::SourceOR},
    {&Dlg::cbTypeFrom, &TRuvo94TrigChannel::TypeFrom},
    {&Dlg::cbTypeTo, &TRuvo94TrigChannel::TypeTo},
    {&Dlg::cbTypeOR, &TRuvo94TrigChannel::TypeOR},
}};

std::size_t Index(int channel) {
  return static_cast<std::size_t>(channel);
}

// "31H / 049D"
QStringList AddressItems() {
  QStringList items;
  for (int value = Dlg::kFirstAddress; value <= Dlg::kLastAddress; ++value)
    items << QString::asprintf("%02XH / %03dD", value, value);
  return items;
}

// 53H / "S"
QStringList TypeItems() {
  QStringList items;
  for (int value = Dlg::kFirstAddress; value <= Dlg::kLastAddress; ++value) {
    const std::string character(1, static_cast<char>(value));
    items << QString::asprintf("%02XH / \"", value) + Cp1252ToQString(character) + QLatin1Char('"');
  }
  return items;
}

QComboBox* MakeList(const QStringList& items, const char* name, int channel, QWidget* parent) {
  auto* list = Named(new QComboBox(parent), name, channel);
  list->addItems(items);
  return list;
}

}  // namespace

TTrig_Ruvo94Dlg::TTrig_Ruvo94Dlg(TTrigger_Ruvo94& record, const TStrngs& library,
                                 TTrigRuvo94& engine, IBeeper& beeper, IMessageService& messages,
                                 QWidget* parent)
    : QDialog(parent),
      record_(record),
      library_(library),
      engine_(engine),
      beeper_(beeper),
      messages_(messages) {
  setWindowTitle(QStringLiteral("Ruvo-94 Trigger Setup"));
  setModal(true);

  const TTriggerFrame frame =
      MakeTriggerFrame(this, [this](int channel) { return BuildPage(channel); });
  OKBtn = frame.OK;
  CancelBtn = frame.Cancel;
  ApplyBtn = frame.Apply;
  PrintScreenBtn = frame.PrintScreen;
  HelpBtn = frame.Help;
  Pages = frame.Pages;
  connect(OKBtn, &QPushButton::clicked, this, &TTrig_Ruvo94Dlg::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TTrig_Ruvo94Dlg::CancelBtnClick);
  connect(ApplyBtn, &QPushButton::clicked, this, &TTrig_Ruvo94Dlg::ApplyBtnClick);

  connect(&engine_, &TTrigRuvo94::StateChanged, this, &TTrig_Ruvo94Dlg::EngineStateChanged);
}

QWidget* TTrig_Ruvo94Dlg::BuildPage(int channel) {
  const std::size_t ch = Index(channel);
  auto* page = new QWidget(this);
  const QStringList addresses = AddressItems();
  const QStringList types = TypeItems();

  rgMode[ch] = Named(new TRadioGroup(QStringLiteral("Mode"),
                                     {QStringLiteral("Disabled"), QStringLiteral("1-shot"),
                                      QStringLiteral("Retrig")},
                                     1, page),
                     "rgMode", channel);
  rgState[ch] =
      Named(new TRadioGroup(QStringLiteral("State"),
                            {QStringLiteral("Armed"), QStringLiteral("Triggered")}, 1, page),
            "rgState", channel);
  // Choosing a mode arms the trigger; the record follows on OK or Apply.
  connect(rgMode[ch]->Buttons(), &QButtonGroup::idClicked, this,
          [this, ch] { rgState[ch]->SetItemIndex(static_cast<int>(TTrigState::Armed)); });

  gbCondition[ch] = Named(new QGroupBox(QStringLiteral("Condition"), page), "gbCondition", channel);
  cbDest[ch] = Named(new QCheckBox(QStringLiteral("Destination:"), page), "cbDest", channel);
  cbDestFrom[ch] = MakeList(addresses, "cbDestFrom", channel, page);
  cbDestTo[ch] = MakeList(addresses, "cbDestTo", channel, page);
  cbDestOR[ch] = MakeList(addresses, "cbDestOR", channel, page);
  cbSource[ch] = Named(new QCheckBox(QStringLiteral("Source:"), page), "cbSource", channel);
  cbSourceFrom[ch] = MakeList(addresses, "cbSourceFrom", channel, page);
  cbSourceTo[ch] = MakeList(addresses, "cbSourceTo", channel, page);
  cbSourceOR[ch] = MakeList(addresses, "cbSourceOR", channel, page);
  cbType[ch] = Named(new QCheckBox(QStringLiteral("Type:"), page), "cbType", channel);
  cbTypeFrom[ch] = MakeList(types, "cbTypeFrom", channel, page);
  cbTypeTo[ch] = MakeList(types, "cbTypeTo", channel, page);
  cbTypeOR[ch] = MakeList(types, "cbTypeOR", channel, page);
  cbMsg[ch] = Named(new QCheckBox(QStringLiteral("Message:"), page), "cbMsg", channel);
  ebMsg[ch] = Named(new QLineEdit(page), "ebMsg", channel);
  ebMsg[ch]->setMaxLength(static_cast<int>(decltype(TRuvo94TrigChannel::MsgText)::Capacity()));
  cbOtherChTrigged[ch] =
      Named(new QCheckBox(QStringLiteral("Ch %1 Triggered").arg(2 - channel), page),
            "cbOtherChTrigged", channel);

  gbOnTrig[ch] = Named(new QGroupBox(QStringLiteral("On Trig"), page), "gbOnTrig", channel);
  cbOnTrigTr[ch] =
      Named(new QCheckBox(QStringLiteral("Transmit Str:"), page), "cbOnTrigTr", channel);
  cbOnTrigTrStrSel[ch] = Named(new QComboBox(page), "cbOnTrigTrStrSel", channel);
  cbOnTrigTrDest[ch] =
      MakeList(QStringList{QStringLiteral("As in string"), QStringLiteral("Sender")} + addresses,
               "cbOnTrigTrDest", channel, page);
  auto* destLabel = new QLabel(QStringLiteral("Destination"), page);
  destLabel->setBuddy(cbOnTrigTrDest[ch]);
  cbOnTrigDisplay[ch] =
      Named(new QCheckBox(QStringLiteral("Display Frame"), page), "cbOnTrigDisplay", channel);
  cbOnTrigBeep[ch] = Named(new QCheckBox(QStringLiteral("Beep"), page), "cbOnTrigBeep", channel);
  btnTestBeep[ch] = new QPushButton(QStringLiteral("Test"), page);
  btnTestBeep[ch]->setObjectName(channel == 0 ? QStringLiteral("btnTestBeep1")
                                              : QStringLiteral("btsTestBeep2"));
  btnTestBeep[ch]->setToolTip(QStringLiteral("Listen to beep"));
  connect(btnTestBeep[ch], &QPushButton::clicked, this, &TTrig_Ruvo94Dlg::btnTestBeep1Click);

  gbOnNoTrig[ch] = Named(new QGroupBox(QStringLiteral("On NO trig"), page), "gbOnNoTrig", channel);
  cbOnNoTrigDisplay[ch] =
      Named(new QCheckBox(QStringLiteral("Display Frames"), page), "cbOnNoTrigDisplay", channel);

  // A user's choice of entry or destination is checked against each other.
  const auto userChange = [this, channel] {
    if (!loading_)
      CheckDestination(channel, true);
  };
  connect(cbOnTrigTrStrSel[ch], &QComboBox::currentIndexChanged, this, userChange);
  connect(cbOnTrigTrDest[ch], &QComboBox::currentIndexChanged, this, userChange);

  auto* condition = new QGridLayout(gbCondition[ch]);
  condition->addWidget(new QLabel(QStringLiteral("From"), page), 0, 1);
  condition->addWidget(new QLabel(QStringLiteral("To"), page), 0, 2);
  condition->addWidget(new QLabel(QStringLiteral("OR"), page), 0, 3);
  const std::array<std::array<QWidget*, 4>, 3> rows = {{
      {cbDest[ch], cbDestFrom[ch], cbDestTo[ch], cbDestOR[ch]},
      {cbSource[ch], cbSourceFrom[ch], cbSourceTo[ch], cbSourceOR[ch]},
      {cbType[ch], cbTypeFrom[ch], cbTypeTo[ch], cbTypeOR[ch]},
  }};
  for (std::size_t row = 0; row < rows.size(); ++row) {
    for (std::size_t column = 0; column < rows[row].size(); ++column)
      condition->addWidget(rows[row][column], static_cast<int>(row + 1), static_cast<int>(column));
  }
  condition->addWidget(cbMsg[ch], 4, 0);
  condition->addWidget(ebMsg[ch], 4, 1, 1, 3);
  condition->addWidget(cbOtherChTrigged[ch], 5, 0, 1, 4);

  auto* onTrig = new QGridLayout(gbOnTrig[ch]);
  onTrig->addWidget(cbOnTrigTr[ch], 0, 0);
  onTrig->addWidget(cbOnTrigTrStrSel[ch], 0, 1);
  onTrig->addWidget(destLabel, 1, 0);
  onTrig->addWidget(cbOnTrigTrDest[ch], 1, 1);
  onTrig->addWidget(cbOnTrigDisplay[ch], 2, 0);
  onTrig->addWidget(cbOnTrigBeep[ch], 3, 0);
  onTrig->addWidget(btnTestBeep[ch], 3, 1, Qt::AlignLeft);
  auto* onNoTrig = new QVBoxLayout(gbOnNoTrig[ch]);
  onNoTrig->addWidget(cbOnNoTrigDisplay[ch]);

  auto* top = new QHBoxLayout;
  top->addWidget(rgMode[ch]);
  top->addWidget(rgState[ch]);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(gbOnTrig[ch]);
  bottom->addWidget(gbOnNoTrig[ch], 0, Qt::AlignTop);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(top);
  layout->addWidget(gbCondition[ch]);
  layout->addLayout(bottom);
  layout->addStretch(1);
  return page;
}

void TTrig_Ruvo94Dlg::SelectChannelPage(int channel) {
  Pages->setCurrentIndex(std::clamp(channel, 0, 1));
}

void TTrig_Ruvo94Dlg::showEvent(QShowEvent* event) {
  // A window restored from the task bar keeps what the user has changed.
  if (!event->spontaneous())
    FormShow();
  QDialog::showEvent(event);
}

void TTrig_Ruvo94Dlg::FormShow() {
  loading_ = true;
  for (int channel = 0; channel < 2; ++channel)
    FillLibraryList(cbOnTrigTrStrSel[Index(channel)], library_);
  loading_ = false;
  for (int channel = 0; channel < 2; ++channel)
    LoadChannel(channel);
}

void TTrig_Ruvo94Dlg::LoadChannel(int channel) {
  const std::size_t ch = Index(channel);
  const TRuvo94TrigChannel& settings = record_.Channel[ch];
  loading_ = true;
  ShowChoice(rgMode[ch], settings.Mode);
  ShowChoice(rgState[ch], settings.State);
  for (const TCheckField& field : kCheckFields)
    (this->*field.box)[ch]->setChecked(settings.*field.flag);
  for (const TValueField& field : kValueFields)
    ShowListIndex((this->*field.list)[ch], (settings.*field.value).get() - kFirstAddress);
  ebMsg[ch]->setText(Cp1252ToQString(settings.MsgText.view()));
  shownMsgText_[ch] = ebMsg[ch]->text();
  ShowListIndex(cbOnTrigTrStrSel[ch], settings.OnTrigTrStrNr.get());
  ShowListIndex(cbOnTrigTrDest[ch], settings.OnTrigTrDest.get());
  loading_ = false;
  // A script entry can only go as it is stored. A data string keeps the
  // destination it was stored with (the sender, a fixed address or as it is).
  CheckDestination(channel, false);
}

void TTrig_Ruvo94Dlg::SetDestination(int channel, int index) {
  loading_ = true;
  cbOnTrigTrDest[Index(channel)]->setCurrentIndex(index);
  loading_ = false;
}

void TTrig_Ruvo94Dlg::CheckDestination(int channel, bool byUser) {
  const std::size_t ch = Index(channel);
  const int entry = cbOnTrigTrStrSel[ch]->currentIndex();
  if (entry < 0 || entry >= kLibraryEntries)
    return;
  const bool script =
      library_.Strings[Index(entry)].Syntax == static_cast<std::uint8_t>(TStringSyntax::Script);
  const int destination = cbOnTrigTrDest[ch]->currentIndex();
  if (script) {
    if (destination == kDestAsInString)
      return;
    SetDestination(channel, kDestAsInString);
    if (byUser)
      messages_.Information(QStringLiteral(
          "This is a script string. The destination has been changed to \"As In String\""));
    return;
  }
  if (destination != kDestSender && byUser &&
      messages_.Confirmation(QStringLiteral("Change destination to \"Sender\"?"),
                             TMsgButton::Yes | TMsgButton::No) == TMsgButton::Yes)
    SetDestination(channel, kDestSender);
}

void TTrig_Ruvo94Dlg::StoreChannel(int channel) {
  const std::size_t ch = Index(channel);
  TRuvo94TrigChannel& settings = record_.Channel[ch];
  settings.Mode = ReadChoice(rgMode[ch], settings.Mode);
  settings.State = ReadChoice(rgState[ch], settings.State);
  for (const TCheckField& field : kCheckFields)
    settings.*field.flag = (this->*field.box)[ch]->isChecked();
  for (const TValueField& field : kValueFields) {
    const int index = (this->*field.list)[ch]->currentIndex();
    if (index >= 0)
      settings.*field.value = static_cast<std::uint16_t>(index + kFirstAddress);
  }
  if (ebMsg[ch]->text() != shownMsgText_[ch]) {
    settings.MsgText.assign(QStringToCp1252(ebMsg[ch]->text()));
    shownMsgText_[ch] = ebMsg[ch]->text();
  }
  settings.OnTrigTrStrNr = ReadListIndex(cbOnTrigTrStrSel[ch], settings.OnTrigTrStrNr.get());
  settings.OnTrigTrDest = ReadListIndex(cbOnTrigTrDest[ch], settings.OnTrigTrDest.get());
}

void TTrig_Ruvo94Dlg::Store() {
  StoreChannel(0);
  StoreChannel(1);
}

void TTrig_Ruvo94Dlg::OKBtnClick() {
  Store();
  accept();
}

void TTrig_Ruvo94Dlg::ApplyBtnClick() {
  Store();
}

// The record is left as it is, also its State: a frame may have fired a
// 1-shot trigger while the dialog was open, and putting the old State back
// would re-arm it to fire and answer a second time.
void TTrig_Ruvo94Dlg::CancelBtnClick() {
  reject();
}

void TTrig_Ruvo94Dlg::btnTestBeep1Click() {
  beeper_.Beep();
}

void TTrig_Ruvo94Dlg::EngineStateChanged(int channel) {
  if (channel == 0 || channel == 1)
    ShowChoice(rgState[Index(channel)], record_.Channel[Index(channel)].State);
}

}  // namespace klv
