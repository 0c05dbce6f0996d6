// The main window on the offscreen platform, on pseudo-terminals and on the
// simulated null-modem cable, with every message answered through the service.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QToolButton>

#include "app/ConfigTestSupport.h"
#include "app/ui/Klvmain.h"
#include "log/ui/PrinterDevice.h"
#include "serial/PtyFixture.h"
#include "serial/SimulatedNullModem.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"
#include "support/PortMap.h"

namespace klv {
namespace {

using test::RunUntil;
using test::Send;
using End = SimulatedNullModem::End;

// A Hex/ASCII line as it is logged: the bytes in hex, their characters from column 51, to 69.
QByteArray HexLine(const QByteArray& hex, const QByteArray& text) {
  return (hex.leftJustified(51, ' ') + text).leftJustified(69, ' ');
}

class MainWindow : public testing::Test {
 protected:
  void SetUp() override { SetDefaultDeviceProvider(&ports_); }
  void TearDown() override {
    form_.reset();
    SetDefaultDeviceProvider(nullptr);
    SetCountPortsInUse(true);
  }

  void Start(const QStringList& parameters = {}, IPrinterDevice* printer = nullptr) {
    form_ = std::make_unique<TKLVAppForm>(TAppFormSetup{parameters, &messages_, printer, false});
    form_->show();
    ASSERT_TRUE(RunUntil([&] { return form_->Started(); }));
  }
  // A simulated cable whose end A is COM n; the test plays end B.
  std::unique_ptr<ISerialDevice> Cable(SimulatedNullModem& cable, int comNumber) {
    ports_.Add(comNumber, &cable);
    return cable.OpenEnd(End::B);
  }
  QByteArray ReadFile(const QString& name) const { return test::ReadFile(dir_.Path(name)); }
  QString Row(int y) {
    return QString::fromStdString(std::string(form_->KLV().Buffer().RowText(y)));
  }
  template <typename T = QAction>
  T* Named(const char* name) {
    T* found = form_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  test::TempCurrentDir dir_;  // no Config.klv unless a test writes one
  test::PortMap ports_;
  test::FakeMessageService messages_;
  std::unique_ptr<TKLVAppForm> form_;
};

TEST_F(MainWindow, StartsOnTheFirstTwoPresentPortsAndShowsThem) {
  SimulatedNullModem one(3), two(5);
  ports_.Add(3, &one);
  ports_.Add(5, &two);
  Start();
  EXPECT_TRUE(messages_.shown.empty());
  TChannelStatusBar& bar = form_->StatusBar(0);
  const TParameterBar& parameters = form_->ParameterBar();
  EXPECT_EQ(QStringList({bar.PanelComPort->text(), form_->StatusBar(1).PanelComPort->text(),
                         bar.PanelBaudRate->text(), bar.PanelParity->text(),
                         bar.PanelNewLine->text(), parameters.PanelDisplayMode->text(),
                         parameters.PanelCurrentString->text(), form_->windowTitle()}),
            QStringList({"COM3", "COM5", "9600", "N", "NL>0AH", "Hex/ASCII", "Str=1",
                         "Kelvora 32 - " + dir_.Path("Config.klv")}));
  EXPECT_TRUE(bar.PanelDTR->styleSheet().contains("#ff0000")) << "DTR is on, so red";
  EXPECT_TRUE(one.DTR(End::A));

  // The status bar's buttons reach the channels: a click steps the baud rate.
  bar.PanelBaudRate->click();
  EXPECT_EQ(bar.PanelBaudRate->text(), "14400");
  EXPECT_EQ(one.AppliedSettings(End::A).Baud, 14400);

  // An armed trigger panel blinks red and black; an unused one stays black.
  form_->Conf().Trigger_HexTTY.Channel[0].Mode = 1;
  QStringList armed, unused;
  for (int tick = 0; tick < 2; ++tick) {
    form_->OneSecondTick();
    armed << bar.pnTrig->styleSheet();
    unused << form_->StatusBar(1).pnTrig->styleSheet();
  }
  EXPECT_EQ(bar.pnTrig->text(), "Tr-Armed");
  EXPECT_NE(armed[0].contains("#ff0000"), armed[1].contains("#ff0000"));
  EXPECT_EQ(form_->StatusBar(1).pnTrig->text(), "Tr-Unused");
  EXPECT_TRUE(unused[0] == unused[1] && unused[0].contains("#000000")) << "black on channel 2";

  // A lost device shows on its bar until the port opens again.
  one.Vanish(End::A);
  ASSERT_TRUE(RunUntil([&] { return !messages_.shown.empty(); }));
  EXPECT_EQ(bar.PanelComPort->text(), "COM3 lost");
  one.Reconnect(End::A);
  form_->Channels().OpenChannels();
  EXPECT_EQ(bar.PanelComPort->text(), "COM3");

  // A disabled channel hides its bar.
  form_->Conf().Comparam.Channel[1].Enabled = false;
  form_->Channels().OpenChannels();
  EXPECT_FALSE(form_->StatusBar(1).isVisible() || two.IsOpen(End::A));
}

// Every menu item is found by its name, with its caption, shortcut and state; the features still to
// come are shown but disabled. Each shortcut, pressed in the window, triggers its item (the
// disabled ones once enabled), and no shortcut or access key is bound twice at one level.
TEST_F(MainWindow, EveryMenuItemIsThereByNameWithItsShortcut) {
  Start();
  QApplication::setActiveWindow(form_.get());
  ASSERT_TRUE(RunUntil([&] { return form_->isActiveWindow(); }));
  const std::tuple<const char*, const char*, QKeySequence, bool> items[] = {
      {"OpenItem", "&Open...", QKeySequence(Qt::ALT | Qt::Key_F1), true},
      {"SaveAsItem", "S&ave As", QKeySequence(Qt::ALT | Qt::Key_F2), true},
      {"PrintItem", "&Print", {}, false},
      {"ExitItem", "E&xit", QKeySequence(Qt::ALT | Qt::Key_X), true},
      {"SettingsLineParameters", "&Line Parameters", Qt::Key_F10, true},
      {"Triggers1", "&Trigger", {}, true},
      {"MenuDisplayPause", "P&ause", Qt::Key_F12, true},
      {"Rearrange1", "&Library", Qt::Key_F2, true},
      {"Edit1", "&Edit", QKeySequence(Qt::ALT | Qt::Key_F3), true},
      {"StringsTransmitt", "&Transmit", Qt::Key_F5, false},
      {"StringsAutoTransmitt", "&AutoTransmit", Qt::Key_F7, false},
      {"StringsScriptTransmission", "&Script Transmission", Qt::Key_F9, false},
      {"MenuLogFile", "Log to &File", QKeySequence(Qt::ALT | Qt::Key_L), true},
      {"MenuLogPrinter", "Log to &Printer", QKeySequence(Qt::ALT | Qt::Key_P), true},
      {"TransmittFile1", "&Transmit File", {}, false},
      {"Transmitta250mSBreak1", "Transmitt a 250mS &Break On Channel 1",
       QKeySequence(Qt::CTRL | Qt::Key_K), true},
      {"OnlineHelp1", "Online Help", Qt::Key_F1, true},
      {"ConsoleCopy", "&Copy", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), true},
  };
  for (const auto& [name, caption, shortcut, enabled] : items) {
    QAction* action = Named(name);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), caption) << name;
    EXPECT_EQ(action->shortcut(), shortcut) << name;
    EXPECT_EQ(action->isEnabled(), enabled) << name;
    if (shortcut.isEmpty())
      continue;
    action->setEnabled(true);
    QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
    QObject counter;
    int triggered = 0;
    QObject::connect(action, &QAction::triggered, &counter, [&] { ++triggered; });
    QKeyEvent press(QEvent::KeyPress, shortcut[0].key(), shortcut[0].keyboardModifiers());
    QApplication::sendEvent(&form_->KLV(), &press);
    EXPECT_EQ(triggered, 1) << name;
  }
  // No key bound twice: the window's shortcuts with the menu bar's access keys, and the letters
  // within each menu.
  const auto twice = [](QStringList keys) {
    keys.removeAll(QString());
    return keys.removeDuplicates();
  };
  QStringList menus, keys;
  for (QAction* action : form_->findChildren<QAction*>())
    keys << action->shortcut().toString();
  for (QMenu* menu : form_->findChildren<QMenu*>()) {
    QStringList letters;
    for (QAction* item : menu->actions())
      letters << (item->isVisible() ? QKeySequence::mnemonic(item->text()).toString() : QString());
    EXPECT_EQ(twice(letters), 0) << menu->title().toStdString();
  }
  for (QAction* menu : form_->menuBar()->actions())
    keys << QKeySequence::mnemonic((menus << menu->text()).back()).toString();
  EXPECT_EQ(twice(keys), 0) << keys.join(' ').toStdString();
  EXPECT_EQ(menus, QStringList({"&File", "&Settings", "&Display", "St&rings", "L&og", "&Utilities",
                                "&Help"}));
  EXPECT_FALSE(Named("prSelModbus")->isVisible());
  EXPECT_FALSE(Named<QToolButton>("BtnTransmitt_2")->isEnabled());
}

