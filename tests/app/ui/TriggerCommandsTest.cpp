// Triggers in the main window on pseudo-terminals: the answer on the line,
// the panels following the state, a stopped trigger kept across save and
// load, a trigger answering its own local echo, and which dialog the trigger
// command opens.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <cstring>

#include "app/ConfigTestSupport.h"
#include "app/ui/Klvmain.h"
#include "serial/PtyFixture.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"
#include "trigger/ui/Trig_HexTTYDlg.h"
#include "trigger/ui/Trig_Ruvo94Dlg.h"

namespace klv {
namespace {

using test::RunUntil;

class TriggerCommands : public testing::Test {
 protected:
  void SetUp() override {
    ports_.Link(1, pty_.Slave());
    form_ = std::make_unique<TKLVAppForm>(TAppFormSetup{{}, &messages_, nullptr, false});
    form_->show();
    ASSERT_TRUE(RunUntil([&] { return form_->Started(); }));
  }
  TConf& Conf() { return form_->Conf(); }
  // Channel 1's trigger: 1-shot on "PING", answering "PONG" and library entry 4.
  THexTTYTrigChannel& ArmPing() {
    THexTTYTrigChannel& t = Conf().Trigger_HexTTY.Channel[0];
    t.Mode = static_cast<std::uint8_t>(TTrigMode::OneShot);
    t.UseLocalStr = t.OnTrigTrLocalStr = t.OnTrigTrLibStr = true;
    t.LocalStr.assign("PING");
    t.OnTrigTrLocalText.assign("PONG");
    t.OnTrigTrLibStrNr = 3;
    Conf().Strngs.Strings[3].Str.assign("AB");
    return t;
  }
  // What arrives until `count` bytes have come or `timeoutMs` has passed.
  QByteArray Received(qsizetype count, int timeoutMs = 10000) {
    QByteArray got;
    RunUntil(
        [&] {
          for (std::uint8_t byte : test::ReadAvailable(pty_.Master()))
            got.append(static_cast<char>(byte));
          return got.size() >= count;
        },
        timeoutMs);
    return got;
  }
  void Send(const char* text) {
    ASSERT_EQ(::write(pty_.Master(), text, std::strlen(text)),
              static_cast<ssize_t>(std::strlen(text)));
  }
  // The console's text, row after row.
  QString Shown() {
    QString text;
    const auto& console = form_->KLV().Buffer();
    for (int y = 0; y < console.Rows(); ++y)
      text += QString::fromStdString(std::string(console.RowText(y)));
    return text;
  }
  QString Panel() { return form_->StatusBar(0).pnTrig->text(); }

  test::TempCurrentDir dir_;
  test::Pty pty_;
  test::TestPorts ports_;
  test::DefaultProviderGuard guard_{&ports_.Provider()};
  test::FakeMessageService messages_;
  std::unique_ptr<TKLVAppForm> form_;
};

TEST_F(TriggerCommands, AnswersOnTheLineStopsAndKeepsStoppedAcrossSaveAndLoad) {
  ArmPing();
  form_->UpdateTriggerPanels();
  EXPECT_EQ(Panel(), "Tr-Armed");
  Send("xxPINGyy");
  EXPECT_EQ(Received(6), "PONGAB");
  EXPECT_EQ(Conf().Trigger_HexTTY.Channel[0].State, static_cast<std::uint8_t>(TTrigState::Stopped));
  EXPECT_TRUE(RunUntil([&] { return Panel() == "Tr-Stopped"; }));

  form_->Config().SetConfigFileName(QStringLiteral("stopped.klv"));
  ASSERT_TRUE(form_->Config().SaveConfig());
  Conf().Trigger_HexTTY.Channel[0].State = static_cast<std::uint8_t>(TTrigState::Armed);
  ASSERT_TRUE(form_->Config().LoadConfig());
  form_->ApplyConfig();
  EXPECT_EQ(Panel(), "Tr-Stopped");
  Conf().Trigger_HexTTY.Channel[0].OnNoTrigDisplay = true;  // to see when the bytes are in
  Send("PINGZZ");
  EXPECT_TRUE(RunUntil([&] { return Shown().contains("PINGZZ"); }));
  EXPECT_EQ(Received(1, 300), "");  // a stopped trigger does not answer
}

// With local echo, a Retrig trigger whose answer is its own trigger string
// answers for ever; the window keeps running and the queue stays small. A
// full output buffer is reported once.
TEST_F(TriggerCommands, AnsweringItsOwnEchoLeavesTheWindowRunning) {
  THexTTYTrigChannel& t = ArmPing();
  t.Mode = static_cast<std::uint8_t>(TTrigMode::Retrig);
  t.OnTrigTrLibStr = false;
  t.OnTrigTrLocalText.assign("PING");
  Conf().MiscBool.LocalEchoP = true;
  Send("PING");
  bool ticked = false;
  QTimer::singleShot(100, [&] { ticked = true; });
  EXPECT_TRUE(RunUntil([&] { return ticked; }));
  EXPECT_LT(form_->Channels().ReceivedWaiting(), 1u << 16);
  t.Mode = static_cast<std::uint8_t>(TTrigMode::Disabled);
  EXPECT_TRUE(RunUntil([&] { return form_->Channels().ReceivedWaiting() == 0; }));
  EXPECT_GE(Received(400).size(), 400);  // it answered over and over
  EXPECT_LE(messages_.shown.size(), 1u);
}

// The command opens the display mode's dialog, on the channel's page when a
// panel asked, and the panels show what Apply stored; a protocol without
// triggers says so.
TEST_F(TriggerCommands, CommandOpensTheModesDialogOnThePanelsPage) {
  TTriggerCommands& commands = form_->TriggerCommands();
  QString opened, appliedPanel;
  int page = -1;
  const auto closeSoon = [&] {
    QTimer::singleShot(0, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      ASSERT_NE(modal, nullptr);
      opened = modal->windowTitle();
      page = modal->findChild<QTabWidget*>()->currentIndex();
      if (modal == &commands.HexTtyDlg()) {
        commands.HexTtyDlg().rgMode[1]->Button(2)->click();  // Retrig
        commands.HexTtyDlg().ApplyBtn->click();
        appliedPanel = form_->StatusBar(1).pnTrig->text();
      }
      static_cast<QDialog*>(modal)->reject();
    });
  };
  form_->Conf().Comparam.Channel[1].Enabled = true;
  form_->UpdateStatusBars();
  closeSoon();
  form_->StatusBar(1).pnTrig->click();
  EXPECT_EQ(opened, "Hex-Asc/TTY Trigger Setup");
  EXPECT_EQ(page, 1);
  EXPECT_EQ(appliedPanel, "Tr-Armed");
  Conf().DisplayMode = static_cast<std::uint8_t>(TDisplayMode::Protocol);
  Conf().Protocol.Selected = static_cast<std::uint8_t>(TProtocolId::Ruvo94);
  closeSoon();
  form_->SettingsCommands().Triggers1->trigger();
  EXPECT_EQ(opened, "Ruvo-94 Trigger Setup");
  Conf().Protocol.Selected = static_cast<std::uint8_t>(TProtocolId::Modbus);
  commands.TriggerClick(0);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text,
            "The currently selected protocoll does not have trigger support");
}

}  // namespace
}  // namespace klv
