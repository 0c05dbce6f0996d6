// The help window, Print Screen and the about box as the user reaches them:
// from the main window and its dialogs, with printouts read back from real
// PDF files by poppler's pdftotext and pdfimages.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <map>

#include "app/ConfigTestSupport.h"
#include "app/ui/Klvmain.h"
#include "help/ui/AboutBox.h"
#include "help/ui/HelpServices.h"
#include "help/ui/OnlineHelp.h"
#include "help/ui/PrintOutput.h"
#include "serial/ComPort.h"
#include "serial/SerialDevice.h"
#include "serial/SerialVersion.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"
#include "support/PortMap.h"

namespace klv {
namespace {

// Runs `action`, which opens a modal dialog; `inspect` sees the dialog while
// it is open, then it is closed. Returns whether a modal dialog was seen.
bool WhileModal(const std::function<void()>& action, const std::function<void(QDialog*)>& inspect) {
  QWidget* const before = QApplication::activeModalWidget();
  bool seen = false;
  QTimer timer;
  timer.setInterval(5);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (modal == nullptr || modal == before || seen)
      return;
    seen = true;
    timer.stop();
    inspect(modal);
    if (modal->isVisible())
      modal->reject();
  });
  timer.start();
  action();
  timer.stop();
  return seen;
}

