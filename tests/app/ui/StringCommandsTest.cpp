// The Strings menu and the transmit buttons in the main window, on
// pseudo-terminals, with the questions answered and the file dialogs
// replaced by the test.
#include <gtest/gtest.h>

#include <QFile>
#include <QToolButton>
#include <cstring>

#include "app/ConfigTestSupport.h"
#include "app/ui/Klvmain.h"
#include "serial/PtyFixture.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"
#include "support/PortMap.h"

namespace klv {
namespace {

using test::RunUntil;
using Answers = std::deque<TMsgButton>;
constexpr TMsgButton Yes = TMsgButton::Yes, No = TMsgButton::No;

class StringCommands : public testing::Test {
 protected:
  void SetUp() override { SetDefaultDeviceProvider(&ports_); }
  void TearDown() override {
    form_.reset();
    SetDefaultDeviceProvider(nullptr);
  }
  // The window on as many ptys as given, COM1 first, with string 4 current.
  void Start(int ptys) {
    for (int com = 1; com <= ptys; ++com) {
      directory_.Link(com, pty_[com - 1].Slave());
      ports_.Add(com, &directory_.Provider());
    }
    form_ = std::make_unique<TKLVAppForm>(TAppFormSetup{{}, &messages_, nullptr, false});
    form_->show();
    ASSERT_TRUE(RunUntil([&] { return form_->Started(); }));
    TStrngs& library = Conf().Strngs;
    library.Strings[3].Str.assign("AB");
    library.Strings[3].Syntax = static_cast<std::uint8_t>(TStringSyntax::None);
    library.CurrentNr = 3;
    form_->UpdateParameterBar();
  }
  TConf& Conf() { return form_->Conf(); }
  TStringCommands& Commands() { return form_->StringCommands(); }
  // Reads channel `channel`'s far end until `count` bytes have come.
  QByteArray Received(int channel, qsizetype count) {
    QByteArray got;
    RunUntil([&] {
      for (std::uint8_t byte : test::ReadAvailable(pty_[channel].Master()))
        got.append(static_cast<char>(byte));
      return got.size() >= count;
    });
    return got;
  }
  QList<bool> SyntaxChecks() {
    QList<bool> checks;
    for (QAction* item : Commands().SyntaxItems)
      checks << item->isChecked();
    return checks;
  }

