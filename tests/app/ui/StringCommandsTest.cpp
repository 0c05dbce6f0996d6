// The Strings menu and the transmit buttons in the main window, on
// pseudo-terminals, with the questions answered and the file dialogs
// replaced by the test.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QToolButton>
#include <cstring>

#include "app/ConfigTestSupport.h"
#include "app/ui/Klvmain.h"
#include "serial/PtyFixture.h"
#include "strings/ui/ScriptDlg.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"

namespace klv {
namespace {

using test::RunUntil;
constexpr TMsgButton Yes = TMsgButton::Yes, No = TMsgButton::No;

class StringCommands : public testing::Test {
 protected:
  // The window on as many ptys as given, COM1 first, with string 4 ("AB") current.
  void Start(int ptys) {
    for (int com = 1; com <= ptys; ++com)
      ports_.Link(com, pty_[com - 1].Slave());
    form_ = std::make_unique<TKLVAppForm>(TAppFormSetup{{}, &messages_, nullptr, false});
    form_->show();
    ASSERT_TRUE(RunUntil([&] { return form_->Started(); }));
    Conf().Strngs.Strings[3].Str.assign("AB");
    Conf().Strngs.Strings[3].Syntax = static_cast<std::uint8_t>(TStringSyntax::None);
    Conf().Strngs.CurrentNr = 3;
    form_->UpdateParameterBar();
  }
  TConf& Conf() { return form_->Conf(); }
  TStringCommands& Commands() { return form_->StringCommands(); }
  QByteArray Received(int channel, qsizetype count) {
    QByteArray got;
    RunUntil([&] {
      for (std::uint8_t byte : test::ReadAvailable(pty_[channel].Master()))
        got.append(static_cast<char>(byte));
      return got.size() >= count;
    });
    return got;
  }
  // The current string panel and the global syntax items' check marks.
  QString Shown() {
    QString shown = form_->ParameterBar().PanelCurrentString->text();
    for (QAction* item : Commands().SyntaxItems)
      shown += item->isChecked() ? " X" : " -";
    return shown;
  }

