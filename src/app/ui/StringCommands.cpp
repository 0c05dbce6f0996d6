#include "app/ui/StringCommands.h"

#include <QMenuBar>
#include <QToolBar>

#include "app/ui/CommandParts.h"

namespace klv {

TStringCommands::TStringCommands(TConf& conf, TChannels& channels, IMessageService& messages,
                                 QWidget* window)
    : QObject(window), conf_(conf), channels_(channels), messages_(messages) {
  Rearrange1 = Later(NewMenuItem(this, "Rearrange1", QStringLiteral("&Library"), Qt::Key_F2,
                                 QStringLiteral("Copy, move and delete strings")));
  Edit1 =
      Later(NewMenuItem(this, "Edit1", QStringLiteral("&Edit"), QKeySequence(Qt::ALT | Qt::Key_F3),
                        QStringLiteral("Edit string and name")));
  StringsTransmitt = NewMenuItem(this, "StringsTransmitt", QStringLiteral("&Transmit"), Qt::Key_F5,
                                 QStringLiteral("Transmitt current string"));
  StringsAutoTransmitt =
      NewMenuItem(this, "StringsAutoTransmitt", QStringLiteral("&AutoTransmit"), Qt::Key_F7,
                  QStringLiteral("Transmitt current string repeatedly"));
  StringsAutoTransmitt->setCheckable(true);
  StringsScriptTransmission = NewMenuItem(this, "StringsScriptTransmission",
                                          QStringLiteral("&Script Transmission"), Qt::Key_F9);
  const char* const names[] = {"StrSyntaxSelNone", "StrSyntaxSelDisplayMode",
                               "StrSyntaxSelProtocol"};
  const char* const captions[] = {"&None", "&Display Mode", "&Protocol"};
  for (int i = 0; i < 3; ++i) {
    QAction* item = Later(NewMenuItem(this, names[i], QString::fromLatin1(captions[i])));
    item->setCheckable(true);
    SyntaxItems.append(item);
  }
  StringsExport = Later(NewMenuItem(this, "StringsExport", QStringLiteral("E&xport")));
  StringsImport = Later(NewMenuItem(this, "StringsImport", QStringLiteral("I&mport")));
  ClearALLstrings1 =
      Later(NewMenuItem(this, "ClearALLstrings1", QStringLiteral("&Clear ALL strings")));
  TransmittFile1 = Later(NewMenuItem(this, "TransmittFile1", QStringLiteral("&Transmit File")));
  Transmitta250mSBreak1 = NewMenuItem(this, "Transmitta250mSBreak1",
                                      QStringLiteral("Transmitt a 250mS &Break On Channel 1"),
                                      QKeySequence(Qt::CTRL | Qt::Key_K));
  BtnTransmitt_1 = NewToolButton(window, "BtnTransmitt_1", QStringLiteral("1"),
                                 QStringLiteral("Transmit current string on channel 1"));
  BtnTransmitt_2 = NewToolButton(window, "BtnTransmitt_2", QStringLiteral("2"),
                                 QStringLiteral("Transmit current string on channel 2"));

  connect(Transmitta250mSBreak1, &QAction::triggered, this, &TStringCommands::BreakClick);
}

void TStringCommands::PlaceStringsMenu(QMenuBar* bar) {
  // Alt+S opens Settings: this menu answers to Alt+R.
  QMenu* strings = bar->addMenu(QStringLiteral("St&rings"));
  strings->addActions(
      {Rearrange1, Edit1, StringsTransmitt, StringsAutoTransmitt, StringsScriptTransmission});
  QMenu* syntax = strings->addMenu(QStringLiteral("&Global String Syntax"));
  syntax->menuAction()->setObjectName(QStringLiteral("StrSyntaxSel"));
  syntax->addActions(SyntaxItems);
  strings->addSeparator();
  strings->addActions({StringsExport, StringsImport, ClearALLstrings1});
}

void TStringCommands::PlaceUtilitiesMenu(QMenuBar* bar) {
  QMenu* utilities = bar->addMenu(QStringLiteral("&Utilities"));
  utilities->addActions({TransmittFile1, Transmitta250mSBreak1});
}

void TStringCommands::PlaceButtons(QToolBar* bar) {
  bar->addWidget(BtnTransmitt_1);
  bar->addWidget(BtnTransmitt_2);
}

void TStringCommands::UpdateTransmitButtons() {
  // Transmitting library strings arrives with the string library.
  constexpr bool kStringTransmission = false;
  BtnTransmitt_1->setEnabled(kStringTransmission && channels_.ChannelAvailable(0));
  BtnTransmitt_2->setEnabled(kStringTransmission && channels_.ChannelAvailable(1));
  StringsTransmitt->setEnabled(BtnTransmitt_1->isEnabled());
  StringsAutoTransmitt->setEnabled(BtnTransmitt_1->isEnabled());
  StringsScriptTransmission->setEnabled(BtnTransmitt_1->isEnabled() || BtnTransmitt_2->isEnabled());
}

void TStringCommands::ShowGlobalSyntax() {
  for (int i = 0; i < SyntaxItems.size(); ++i)
    SyntaxItems[i]->setChecked(i + 1 == conf_.Strngs.GlobalSyntax);
}

void TStringCommands::BreakClick() {
  if (!channels_.ChannelAvailable(0)) {
    messages_.Information(QStringLiteral("The Primary Channel is not available"));
    return;
  }
  channels_.PrimaryPort.HoldBreak(5);
}

}  // namespace klv
