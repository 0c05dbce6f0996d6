// The Log menu's setup and view commands and the clear button in the main
// window: the questions around the file log, with the answers and the
// viewer program supplied by the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QToolButton>

#include "app/ConfigTestSupport.h"
#include "app/ui/Klvmain.h"
#include "serial/PtyFixture.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"
#include "support/PortMap.h"
#include "support/QuietServices.h"

inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace klv {
namespace {

using test::RunUntil;
using Texts = std::vector<QString>;
constexpr TMsgButton Yes = TMsgButton::Yes, No = TMsgButton::No, Ok = TMsgButton::Ok,
                     Cancel = TMsgButton::Cancel;
const QString kTurnOff =
    "File logging must be turned off when setting up the log.\r\n"
    "Do you want to turn it off now and enter setup?";
const QString kTurnOn = "Do you want to turn logging on again?";

class LogMenu : public testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<TKLVAppForm>(TAppFormSetup{{}, &messages_, &printer_, false});
    form_->show();
    ASSERT_TRUE(RunUntil([&] { return form_->Started(); }));
    TLogViewer& viewer = Commands().LogDlg().Viewer;
    viewer.FindProgram = [](const QString& program) { return "/usr/bin/" + program; };
    viewer.StartProgram = [this](const QString& program, const QStringList& arguments) {
      started_.push_back(program + ' ' + arguments.join(' '));
      return true;
    };
  }
  TConf& Conf() { return form_->Conf(); }
  TLogCommands& Commands() { return form_->LogCommands(); }
  bool Logging() {
    const bool on = Conf().Log.LogToFile;
    EXPECT_EQ(Commands().MenuLogFile->isChecked(), on);
    EXPECT_EQ(Commands().sbLogFile->isChecked(), on);
    EXPECT_EQ(form_->Log().FileLogOpen(), on);
    return on;
  }
  // The next modal dialog is closed with OK or Cancel; `seen` tells whether
  // it came up and whether logging was off meanwhile.
  void CloseDialogWith(bool ok) {
    QTimer::singleShot(0, [this, ok] {
      auto* dialog = qobject_cast<TLogDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialogSeen_ = true;
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
  bool dialogSeen_ = false;
  bool offInDialog_ = false;
};

TEST_F(LogMenu, CommandsAreThere) {
  TLogCommands& c = Commands();
  EXPECT_TRUE(c.ViewLogFile1->isEnabled() && c.MenuLogSetup->isEnabled() &&
              c.sbViewLogFile->isEnabled() && c.sbClearLogFile->isEnabled());
  EXPECT_EQ(c.LogDlg().windowTitle(), "Log Setup");
  EXPECT_EQ(c.LogDlg().parent(), form_.get());
}

// Setup with the file log off opens the dialog without a question.
TEST_F(LogMenu, SetupWithLoggingOffAsksNothing) {
  CloseDialogWith(true);
  Commands().MenuLogSetup->trigger();
  EXPECT_TRUE(dialogSeen_ && offInDialog_);
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_EQ(Conf().Misc.LogViewer, 1);
  EXPECT_FALSE(Logging());
}

// With the file log on: No leaves it on and shows no dialog; Yes switches it
// off for the dialog and asks afterwards whether to switch it on again.
TEST_F(LogMenu, SetupWithLoggingOnSwitchesItOffAndOnAgain) {
  Commands().FileLogSwitch();
  ASSERT_TRUE(Logging());
  messages_.answers = {No};
  Commands().MenuLogSetup->trigger();
  EXPECT_FALSE(dialogSeen_);
  EXPECT_TRUE(Logging());

  for (const TMsgButton again : {Yes, No}) {
    messages_.shown.clear();
    messages_.answers = {Yes, again};
    dialogSeen_ = false;
    CloseDialogWith(false);
    Commands().MenuLogSetup->trigger();
    EXPECT_TRUE(dialogSeen_ && offInDialog_);
    EXPECT_EQ(messages_.Texts(), (Texts{kTurnOff, kTurnOn}));
    EXPECT_EQ(messages_.shown[0].buttons, Yes | No);
    EXPECT_EQ(Logging(), again == Yes);
  }
  EXPECT_EQ(Conf().Misc.LogViewer, 0) << "Cancel stored the viewer";
  EXPECT_EQ(test::ReadFile(dir_.Path("KLV.Log")).count("closed"), 2);
}

// Viewing with the file log on asks first: Cancel changes nothing, OK
// switches the log off and starts the viewer on the complete file.
TEST_F(LogMenu, ViewSwitchesTheLogOffFirst) {
  Conf().Misc.LogViewer = 2;
  form_->ApplyConfig();  // the dialog's viewer list follows the record
  Commands().FileLogSwitch();
  messages_.answers = {Cancel};
  Commands().sbViewLogFile->click();
  EXPECT_TRUE(Logging());
  EXPECT_TRUE(started_.empty());
  messages_.answers = {Ok};
  Commands().ViewLogFile1->trigger();
  EXPECT_FALSE(Logging());
  EXPECT_EQ(messages_.Texts(), Texts(2, "File logging will be turned off"));
  EXPECT_EQ(messages_.shown[0].buttons, Ok | Cancel);
  const TViewerCandidate word = ViewerCandidates(2).front();
  EXPECT_EQ(started_,
            std::vector<QString>{"/usr/bin/" + word.program + ' ' +
                                 (word.options + QStringList{dir_.Path("KLV.Log")}).join(' ')});
  EXPECT_TRUE(test::ReadFile(dir_.Path("KLV.Log")).contains("closed"));
}

// The clear button empties the log that is on and starts it again; when it
// cannot start again, the switches show it off.
TEST_F(LogMenu, ClearButtonRestartsTheLog) {
  Commands().FileLogSwitch();
  messages_.answers = {Yes};
  Commands().sbClearLogFile->click();
  EXPECT_EQ(messages_.Texts(), Texts{"Do you want to clear the log file?"});
  EXPECT_TRUE(Logging());
  const QByteArray text = test::ReadFile(dir_.Path("KLV.Log"));
  EXPECT_TRUE(text.startsWith("\r\nKLV V3.02  log file ")) << text.toStdString();
  EXPECT_FALSE(text.contains("closed"));

  // A .doc log cannot be opened with an unformatted data format.
  Commands().FileLogSwitch();
  Conf().Log.LogFileName.assign("KLV.doc");
  form_->ApplyConfig();
  Commands().FileLogSwitch();
  ASSERT_TRUE(Logging());
  Conf().Misc.LogDataFormat = 1;
  messages_.shown.clear();
  messages_.answers = {Yes};
  Commands().ClearLogClick();
  EXPECT_FALSE(Logging());
  EXPECT_EQ(messages_.Texts().at(1), "A *.Doc file is not suitable for the current log format.");
}

}  // namespace
}  // namespace klv
