// The main window on the offscreen platform, on pseudo-terminals and on the
// simulated null-modem cable, with every message answered through the service.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include "app/ui/Klvmain.h"
#include "log/ui/PrinterDevice.h"
#include "protocol/ui/Prop_set.h"
#include "serial/PtyFixture.h"
#include "serial/SimulatedNullModem.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"
#include "support/PortMap.h"
#include "support/RecordingRenderers.h"

namespace klv {
namespace {

using test::RunUntil;
using End = SimulatedNullModem::End;

class MainWindow : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    previousDir_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());  // no Config.klv unless a test writes one
    SetDefaultDeviceProvider(&ports_);
  }
  void TearDown() override {
    form_.reset();
    SetDefaultDeviceProvider(nullptr);
    SetCountPortsInUse(true);
    QDir::setCurrent(previousDir_);
  }

  void Start(const QStringList& parameters = {}) {
    TAppFormSetup setup;
    setup.Parameters = parameters;
    setup.Messages = &messages_;
    setup.Renderers = &renderers_;
    setup.Log = &log_;
    setup.AttachStdio = false;
    form_ = std::make_unique<TKLVAppForm>(setup);
    form_->show();
    ASSERT_TRUE(RunUntil([&] { return form_->Started(); }));
  }

  // The window with its own renderers and log engine.
  void StartWithOwnLog(IPrinterDevice* printer = nullptr) {
    TAppFormSetup setup;
    setup.Messages = &messages_;
    setup.Printer = printer;
    setup.AttachStdio = false;
    form_ = std::make_unique<TKLVAppForm>(setup);
    form_->show();
    ASSERT_TRUE(RunUntil([&] { return form_->Started(); }));
  }

  QByteArray ReadFile(const QString& name) const {
    QFile file(QDir(dir_.path()).filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  // A simulated cable whose end A (built as COM n) is offered; the test plays end B.
  std::unique_ptr<ISerialDevice> Cable(SimulatedNullModem& cable, int comNumber) {
    ports_.Add(comNumber, &cable);
    return cable.OpenEnd(End::B);
  }

  static void Send(ISerialDevice& device, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const IoResult r = device.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()) + done,
                                      bytes.size() - done);
      ASSERT_EQ(r.Status, IoStatus::Ok);
      done += r.Count;
    }
  }

  QString StatusText(int channel, QPushButton* TStatusBar::*panel) {
    return (form_->StatusBar(channel).*panel)->text();
  }

  QTemporaryDir dir_;
  QString previousDir_;
  test::PortMap ports_;
  test::FakeMessageService messages_;
  test::RecordingRenderers renderers_;
  test::RecordingLog log_;
  std::unique_ptr<TKLVAppForm> form_;
};

TEST_F(MainWindow, StartsOnTheFirstTwoPresentPortsAndShowsThem) {
  SimulatedNullModem one(3), two(5);
  ports_.Add(3, &one);
  ports_.Add(5, &two);
  Start();
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(form_->ChannelAvailable(0));
  EXPECT_TRUE(form_->ChannelAvailable(1));
  EXPECT_FALSE(form_->ChannelAvailable(2));
  EXPECT_EQ(StatusText(0, &TStatusBar::PanelComPort), "COM3");
  EXPECT_EQ(StatusText(1, &TStatusBar::PanelComPort), "COM5");
  EXPECT_EQ(StatusText(0, &TStatusBar::PanelBaudRate), "9600");
  EXPECT_EQ(StatusText(0, &TStatusBar::PanelParity), "N");
  EXPECT_EQ(StatusText(0, &TStatusBar::PanelNewLine), "NL>0AH");
  EXPECT_EQ(form_->windowTitle(), "Kelvora 32 - " + QDir(dir_.path()).filePath("Config.klv"));
  EXPECT_EQ(form_->PanelDisplayMode->text(), "Hex/ASCII");
  EXPECT_EQ(form_->PanelRunStatus->text(), "Running");
  EXPECT_EQ(form_->PanelCurrentString->text(), "Str=1");
  // The line settings reach the device: DTR on, RTS off by default.
  EXPECT_TRUE(one.DTR(End::A));
  EXPECT_FALSE(one.RTS(End::A));
  EXPECT_EQ(one.AppliedSettings(End::A).Baud, 9600);
}