// The standard output of a poppler tool; empty when it failed.
QString Poppler(const char* tool, const QStringList& arguments) {
  QProcess process;
  process.start(QString::fromLatin1(tool), arguments);
  const bool ran = process.waitForFinished(60000) && process.exitCode() == 0;
  return ran ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

bool HavePoppler() {
  return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
         !QStandardPaths::findExecutable(QStringLiteral("pdfimages")).isEmpty();
}

QAbstractButton* ButtonOf(QWidget* window, const QString& text) {
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
    if (button->text().remove(QLatin1Char('&')) == text || button->toolTip().startsWith(text))
      return button;
  return nullptr;
}

class Help : public testing::Test {
 protected:
  void SetUp() override {
    SetDefaultDeviceProvider(&ports_);
    form_ = std::make_unique<TKLVAppForm>(TAppFormSetup{{}, &messages_, nullptr, false});
    form_->show();
    ASSERT_TRUE(test::RunUntil([&] { return form_->Started(); }));
    services_ = dynamic_cast<THelpServices*>(WindowServices());
    ASSERT_NE(services_, nullptr);
    services_->Output().SetPrinterCheck([] { return false; });
    services_->Output().SetPdfDirectory(pdfDir_.path());
    messages_.shown.clear();
  }
  void TearDown() override {
    form_.reset();
    SetDefaultDeviceProvider(nullptr);
    SetCountPortsInUse(true);
  }

  // The caption of the tab the help window opens at when `action` is done,
  // after the user left it at another tab; empty when it does not open.
  QString HelpTabAfter(const std::function<void()>& action) {
    services_->HelpWindow().PageControl->setCurrentIndex(kHelpPages - 1);
    QString tab;
    WhileModal(action, [&](QDialog* modal) {
      if (auto* help = qobject_cast<TOnlineHelp*>(modal))
        tab = help->PageControl->tabText(help->CurrentPage());
    });
    return tab;
  }
  QAction* Command(const char* name) {
    auto* found = form_->findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  test::TempCurrentDir dir_;
  test::PortMap ports_;
  test::FakeMessageService messages_;
  QTemporaryDir pdfDir_;
  std::unique_ptr<TKLVAppForm> form_;
  THelpServices* services_ = nullptr;
};

// Every dialog of the program, those made at start and those made when their
// command is chosen, opens the help window at its own tab.
TEST_F(Help, EveryDialogsHelpButtonOpensItsTab) {
  const std::map<QString, QString> tabs{
      {"TChannelDlg", "Hex-ASCII/TTY"},      {"TFormDmSettings", "Hex-ASCII/TTY"},
      {"TImportDRLCfgDlg", "Hex-ASCII/TTY"}, {"TProprietarySettingsDlg", "Protocols"},
      {"TMiscSettingsDlg", "Miscellaneous"}, {"TString_EditDlg", "String library"},
      {"TReArrStrings", "String library"},   {"TScriptStringTransmissionDlg", "String library"},
      {"TXmitFileDlg", "String library"},    {"TTrig_HexTTYDlg", "Triggers"},
      {"TTrig_Ruvo94Dlg", "Triggers"},       {"TLogDlg", "Log"},
  };
  QStringList checked;
  auto check = [&](QDialog* dialog) {
    const QString name =
        QString::fromLatin1(dialog->metaObject()->className()).section(QStringLiteral("::"), -1);
    SCOPED_TRACE(name.toStdString());
    checked << name;
    QAbstractButton* help = ButtonOf(dialog, QStringLiteral("Help"));
    ASSERT_TRUE(help != nullptr && tabs.count(name) == 1);
    EXPECT_EQ(HelpTabAfter([&] { help->click(); }), tabs.at(name));
  };
  for (QDialog* dialog : form_->findChildren<QDialog*>(Qt::FindDirectChildrenOnly))
    if (qobject_cast<TOnlineHelp*>(dialog) == nullptr)
      check(dialog);
  for (const char* command :
       {"SettingsMisc", "ProprietaryProtocol", "Rearrange1", "ImportDRLCfg", "TransmittFile1"}) {
    QAction* item = Command(command);
    ASSERT_NE(item, nullptr);
    item->setEnabled(true);  // Transmit File waits for an open channel
    EXPECT_TRUE(WhileModal([&] { item->trigger(); }, check)) << command;
  }
  for (const auto& [name, tab] : tabs)
    EXPECT_TRUE(checked.contains(name)) << name.toStdString() << " not reached";
}

// F1 on the main window, and a page out of range, open General.
TEST_F(Help, F1AndAPageOutOfRangeOpenGeneral) {
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  EXPECT_EQ(HelpTabAfter([&] { QTest::keyClick(form_.get(), Qt::Key_F1); }), "General");
  for (const int page : {-1, kHelpPages})
    EXPECT_EQ(HelpTabAfter([&] { services_->HelpWindow().ShowPage(page); }), "General") << page;
}

// Print in the help window without a printer: a PDF file with the header
// (page number and caption), an empty line, then every line of the page after
// eight blanks. Read back as words placed in points: 15 mm margin, Courier
// 10 pt 6 pt a column.
TEST_F(Help, PrintPrintsTheShownPageIndented) {
  if (!HavePoppler())
    GTEST_SKIP() << "poppler-utils are not installed";
  EXPECT_TRUE(WhileModal([&] { services_->ShowHelp(THelpContext::Protocols); },
                         [&](QDialog*) { services_->HelpWindow().btnPrint->click(); }));
  const QString path = services_->Output().LastPdfFile();
  ASSERT_TRUE(QFileInfo::exists(path));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text,
            "No printer is installed. The help page is printed to the PDF file <" + path + ">.");

  struct TLine {
    QString text;           // its words, one blank apart
    double x, top, bottom;  // of its first word
  };
  QList<TLine> printed;
  static const QRegularExpression word(QStringLiteral(
      "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" yMax=\"([\\d.]+)\">([^<]*)<"));
  const QString bbox = Poppler("pdftotext", {QStringLiteral("-bbox"), path, QStringLiteral("-")});
  for (auto it = word.globalMatch(bbox); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    QString text = m.captured(4);
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    const double top = m.captured(2).toDouble();
    if (printed.isEmpty() || printed.last().top != top)
      printed.append({text, m.captured(1).toDouble(), top, m.captured(3).toDouble()});
    else
      printed.last().text += ' ' + text;
  }
  QStringList expected;
  for (const QString& line : HelpPageText(2).split(QLatin1Char('\n')))
    if (!line.trimmed().isEmpty())
      expected << line;
  ASSERT_EQ(printed.size(), expected.size() + 1);
  EXPECT_EQ(printed[0].text, QStringLiteral("KLV V3.02 Online help. Page:3 Protocols"));
  const TLine& first = printed[1];
  EXPECT_NEAR((first.top - printed[0].bottom) / (first.bottom - first.top), 1.0, 0.2)
      << "one empty line after the header";
  const double margin = 15 / 25.4 * 72;
  for (qsizetype i = 0; i < expected.size(); ++i) {
    const QString& line = expected[i];
    EXPECT_EQ(printed[i + 1].text.toStdString(), line.simplified().toStdString());
    const auto column =
        static_cast<double>(8 + line.indexOf(QRegularExpression(QStringLiteral("\\S"))));
    EXPECT_NEAR((printed[i + 1].x - margin) / 6.0, column, 0.2) << line.toStdString();
  }
}

// A dialog's Print Screen button without a printer: a PDF file holding the
// dialog's picture, as large as it is on the screen, as its one image.
TEST_F(Help, ADialogsPrintScreenButtonPrintsItsPicture) {
  if (!HavePoppler())
    GTEST_SKIP() << "poppler-utils are not installed";
  QSize picture;
  EXPECT_TRUE(WhileModal([&] { Command("SettingsMisc")->trigger(); },
                         [&](QDialog* dialog) {
                           picture = dialog->grab().size();
                           ButtonOf(dialog, QStringLiteral("Print Screen"))->click();
                         }));
  const QString path = services_->Output().LastPdfFile();
  ASSERT_TRUE(QFileInfo::exists(path));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_TRUE(messages_.shown[0].text.contains('<' + path + '>'));
  const QStringList images =
      Poppler("pdfimages", {QStringLiteral("-list"), path})
          .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
          .filter(QRegularExpression(QStringLiteral("^\\s*\\d+\\s+\\d+\\s+image\\s")));
  ASSERT_EQ(images.size(), 1);
  const QStringList columns = images[0].split(QLatin1Char(' '), Qt::SkipEmptyParts);
  EXPECT_EQ(QSize(columns[3].toInt(), columns[4].toInt()), picture);
}

TEST_F(Help, AboutShowsTheVersionsAndOpensTheWebAndMailLines) {
  QList<QUrl> opened;
  services_->SetUrlOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  QStringList texts;
  EXPECT_TRUE(WhileModal([&] { Command("About1")->trigger(); },
                         [&](QDialog* modal) {
                           auto* box = qobject_cast<TAboutBox*>(modal);
                           ASSERT_NE(box, nullptr);
                           texts << box->ProductName->text() << box->Version->text()
                                 << box->SerialVersion->text();
                           QTest::mouseClick(box->WebLink, Qt::LeftButton);
                           QTest::mouseClick(box->MailLink, Qt::LeftButton);
                         }));
  EXPECT_EQ(texts, QStringList({QStringLiteral("Kelvora 32"), QStringLiteral("KLV V3.02"),
                                QStringLiteral("Serial port layer: ") + kSerialLayerVersion}));
  EXPECT_EQ(opened, (QList<QUrl>{QUrl(QStringLiteral("https://www.kelvora.example/")),
                                 QUrl(QStringLiteral("mailto:support@kelvora.example"))}));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(Help, ClosingTheMainWindowTakesItsServicesAway) {
  form_.reset();
  EXPECT_EQ(WindowServices(), nullptr);
}

// A printout that cannot be made is said, and is not passed off as done: a
// missing PDF folder, a job that fails (its partial PDF removed), a print
// dialog cancelled.
TEST(PrintOutput, FailuresAreReportedAndLeaveNoFile) {
  QTemporaryDir dir;
  test::FakeMessageService messages;
  TPrintOutput output(messages);
  output.SetAlwaysPdf(true);
  output.SetPdfDirectory(dir.filePath(QStringLiteral("missing")));
  EXPECT_FALSE(output.Print(QStringLiteral("help page"), nullptr, [](QPrinter&) { return true; }));
  output.SetPdfDirectory(dir.path());
  EXPECT_FALSE(output.Print(QStringLiteral("help page"), nullptr, [](QPrinter&) { return false; }));
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("does not exist")));
  EXPECT_TRUE(messages.shown[1].text.contains(QStringLiteral("could not be printed")));
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
  output.SetAlwaysPdf(false);
  output.SetPrinterCheck([] { return true; });
  output.SetPrintDialog([](QPrinter&, QWidget*) { return false; });
  EXPECT_FALSE(output.Print(QStringLiteral("help page"), nullptr, [](QPrinter&) { return true; }));
  EXPECT_EQ(messages.shown.size(), 2u);  // a cancel is no failure
}

}  // namespace
}  // namespace klv