TEST_F(MainWindow, TheCloseQuestionsThreeAnswers) {
  Start();
  form_->Conf().MiscInt.AutoXmitInterval = 777;
  const QString file = dir_.Path("Config.klv");

  messages_.answers = {TMsgButton::Cancel};
  EXPECT_FALSE(form_->close());
  EXPECT_EQ(messages_.shown.back().text, "Do you want to save changes to Config.klv?");
  EXPECT_EQ(messages_.shown.back().buttons, TMsgButton::Yes | TMsgButton::No | TMsgButton::Cancel);
  messages_.answers = {TMsgButton::No};
  EXPECT_TRUE(form_->close());
  EXPECT_FALSE(QFile::exists(file));

  form_.reset();
  Start();
  form_->Conf().MiscInt.AutoXmitInterval = 778;
  // Yes with no file yet goes through Save As, whose dialog would block here:
  // the file is made first and Yes saves over it.
  QFile(file).open(QIODevice::WriteOnly);
  messages_.answers = {TMsgButton::Yes};
  EXPECT_TRUE(form_->close());
  TConfigFile check(messages_, *form_);
  check.SetConfigFileName(file);
  ASSERT_TRUE(check.LoadConfig());
  EXPECT_EQ(check.Conf().MiscInt.AutoXmitInterval, 778);
}