// Bytes written to the pseudo-terminal masters reach the renderer in order,
// whether they come one at a time or in large blocks, on both channels at once.
TEST_F(MainWindow, EveryReceivedByteReachesTheRendererOnceAndInOrder) {
  test::TestPorts directory;
  test::Pty pty1, pty2;
  directory.Link(1, pty1.Slave());
  directory.Link(2, pty2.Slave());
  ports_.Add(1, &directory.Provider());
  ports_.Add(2, &directory.Provider());
  Start();
  ASSERT_TRUE(form_->ChannelAvailable(0));
  ASSERT_TRUE(form_->ChannelAvailable(1));

  const std::vector<std::uint8_t> data1 = test::RandomBytes(200000, 1);
  const std::vector<std::uint8_t> data2 = test::RandomBytes(3000, 2);
  {
    test::FdWriter bulk(pty1.Master(), data1);  // large blocks
    for (std::uint8_t byte : data2) {           // one byte per event
      ASSERT_EQ(::write(pty2.Master(), &byte, 1), 1);
      QApplication::processEvents();
    }
    ASSERT_TRUE(RunUntil(
        [&] {
          return renderers_.Channel(0).size() >= data1.size() &&
                 renderers_.Channel(1).size() >= data2.size();
        },
        30000));
  }
  EXPECT_EQ(renderers_.Channel(0), data1);
  EXPECT_EQ(renderers_.Channel(1), data2);
}