  test::TempCurrentDir dir_;
  test::TestPorts directory_;
  test::Pty pty_[2];
  test::PortMap ports_;
  test::FakeMessageService messages_;
  std::unique_ptr<TKLVAppForm> form_;
};

// Buttons 1 and 2, "Transmit" and "AutoTransmit" follow the channels' ports;
// each sends the current string on its own channel.
TEST_F(StringCommands, TransmitButtonsFollowTheChannelsAndSendOnTheirOwn) {
  for (int ptys : {0, 2}) {
    Start(ptys);
    TStringCommands& c = Commands();
    const bool open = ptys == 2;
    EXPECT_EQ(QList<bool>({c.BtnTransmitt_1->isEnabled(), c.BtnTransmitt_2->isEnabled(),
                           c.StringsTransmitt->isEnabled(), c.StringsAutoTransmitt->isEnabled()}),
              QList<bool>(4, open));
    EXPECT_FALSE(c.StringsScriptTransmission->isEnabled());
  }
  Commands().BtnTransmitt_2->click();
  EXPECT_EQ(Received(1, 2), "AB");
  Commands().StringsTransmitt->trigger();
  Commands().BtnTransmitt_1->click();
  EXPECT_EQ(Received(0, 4), "ABAB");
}

// The command switches the check mark and the record's flag; an ending of
// the timer only clears the check mark. Applying a record with the flag set
// (again) leaves it running.
TEST_F(StringCommands, AutoTransmitRepeatsUntilTheCurrentStringChanges) {
  Start(1);
  Conf().MiscInt.AutoXmitInterval = 10;
  QAction* item = Commands().StringsAutoTransmitt;
  item->trigger();
  EXPECT_TRUE(item->isChecked() && Conf().MiscBool.AutoTransmit);
  EXPECT_EQ(Received(0, 8), "ABABABAB");
  Conf().Strngs.CurrentNr = 4;
  ASSERT_TRUE(RunUntil([&] { return !item->isChecked(); }));
  EXPECT_TRUE(Conf().MiscBool.AutoTransmit);
  EXPECT_TRUE(messages_.Texts().back().startsWith("The current string selection has been"));

  for (int apply = 0; apply < 2; ++apply) {
    form_->ApplyConfig();
    EXPECT_TRUE(item->isChecked() && Commands().AutoTransmitter().Running()) << apply;
  }
  Commands().AutoTransmitClick();
  EXPECT_FALSE(item->isChecked() || Conf().MiscBool.AutoTransmit ||
               Commands().AutoTransmitter().Running());
}

// Clearing asks twice; No at either question changes nothing.
TEST_F(StringCommands, ClearAllStringsAsksTwice) {
  const struct {
    Answers answers;
    bool cleared;
  } cases[] = {{{No}, false}, {{Yes, No}, false}, {{Yes, Yes}, true}};
  Start(0);
  for (const auto& c : cases) {
    Conf().Strngs.GlobalSyntax = 3;
    Commands().ShowGlobalSyntax();
    const TStrngs before = Conf().Strngs;
    messages_.shown.clear();
    messages_.answers = c.answers;
    Commands().ClearALLstrings1->trigger();
    EXPECT_EQ(messages_.shown.size(), c.answers.size() + (c.cleared ? 1 : 0));
    EXPECT_EQ(Conf().Strngs.Strings[3].Str.size(), c.cleared ? 0u : 2u);
    EXPECT_EQ(form_->ParameterBar().PanelCurrentString->text(), c.cleared ? "Str=1" : "Str=4");
    EXPECT_EQ(SyntaxChecks(), QList<bool>({false, c.cleared, !c.cleared}));
    if (!c.cleared) {
      EXPECT_EQ(std::memcmp(&before, &Conf().Strngs, sizeof before), 0);
    }
  }
  EXPECT_EQ(messages_.Texts(),
            std::vector<QString>({"Clear ALL strings in the string library?",
                                  "Are you sure you want to clear ALL strings in string library?",
                                  "All library strings have been cleared"}));
}

// Export and import each ask before they act; a cancelled file choice asks
// nothing. What was exported comes back whole on import.
TEST_F(StringCommands, ExportAndImportAskFirstAndRoundTrip) {
  Start(0);
  const QString file = dir_.Path("lib.Str");
  QString chosen;
  Commands().ChooseExportFile = Commands().ChooseImportFile = [&] { return chosen; };
  Commands().ExportClick();
  EXPECT_TRUE(messages_.shown.empty());
  chosen = file;
  messages_.answers = {No, Yes};
  Commands().ExportClick();
  EXPECT_FALSE(QFile::exists(file));
  Commands().ExportClick();
  EXPECT_EQ(QFile(file).size(), qint64(sizeof(TStrngs)));

  const TStrngs exported = Conf().Strngs;
  Conf().Strngs.CurrentNr = 0;
  Conf().Strngs.GlobalSyntax = 1;
  form_->UpdateParameterBar();
  Commands().ShowGlobalSyntax();
  messages_.answers = {No, Yes};
  Commands().ImportClick();
  EXPECT_EQ(Conf().Strngs.GlobalSyntax, 1);
  Commands().ImportClick();
  EXPECT_EQ(std::memcmp(&exported, &Conf().Strngs, sizeof exported), 0);
  EXPECT_EQ(form_->ParameterBar().PanelCurrentString->text(), "Str=4");
  EXPECT_EQ(SyntaxChecks(), QList<bool>({false, true, false}));
  const QString imported = "Import " + file + " into string library ?";
  EXPECT_EQ(messages_.Texts(), std::vector<QString>({"Export string library to " + file + "?",
                                                     messages_.Texts()[0], imported, imported}));

  // The syntax items set the global syntax and carry the check mark.
  for (int i : {2, 0}) {
    Commands().SyntaxItems[i]->trigger();
    EXPECT_EQ(Conf().Strngs.GlobalSyntax, i + 1);
    EXPECT_EQ(SyntaxChecks(), QList<bool>({i == 0, false, i == 2}));
  }
}

}  // namespace
}  // namespace klv
