// The help window through the window services, its pages, and the printed
// help page read back from a real PDF file.
#include "help/ui/OnlineHelp.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include "common/ui/DialogButtons.h"
#include "help/HelpTestSupport.h"
#include "help/ui/HelpServices.h"
#include "help/ui/PrintOutput.h"
#include "support/FakeMessageService.h"

namespace klv {
namespace {

using test::WhileModal;

// Every window's Help button opens the help window at the window's page,
// whatever page the user left it at the last time; OK closes it.
TEST(OnlineHelp, EachCallingContextOpensItsPage) {
  test::FakeMessageService messages;
  THelpServices services(nullptr, messages);
  SetWindowServices(&services);
  const struct {
    THelpContext context;
    const char* caption;
  } cases[] = {
      {THelpContext::General, "General"},
      {THelpContext::Settings, "Hex-ASCII/TTY"},
      {THelpContext::Protocols, "Protocols"},
      {THelpContext::Miscellaneous, "Miscellaneous"},
      {THelpContext::StringLibrary, "String library"},
      {THelpContext::Triggers, "Triggers"},
      {THelpContext::Log, "Log"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    QDialog caller;
    const TDialogButtons buttons = MakeDialogButtons(&caller, c.context);
    caller.show();
    int page = -1;
    QString tab, text;
    bool readOnly = false, memoShown = false;
    const bool seen = WhileModal(
        [&] { buttons.Help->click(); },
        [&](QDialog* modal) {
          auto* help = qobject_cast<TOnlineHelp*>(modal);
          if (help == nullptr)
            return;
          page = help->CurrentPage();
          tab = help->PageControl->tabText(page);
          QPlainTextEdit* memo = help->Memo.at(static_cast<std::size_t>(page));
          text = memo->toPlainText();
          readOnly = memo->isReadOnly();
          memoShown = memo->isVisible();
          help->PageControl->setCurrentIndex((page + 3) % kHelpPages);  // turned by the user
          help->OKBtn->click();
        });
    EXPECT_TRUE(seen);
    EXPECT_EQ(page, static_cast<int>(c.context));
    EXPECT_EQ(tab, QString::fromLatin1(c.caption));
    EXPECT_TRUE(readOnly && memoShown);
    EXPECT_EQ(text, HelpPageText(page));
    EXPECT_FALSE(services.HelpWindow().isVisible());
  }
  SetWindowServices(nullptr);
}

TEST(OnlineHelp, APageOutOfRangeOpensGeneral) {
  test::FakeMessageService messages;
  TPrintOutput output(messages);
  TOnlineHelp help(output);
  for (const int asked : {-1, 7, 1000}) {
    int shown = -1;
    EXPECT_TRUE(
        WhileModal([&] { help.ShowPage(asked); }, [&](QDialog*) { shown = help.CurrentPage(); }));
    EXPECT_EQ(shown, 0) << asked;
  }
}

// The pages are built in and each tells about its topic; the general page
// carries what is particular to Linux.
TEST(OnlineHelp, PagesCoverTheirTopics) {
  const struct {
    int page;
    QStringList phrases;
  } cases[] = {
      {0, {"dialout", "kelvora32/ports", "kelvora32-sim", "Config.klv", "F1"}},
      {1, {"16 bytes", "column 51-66", "<Before", "[stx]"}},
      {2, {"STX (02H)", "00H-XOR-ROR", "FRAME ERROR: Checksum error", "Length adjustment"}},
      {3, {"0 to 60000 ms", "LOG MODEM CONTROL SIGNALS", "LOCAL ECHO"}},
      {4, {"X1WX25WW", "Tab", "Insert", "Script", "Global"}},
      {5, {"1-shot", "Retrig", "Tr-Trigged", "Display All", "addressed to the sender"}},
      {6, {".Doc", "Unformatted Binary", "PDF file"}},
  };
  for (const auto& c : cases) {
    const QString text = HelpPageText(c.page);
    for (const QString& phrase : c.phrases)
      EXPECT_TRUE(text.contains(phrase))
          << HelpPageCaption(c.page).toStdString() << ": " << phrase.toStdString();
  }
  EXPECT_TRUE(HelpPageText(kHelpPages).isEmpty());
  EXPECT_TRUE(HelpPageCaption(-1).isEmpty());
}

class HelpPrint : public testing::Test {
 protected:
  void SetUp() override {
    if (!test::HavePoppler())
      GTEST_SKIP() << "poppler-utils are not installed";
    output.SetAlwaysPdf(true);
    output.SetPdfDirectory(dir.path());
  }
  QTemporaryDir dir;
  test::FakeMessageService messages;
  TPrintOutput output{messages};
};

// The header in 14 pt bold, then every line after eight blanks in 10 pt;
// a line wider than the page goes on indented the same, pages are turned.
TEST_F(HelpPrint, HeaderThenIndentedLinesOnAsManyPagesAsNeeded) {
  QStringList lines{QStringLiteral("first line"), QStringLiteral("  two blanks before"), QString()};
  for (int i = 1; i <= 120; ++i)
    lines << QStringLiteral("n%1 numbered").arg(i, 3, 10, QLatin1Char('0'));
  QString longLine;  // 200 characters, more than a line of the page holds
  for (int i = 0; i < 50; ++i)
    longLine += QStringLiteral("L%1").arg(i, 3, 10, QLatin1Char('0'));
  lines << longLine;

  ASSERT_TRUE(output.Print(QStringLiteral("help page"), nullptr, [&](QPrinter& printer) {
    return PrintHelpText(printer, HelpPrintHeader(2), lines);
  }));
  const QString path = output.LastPdfFile();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(messages.shown[0].text.contains('<' + path + '>'));

  const QStringList printed = test::PdfLines(path);
  ASSERT_GE(printed.size(), 126);
  EXPECT_EQ(printed[0], QStringLiteral("KLV V3.02 Online help. Page:3 Protocols"));
  EXPECT_EQ(printed.mid(1, 122),
            QStringList({QStringLiteral("first line"), QStringLiteral("two blanks before")}) +
                lines.mid(3, 120));
  EXPECT_GE(printed.size() - 123, 3) << "wrapped";
  EXPECT_EQ(printed.mid(123).join(QString()), longLine);
  EXPECT_GE(test::PdfPageCount(path), 2);

  // Positions: 15 mm margin, Courier advance 0.6 em: 8.4 pt a column in the
  // header, 6 pt in the text.
  const double margin = 15 / 25.4 * 72;
  const auto words = test::PdfWords(path);
  ASSERT_FALSE(words.empty());
  double headerHeight = 0, textHeight = 0;
  qsizetype linesPlaced = 0;
  // The numbered lines and the pieces of the long line.
  const QRegularExpression firstOfLine(QStringLiteral("^(n\\d{3}|L\\d{3}.*)$"));
  for (const test::TPdfWord& word : words) {
    SCOPED_TRACE(word.text.toStdString());
    if (word.text == QStringLiteral("KLV")) {
      EXPECT_NEAR(word.xMin, margin + 10 * 8.4, 1.5);
      headerHeight = word.yMax - word.yMin;
    } else if (word.text == QStringLiteral("first")) {
      EXPECT_NEAR(word.xMin, margin + 8 * 6.0, 1.5);
      textHeight = word.yMax - word.yMin;
    } else if (word.text == QStringLiteral("two")) {
      EXPECT_NEAR(word.xMin, margin + 10 * 6.0, 1.5);
    } else if (firstOfLine.match(word.text).hasMatch()) {
      EXPECT_NEAR(word.xMin, margin + 8 * 6.0, 1.5);
      ++linesPlaced;
    }
  }
  EXPECT_EQ(linesPlaced, 120 + printed.size() - 123);
  ASSERT_GT(textHeight, 0);
  EXPECT_NEAR(headerHeight / textHeight, 1.4, 0.1);
}

// Print in the help window prints the page it shows, every line of it.
TEST_F(HelpPrint, PrintButtonPrintsTheCurrentPage) {
  THelpServices services(nullptr, messages);
  services.Output().SetPrinterCheck([] { return false; });
  services.Output().SetPdfDirectory(dir.path());
  EXPECT_TRUE(WhileModal([&] { services.ShowHelp(THelpContext::StringLibrary); },
                         [&](QDialog*) { services.HelpWindow().btnPrint->click(); }));
  const QString path = services.Output().LastPdfFile();
  ASSERT_FALSE(path.isEmpty());
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text,
            "No printer is installed. The help page is printed to the PDF file <" + path + ">.");

  QStringList expected{QStringLiteral("KLV V3.02 Online help. Page:5 String library")};
  for (const QString& line : HelpPageText(4).split(QLatin1Char('\n'))) {
    if (!line.simplified().isEmpty())
      expected << line.simplified();
  }
  EXPECT_EQ(test::PdfLines(path), expected);
}

}  // namespace
}  // namespace klv