TEST_F(MainWindow, PauseDropsDataEchoAndModemChangesButShowsOwnLineToggles) {
  SimulatedNullModem cable(1);
  auto far = Cable(cable, 1);
  Start();
  TConf& conf = form_->Conf();
  conf.MiscBool.LogModemP = true;
  conf.MiscBool.LocalEchoP = true;

  form_->PauseClick();
  EXPECT_EQ(form_->PanelRunStatus->text(), "PAUSED");
  EXPECT_TRUE(form_->BtnPause->isChecked());
  Send(*far, "dropped");
  far->SetRTS(true);  // our CTS changes
  form_->OutputString(0, "echo");
  // Let the bytes and the line change reach the window while it is paused.
  ASSERT_TRUE(RunUntil([&] { return cable.PendingInput(End::A) == 0 && form_->Port(0).CTS(); }));
  RunUntil([] { return false; }, 300);
  EXPECT_TRUE(renderers_.bytes.empty());
  EXPECT_TRUE(renderers_.modemLines.empty());
  EXPECT_TRUE(form_->Port(0).CTS()) << "the indicator still follows the line";

  form_->ToggleRTS(0);  // our own toggle is shown even while paused
  ASSERT_EQ(renderers_.modemLines.size(), 1u);
  EXPECT_TRUE(renderers_.modemLines[0].record.Changed[TModemStatusRecord::RTS]);
  EXPECT_TRUE(renderers_.modemLines[0].record.State[TModemStatusRecord::RTS]);
  EXPECT_TRUE(conf.ModemControl.Channel[0].RTS);
  EXPECT_TRUE(cable.RTS(End::A));

  form_->PauseClick();
  Send(*far, "new");
  ASSERT_TRUE(RunUntil([&] { return renderers_.Channel(0).size() >= 3; }));
  EXPECT_EQ(renderers_.Channel(0), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  form_->OutputString(0, "E");
  EXPECT_EQ(renderers_.Channel(0).back(), 'E') << "echo shows as received on channel 1";
  far->SetDTR(true);  // our DSR and DCD come on
  ASSERT_TRUE(RunUntil([&] { return renderers_.modemLines.size() == 2; }));
  const TModemStatusRecord& after = renderers_.modemLines[1].record;
  EXPECT_TRUE(after.Changed[TModemStatusRecord::DSR]);
  EXPECT_TRUE(after.Changed[TModemStatusRecord::DCD]);
  EXPECT_TRUE(after.State[TModemStatusRecord::CTS]);
  EXPECT_FALSE(after.Changed[TModemStatusRecord::CTS]) << "the change during the pause is gone";
}

TEST_F(MainWindow, ThePortButtonSkipsUnusablePortsAndTheOtherChannel) {
  SimulatedNullModem c1(1), c3(3), c4(4);
  ports_.Add(1, &c1);
  ports_.Add(3, &c3);
  ports_.Add(4, &c4);
  Start();  // channel 1 on COM1, channel 2 on COM3
  ASSERT_EQ(StatusText(1, &TStatusBar::PanelComPort), "COM3");
  form_->NextPortClick(0);
  EXPECT_EQ(StatusText(0, &TStatusBar::PanelComPort), "COM4");
  EXPECT_TRUE(c4.IsOpen(End::A));
  EXPECT_FALSE(c1.IsOpen(End::A));
  form_->NextPortClick(0);  // 16 -> 1 wraps, 3 belongs to channel 2
  EXPECT_EQ(StatusText(0, &TStatusBar::PanelComPort), "COM1");
}

TEST_F(MainWindow, TheBaudButtonGoesFrom115200To1001To110) {
  SimulatedNullModem cable(1);
  ports_.Add(1, &cable);
  Start();
  form_->Conf().Comparam.Channel[0].BaudIndex = 14;
  form_->UpdateStatusBars();
  EXPECT_EQ(StatusText(0, &TStatusBar::PanelBaudRate), "115200");
  form_->NextBaudClick(0);
  EXPECT_EQ(StatusText(0, &TStatusBar::PanelBaudRate), "1001");
  EXPECT_EQ(cable.AppliedSettings(End::A).Baud, 1001);
  form_->NextBaudClick(0);
  EXPECT_EQ(StatusText(0, &TStatusBar::PanelBaudRate), "110");
  form_->NextParityClick(0);
  form_->NextDataBitsClick(0);
  form_->NextStopBitsClick(0);
  EXPECT_EQ(StatusText(0, &TStatusBar::PanelParity), "O");
  EXPECT_EQ(StatusText(0, &TStatusBar::PanelDataBits), "5");
  EXPECT_EQ(StatusText(0, &TStatusBar::PanelStopBits), "2");
  EXPECT_EQ(cable.AppliedSettings(End::A).Parity, TParity::pOdd);
  EXPECT_EQ(cable.AppliedSettings(End::A).DataBits, 5);
}

TEST_F(MainWindow, ADisabledChannelHidesItsBarAndTransmitButton) {
  SimulatedNullModem cable(1);
  ports_.Add(1, &cable);
  Start();
  EXPECT_FALSE(form_->StatusBar(1).Bar->isVisible());
  EXPECT_TRUE(form_->StatusBar(0).Bar->isVisible());
  EXPECT_FALSE(form_->BtnTransmitt_2->isEnabled());
  EXPECT_FALSE(form_->ChannelAvailable(1));
}

TEST_F(MainWindow, AMissingConfiguredPortIsReportedOnceAndStaysDisabledAfterSaving) {
  // Write a configuration whose channel 1 uses COM7, which has no device.
  SimulatedNullModem cable(2);
  ports_.Add(2, &cable);
  Start();
  form_->Conf().Comparam.Channel[0].Enabled = true;
  form_->Conf().Comparam.Channel[0].Port = 7;
  form_->Conf().Comparam.Channel[1].Enabled = false;
  ASSERT_TRUE(form_->SaveConfigAs(QDir(dir_.path()).filePath("bench.klv")));
  form_.reset();
  messages_.shown.clear();

  Start({QDir(dir_.path()).filePath("bench.klv")});
  ASSERT_EQ(messages_.Texts(), std::vector<QString>{"COM7 is not available!"});
  EXPECT_FALSE(form_->Conf().Comparam.Channel[0].Enabled);
  EXPECT_FALSE(form_->StatusBar(0).Bar->isVisible());
  form_->SaveItemClick();
  form_.reset();
  messages_.shown.clear();
  Start({QDir(dir_.path()).filePath("bench.klv")});
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_FALSE(form_->Conf().Comparam.Channel[0].Enabled);
}

TEST_F(MainWindow, APortThisUserMayNotOpenSaysHowToFixIt) {
  SimulatedNullModem cable(2);
  ports_.Add(2, &cable);
  ports_.DenyPermission(1, "add your user to the group dialout");
  Start();  // the port search counts COM1 as present
  ASSERT_FALSE(messages_.shown.empty());
  EXPECT_EQ(messages_.shown[0].text,
            "COM1 is not available!\n\nadd your user to the group dialout");
  EXPECT_FALSE(form_->ChannelAvailable(0));
}

TEST_F(MainWindow, AnArmedTriggerPanelBlinksAndAnUnusedOneStaysBlack) {
  SimulatedNullModem c1(1), c2(2);
  ports_.Add(1, &c1);
  ports_.Add(2, &c2);
  Start();
  form_->Conf().Trigger_HexTTY.Channel[0].Mode = 1;
  QPushButton* armed = form_->StatusBar(0).pnTrig;
  QPushButton* unused = form_->StatusBar(1).pnTrig;
  QStringList armedStyles, unusedStyles;
  for (int tick = 0; tick < 2; ++tick) {
    form_->OneSecondTick();
    armedStyles << armed->styleSheet();
    unusedStyles << unused->styleSheet();
  }
  EXPECT_EQ(armed->text(), "Tr-Armed");
  EXPECT_EQ(unused->text(), "Tr-Unused");
  EXPECT_NE(armedStyles[0].contains("#ff0000"), armedStyles[1].contains("#ff0000"));
  EXPECT_EQ(unusedStyles[0], unusedStyles[1]);
  EXPECT_FALSE(unusedStyles[0].contains("#ff0000"));
  EXPECT_FALSE(form_->PanelClock->text().isEmpty());
}

TEST_F(MainWindow, TheCloseQuestionsThreeAnswers) {
  Start();
  form_->Conf().MiscInt.AutoXmitInterval = 777;
  const QString file = QDir(dir_.path()).filePath("Config.klv");

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
  // Yes with no file yet goes through Save As; an answer-less dialog would block here, so
  // the file is created first and Yes saves over it.
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
  ASSERT_TRUE(form_->ChannelAvailable(0));
  QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QString(QChar(0xE4)));  // a-umlaut
  QApplication::sendEvent(&form_->KLV(), &a);
  QKeyEvent seven(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, "7");
  QApplication::sendEvent(&form_->KLV(), &seven);
  std::vector<std::uint8_t> received;
  ASSERT_TRUE(RunUntil([&] {
    const auto more = test::ReadAvailable(pty.Master());
    received.insert(received.end(), more.begin(), more.end());
    return received.size() >= 2;
  }));
  EXPECT_EQ(received, (std::vector<std::uint8_t>{132, '7'}));
  EXPECT_EQ(form_->PanelTransmittIndicator->text(), "T1");
  EXPECT_TRUE(RunUntil([&] { return form_->PanelTransmittIndicator->text().isEmpty(); }));
}

