#include "log/ui/PrinterDevice.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>

#include "log/Log.h"
#include "support/FakeMessageService.h"

namespace klv {
namespace {

class PrinterDeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    device_.SetPdfDirectory(dir_.path());
    device_.SetAlwaysPdf(true);
  }

  // Runs a poppler tool on the file and returns what it printed.
  static QString Poppler(const QString& tool, const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
      return QString();
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
  }

  static QString PdfText(const QString& path) {
    return Poppler(QStringLiteral("pdftotext"),
                   {QStringLiteral("-layout"), path, QStringLiteral("-")});
  }

  QString OnlyPdf() const {
    const QStringList files = QDir(dir_.path()).entryList({QStringLiteral("*.pdf")}, QDir::Files);
    EXPECT_EQ(files.size(), 1);
    return files.isEmpty() ? QString() : dir_.filePath(files[0]);
  }

  QTemporaryDir dir_;
  TQtPrinterDevice device_;
};

TEST_F(PrinterDeviceTest, PrinterLogBecomesAPdfFile) {
  if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
    GTEST_SKIP() << "pdftotext is not installed";
  TLog settings{};
  settings.LogToPrinter = true;
  const std::uint8_t format = 0;
  test::FakeMessageService messages;
  TLogEngine engine(settings, format, messages, device_);
  const QDateTime now(QDate(2026, 12, 6), QTime(12, 5, 1));
  engine.SetClock([&] { return now; });

  engine.OpenPrinterLog();
  ASSERT_TRUE(engine.PrinterLogOpen());
  const QString path = OnlyPdf();
  EXPECT_TRUE(QFileInfo(path).fileName().startsWith(QStringLiteral("Kelvora32 printer log ")));
  EXPECT_EQ(device_.Destination(), path);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(messages.shown[0].text.contains(QLatin1Char('<') + path + QLatin1Char('>')));

  engine.LogPrinterText("Hello from channel one\r\n", 0);
  engine.LogPrinterText("Channel two \xE9t\xE9", 1);
  engine.LogPrinterText("\r\n", 0);
  engine.ClosePrinterLog();
  EXPECT_EQ(messages.shown.size(), 1u);

  const QLocale locale = QLocale::system();
  const QString stamp = locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                        locale.toString(now.time(), QLocale::LongFormat);
  const QStringList lines = PdfText(path).split(QLatin1Char('\n'));
  // pdftotext rebuilds runs of blanks from glyph positions, not exactly.
  const auto hasLine = [&](const QString& line) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const QString& l) { return l.simplified() == line.simplified(); });
  };
  EXPECT_TRUE(hasLine(QStringLiteral("KLV V3.02  Printer log opened: ") + stamp))
      << lines.join('\n').toStdString();
  EXPECT_TRUE(hasLine(QStringLiteral("Hello from channel one")));
  EXPECT_TRUE(hasLine(QStringLiteral("Channel two \u00E9t\u00E9")));
  EXPECT_TRUE(hasLine(QStringLiteral("KLV V3.02  Printer log closed: ") + stamp));

  // Courier New is printed with its Linux stand-in, bold for the log's own lines.
  const QString fonts = Poppler(QStringLiteral("pdffonts"), {path});
  if (!fonts.isEmpty()) {
    EXPECT_TRUE(fonts.contains(QStringLiteral("LiberationMono-Bold"))) << fonts.toStdString();
    EXPECT_TRUE(fonts.contains(QStringLiteral("LiberationMono "))) << fonts.toStdString();
  }
}

TEST_F(PrinterDeviceTest, FullPagesAreTurnedAndLongLinesWrap) {
  if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
    GTEST_SKIP() << "pdftotext is not installed";
  QString error;
  ASSERT_TRUE(device_.Begin(&error)) << error.toStdString();
  EXPECT_TRUE(device_.PrintsToFile());
  for (int i = 1; i <= 200; ++i)
    ASSERT_TRUE(device_.Write(QStringLiteral("line %1\r\n").arg(i, 4, 10, QLatin1Char('0'))));
  QString longLine;
  for (int i = 0; i < 40; ++i)
    longLine += QStringLiteral("w%1-").arg(i, 2, 10, QLatin1Char('0'));
  ASSERT_TRUE(device_.Write(longLine + QStringLiteral("\r\n")));
  device_.End();

  const QString text = PdfText(OnlyPdf());
  const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
  EXPECT_GE(pages.size(), 3) << text.toStdString();
  QStringList printed = text.split(QRegularExpression(QStringLiteral("[\\n\\f]")));
  for (QString& line : printed)
    line = line.trimmed();
  printed.removeAll(QString());
  ASSERT_GE(printed.size(), 202);
  for (int i = 1; i <= 200; ++i)
    EXPECT_EQ(printed[i - 1], QStringLiteral("line %1").arg(i, 4, 10, QLatin1Char('0')));
  // 160 characters do not fit on one line of a page; wrapped, nothing is lost.
  const QStringList wrapped = printed.mid(200);
  EXPECT_GE(wrapped.size(), 2);
  EXPECT_EQ(wrapped.join(QString()), longLine);
}

TEST_F(PrinterDeviceTest, MissingPdfFolderIsAnError) {
  device_.SetPdfDirectory(dir_.filePath(QStringLiteral("no/such/folder")));
  QString error;
  EXPECT_FALSE(device_.Begin(&error));
  EXPECT_TRUE(error.contains(dir_.filePath(QStringLiteral("no/such/folder"))))
      << error.toStdString();
  EXPECT_FALSE(device_.Write(QStringLiteral("x")));
}

}  // namespace
}  // namespace klv
