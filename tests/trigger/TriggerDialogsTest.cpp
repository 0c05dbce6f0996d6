// The two trigger setup dialogs on real widgets and engines.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <cstring>
#include <string>
#include <vector>

#include "conf/ConfDefaults.h"
#include "support/FakeMessageService.h"
#include "trigger/ui/Trig_HexTTYDlg.h"
#include "trigger/ui/Trig_Ruvo94Dlg.h"

namespace klv {
namespace {

using Ints = std::vector<int>;

struct CountingBeeper : IBeeper {
  void Beep() override { ++beeps; }
  int beeps = 0;
};

bool Same(const auto& a, const auto& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

class TriggerDialogsTest : public testing::Test {
 protected:
  TriggerDialogsTest() {
    SetConfDefaults(conf, [](int) { return false; });
    conf.Strngs.Strings[2].Name.assign("Run");
    conf.Strngs.Strings[2].Syntax = static_cast<std::uint8_t>(TStringSyntax::Script);
  }

  TConf conf;
  CountingBeeper beeper;
  test::FakeMessageService messages;
  TTrigHexTTY hexEngine{conf, beeper};
  TTrigRuvo94 ruvoEngine{conf, beeper};
  TTrig_HexTTYDlg hex{conf.Trigger_HexTTY, conf.Strngs, hexEngine, beeper};
  TTrig_Ruvo94Dlg ruvo{conf.Trigger_Ruvo94, conf.Strngs, ruvoEngine, beeper, messages};
  THexTTYTrigChannel& hex1 = conf.Trigger_HexTTY.Channel[0];
  THexTTYTrigChannel& hex2 = conf.Trigger_HexTTY.Channel[1];
  TRuvo94TrigChannel& ruvo1 = conf.Trigger_Ruvo94.Channel[0];
  TRuvo94TrigChannel& ruvo2 = conf.Trigger_Ruvo94.Channel[1];
};

// Apply and OK store every control of both pages and empty the engine's
// buffers; Apply keeps the dialog open.
TEST_F(TriggerDialogsTest, HexApplyAndOkStoreEveryControl) {
  hex1.Mode = 2;
  hex1.UseLocalStr = true;
  hex1.LocalStr.assign("A" + std::string(59, 'q'));  // beyond the edit's 50
  const TTrigger_HexTTY before = conf.Trigger_HexTTY;
  hex.SelectChannelPage(1);
  hex.show();
  EXPECT_EQ(hex.Pages->currentIndex(), 1);
  EXPECT_FALSE(hexEngine.CheckTrigger(0, 'A'));  // a partial match is held
  ASSERT_GT(hexEngine.HeldBytes(0), 0u);
  hex.rgMode[1]->SetItemIndex(1);
  hex.rgState[1]->SetItemIndex(2);
  hex.cbUseLibStr[1]->setChecked(true);
  hex.cbLibStrSel[1]->setCurrentIndex(5);
  hex.ebLocalStr[1]->setText(QString(60, QLatin1Char('x')));  // the edit takes 50
  hex.pnPreTrig[1]->setValue(7);
  hex.pnPostTrig[1]->setValue(255);
  hex.rgPostTrig[1]->SetItemIndex(2);
  hex.ebOnTrigTrLocalStrSel[1]->setText(QStringLiteral("r\u00e9ply"));
  hex.cbOnTrigTrLibStrSel[1]->setCurrentIndex(99);
  hex.cbForceNL[1]->setChecked(false);
  hex.cbOnNoTrigDisplay[1]->setChecked(true);
  hex.ApplyBtn->click();
  EXPECT_TRUE(hex.isVisible());
  EXPECT_EQ(hexEngine.HeldBytes(0), 0u);
  // An untouched page goes back as it came, its text also beyond 50.
  EXPECT_TRUE(Same(hex1, before.Channel[0]));
  EXPECT_EQ((Ints{hex2.Mode, hex2.State, hex2.UseLibStr, hex2.LibStrNr, hex2.PreTrigCount,
                  hex2.PostTrigCount, hex2.PostTrigMode, hex2.OnTrigTrLibStrNr, hex2.ForceNL,
                  hex2.OnNoTrigDisplay, hex2.UseLocalStr}),
            (Ints{1, 2, 1, 5, 7, 255, 2, 99, 0, 1, 0}));
  EXPECT_EQ(hex2.LocalStr.view(), std::string(50, 'x'));
  EXPECT_EQ(hex2.OnTrigTrLocalText.view(), "r\xe9ply");  // Windows-1252
  hex.cbForceNL[1]->setChecked(true);
  hex.OKBtn->click();
  EXPECT_TRUE(!hex.isVisible() && hex.result() == QDialog::Accepted && hex2.ForceNL == 1);
}

// While open, the State group follows a trigger that fires; a mode click
// shows the channel armed, but only OK or Apply re-arms: Cancel writes
// nothing and keeps the state the engine set.
TEST_F(TriggerDialogsTest, StateFollowsTheEngineAndAModeClickArms) {
  hex1.Mode = 1;
  hex1.UseLocalStr = true;
  hex1.LocalStr.assign("A");
  hex.show();
  EXPECT_EQ(hex.rgState[0]->ItemIndex(), 0);
  EXPECT_TRUE(hexEngine.CheckTrigger(0, 'A'));
  EXPECT_EQ(hex.rgState[0]->ItemIndex(), 2);
  hex.rgMode[0]->Button(2)->click();
  EXPECT_EQ(hex.rgState[0]->ItemIndex(), 0);
  hex.CancelBtn->click();
  EXPECT_EQ((Ints{hex1.State, hex1.Mode, hex.result()}), (Ints{2, 1, QDialog::Rejected}));

  ruvo2.Mode = 1;
  ruvo2.UseSource = true;  // source 31H
  ruvo.show();
  EXPECT_TRUE(ruvoEngine.CheckRuvoTrigger(1, 0x40, 0x31, 0x53, "x"));
  EXPECT_EQ(ruvo.rgState[1]->ItemIndex(), 1);
  ruvo.rgMode[1]->Button(1)->click();
  EXPECT_EQ(ruvo.rgState[1]->ItemIndex(), 0);
  ruvo.CancelBtn->click();
  EXPECT_EQ(ruvo2.State, 1);
}

// The lists; stored values beyond the controls show clamped; count panels
// wrap.
TEST_F(TriggerDialogsTest, ListsOddValuesAndCountPanels) {
  hex2.Mode = 9;
  hex2.State = 7;
  hex2.PostTrigMode = 200;
  hex2.LibStrNr = 500;
  hex2.PreTrigCount = 1000;
  hex2.LocalStr.assign(std::string(60, 'q'));  // the edit shows 50
  ruvo1.State = 2;
  ruvo1.DestFrom = 2;
  ruvo1.TypeTo = 300;
  ruvo1.OnTrigTrDest = 1000;
  ruvo1.OnTrigTrStrNr = 500;
  hex.show();
  ruvo.show();
  EXPECT_EQ((Ints{hex.cbLibStrSel[1]->count(), ruvo.cbDestFrom[1]->count(),
                  ruvo.cbOnTrigTrDest[1]->count()}),
            (Ints{100, 252, 254}));
  EXPECT_EQ(
      (QStringList{hex.cbLibStrSel[1]->itemText(0), hex.cbOnTrigTrLibStrSel[1]->itemText(2),
                   ruvo.cbDestFrom[1]->currentText(), ruvo.cbTypeTo[1]->currentText(),
                   ruvo.cbOnTrigTrDest[1]->currentText(), ruvo.cbOnTrigTrDest[1]->itemText(0),
                   ruvo.cbOnTrigTrDest[1]->itemText(2), ruvo.cbOnTrigTrStrSel[1]->itemText(2)}),
      (QStringList{"001 - ", "003 - Run", "31H / 049D", "53H / \"S\"", "Sender", "As in string",
                   "04H / 004D", "003 - Run"}));
  EXPECT_EQ((Ints{hex.rgMode[1]->ItemIndex(), hex.rgState[1]->ItemIndex(),
                  hex.rgPostTrig[1]->ItemIndex(), hex.cbLibStrSel[1]->currentIndex(),
                  hex.pnPreTrig[1]->value(), int(hex.ebLocalStr[1]->text().size())}),
            (Ints{2, 2, 2, 99, 255, 50}));
  EXPECT_EQ((Ints{ruvo.rgState[0]->ItemIndex(), ruvo.cbDestFrom[0]->currentIndex(),
                  ruvo.cbTypeTo[0]->currentIndex(), ruvo.cbOnTrigTrDest[0]->currentIndex(),
                  ruvo.cbOnTrigTrStrSel[0]->currentIndex()}),
            (Ints{1, 0, 251, 253, 99}));
  for (QSpinBox* panel :
       {hex.pnPreTrig[0], hex.pnPostTrig[0], hex.pnPreTrig[1], hex.pnPostTrig[1]}) {
    panel->setValue(255);
    panel->stepUp();
    const int wrapped = panel->value();
    panel->stepDown();
    EXPECT_EQ((Ints{wrapped, panel->value()}), (Ints{0, 255})) << panel->objectName().toStdString();
  }
}

TEST_F(TriggerDialogsTest, EachTestBeepButtonBeeps) {
  for (QPushButton* button :
       {hex.btnTestBeep[0], hex.btnTestBeep[1], ruvo.btnTestBeep[0], ruvo.btnTestBeep[1]}) {
    const int before = beeper.beeps;
    button->click();
    EXPECT_EQ(beeper.beeps, before + 1) << button->objectName().toStdString();
  }
}

TEST_F(TriggerDialogsTest, RuvoOkStoresTheControls) {
  ruvo.show();
  ruvo.rgMode[0]->SetItemIndex(1);
  ruvo.cbDest[0]->setChecked(true);
  ruvo.cbDestFrom[0]->setCurrentIndex(0x33 - 4);
  ruvo.cbSourceTo[0]->setCurrentIndex(251);
  ruvo.cbTypeOR[0]->setCurrentIndex('A' - 4);
  ruvo.ebMsg[0]->setText(QStringLiteral("hi"));
  ruvo.cbOnTrigDisplay[0]->setChecked(false);
  messages.answers.push_back(TMsgButton::No);
  ruvo.cbOnTrigTrDest[0]->setCurrentIndex(5);  // address 7, kept on No
  ruvo.OKBtn->click();
  EXPECT_EQ(messages.Texts(), std::vector<QString>{"Change destination to \"Sender\"?"});
  EXPECT_EQ((Ints{ruvo1.Mode, ruvo1.UseDest, ruvo1.DestFrom, ruvo1.DestTo, ruvo1.SourceTo,
                  ruvo1.TypeOR, ruvo1.OnTrigDisplay, ruvo1.OnTrigTrDest}),
            (Ints{1, 1, 0x33, 49, 255, 'A', 0, 5}));
  EXPECT_TRUE(ruvo1.MsgText.view() == "hi" && ruvo.result() == QDialog::Accepted);
}

// A script goes "As in string" (told when the user chose otherwise); a data
// string is offered the sender. Loading fixes a script silently.
TEST_F(TriggerDialogsTest, RuvoDestinationFitsTheLibraryEntry) {
  const QString script =
      "This is a script string. The destination has been changed to \"As In String\"";
  ruvo.show();
  ruvo.cbOnTrigTrStrSel[1]->setCurrentIndex(2);  // a script
  EXPECT_EQ(ruvo.cbOnTrigTrDest[1]->currentIndex(), 0);
  ruvo.cbOnTrigTrDest[1]->setCurrentIndex(1);
  EXPECT_EQ(ruvo.cbOnTrigTrDest[1]->currentIndex(), 0);
  messages.answers.push_back(TMsgButton::Yes);
  ruvo.cbOnTrigTrStrSel[1]->setCurrentIndex(0);  // data: offered the sender
  EXPECT_EQ(ruvo.cbOnTrigTrDest[1]->currentIndex(), 1);
  EXPECT_EQ(messages.Texts(),
            (std::vector<QString>{script, script, "Change destination to \"Sender\"?"}));
  EXPECT_EQ(messages.shown[2].buttons, TMsgButton::Yes | TMsgButton::No);
  ruvo.CancelBtn->click();
  messages.shown.clear();
  ruvo1.OnTrigTrStrNr = 2;
  ruvo2.OnTrigTrDest = 9;
  ruvo.show();
  EXPECT_EQ(ruvo.cbOnTrigTrDest[0]->currentIndex(), 0);
  EXPECT_EQ(ruvo.cbOnTrigTrDest[1]->currentIndex(), 9);
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace klv