TEST_F(MainWindow, AVanishedDeviceIsReportedOnceAndTheChannelCloses) {
  SimulatedNullModem cable(1);
  auto far = Cable(cable, 1);
  Start();
  ASSERT_TRUE(form_->ChannelAvailable(0));
  cable.Vanish(End::A);
  ASSERT_TRUE(RunUntil([&] { return !messages_.shown.empty(); }));
  QThread::msleep(100);
  QApplication::processEvents();
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].kind, test::FakeMessageService::Kind::Error);
  EXPECT_TRUE(messages_.shown[0].text.contains("Channel 1"));
  EXPECT_FALSE(form_->ChannelAvailable(0));
  EXPECT_EQ(StatusText(0, &TStatusBar::PanelComPort), "COM1 lost");
  EXPECT_TRUE(form_->Conf().Comparam.Channel[0].Enabled) << "the configuration is the user's";

  cable.Reconnect(End::A);
  form_->OpenChannels();
  EXPECT_TRUE(form_->ChannelAvailable(0));
  EXPECT_EQ(StatusText(0, &TStatusBar::PanelComPort), "COM1");
}

TEST_F(MainWindow, ProtocolDisplayNeedsAProtocolAndBreakNeedsChannelOne) {
  Start();
  form_->ProtocolDisplayClick();
  EXPECT_EQ(messages_.Texts().back(), "Please select a protocol first");
  EXPECT_EQ(form_->CurrentDisplayMode(), TDisplayMode::HexAscii);
  EXPECT_TRUE(form_->BtnHexAscii->isChecked());
  form_->BreakClick();
  EXPECT_EQ(messages_.Texts().back(), "The Primary Channel is not available");

  form_->Conf().Protocol.Selected = 1;
  form_->ProtocolDisplayClick();
  EXPECT_EQ(form_->CurrentDisplayMode(), TDisplayMode::Protocol);
  EXPECT_EQ(form_->PanelDisplayMode->text(), "Protocol: Ruvo-94");
  EXPECT_EQ(renderers_.ruvoResets, 1);
}