TEST_F(MainWindow, TypedCharactersGoToChannelOneWithTheSwedishLettersMapped) {
  test::TestPorts directory;
  test::Pty pty;
  directory.Link(1, pty.Slave());
  ports_.Add(1, &directory.Provider());
  Start();
  // Keys with Alt or Meta, and with Ctrl unless they make a control code, are commands.
  const std::tuple<Qt::Key, Qt::KeyboardModifiers, const char*> keys[] = {
      {Qt::Key_A, Qt::NoModifier, "\xE4"},  // a-umlaut
      {Qt::Key_7, Qt::NoModifier, "7"},
      {Qt::Key_T, Qt::AltModifier, "t"},
      {Qt::Key_T, Qt::MetaModifier, "t"},
      {Qt::Key_X, Qt::ControlModifier | Qt::AltModifier, "\x18"},
      {Qt::Key_T, Qt::ControlModifier, "t"},
      {Qt::Key_A, Qt::ControlModifier, "\x01"},
      {Qt::Key_T, Qt::NoModifier, "t"},
  };
  for (const auto& [key, modifiers, text] : keys) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers, QString::fromLatin1(text));
    QApplication::sendEvent(&form_->KLV(), &event);
  }
  std::vector<std::uint8_t> received;
  ASSERT_TRUE(RunUntil([&] {
    const auto more = test::ReadAvailable(pty.Master());
    received.insert(received.end(), more.begin(), more.end());
    return received.size() >= 4;
  }));
  EXPECT_EQ(received, (std::vector<std::uint8_t>{132, '7', 1, 't'}));
  QLabel* indicator = form_->ParameterBar().PanelTransmittIndicator;
  EXPECT_EQ(indicator->text(), "T1");
  EXPECT_TRUE(RunUntil([&] { return indicator->text().isEmpty(); }));
}

