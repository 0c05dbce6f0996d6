// Print Screen: the picture's place on the page, the print dialog or PDF
// choice, and a window's picture in a real PDF file.
#include "help/ui/PrintScreen.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include "common/ui/DialogButtons.h"
#include "help/HelpTestSupport.h"
#include "help/ui/HelpServices.h"
#include "help/ui/PrintOutput.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"

namespace klv {
namespace {

using Kind = test::FakeMessageService::Kind;

TEST(PrintScreen, ThePictureFillsThePageKeepingItsProportions) {
  const struct {
    QSizeF picture, page;
    QRectF placed;
  } cases[] = {
      {{400, 300}, {800, 1000}, {0, 0, 800, 600}},     // wide: as wide as the page
      {{300, 600}, {800, 1000}, {150, 0, 500, 1000}},  // tall: as high, centred across
      {{800, 1000}, {800, 1000}, {0, 0, 800, 1000}},   // exactly the page
      {{1, 1}, {100, 50}, {25, 0, 50, 50}},            // tiny: enlarged
      {{2000, 100}, {500, 700}, {0, 0, 500, 25}},      // larger than the page: reduced
      {{0, 300}, {800, 1000}, {}},                     // no picture
      {{400, 300}, {0, 0}, {}},                        // no page
  };
  for (const auto& c : cases)
    EXPECT_EQ(FitPicture(c.picture, c.page), c.placed)
        << c.picture.width() << "x" << c.picture.height();
}

// Where a printout goes: after the print dialog to the printer (here the
// dialog picks a file, as its "Print to file" does), else into a PDF file.
TEST(PrintOutput, ThePrintDialogOrAPdfFile) {
  const struct {
    const char* name;
    bool printerInstalled;
    bool confirm;       // the user's answer in the print dialog
    bool folderExists;  // the PDF folder
    bool jobSucceeds;
    bool dialogShown, printed, pdfInFolder;
    std::vector<Kind> messages;
  } cases[] = {
      {"printer, confirmed", true, true, true, true, true, true, false, {}},
      {"printer, cancelled", true, false, true, true, true, false, false, {}},
      {"printer fails", true, true, true, false, true, false, false, {Kind::Error}},
      {"no printer", false, false, true, true, false, true, true, {Kind::Information}},
      {"no printer, no folder", false, false, false, true, false, false, false, {Kind::Error}},
      {"no printer, job fails", false, false, true, false, false, false, false, {Kind::Error}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString chosen = dir.filePath(QStringLiteral("chosen.pdf"));
    test::FakeMessageService messages;
    TPrintOutput output(messages);
    output.SetPrinterCheck([&] { return c.printerInstalled; });
    output.SetPdfDirectory(c.folderExists ? dir.filePath(QStringLiteral("pdf"))
                                          : dir.filePath(QStringLiteral("missing")));
    if (c.folderExists) {
      ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("pdf")));
    }
    bool dialogShown = false;
    output.SetPrintDialog([&](QPrinter& printer, QWidget*) {
      dialogShown = true;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(chosen);
      return c.confirm;
    });
    const bool printed = output.Print(QStringLiteral("window picture"), nullptr, [&](QPrinter& p) {
      QPainter painter(&p);
      painter.drawText(QPointF(100, 100), QStringLiteral("printout"));
      return c.jobSucceeds;
    });
    EXPECT_EQ(dialogShown, c.dialogShown);
    EXPECT_EQ(printed, c.printed);
    EXPECT_EQ(QFileInfo::exists(chosen), c.printerInstalled && c.confirm);
    const QStringList pdfs =
        QDir(dir.filePath(QStringLiteral("pdf"))).entryList({QStringLiteral("*.pdf")}, QDir::Files);
    EXPECT_EQ(pdfs.size(), c.pdfInFolder ? 1 : 0) << "no partial file stays behind";
    EXPECT_EQ(output.LastPdfFile().isEmpty(), !c.pdfInFolder);
    std::vector<Kind> kinds;
    for (const auto& shown : messages.shown)
      kinds.push_back(shown.kind);
    EXPECT_EQ(kinds, c.messages);
    if (c.pdfInFolder) {
      EXPECT_TRUE(pdfs[0].startsWith(QStringLiteral("Kelvora32 window picture ")));
      EXPECT_TRUE(messages.shown[0].text.contains('<' + output.LastPdfFile() + '>'));
    }
  }
}

// A dialog's Print Screen button: its picture, as large as it is on the
// screen, on one page of a PDF file when no printer is installed.
TEST(PrintScreen, TheDialogsButtonPrintsItsPictureOnOnePage) {
  if (!test::HavePoppler())
    GTEST_SKIP() << "poppler-utils are not installed";
  QTemporaryDir dir;
  test::FakeMessageService messages;
  THelpServices services(nullptr, messages);
  services.Output().SetPrinterCheck([] { return false; });
  services.Output().SetPdfDirectory(dir.path());
  SetWindowServices(&services);

  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(QStringLiteral("Line parameters"), &dialog));
  const TDialogButtons buttons = MakeDialogButtons(&dialog, THelpContext::Settings);
  layout->addLayout(buttons.Row);
  dialog.resize(360, 220);
  dialog.show();
  ASSERT_TRUE(test::RunUntil([&] { return dialog.isVisible(); }));
  const QSize picture = dialog.grab().size();

  buttons.PrintScreen->click();
  SetWindowServices(nullptr);
  const QString path = services.Output().LastPdfFile();
  ASSERT_TRUE(QFileInfo::exists(path));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(
      messages.shown[0].text,
      "No printer is installed. The window picture is printed to the PDF file <" + path + ">.");
  EXPECT_EQ(test::PdfImages(path), std::vector<QSize>{picture});
  EXPECT_EQ(test::PdfPageCount(path), 1);
}

}  // namespace
}  // namespace klv