TEST_F(MainWindow, TheBreakHoldsChannelOnesLine) {
  SimulatedNullModem cable(1);
  auto far = Cable(cable, 1);
  Start();
  form_->BreakClick();
  EXPECT_EQ(cable.BreaksReceived(End::B), 1);
  EXPECT_FALSE(cable.BreakHeld(End::B));
}

// With the window's own renderer and log: what arrives is shown and logged.
TEST_F(MainWindow, TheFileLogSwitchRecordsWhatTheDisplayShows) {
  SimulatedNullModem cable(1);
  auto far = Cable(cable, 1);
  StartWithOwnLog();

  form_->FileLogSwitch();
  ASSERT_TRUE(form_->Conf().Log.LogToFile) << messages_.Texts().size();
  EXPECT_TRUE(form_->MenuLogFile->isChecked());
  EXPECT_TRUE(form_->sbLogFile->isChecked());
  Send(*far, "AB\n");
  ASSERT_TRUE(RunUntil([&] { return form_->KLV().CursorY() == 1; }));
  EXPECT_EQ(form_->KLV().Buffer().RowText(0).substr(0, 9), "41 42 0A ");
  form_->FileLogSwitch();
  EXPECT_FALSE(form_->Conf().Log.LogToFile);
  EXPECT_FALSE(form_->sbLogFile->isChecked());

  const QByteArray text = ReadFile("KLV.Log");
  EXPECT_TRUE(text.startsWith("\r\nKLV V3.02  log file ")) << text.toStdString();
  EXPECT_TRUE(text.contains("\r\n41 42 0A ")) << text.toStdString();
  EXPECT_TRUE(text.contains("AB.")) << text.toStdString();
  EXPECT_TRUE(text.contains(" closed: ")) << text.toStdString();
}

