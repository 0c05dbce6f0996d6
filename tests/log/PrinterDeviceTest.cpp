#include "log/ui/PrinterDevice.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "log/Log.h"
#include "support/FakeMessageService.h"

namespace klv {
namespace {

// The text of a PDF file as pdftotext lays it out; empty when it cannot be read.
QString PdfText(const QString& path) {
  QProcess process;
  process.start(QStringLiteral("pdftotext"),
                {QStringLiteral("-layout"), path, QStringLiteral("-")});
  const bool read = process.waitForFinished(60000) && process.exitCode() == 0;
  return read ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

// The real device printing into PDF files in a folder of the test's own, read back by pdftotext.
class PrinterDevice : public testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
      GTEST_SKIP() << "pdftotext is not installed";
    device.SetPdfDirectory(dir.path());
    device.SetAlwaysPdf(true);
  }
  QTemporaryDir dir;
  TQtPrinterDevice device;
};

// The printer log: full pages are turned and long lines wrap, nothing is lost.
TEST_F(PrinterDevice, PrinterLogBecomesAPdfFile) {
  TLog settings{};
  settings.LogToPrinter = true;
  const std::uint8_t format = 0;
  test::FakeMessageService messages;
  TLogEngine engine(settings, format, messages, device);
  const QDateTime now(QDate(2026, 12, 6), QTime(12, 5, 1));
  engine.SetClock([&] { return now; });

  engine.OpenPrinterLog();
  const QStringList files = QDir(dir.path()).entryList({QStringLiteral("*.pdf")}, QDir::Files);
  ASSERT_EQ(files.size(), 1);
  const QString path = dir.filePath(files[0]);
  EXPECT_TRUE(files[0].startsWith(QStringLiteral("Kelvora32 printer log "))) << path.toStdString();
  ASSERT_TRUE(messages.shown.size() == 1 && messages.shown[0].text.contains('<' + path + '>'));

  QStringList lines;
  for (int i = 1; i <= 200; ++i) {
    lines << QStringLiteral("line %1").arg(i, 4, 10, QLatin1Char('0'));
    engine.LogPrinterText(lines.back().toStdString() + "\r\n", i % 2);
  }
  QString longLine;  // 160 characters are more than a line of the page holds
  for (int i = 0; i < 40; ++i)
    longLine += QStringLiteral("w%1-").arg(i, 2, 10, QLatin1Char('0'));
  engine.LogPrinterText(longLine.toStdString() + "\r\n", 0);
  engine.LogPrinterText("Channel two \xE9t\xE9\r\n", 1);
  engine.ClosePrinterLog();
  EXPECT_EQ(messages.shown.size(), 1u);

  const QString text = PdfText(path);
  EXPECT_GE(text.split(QLatin1Char('\f'), Qt::SkipEmptyParts).size(), 3) << text.toStdString();
  // pdftotext rebuilds runs of blanks from glyph positions, not exactly.
  QStringList printed = text.split(QRegularExpression(QStringLiteral("[\\n\\f]")));
  for (QString& line : printed)
    line = line.simplified();
  printed.removeAll(QString());
  const QString stamp = LogDateTimeText(now);
  ASSERT_GE(printed.size(), 205) << text.toStdString();
  EXPECT_EQ(printed.front(), QStringLiteral("KLV V3.02 Printer log opened: ") + stamp);
  EXPECT_EQ(printed.mid(1, 200), lines);
  EXPECT_EQ(printed.mid(201, printed.size() - 203).join(QString()), longLine);
  EXPECT_EQ(printed[printed.size() - 2], QStringLiteral("Channel two \u00E9t\u00E9"));
  EXPECT_EQ(printed.back(), QStringLiteral("KLV V3.02 Printer log closed: ") + stamp);
}

// A full console line fits on one printed line on A4 and on Letter; a lone CR ends a line as CR LF
// does, and a CR LF split between two writes ends only one.
TEST_F(PrinterDevice, AConsoleLineFitsAndEveryLineEndStartsALine) {
  QString line;  // as wide as the console
  for (int i = 0; line.size() < 94; ++i)
    line += QStringLiteral("%1").arg(i % 10);
  for (const QPageSize::PageSizeId paper : {QPageSize::A4, QPageSize::Letter}) {
    device.SetPdfPageSize(QPageSize(paper));
    ASSERT_TRUE(device.Begin(nullptr));
    EXPECT_GE(device.PointSize(), 9.0) << "legible";
    for (const QString& text :
         {line + "\r\n", QStringLiteral("one\rtwo\r"), QStringLiteral("\nthree\r\n\r\nfour")})
      EXPECT_TRUE(device.Write(text));
    device.End();
    const QString printed =
        PdfText(device.Destination())
            .trimmed()
            .replace(QRegularExpression(QStringLiteral(" *\n *")), QStringLiteral("|"));
    EXPECT_EQ(printed.toStdString(), (line + "|one|two|three||four").toStdString()) << paper;
  }
}

}  // namespace
}  // namespace klv