// The break holds channel 1's line for five ticks while the window goes on.
TEST_F(MainWindow, TheBreakNeedsChannelOneAndHoldsItsLineWithoutBlocking) {
  Start();
  Named("Transmitta250mSBreak1")->trigger();
  EXPECT_EQ(messages_.Texts().back(), "The Primary Channel is not available");

  SimulatedNullModem cable(1);
  auto far = Cable(cable, 1);
  form_->Conf().Comparam.Channel[0].Enabled = true;
  form_->Channels().OpenChannels();
  Named("Transmitta250mSBreak1")->trigger();
  EXPECT_TRUE(cable.BreakHeld(End::B)) << "the command returns while the line is held";
  EXPECT_TRUE(RunUntil([&] { return !cable.BreakHeld(End::B); }));
  EXPECT_EQ(cable.BreaksReceived(End::B), 1);
}

// What arrives is shown and logged to the file and, without a printer, to a
// PDF; stopping a log writes the Hex/ASCII line in progress, which is logged
// whole when the log is on again at its end; clearing the display logs it too.
TEST_F(MainWindow, TheLogSwitchesRecordWhatTheDisplayShowsAndTheLineInProgress) {
  SimulatedNullModem cable(1);
  auto far = Cable(cable, 1);
  TQtPrinterDevice printer;
  printer.SetPdfDirectory(dir_.path());
  printer.SetAlwaysPdf(true);
  Start({}, &printer);
  TLogCommands& log = form_->LogCommands();
  log.FileLogSwitch();
  log.PrinterLogSwitch();
  EXPECT_TRUE(log.MenuLogFile->isChecked() && log.sbLogFile->isChecked());
  EXPECT_TRUE(log.MenuLogPrinter->isChecked() && log.sbLogPrinter->isChecked());
  Send(*far, "AB");
  ASSERT_TRUE(RunUntil([&] { return form_->KLV().CursorX() == 53; }));
  log.FileLogSwitch();
  log.PrinterLogSwitch();
  EXPECT_FALSE(log.sbLogFile->isChecked() || log.sbLogPrinter->isChecked());
  const QByteArray first = ReadFile("KLV.Log");
  EXPECT_TRUE(first.startsWith("\r\nKLV V3.02  log file ")) << first.toStdString();
  EXPECT_TRUE(first.contains("\r\n" + HexLine("41 42", "AB") + "\r\n\r\nKLV V3.02  "))
      << first.toStdString();
  EXPECT_TRUE(messages_.Texts().back().contains('<' + printer.Destination() + '>'));
  if (!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {"-layout", printer.Destination(), "-"});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput()).simplified();
    EXPECT_TRUE(printed.contains(QStringLiteral("41 42 AB KLV V3.02 Printer log closed: ")))
        << printed.toStdString();
  }

  log.FileLogSwitch();
  Send(*far, "C\n");
  ASSERT_TRUE(RunUntil([&] { return form_->KLV().CursorY() == 1; }));
  Send(*far, "DE");
  ASSERT_TRUE(RunUntil([&] { return form_->KLV().CursorX() == 53; }));
  form_->DisplayCommands().BtnClearDisplay->click();
  ASSERT_TRUE(form_->ConfigCommands().SaveConfigAs(dir_.Path("logging.klv")));
  log.FileLogSwitch();
  const QByteArray both = ReadFile("KLV.Log");
  EXPECT_TRUE(both.mid(first.size())
                  .contains("\r\n" + HexLine("41 42 43 0A", "ABC.") + "\r\n" +
                            HexLine("44 45", "DE") + "\r\n"))
      << both.toStdString();

  // A configuration saved with the log on starts with it on, and the switches say so.
  form_.reset();
  Start({dir_.Path("logging.klv")});
  EXPECT_TRUE(form_->Conf().Log.LogToFile && form_->LogCommands().MenuLogFile->isChecked() &&
              form_->LogCommands().sbLogFile->isChecked());
}