// Stopping the log writes the line in progress; the line goes on on the
// console and is logged whole when the log is on again at its end.
TEST_F(MainWindow, StoppingTheFileLogWritesTheHexLineInProgress) {
  SimulatedNullModem cable(1);
  auto far = Cable(cable, 1);
  StartWithOwnLog();
  ASSERT_FALSE(form_->sbTimeStamp->isChecked());

  form_->FileLogSwitch();
  ASSERT_TRUE(form_->Conf().Log.LogToFile);
  Send(*far, "AB");
  ASSERT_TRUE(RunUntil([&] { return form_->KLV().CursorX() == 53; }));
  form_->FileLogSwitch();
  std::string pending(67, ' ');
  pending.replace(0, 5, "41 42");
  pending.replace(51, 2, "AB");
  const QByteArray first = ReadFile("KLV.Log");
  EXPECT_TRUE(first.contains(QByteArray::fromStdString("\r\n" + pending + "  \r\n\r\nKLV V3.02  ")))
      << first.toStdString();

  form_->FileLogSwitch();
  Send(*far, "C\n");
  ASSERT_TRUE(RunUntil([&] { return form_->KLV().CursorY() == 1; }));
  form_->FileLogSwitch();
  std::string whole(67, ' ');
  whole.replace(0, 11, "41 42 43 0A");
  whole.replace(51, 4, "ABC.");
  const QByteArray both = ReadFile("KLV.Log");
  EXPECT_TRUE(both.startsWith(first));
  EXPECT_TRUE(both.mid(first.size()).contains(QByteArray::fromStdString("\r\n" + whole + "  \r\n")))
      << both.toStdString();
}

// Without a printer the log goes to a PDF file; a raw data format prints only
// the log's own opening and closing lines.
TEST_F(MainWindow, ThePrinterLogSwitchPrintsToAPdfFile) {
  if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
    GTEST_SKIP() << "pdftotext is not installed";
  SimulatedNullModem cable(1);
  auto far = Cable(cable, 1);
  TQtPrinterDevice printer;
  printer.SetPdfDirectory(dir_.path());
  printer.SetAlwaysPdf(true);
  StartWithOwnLog(&printer);

  const auto printRun = [&](std::string_view bytes) {
    form_->PrinterLogSwitch();
    EXPECT_TRUE(form_->Conf().Log.LogToPrinter);
    EXPECT_TRUE(form_->MenuLogPrinter->isChecked());
    EXPECT_TRUE(form_->sbLogPrinter->isChecked());
    const int row = form_->KLV().CursorY();
    Send(*far, bytes);
    EXPECT_TRUE(RunUntil([&] { return form_->KLV().CursorY() == row + 1; }));
    form_->PrinterLogSwitch();
    EXPECT_FALSE(form_->Conf().Log.LogToPrinter);
    EXPECT_FALSE(form_->sbLogPrinter->isChecked());
    const QString pdf = printer.Destination();
    EXPECT_TRUE(messages_.Texts().back().contains(QLatin1Char('<') + pdf + QLatin1Char('>')));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    EXPECT_TRUE(text.waitForFinished(60000));
    return QString::fromUtf8(text.readAllStandardOutput()).simplified();
  };

  const QString hex = printRun("AB\n");
  EXPECT_TRUE(hex.contains(QStringLiteral("Printer log opened: "))) << hex.toStdString();
  EXPECT_TRUE(hex.contains(QStringLiteral("41 42 0A AB."))) << hex.toStdString();
  EXPECT_TRUE(hex.contains(QStringLiteral("Printer log closed: "))) << hex.toStdString();

  form_->Conf().Misc.LogDataFormat = 1;  // "0D41"
  const QString raw = printRun("CD\n");
  EXPECT_TRUE(raw.contains(QStringLiteral("Printer log opened: "))) << raw.toStdString();
  EXPECT_TRUE(raw.contains(QStringLiteral("Printer log closed: "))) << raw.toStdString();
  EXPECT_FALSE(raw.contains(QStringLiteral("43"))) << raw.toStdString();
  EXPECT_FALSE(raw.contains(QStringLiteral("CD"))) << raw.toStdString();
  EXPECT_EQ(QDir(dir_.path()).entryList({QStringLiteral("*.pdf")}, QDir::Files).size(), 2);
}

