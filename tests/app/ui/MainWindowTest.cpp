// The main window offscreen, on pseudo-terminals and the simulated null-modem cable.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
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

// A logged Hex/ASCII line: the bytes in hex, their characters from column 51, to 69.
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
  TChannelStatusBar &bar = form_->StatusBar(0), &bar2 = form_->StatusBar(1);
  const TParameterBar& parameters = form_->ParameterBar();
  EXPECT_EQ(QStringList({bar.PanelComPort->text(), bar2.PanelComPort->text(),
                         bar.PanelBaudRate->text(), bar.PanelParity->text(),
                         bar.PanelNewLine->text(), parameters.PanelDisplayMode->text(),
                         parameters.PanelCurrentString->text(), form_->windowTitle()}),
            QStringList({"COM3", "COM5", "9600", "N", "NL>0AH", "Hex/ASCII", "Str=1",
                         "Kelvora 32 - " + dir_.Path("Config.klv")}));
  EXPECT_TRUE(bar.PanelDTR->styleSheet().contains("#ff0000") && one.DTR(End::A)) << "DTR on: red";
  bar.PanelBaudRate->click();  // the bar's buttons reach the channel
  EXPECT_EQ(bar.PanelBaudRate->text(), "14400");
  EXPECT_EQ(one.AppliedSettings(End::A).Baud, 14400);
  // An armed trigger panel blinks red and black; an unused one stays black.
  form_->Conf().Trigger_HexTTY.Channel[0].Mode = 1;
  QStringList sheets;  // channel 1, channel 2, channel 1, channel 2
  for (int tick = 0; tick < 2; ++tick) {
    form_->OneSecondTick();
    sheets << bar.pnTrig->styleSheet() << bar2.pnTrig->styleSheet();
  }
  EXPECT_EQ(bar.pnTrig->text() + bar2.pnTrig->text(), "Tr-ArmedTr-Unused");
  EXPECT_NE(sheets[0].contains("#ff0000"), sheets[2].contains("#ff0000"));
  EXPECT_TRUE(sheets[1] == sheets[3] && sheets[1].contains("#000000")) << "black on channel 2";
  one.Vanish(End::A);  // a lost device shows on its bar until the port opens again
  ASSERT_TRUE(RunUntil([&] { return !messages_.shown.empty(); }));
  EXPECT_EQ(bar.PanelComPort->text(), "COM3 lost");
  one.Reconnect(End::A);
  form_->Channels().OpenChannels();
  EXPECT_EQ(bar.PanelComPort->text(), "COM3");
  form_->Conf().Comparam.Channel[1].Enabled = false;  // a disabled channel hides its bar
  form_->Channels().OpenChannels();
  EXPECT_FALSE(bar2.isVisible() || two.IsOpen(End::A));
}

// Every menu item is found by its name, with its caption, shortcut and state (features to come are
// disabled). Each shortcut pressed in the window triggers its item, once enabled; no shortcut or
// access key is bound twice at one level.
TEST_F(MainWindow, EveryMenuItemIsThereByNameWithItsShortcut) {
  Start();
  QApplication::setActiveWindow(form_.get());
  ASSERT_TRUE(RunUntil([&] { return form_->isActiveWindow(); }));
  // Name, caption, shortcut, enabled.
  const std::tuple<const char*, const char*, const char*, bool> items[] = {
      {"OpenItem", "&Open...", "Alt+F1", true},
      {"SaveAsItem", "S&ave As", "Alt+F2", true},
      {"PrintItem", "&Print", "", false},
      {"ExitItem", "E&xit", "Alt+X", true},
      {"SettingsLineParameters", "&Line Parameters", "F10", true},
      {"Triggers1", "&Trigger", "", true},
      {"MenuDisplayPause", "P&ause", "F12", true},
      {"Rearrange1", "&Library", "F2", true},
      {"Edit1", "&Edit", "Alt+F3", true},
      {"StringsTransmitt", "&Transmit", "F5", false},
      {"StringsAutoTransmitt", "&AutoTransmit", "F7", false},
      {"StringsScriptTransmission", "&Script Transmission", "F9", false},
      {"MenuLogFile", "Log to &File", "Alt+L", true},
      {"MenuLogPrinter", "Log to &Printer", "Alt+P", true},
      {"TransmittFile1", "&Transmit File", "", false},
      {"Transmitta250mSBreak1", "Transmitt a 250mS &Break On Channel 1", "Ctrl+K", true},
      {"OnlineHelp1", "Online Help", "F1", true},
      {"ConsoleCopy", "&Copy", "Ctrl+Shift+C", true}};
  for (const auto& [name, caption, keys, enabled] : items) {
    const QKeySequence shortcut(QString::fromLatin1(keys), QKeySequence::PortableText);
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
  // The window's shortcuts with the menu bar's access keys, and the letters within each menu.
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

  messages_.answers = {TMsgButton::Cancel, TMsgButton::No};
  EXPECT_FALSE(form_->close());
  EXPECT_TRUE(form_->close());
  EXPECT_EQ(messages_.Texts(),
            std::vector<QString>(2, "Do you want to save changes to Config.klv?"));
  EXPECT_EQ(messages_.shown[0].buttons, TMsgButton::Yes | TMsgButton::No | TMsgButton::Cancel);
  EXPECT_FALSE(QFile::exists(file));
  form_.reset();
  Start();
  form_->Conf().MiscInt.AutoXmitInterval = 778;
  // Yes with no file yet goes through Save As, whose dialog would block: the file is made first.
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

// What arrives is logged to the file and, without a printer, to a PDF; stopping a log writes the
// Hex/ASCII line in progress, logged whole if the log is on again at its end, as clearing does.
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
  EXPECT_TRUE(log.MenuLogFile->isChecked() && log.sbLogFile->isChecked() &&
              log.MenuLogPrinter->isChecked() && log.sbLogPrinter->isChecked());
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
  QProcess pdf;  // the printed line in progress, where pdftotext is installed
  pdf.start(QStringLiteral("pdftotext"), {"-layout", printer.Destination(), "-"});
  const QString printed =
      QString::fromUtf8(pdf.waitForFinished(60000) ? pdf.readAllStandardOutput() : "").simplified();
  EXPECT_TRUE(pdf.error() == QProcess::FailedToStart ||
              printed.contains(QStringLiteral("41 42 AB KLV V3.02 Printer log closed: ")))
      << printed.toStdString();
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

// The protocol submenu and the Protocol display (the frames it shows are tested end to end).
TEST_F(MainWindow, SelectingRuvo94EnablesTheProtocolDisplay) {
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

  Send(*far, std::string_view("\x02\x01\x20\x41\x03\x03\x6B!", 8));  // a frame, a stray byte
  ASSERT_TRUE(RunUntil([&] { return form_->KLV().CursorY() == 2; }));
  // The same protocol again changes nothing; none switches to Hex/ASCII.
  const std::size_t shown = messages_.shown.size();
  Named("prSelRuvo94")->trigger();
  EXPECT_EQ(form_->KLV().CursorY(), 2);
  EXPECT_EQ(messages_.shown.size(), shown);
  Named("prSelNone")->trigger();
  EXPECT_EQ(messages_.Texts().back(), "The display mode will be to set Hex/Ascii mode");
  EXPECT_TRUE(display.CurrentDisplayMode() == TDisplayMode::HexAscii &&
              display.BtnHexAscii->isChecked());
}

// The window opens within the screen, showing the console's 94 columns and 25 rows where there is
// room; at its smallest its bars and a few console rows still show.
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

// The caret follows received text unless the user works elsewhere in the active window.
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
