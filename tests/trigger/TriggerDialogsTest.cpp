// The two trigger setup dialogs on real widgets and real engines: what they
// show of the stored record, what OK, Apply and Cancel write, the live state
// while open, and the destination rules of the Ruvo-94 dialog.
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

class CountingBeeper : public IBeeper {
 public:
  void Beep() override { ++beeps; }
  int beeps = 0;
};

template <typename T>
std::vector<std::uint8_t> BytesOf(const T& record) {
  std::vector<std::uint8_t> bytes(sizeof(T));
  std::memcpy(bytes.data(), &record, sizeof(T));
  return bytes;
}

class TriggerDialogsTest : public testing::Test {
 protected:
  TriggerDialogsTest() {
    SetConfDefaults(conf, [](int) { return false; });
    conf.Strngs.Strings[5].Name.assign("Ping");
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
};

TEST_F(TriggerDialogsTest, HexOkStoresEveryKindOfControlAndEmptiesTheEngineBuffers) {
  THexTTYTrigChannel& ch1 = conf.Trigger_HexTTY.Channel[0];
  ch1.Mode = 2;
  ch1.UseLocalStr = true;
  ch1.LocalStr.assign("AB");
  EXPECT_FALSE(hexEngine.CheckTrigger(0, 'A'));  // a partial match is held
  ASSERT_GT(hexEngine.HeldBytes(0), 0u);
  const auto channel1 = BytesOf(ch1);

  hex.SelectChannelPage(1);
  hex.show();
  EXPECT_EQ(hex.Pages->currentIndex(), 1);
  EXPECT_EQ(hex.cbLibStrSel[1]->count(), 100);
  EXPECT_EQ(hex.cbLibStrSel[1]->itemText(0), "001 - ");
  EXPECT_EQ(hex.cbOnTrigTrLibStrSel[1]->itemText(5), "006 - Ping");
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
  hex.OKBtn->click();

  EXPECT_FALSE(hex.isVisible());
  EXPECT_EQ(hex.result(), QDialog::Accepted);
  EXPECT_EQ(hexEngine.HeldBytes(0), 0u);
  EXPECT_EQ(BytesOf(ch1), channel1);  // an untouched page goes back as it came
  const THexTTYTrigChannel& ch2 = conf.Trigger_HexTTY.Channel[1];
  EXPECT_EQ((std::vector<int>{ch2.Mode, ch2.State, ch2.UseLibStr, ch2.LibStrNr, ch2.PreTrigCount,
                              ch2.PostTrigCount, ch2.PostTrigMode, ch2.OnTrigTrLibStrNr,
                              ch2.ForceNL, ch2.OnNoTrigDisplay, ch2.UseLocalStr}),
            (std::vector<int>{1, 2, 1, 5, 7, 255, 2, 99, 0, 1, 0}));
  EXPECT_EQ(ch2.LocalStr.view(), std::string(50, 'x'));
  EXPECT_EQ(ch2.OnTrigTrLocalText.view(), "r\xe9ply");  // Windows-1252
}

TEST_F(TriggerDialogsTest, HexCancelWritesNothingAndApplyStaysOpen) {
  const auto before = BytesOf(conf.Trigger_HexTTY);
  hex.show();
  hex.rgMode[0]->SetItemIndex(2);
  hex.ebLocalStr[0]->setText(QStringLiteral("abc"));
  hex.CancelBtn->click();
  EXPECT_EQ(hex.result(), QDialog::Rejected);
  EXPECT_EQ(BytesOf(conf.Trigger_HexTTY), before);

  hex.show();  // the controls follow the record again
  EXPECT_EQ(hex.rgMode[0]->ItemIndex(), 0);
  EXPECT_EQ(hex.ebLocalStr[0]->text(), "");
  hex.ebLocalStr[0]->setText(QStringLiteral("abc"));
  hex.ApplyBtn->click();
  EXPECT_TRUE(hex.isVisible());
  EXPECT_EQ(conf.Trigger_HexTTY.Channel[0].LocalStr.view(), "abc");
}

TEST_F(TriggerDialogsTest, HexStateFollowsTheEngineAndAModeClickArms) {
  THexTTYTrigChannel& ch1 = conf.Trigger_HexTTY.Channel[0];
  ch1.Mode = 1;
  ch1.UseLocalStr = true;
  ch1.LocalStr.assign("A");
  hex.show();
  EXPECT_EQ(hex.rgState[0]->ItemIndex(), 0);
  EXPECT_TRUE(hexEngine.CheckTrigger(0, 'A'));
  EXPECT_EQ(hex.rgState[0]->ItemIndex(), 2);  // Stopped, while open

  hex.rgMode[0]->Button(2)->click();
  EXPECT_EQ(hex.rgState[0]->ItemIndex(), 0);
  EXPECT_EQ(ch1.State, 2);  // only OK or Apply re-arms
  // Cancel keeps the state the engine set: the fired 1-shot stays stopped.
  hex.CancelBtn->click();
  EXPECT_EQ(ch1.State, 2);
}

TEST_F(TriggerDialogsTest, HexCountPanelsWrapAndOddStoredValuesShowClamped) {
  THexTTYTrigChannel& ch2 = conf.Trigger_HexTTY.Channel[1];
  ch2.Mode = 9;
  ch2.State = 7;
  ch2.PostTrigMode = 200;
  ch2.LibStrNr = 500;
  ch2.PreTrigCount = 1000;
  ch2.LocalStr.assign(std::string(60, 'q'));
  hex.show();
  EXPECT_EQ((std::vector<int>{hex.rgMode[1]->ItemIndex(), hex.rgState[1]->ItemIndex(),
                              hex.rgPostTrig[1]->ItemIndex(), hex.cbLibStrSel[1]->currentIndex(),
                              hex.pnPreTrig[1]->value()}),
            (std::vector<int>{2, 2, 2, 99, 255}));
  EXPECT_EQ(hex.ebLocalStr[1]->text().size(), 50);
  for (QSpinBox* panel :
       {hex.pnPreTrig[0], hex.pnPostTrig[0], hex.pnPreTrig[1], hex.pnPostTrig[1]}) {
    panel->setValue(255);
    panel->stepUp();
    EXPECT_EQ(panel->value(), 0) << panel->objectName().toStdString();
    panel->stepDown();
    EXPECT_EQ(panel->value(), 255) << panel->objectName().toStdString();
  }
  hex.OKBtn->click();
  // An edit the user left alone keeps the stored text, also beyond 50.
  EXPECT_EQ(ch2.LocalStr.view(), std::string(60, 'q'));
  EXPECT_EQ(ch2.LibStrNr.get(), 99);
}

TEST_F(TriggerDialogsTest, TestBeepButtonsBeepAndControlsCarryTheirNames) {
  for (QDialog* dialog : std::vector<QDialog*>{&hex, &ruvo}) {
    for (const char* name : {"btnTestBeep1", dialog == &hex ? "btnTestBeep2" : "btsTestBeep2"}) {
      auto* button = dialog->findChild<QPushButton*>(QLatin1String(name));
      ASSERT_NE(button, nullptr) << name;
      EXPECT_EQ(button->toolTip(), "Listen to beep");
      const int before = beeper.beeps;
      button->click();
      EXPECT_EQ(beeper.beeps, before + 1) << name;
    }
  }
  EXPECT_EQ(hex.findChild<QCheckBox*>("cbOtherChTrigged2")->text(), "Ch 1 triggered or stopped");
  EXPECT_EQ(ruvo.findChild<QCheckBox*>("cbOtherChTrigged1")->text(), "Ch 2 Triggered");
  EXPECT_NE(hex.findChild<QSpinBox*>("pnPostTrig2"), nullptr);
  EXPECT_NE(ruvo.findChild<QComboBox*>("cbTypeOR2"), nullptr);
}

TEST_F(TriggerDialogsTest, RuvoListsShowAddressesAndTypesAndOkStoresTheControls) {
  ruvo.show();
  EXPECT_TRUE(messages.shown.empty());  // a data string loaded with "Sender" asks nothing
  EXPECT_EQ(ruvo.cbDestFrom[0]->count(), 252);
  EXPECT_EQ(ruvo.cbDestFrom[0]->currentText(), "31H / 049D");
  EXPECT_EQ(ruvo.cbTypeTo[1]->currentText(), "53H / \"S\"");
  EXPECT_EQ(ruvo.cbOnTrigTrDest[0]->count(), 254);
  EXPECT_EQ(ruvo.cbOnTrigTrDest[0]->currentText(), "Sender");
  EXPECT_EQ(ruvo.cbOnTrigTrDest[0]->itemText(0), "As in string");
  EXPECT_EQ(ruvo.cbOnTrigTrDest[0]->itemText(2), "04H / 004D");
  EXPECT_EQ(ruvo.cbOnTrigTrStrSel[0]->itemText(2), "003 - Run");

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
  const TRuvo94TrigChannel& ch1 = conf.Trigger_Ruvo94.Channel[0];
  EXPECT_EQ((std::vector<int>{ch1.Mode, ch1.UseDest, ch1.DestFrom, ch1.DestTo, ch1.SourceTo,
                              ch1.TypeOR, ch1.OnTrigDisplay, ch1.OnTrigTrDest}),
            (std::vector<int>{1, 1, 0x33, 49, 255, 'A', 0, 5}));
  EXPECT_EQ(ch1.MsgText.view(), "hi");
  EXPECT_EQ(ruvo.result(), QDialog::Accepted);
}

TEST_F(TriggerDialogsTest, RuvoDestinationFitsTheLibraryEntry) {
  using Kind = test::FakeMessageService::Kind;
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
  ASSERT_EQ(messages.shown.size(), 3u);
  EXPECT_EQ(messages.shown[0].text, script);
  EXPECT_EQ(messages.shown[1].text, script);
  EXPECT_EQ(messages.shown[2].kind, Kind::Confirmation);
  EXPECT_EQ(messages.shown[2].buttons, TMsgButton::Yes | TMsgButton::No);
  ruvo.CancelBtn->click();

  // Loading fixes a script's destination silently and keeps a data string's.
  messages.shown.clear();
  conf.Trigger_Ruvo94.Channel[0].OnTrigTrStrNr = 2;
  conf.Trigger_Ruvo94.Channel[1].OnTrigTrDest = 9;
  ruvo.show();
  EXPECT_EQ(ruvo.cbOnTrigTrDest[0]->currentIndex(), 0);
  EXPECT_EQ(ruvo.cbOnTrigTrDest[1]->currentIndex(), 9);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(TriggerDialogsTest, RuvoStateFollowsTheEngineAndOddValuesShowClamped) {
  TRuvo94TrigChannel& ch2 = conf.Trigger_Ruvo94.Channel[1];
  ch2.Mode = 1;
  ch2.UseSource = true;  // source 31H
  TRuvo94TrigChannel& ch1 = conf.Trigger_Ruvo94.Channel[0];
  ch1.State = 2;
  ch1.DestFrom = 2;
  ch1.TypeTo = 300;
  ch1.OnTrigTrDest = 1000;
  ch1.OnTrigTrStrNr = 500;
  ruvo.SelectChannelPage(1);
  ruvo.show();
  EXPECT_EQ(ruvo.Pages->currentIndex(), 1);
  EXPECT_EQ(
      (std::vector<int>{ruvo.rgState[0]->ItemIndex(), ruvo.cbDestFrom[0]->currentIndex(),
                        ruvo.cbTypeTo[0]->currentIndex(), ruvo.cbOnTrigTrDest[0]->currentIndex(),
                        ruvo.cbOnTrigTrStrSel[0]->currentIndex()}),
      (std::vector<int>{1, 0, 251, 253, 99}));

  EXPECT_TRUE(ruvoEngine.CheckRuvoTrigger(1, 0x40, 0x31, 0x53, "x"));
  EXPECT_EQ(ruvo.rgState[1]->ItemIndex(), 1);
  ruvo.rgMode[1]->Button(1)->click();
  EXPECT_EQ(ruvo.rgState[1]->ItemIndex(), 0);
  ruvo.CancelBtn->click();
  EXPECT_EQ(ch2.State, 1);  // the fired 1-shot is not re-armed by Cancel
}

}  // namespace
}  // namespace klv