// The protocol submenu, the Protocol display and Ruvo-94 frames from the line.
TEST_F(MainWindow, SelectingRuvo94DecodesFramesInTheProtocolDisplay) {
  SimulatedNullModem cable(1);
  auto far = Cable(cable, 1);
  StartWithOwnLog();
  const QList<QAction*>& items = form_->ProtocolItems();
  ASSERT_EQ(items.size(), 4);
  EXPECT_TRUE(items[0]->isChecked());
  for (QAction* undecoded : {items[2], items[3]}) {
    EXPECT_FALSE(undecoded->isVisible());
    EXPECT_FALSE(undecoded->isEnabled());
  }

  items[1]->trigger();
  EXPECT_EQ(form_->Conf().Protocol.Selected, 1);
  EXPECT_FALSE(items[0]->isChecked());
  EXPECT_TRUE(items[1]->isChecked());
  EXPECT_EQ(form_->CurrentDisplayMode(), TDisplayMode::HexAscii) << "the mode stays";
  form_->ProtocolDisplayClick();
  EXPECT_EQ(form_->CurrentDisplayMode(), TDisplayMode::Protocol);
  EXPECT_TRUE(form_->BtnProtocoll->isChecked());
  EXPECT_EQ(form_->PanelDisplayMode->text(), "Protocol: Ruvo-94");

  // 02 01 20 41 03 03 and its check byte, then a stray byte.
  Send(*far, std::string_view("\x02\x01\x20\x41\x03\x03\x6B!", 8));
  ASSERT_TRUE(RunUntil([&] { return form_->KLV().CursorY() == 2; }));
  EXPECT_EQ(form_->KLV().Buffer().RowText(0).substr(0, 28), "To:01H From:20H Type:A Msg:\\");
  EXPECT_EQ(form_->KLV().Buffer().RowText(1).substr(0, 29), "-----FRAME ERROR: Missing STX");

  // The same protocol again changes nothing; none switches to Hex/ASCII.
  const std::size_t messages = messages_.shown.size();
  items[1]->trigger();
  EXPECT_EQ(form_->KLV().CursorY(), 2);
  EXPECT_EQ(messages_.shown.size(), messages);
  items[0]->trigger();
  EXPECT_EQ(messages_.Texts().back(), "The display mode will be to set Hex/Ascii mode");
  EXPECT_EQ(form_->CurrentDisplayMode(), TDisplayMode::HexAscii);
  EXPECT_TRUE(form_->BtnHexAscii->isChecked());
  EXPECT_TRUE(items[0]->isChecked());
  EXPECT_FALSE(items[1]->isChecked());
}

// The menu item opens the rules dialog on the configuration's own record.
TEST_F(MainWindow, TheProtocolParametersItemEditsTheUserRules) {
  Start();
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<TProprietarySettingsDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Hex-Asc/TTY Protocol parameters");
    dialog->seLengthAdjust->setValue(-3);
    dialog->OKBtn->click();
  });
  form_->ProprietaryProtocolClick();
  EXPECT_EQ(form_->Conf().Protocolparam.LengthAdjust.get(), -3);
}

// The caret follows received text unless the user works elsewhere in the
// active window; it follows again once the console has the focus.
TEST_F(MainWindow, TheCaretFollowsTheTextUnlessTheFocusIsElsewhere) {
  Start();
  QApplication::setActiveWindow(form_.get());
  form_->BtnPause->setFocus();
  ASSERT_TRUE(RunUntil([&] { return form_->BtnPause->hasFocus(); }));
  form_->RefreshCaret();
  EXPECT_FALSE(form_->KLV().CaretShown());

  form_->KLV().setFocus();
  ASSERT_TRUE(RunUntil([&] { return form_->KLV().hasFocus(); }));
  form_->RefreshCaret();
  EXPECT_TRUE(form_->KLV().CaretShown());
}

}  // namespace
}  // namespace klv