// The protocol submenu, the Protocol display and Ruvo-94 frames from the line.
TEST_F(MainWindow, SelectingRuvo94DecodesFramesInTheProtocolDisplay) {
  SimulatedNullModem cable(1);
  auto far = Cable(cable, 1);
  Start();
  TDisplayCommands& display = form_->DisplayCommands();
  display.ProtocolDisplayClick();
  EXPECT_EQ(messages_.Texts().back(), "Please select a protocol first");
  EXPECT_TRUE(display.BtnHexAscii->isChecked());

  Named("prSelRuvo94")->trigger();
  EXPECT_EQ(form_->Conf().Protocol.Selected, 1);
  EXPECT_FALSE(Named("prSelNone")->isChecked());
  EXPECT_EQ(display.CurrentDisplayMode(), TDisplayMode::HexAscii) << "the mode stays";
  display.BtnProtocoll->click();
  EXPECT_EQ(display.CurrentDisplayMode(), TDisplayMode::Protocol);
  EXPECT_EQ(form_->ParameterBar().PanelDisplayMode->text(), "Protocol: Ruvo-94");

  // 02 01 20 41 03 03 and its check byte, then a stray byte.
  Send(*far, std::string_view("\x02\x01\x20\x41\x03\x03\x6B!", 8));
  ASSERT_TRUE(RunUntil([&] { return form_->KLV().CursorY() == 2; }));
  EXPECT_TRUE(Row(0).startsWith("To:01H From:20H Type:A Msg:\\"));
  EXPECT_TRUE(Row(1).startsWith("-----FRAME ERROR: Missing STX"));

  // The same protocol again changes nothing; none switches to Hex/ASCII.
  const std::size_t shown = messages_.shown.size();
  Named("prSelRuvo94")->trigger();
  EXPECT_EQ(form_->KLV().CursorY(), 2);
  EXPECT_EQ(messages_.shown.size(), shown);
  Named("prSelNone")->trigger();
  EXPECT_EQ(messages_.Texts().back(), "The display mode will be to set Hex/Ascii mode");
  EXPECT_EQ(display.CurrentDisplayMode(), TDisplayMode::HexAscii);
  EXPECT_TRUE(display.BtnHexAscii->isChecked());
}

// The window opens within the screen at a size that, where the screen has room, shows the
// console's 94 columns and 25 rows; at its smallest its bars and a few console rows still show.
TEST_F(MainWindow, OpensShowingTheConsoleLineWithinTheScreen) {
  Start();
  const QSize screen = form_->screen()->availableGeometry().size();
  TColorConsole& console = form_->KLV();
  EXPECT_EQ(form_->size().boundedTo(screen), form_->size());
  EXPECT_GE(console.VisibleRows(), 25);
  EXPECT_FALSE(form_->windowIcon().pixmap(32, 32).isNull());
  form_->resize(form_->StartSize(QRect(0, 0, 4000, 3000)));
  EXPECT_TRUE(RunUntil([&] { return console.VisibleCols() >= 94 && console.VisibleRows() >= 25; }));

  form_->resize(1, 1);
  ASSERT_TRUE(RunUntil([&] { return form_->size() == form_->minimumSize(); }));
  EXPECT_GE(console.VisibleRows(), 4);
  for (QPushButton* panel : form_->findChildren<QPushButton*>())
    EXPECT_GE(panel->width(), panel->isVisible() ? panel->sizeHint().width() : 0);
}

// The caret follows received text unless the user works elsewhere in the
// active window; it follows again once the console has the focus.
TEST_F(MainWindow, TheCaretFollowsTheTextUnlessTheFocusIsElsewhere) {
  Start();
  QApplication::setActiveWindow(form_.get());
  TColorConsole& console = form_->KLV();
  for (QWidget* focus :
       std::initializer_list<QWidget*>{form_->DisplayCommands().BtnPause, &console}) {
    focus->setFocus();
    ASSERT_TRUE(RunUntil([&] { return focus->hasFocus(); }));
    console.RefreshCaret();
    EXPECT_EQ(console.CaretShown(), focus == &console);
  }
}

}  // namespace
}  // namespace klv