  test::TempCurrentDir dir_;
  test::Pty pty_[2];
  test::TestPorts ports_;
  test::DefaultProviderGuard guard_{&ports_.Provider()};
  test::FakeMessageService messages_;
  std::unique_ptr<TKLVAppForm> form_;
};

// Buttons 1 and 2, "Transmit" and "AutoTransmit" are there while the
// channels' ports are open; each sends the current string on its own channel.
TEST_F(StringCommands, TransmitButtonsSendOnTheirOwnChannel) {
  Start(2);
  TStringCommands& c = Commands();
  EXPECT_TRUE(c.BtnTransmitt_1->isEnabled() && c.BtnTransmitt_2->isEnabled() &&
              c.StringsTransmitt->isEnabled() && c.StringsAutoTransmitt->isEnabled());
  c.BtnTransmitt_2->click();
  EXPECT_EQ(Received(1, 2), "AB");
  c.StringsTransmitt->trigger();
  c.BtnTransmitt_1->click();
  EXPECT_EQ(Received(0, 4), "ABAB");
}

// The command sets the check mark and the record's flag; an ending of the
// timer clears only the check mark and frees channel 1. Applying a record
// with the flag set (again) leaves auto-transmission running. It does not
// start while another activity holds channel 1, and closing the channel
// ends it without a word.
TEST_F(StringCommands, AutoTransmitRepeatsTheStringWhileChannelOneIsItsOwn) {
  Start(1);
  Conf().MiscInt.AutoXmitInterval = 10;
  TChannels& channels = form_->Channels();
  QAction* item = Commands().StringsAutoTransmitt;
  const auto running = [&] { return item->isChecked() && Commands().AutoTransmitter().Running(); };
  item->trigger();
  EXPECT_TRUE(running() && Conf().MiscBool.AutoTransmit);
  EXPECT_EQ(Received(0, 8), "ABABABAB");
  Conf().Strngs.CurrentNr = 4;
  ASSERT_TRUE(RunUntil([&] { return !item->isChecked(); }));
  EXPECT_TRUE(Conf().MiscBool.AutoTransmit && channels.Activity(0) == nullptr);
  EXPECT_TRUE(messages_.Texts().at(0).startsWith("The current string selection has been"));
  for (int apply = 0; apply < 2; ++apply) {
    form_->ApplyConfig();
    EXPECT_TRUE(running()) << apply;
  }
  Commands().AutoTransmitClick();
  EXPECT_FALSE(running() || Conf().MiscBool.AutoTransmit);

  struct : IChannelActivity {
    void StopActivity() override {}
  } script;
  channels.TakeActivity(0, script);
  Commands().AutoTransmitClick();
  EXPECT_FALSE(running() || Conf().MiscBool.AutoTransmit);
  EXPECT_TRUE(messages_.Texts().at(1).contains("busy with a script or a file transmission"));
  channels.ReleaseActivity(0, script);
  Commands().AutoTransmitClick();
  channels.ClosePort(0);
  EXPECT_FALSE(running() || item->isChecked());
  EXPECT_EQ(messages_.shown.size(), 2u);
}

// Clearing asks twice, export and import once each, and No changes
// nothing; a cancelled file choice asks nothing. What was exported comes
// back whole, and the window shows the library as it then is.
TEST_F(StringCommands, LibraryCommandsAskFirst) {
  Start(0);
  const QString file = dir_.Path("lib.Str");
  QString chosen;
  Commands().ChooseExportFile = Commands().ChooseImportFile = [&] { return chosen; };
  Commands().ExportClick();
  chosen = file;
  messages_.answers = {No, Yes, No, Yes, No, Yes, No, Yes, Yes};
  Commands().ExportClick();
  EXPECT_FALSE(QFile::exists(file));
  Commands().ExportClick();
  const TStrngs exported = Conf().Strngs;
  Commands().SyntaxItems[0]->trigger();  // the global syntax becomes 1
  Commands().ImportClick();
  EXPECT_EQ(Shown(), "Str=4 X - -");
  Commands().ImportClick();
  EXPECT_EQ(std::memcmp(&exported, &Conf().Strngs, sizeof exported), 0);
  EXPECT_EQ(Shown(), "Str=4 - X -");
  for (int clear = 0; clear < 3; ++clear) {
    EXPECT_EQ(Conf().Strngs.Strings[3].Str.size(), 2u) << "not cleared before the third";
    Commands().ClearALLstrings1->trigger();
  }
  EXPECT_EQ(Conf().Strngs.Strings[3].Str.size(), 0u);
  EXPECT_EQ(Shown(), "Str=1 - X -");
  const QString exporting = "Export string library to " + file + "?";
  const QString importing = "Import " + file + " into string library ?";
  const QString clear = "Clear ALL strings in the string library?";
  const QString sure = "Are you sure you want to clear ALL strings in string library?";
  EXPECT_EQ(messages_.Texts(),
            std::vector<QString>({exporting, exporting, importing, importing, clear, clear, sure,
                                  clear, sure, "All library strings have been cleared"}));
}

// A script string run by the transmit button sends its strings in order and
// the dialog closes when it ends; one that fails under auto-transmission
// turns it off and stays open; F9 shows the dialog without starting, and
// the dialog cannot be closed while its script runs.
TEST_F(StringCommands, ScriptsRunFromTheTransmitCommands) {
  Start(1);
  Conf().Strngs.Strings[0].Str.assign("A");
  Conf().Strngs.Strings[1].Str.assign("B");
  Conf().Strngs.Strings[3].Str.assign("X1WX2X1S");
  Conf().Strngs.Strings[3].Syntax = static_cast<std::uint8_t>(TStringSyntax::Script);
  TScriptStringTransmissionDlg& dialog = Commands().ScriptDlg();
  TScriptEngine& engine = dialog.Engine();
  Commands().BtnTransmitt_1->click();
  EXPECT_EQ(Received(0, 3), "ABA");
  ASSERT_TRUE(RunUntil([&] { return !dialog.isVisible(); }));
  EXPECT_TRUE(dialog.MemoLog->toPlainText().endsWith("End of script"));
  Conf().Strngs.Strings[3].Str.assign("X0");
  Commands().AutoTransmitClick();
  ASSERT_TRUE(RunUntil([&] { return !Commands().StringsAutoTransmitt->isChecked(); }));
  EXPECT_TRUE(dialog.isVisible() && !engine.Running() && engine.Failed());
  EXPECT_EQ(messages_.Texts().back(), "Automatic string transmission has been turned off");
  dialog.hide();
  Commands().StringsScriptTransmission->trigger();
  EXPECT_TRUE(dialog.isVisible() && !engine.Running());
  EXPECT_EQ(dialog.pnlSelectedScriptString->text(), "004:");
  // Close is refused while a script waits for CTS; Stop ends the wait.
  Conf().Strngs.Strings[3].Str.assign("C");
  Commands().StringsScriptTransmission->trigger();
  dialog.BtnTransmitt_1->click();
  ASSERT_TRUE(RunUntil([&] { return engine.Running(); }));
  dialog.close();
  EXPECT_EQ(messages_.Texts().back(),
            "You must stop the script execution before closing the form.");
  dialog.BitBtnStop->click();
  EXPECT_TRUE(dialog.isVisible() && !engine.Running() && dialog.BitBtnClose->isEnabled());
  EXPECT_TRUE(dialog.MemoLog->toPlainText().endsWith("Script transmission aborted by user"));
}

}  // namespace
}  // namespace klv
