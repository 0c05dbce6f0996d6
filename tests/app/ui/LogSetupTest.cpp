// The Log menu's setup and view commands and the clear button in the main
// window: the questions around the file log. The dialog's own work is
// tested with the dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QToolButton>
#include <optional>

#include "app/ConfigTestSupport.h"
#include "app/ui/Klvmain.h"
#include "serial/PtyFixture.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"
#include "support/PortMap.h"
#include "support/QuietServices.h"

namespace klv {
namespace {

using Texts = std::vector<QString>;
constexpr TMsgButton Yes = TMsgButton::Yes, No = TMsgButton::No;

class LogMenu : public testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<TKLVAppForm>(TAppFormSetup{{}, &messages_, &printer_, false});
    form_->show();
    ASSERT_TRUE(test::RunUntil([&] { return form_->Started(); }));
    TLogViewer& viewer = Commands().LogDlg().Viewer;
    viewer.FindProgram = [](const QString& program) { return "/usr/bin/" + program; };
    viewer.StartProgram = [this](const QString& program, const QStringList& arguments) {
      started_.push_back(program + ' ' + arguments.join(' '));
      return true;
    };
  }
  TConf& Conf() { return form_->Conf(); }
  TLogCommands& Commands() { return form_->LogCommands(); }
  // The file log's state; the menu check and the button show it.
  bool Logging() {
    const bool on = Conf().Log.LogToFile;
    EXPECT_TRUE(Commands().MenuLogFile->isChecked() == on &&
                Commands().sbLogFile->isChecked() == on && form_->Log().FileLogOpen() == on);
    return on;
  }
  // The next setup dialog picks viewer 1 and closes with OK or Cancel;
  // `offInDialog_` tells whether the file log was off meanwhile.
  void CloseDialogWith(bool ok) {
    QTimer::singleShot(0, [this, ok] {
      auto* dialog = qobject_cast<TLogDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      offInDialog_ = !Conf().Log.LogToFile;
      dialog->cbViewerSelect->setCurrentIndex(1);
      ok ? dialog->OKBtnClick() : dialog->CancelBtnClick();
    });
  }

  test::TempCurrentDir dir_;
  test::PortMap ports_;
  test::DefaultProviderGuard guard_{&ports_};
  test::FakeMessageService messages_;
  test::NoPrinter printer_;
  std::unique_ptr<TKLVAppForm> form_;
  std::vector<QString> started_;
  std::optional<bool> offInDialog_;
};

// With the file log off, setup asks nothing. With it on: No leaves it on
// and shows no dialog; Yes switches it off for the dialog and afterwards
// asks whether to switch it on again.
TEST_F(LogMenu, SetupNeedsTheFileLogOff) {
  CloseDialogWith(true);
  Commands().MenuLogSetup->trigger();
  EXPECT_TRUE(offInDialog_.value_or(false) && messages_.shown.empty());
  EXPECT_EQ(Conf().Misc.LogViewer, 1);
  Conf().Misc.LogViewer = 0;
  Commands().FileLogSwitch();
  offInDialog_.reset();
  messages_.answers = {No};
  Commands().MenuLogSetup->trigger();
  EXPECT_TRUE(!offInDialog_ && Logging());
  for (const TMsgButton again : {Yes, No}) {
    messages_.shown.clear();
    messages_.answers = {Yes, again};
    CloseDialogWith(false);
    Commands().MenuLogSetup->trigger();
    EXPECT_TRUE(offInDialog_.value_or(false));
    EXPECT_EQ(messages_.Texts(),
              (Texts{"File logging must be turned off when setting up the log.\r\n"
                     "Do you want to turn it off now and enter setup?",
                     "Do you want to turn logging on again?"}));
    EXPECT_EQ(messages_.shown[0].buttons, Yes | No);
    EXPECT_EQ(Logging(), again == Yes);
  }
  EXPECT_EQ(Conf().Misc.LogViewer, 0) << "Cancel stored the viewer";
}

// Viewing with the file log on asks first: Cancel changes nothing, OK
// switches the log off and starts the chosen viewer on the complete file.
TEST_F(LogMenu, ViewSwitchesTheLogOffFirst) {
  Conf().Misc.LogViewer = 2;
  form_->ApplyConfig();  // the dialog's viewer list follows the record
  Commands().FileLogSwitch();
  messages_.answers = {TMsgButton::Cancel};
  Commands().sbViewLogFile->click();
  EXPECT_TRUE(Logging() && started_.empty());
  messages_.answers = {TMsgButton::Ok};
  Commands().ViewLogFile1->trigger();
  EXPECT_FALSE(Logging());
  EXPECT_EQ(messages_.Texts(), Texts(2, "File logging will be turned off"));
  EXPECT_EQ(messages_.shown[0].buttons, TMsgButton::Ok | TMsgButton::Cancel);
  const TViewerCandidate word = ViewerCandidates(2).front();
  EXPECT_EQ(started_, Texts{"/usr/bin/" + word.program + ' ' +
                            (word.options + QStringList{dir_.Path("KLV.Log")}).join(' ')});
  EXPECT_TRUE(test::ReadFile(dir_.Path("KLV.Log")).contains("closed"));
}

// The clear button empties the log that is on and starts it again; when it
// cannot start again (a .doc log with an unformatted data format), the
// switches show it off.
TEST_F(LogMenu, ClearButtonRestartsTheLog) {
  Commands().FileLogSwitch();
  messages_.answers = {Yes};
  Commands().sbClearLogFile->click();
  EXPECT_EQ(messages_.Texts(), Texts{"Do you want to clear the log file?"});
  EXPECT_TRUE(Logging());
  EXPECT_FALSE(test::ReadFile(dir_.Path("KLV.Log")).contains("closed"));
  Commands().FileLogSwitch();
  Conf().Log.LogFileName.assign("KLV.doc");
  form_->ApplyConfig();
  Commands().FileLogSwitch();
  ASSERT_TRUE(Logging());
  Conf().Misc.LogDataFormat = 1;
  messages_.answers = {Yes};
  Commands().sbClearLogFile->click();
  EXPECT_FALSE(Logging());
}

}  // namespace
}  // namespace klv
