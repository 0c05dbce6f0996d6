#include "log/Log.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstring>
#include <memory>
#include <string>

#include "common/Cp1252.h"
#include "log/FakePrinterDevice.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"

namespace klv {
namespace {

using test::FakeMessageService;
using test::FakePrinterDevice;
using Kind = FakeMessageService::Kind;

const QString kOpenFailure = QStringLiteral(
    "> could not be opened.\r\nPossible reasons:\r\n"
    "- The file is already in use by another program, such as a log file viewer.\r\n"
    "- The file does not exist or the filepath is invalid.");

// The date text as the log writes it, worked out here on its own.
QByteArray Stamp(const QDateTime& time) {
  const QLocale locale = QLocale::system();
  return (locale.toString(time.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
          locale.toString(time.time(), QLocale::LongFormat))
      .toUtf8();
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return QByteArray();
  return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& data) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(data), data.size());
}

// Lowers the largest file this process may write, the way a full disk
// stops a write; restores the limit and SIGXFSZ on destruction.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, savedHandler_);
  }
  bool Active() const { return active_; }

 private:
  rlimit saved_{};
  void (*savedHandler_)(int) = nullptr;
  bool active_ = false;
};

class LogEngineTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    savedCurrent_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    SetLogDefaults(settings_);
    engine_ = std::make_unique<TLogEngine>(settings_, format_, messages_, printer_);
    engine_->SetClock([this] { return now_; });
    engine_->SetRescueDirectory(dir_.filePath(QStringLiteral("rescue")));
    QObject::connect(engine_.get(), &TLogEngine::FileLogStopped, [this] { ++fileStops_; });
    QObject::connect(engine_.get(), &TLogEngine::PrinterLogStopped, [this] { ++printerStops_; });
    engine_->LoadLogSettings();
  }

  void TearDown() override {
    engine_.reset();
    QDir::setCurrent(savedCurrent_);
  }

  // What the main window does when the user switches the file log.
  bool TurnOn(const QString& name = QString()) {
    if (!name.isEmpty())
      engine_->SetCurrentFileName(name);
    settings_.LogToFile = true;
    return engine_->OpenLog();
  }
  void TurnOff() {
    engine_->CloseLog();
    settings_.LogToFile = false;
  }

  QString Path(const QString& name) const { return dir_.filePath(name); }
  QByteArray Line(const QString& path, const char* what, const QDateTime& time) const {
    return "KLV V3.02  log file " + path.toUtf8() + ' ' + what + ": " + Stamp(time);
  }

  QTemporaryDir dir_;
  QString savedCurrent_;
  TLog settings_{};
  std::uint8_t format_ = 0;
  FakeMessageService messages_;
  FakePrinterDevice printer_;
  std::unique_ptr<TLogEngine> engine_;
  QDateTime now_{QDate(2026, 12, 6), QTime(12, 5, 1)};
  int fileStops_ = 0;
  int printerStops_ = 0;
};

// ---------------------------------------------------------------- text log

TEST_F(LogEngineTest, TextLogWritesOpeningTextAndClosingLines) {
  const QString path = Path(QStringLiteral("KLV.Log"));
  EXPECT_EQ(engine_->CurrentFileName(), path);
  ASSERT_TRUE(TurnOn());
  const QDateTime opened = now_;
  EXPECT_EQ(ReadAll(path), "\r\n" + Line(path, "opened", opened) + "\r\n");

  engine_->LogText("first ", 0, false, true);
  engine_->LogText("line", 1, true, false);  // toRichText does not matter here
  now_ = now_.addSecs(3725);
  const QDateTime closed = now_;
  TurnOff();
  engine_->LogText("not logged", 0, true, true);
  now_ = now_.addDays(1);
  const QDateTime reopened = now_;
  ASSERT_TRUE(TurnOn());
  TurnOff();

  EXPECT_EQ(ReadAll(path), "\r\n" + Line(path, "opened", opened) + "\r\n" +  //
                               "first line\r\n" +                            //
                               "\r\n" + Line(path, "closed", closed) + "\r\n" + "\r\n" +
                               Line(path, "opened", reopened) + "\r\n" +  //
                               "\r\n" + Line(path, "closed", now_) + "\r\n");
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(LogEngineTest, MidnightIsWrittenAsTheDateAlone) {
  now_ = QDateTime(QDate(2027, 1, 2), QTime(0, 0));
  ASSERT_TRUE(TurnOn(QStringLiteral("midnight.txt")));
  const QString path = Path(QStringLiteral("midnight.txt"));
  const QByteArray date = QLocale::system().toString(now_.date(), QLocale::ShortFormat).toUtf8();
  EXPECT_EQ(ReadAll(path),
            "\r\nKLV V3.02  log file " + path.toUtf8() + " opened: " + date + "\r\n");
}

TEST_F(LogEngineTest, TextLogKeepsEveryByteAsUtf8) {
  ASSERT_TRUE(TurnOn(QStringLiteral("bytes.LOG")));
  std::string all;
  for (int b = 1; b < 256; ++b)
    all.push_back(static_cast<char>(b));
  engine_->LogText(all, 0, true, true);
  TurnOff();

  const QString text = QString::fromUtf8(ReadAll(Path(QStringLiteral("bytes.LOG"))));
  const QStringList lines = text.split(QStringLiteral("\r\n"));
  ASSERT_GE(lines.size(), 3);
  // The empty line and the opening line come first; the bytes hold CR LF
  // themselves, so they are found by position instead of by line.
  const qsizetype start = lines[0].size() + 2 + lines[1].size() + 2;
  EXPECT_EQ(QStringToCp1252(text.mid(start, 255)), all);
  EXPECT_EQ(text.mid(start + 255, 2), QStringLiteral("\r\n"));
}

TEST_F(LogEngineTest, NothingIsLoggedWhileTheSettingIsOff) {
  ASSERT_TRUE(TurnOn());
  settings_.LogToFile = false;
  engine_->LogText("hidden", 0, true, true);
  engine_->LogRawByte(0x41);
  engine_->CloseLog();
  EXPECT_FALSE(ReadAll(Path(QStringLiteral("KLV.Log"))).contains("hidden"));
}

TEST_F(LogEngineTest, RawFormatsWriteOnlyTheBytes) {
  struct Case {
    std::uint8_t format;
    std::vector<std::uint8_t> bytes;
    QByteArray expected;
  };
  const std::vector<Case> cases = {
      {1, {0x0D, 0x41, 0x00, 0xFF}, "0D4100FF"},
      {2, {7, 0x0D, 255, 0}, "007013255000"},
      {3, {0x00, 0x0D, 0x0A, 0x80, 0xFF}, QByteArray("\x00\x0D\x0A\x80\xFF", 5)},
  };
  for (const Case& c : cases) {
    format_ = c.format;
    const QString name = QStringLiteral("raw%1.log").arg(c.format);
    ASSERT_TRUE(TurnOn(name));
    for (std::uint8_t b : c.bytes)
      engine_->LogRawByte(b);
    engine_->LogText("display text", 0, true, true);
    TurnOff();
    EXPECT_EQ(ReadAll(Path(name)), c.expected) << "format " << int(c.format);
  }
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(LogEngineTest, ExtensionDecidesTheKindOfLog) {
  EXPECT_EQ(LogKindOfFile(QStringLiteral("a.Log")), TLogKind::Text);
  EXPECT_EQ(LogKindOfFile(QStringLiteral("a.TXT")), TLogKind::Text);
  EXPECT_EQ(LogKindOfFile(QStringLiteral("a.doc")), TLogKind::RichText);
  EXPECT_EQ(LogKindOfFile(QStringLiteral("a.log.csv")), TLogKind::None);
  EXPECT_EQ(LogKindOfFile(QStringLiteral("log")), TLogKind::None);

  ASSERT_TRUE(TurnOn(QStringLiteral("rich.doc")));
  EXPECT_EQ(engine_->OpenLogKind(), TLogKind::RichText);
  TurnOff();
  EXPECT_TRUE(ReadAll(Path(QStringLiteral("rich.doc"))).startsWith("{\\rtf1"));

  EXPECT_FALSE(TurnOn(QStringLiteral("table.csv")));
  EXPECT_TRUE(settings_.LogToFile);  // left to the caller
  EXPECT_FALSE(engine_->FileLogOpen());
  EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("table.csv"))));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].kind, Kind::Information);
  EXPECT_EQ(messages_.shown[0].text,
            QStringLiteral("The log file <") + Path(QStringLiteral("table.csv")) + kOpenFailure +
                QStringLiteral("\r\nReason: Only files with the extension .Log, .Txt or .Doc can "
                               "be log files."));
}

TEST_F(LogEngineTest, OpenFailureGivesTheSystemsReason) {
  const QString path = Path(QStringLiteral("missing/dir/x.log"));
  EXPECT_FALSE(TurnOn(path));
  ASSERT_EQ(messages_.Texts().size(), 1u);
  EXPECT_EQ(messages_.Texts()[0], QStringLiteral("The log file <") + path + kOpenFailure +
                                      QStringLiteral("\r\nReason: ") +
                                      QString::fromLocal8Bit(std::strerror(ENOENT)) +
                                      QLatin1Char('.'));
  // A folder is no log file either.
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder.log")));
  EXPECT_FALSE(TurnOn(QStringLiteral("folder.log")));
  EXPECT_EQ(messages_.shown.size(), 2u);
}

TEST_F(LogEngineTest, TextReachesTheFileWithinTheFlushInterval) {
  const QString path = Path(QStringLiteral("KLV.Log"));
  ASSERT_TRUE(TurnOn());
  const qint64 opened = QFileInfo(path).size();
  engine_->LogText("no line end yet", 0, false, true);
  EXPECT_TRUE(test::RunUntil([&] { return QFileInfo(path).size() == opened + 15; }));
  TurnOff();

  format_ = 1;
  const QString raw = Path(QStringLiteral("raw.log"));
  ASSERT_TRUE(TurnOn(raw));
  engine_->LogRawByte(0xAB);
  EXPECT_TRUE(test::RunUntil([&] { return ReadAll(raw) == "AB"; }));
}

TEST_F(LogEngineTest, FinishedLineIsWrittenAtOnceAndABurstSoonAfter) {
  const QString path = Path(QStringLiteral("KLV.Log"));
  ASSERT_TRUE(TurnOn());
  QThread::msleep(20);  // the opening lines' write is past
  engine_->LogText("first", 0, true, true);
  // No event loop has run: the line is in the file already.
  EXPECT_TRUE(ReadAll(path).endsWith("first\r\n"));

  // Lines right behind it share a write that follows without the second's flush.
  for (int i = 0; i < 1000; ++i)
    engine_->LogText("burst", 0, true, true);
  engine_->LogText("last", 0, true, true);
  EXPECT_TRUE(test::RunUntil([&] { return ReadAll(path).endsWith("last\r\n"); }));
  EXPECT_EQ(ReadAll(path).count("burst\r\n"), 1000);
}

// ---------------------------------------------------------------- failures while open

TEST_F(LogEngineTest, DeletedLogFileIsReportedOnceAndStopsTheLog) {
  const QString path = Path(QStringLiteral("KLV.Log"));
  ASSERT_TRUE(TurnOn());
  ASSERT_TRUE(QFile::remove(path));
  engine_->LogText("after removal", 0, true, true);
  // The once-a-second flush notices that the file is gone.
  ASSERT_TRUE(test::RunUntil([&] { return !engine_->FileLogOpen(); }));

  EXPECT_FALSE(engine_->FileLogOpen());
  EXPECT_FALSE(settings_.LogToFile);
  EXPECT_EQ(fileStops_, 1);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].kind, Kind::Error);
  EXPECT_EQ(messages_.shown[0].text,
            QStringLiteral("The log file <") + path +
                QStringLiteral("> was deleted or renamed while the log was open.\r\n"
                               "File logging has been stopped."));

  // The display goes on; the log stays quiet.
  settings_.LogToFile = true;  // even if someone sets it again
  for (int i = 0; i < 100; ++i)
    engine_->LogText("more", 0, true, true);
  engine_->CloseLog();
  EXPECT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(fileStops_, 1);
  EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(LogEngineTest, ReplacedLogFileIsNoticedWithoutNewData) {
  const QString path = Path(QStringLiteral("KLV.Log"));
  ASSERT_TRUE(TurnOn());
  // As log rotation does it: the file is renamed and a new one takes its name.
  ASSERT_TRUE(QFile::rename(path, Path(QStringLiteral("moved.log"))));
  WriteAll(path, "new file");
  EXPECT_TRUE(test::RunUntil([&] { return fileStops_ > 0; }));
  EXPECT_EQ(fileStops_, 1);
  EXPECT_FALSE(settings_.LogToFile);
  EXPECT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(ReadAll(path), "new file");
}

TEST_F(LogEngineTest, FullDiskIsReportedOnceAndStopsTheLog) {
  const QString path = Path(QStringLiteral("KLV.Log"));
  ASSERT_TRUE(TurnOn());
  const std::string line(3000, 'x');
  {
    FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.Active());
    engine_->LogText(line, 0, true, true);
    engine_->LogText(line, 0, true, true);
    engine_->LogText(line, 0, true, true);
    // Lines close together may share a later write.
    EXPECT_TRUE(test::RunUntil([&] { return !engine_->FileLogOpen(); }));
  }
  EXPECT_FALSE(engine_->FileLogOpen());
  EXPECT_FALSE(settings_.LogToFile);
  EXPECT_EQ(fileStops_, 1);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].kind, Kind::Error);
  EXPECT_EQ(messages_.shown[0].text, QStringLiteral("The log file <") + path +
                                         QStringLiteral("> could not be written.\r\nReason: ") +
                                         QString::fromLocal8Bit(std::strerror(EFBIG)) +
                                         QStringLiteral(".\r\nFile logging has been stopped."));
  EXPECT_LE(QFileInfo(path).size(), 4096);
}

// ---------------------------------------------------------------- rich-text log

TEST_F(LogEngineTest, RichTextLogKeepsChannelsApartAndWritesOnClose) {
  const QString path = Path(QStringLiteral("session.doc"));
  ASSERT_TRUE(TurnOn(path));
  // A new file is created at once, as an empty document.
  const QByteArray created = ReadAll(path);
  TRtfDocument document;
  ASSERT_TRUE(ReadRtf(created, document));
  EXPECT_TRUE(document.IsEmpty());

  const QDateTime opened = now_;
  engine_->LogText("chan 1 {\\}", 0, false, true);
  engine_->LogText("chan 2 \xE9\x80", 1, true, true);
  engine_->LogText("not for rich text", 0, true, false);
  engine_->LogText("\xFF", 0, true, true);
  EXPECT_EQ(ReadAll(path), created);
  now_ = now_.addSecs(60);
  TurnOff();

  ASSERT_TRUE(ReadRtf(ReadAll(path), document));
  TRtfDocument expected;
  expected.AddParagraph(u"");
  expected.AddParagraph(QString::fromUtf8(Line(path, "opened", opened)));
  expected.AddParagraph(u"");
  expected.AppendText(u"chan 1 {\\}");
  expected.AppendText(u"chan 2 \u00E9\u20AC", kChannel2RtfStyle);
  expected.EndParagraph();
  expected.AddParagraph(u"\u00FF");
  expected.AddParagraph(QString::fromUtf8(Line(path, "closed", now_)));
  expected.AddParagraph(u"");
  EXPECT_EQ(document, expected) << document.PlainText().toStdString();
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(LogEngineTest, ExistingRichTextLogIsExtended) {
  const QString path = Path(QStringLiteral("old.DOC"));
  TRtfDocument old;
  old.AddParagraph(u"old line");
  old.AppendText(u"red words", TRtfStyle{{255, 0, 0}, false});
  WriteAll(path, WriteRtf(old));
  const QByteArray before = ReadAll(path);

  ASSERT_TRUE(TurnOn(path));
  engine_->LogText("new", 1, true, true);
  EXPECT_EQ(ReadAll(path), before);
  TurnOff();

  TRtfDocument document;
  ASSERT_TRUE(ReadRtf(ReadAll(path), document));
  const std::vector<TRtfRun>& runs = document.Runs();
  ASSERT_GE(runs.size(), 7u);
  EXPECT_EQ(runs[0], (TRtfRun{QStringLiteral("old line"), {}, true}));
  EXPECT_EQ(runs[1], (TRtfRun{QStringLiteral("red words"), TRtfStyle{{255, 0, 0}, false}, true}));
  EXPECT_EQ(runs[2], (TRtfRun{QString(), {}, true}));
  EXPECT_TRUE(runs[3].text.endsWith(QStringLiteral(" opened: ") + QString::fromUtf8(Stamp(now_))));
  EXPECT_EQ(runs[5], (TRtfRun{QStringLiteral("new"), kChannel2RtfStyle, true}));
}

TEST_F(LogEngineTest, FileThatIsNotRtfIsLeftAlone) {
  const QString path = Path(QStringLiteral("letter.doc"));
  WriteAll(path, "\xD0\xCF\x11\xE0 a real word processor file");
  EXPECT_FALSE(TurnOn(path));
  EXPECT_FALSE(engine_->FileLogOpen());
  ASSERT_EQ(messages_.Texts().size(), 1u);
  EXPECT_EQ(messages_.Texts()[0],
            QStringLiteral("The log file <") + path + kOpenFailure +
                QStringLiteral("\r\nReason: The file is not in the RTF format."));
  EXPECT_EQ(ReadAll(path), "\xD0\xCF\x11\xE0 a real word processor file");
}

TEST_F(LogEngineTest, RichTextLogRefusesRawFormats) {
  format_ = 3;
  const QString path = Path(QStringLiteral("raw.doc"));
  EXPECT_FALSE(TurnOn(path));
  EXPECT_FALSE(QFileInfo::exists(path));
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[0].text,
            QStringLiteral("A *.Doc file is not suitable for the current log format."));
  EXPECT_EQ(messages_.shown[1].text, QStringLiteral("The log file <") + path + kOpenFailure);
}

TEST_F(LogEngineTest, FailedSaveKeepsTheOldFile) {
  const QString path = Path(QStringLiteral("kept.doc"));
  TRtfDocument old;
  old.AddParagraph(u"old content");
  WriteAll(path, WriteRtf(old));
  const QByteArray before = ReadAll(path);
  ASSERT_TRUE(TurnOn(path));
  const std::string line(2000, 'y');
  for (int i = 0; i < 5; ++i)
    engine_->LogText(line, 0, true, true);
  {
    FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.Active());
    TurnOff();
  }
  EXPECT_EQ(ReadAll(path), before);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].kind, Kind::Error);
  const QString& text = messages_.shown[0].text;
  EXPECT_TRUE(text.startsWith(QStringLiteral("The log file <") + path +
                              QStringLiteral("> could not be saved.\r\nReason: ") +
                              QString::fromLocal8Bit(std::strerror(EFBIG)) +
                              QStringLiteral(".\r\nThe file keeps the content it had before the "
                                             "log was opened.")))
      << text.toStdString();
  // The rescue copy hit the same limit.
  EXPECT_TRUE(text.endsWith(QStringLiteral("The entries of this log are lost.")))
      << text.toStdString();
  EXPECT_FALSE(engine_->FileLogOpen());
  // No half-written copy is left behind.
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("kept.doc")});
}

TEST_F(LogEngineTest, LogThatCannotBeSavedInPlaceIsRescued) {
  const QString path = Path(QStringLiteral("gone.doc"));
  ASSERT_TRUE(TurnOn(path));
  engine_->LogText("precious", 0, true, true);
  // The file's place is taken by a folder, so it cannot be replaced.
  ASSERT_TRUE(QFile::remove(path));
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("gone.doc")));
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("rescue")));
  TurnOff();

  const QStringList rescued = QDir(Path(QStringLiteral("rescue"))).entryList(QDir::Files);
  ASSERT_EQ(rescued.size(), 1);
  EXPECT_TRUE(rescued[0].startsWith(QStringLiteral("gone unsaved "))) << rescued[0].toStdString();
  TRtfDocument document;
  const QString rescuePath = QDir(Path(QStringLiteral("rescue"))).filePath(rescued[0]);
  ASSERT_TRUE(ReadRtf(ReadAll(rescuePath), document));
  EXPECT_TRUE(document.PlainText().contains(QStringLiteral("\nprecious\n")));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_TRUE(messages_.shown[0].text.contains(QStringLiteral("The log was saved to <") +
                                               rescuePath + '>'));
}

// ---------------------------------------------------------------- printer log

class PrinterLogTest : public LogEngineTest {
 protected:
  void SetUp() override {
    LogEngineTest::SetUp();
    settings_.LogToPrinter = true;
  }
  QString Opening() const {
    return QString::fromUtf8("KLV V3.02  Printer log opened: " + Stamp(now_) + "\r\n");
  }
  QString Closing() const {
    return QString::fromUtf8("\r\nKLV V3.02  Printer log closed: " + Stamp(now_) + "\r\n");
  }
};

TEST_F(PrinterLogTest, PrintsLinesAndUnderlinesChannelTwo) {
  engine_->OpenPrinterLog();
  ASSERT_TRUE(engine_->PrinterLogOpen());
  engine_->LogPrinterText("one\r\n", 0);
  engine_->LogPrinterText("two \xE9", 1);
  engine_->ClosePrinterLog();
  EXPECT_FALSE(engine_->PrinterLogOpen());

  const QStringList expected = {
      QStringLiteral("begin"),
      QStringLiteral("font bold=1 underline=0"),
      QStringLiteral("write \r\n"),
      QStringLiteral("write ") + Opening(),
      QStringLiteral("font bold=0 underline=0"),
      QStringLiteral("write one\r\n"),
      QStringLiteral("font bold=0 underline=1"),
      QStringLiteral("write two \u00E9"),
      QStringLiteral("font bold=0 underline=0"),
      QStringLiteral("font bold=1 underline=0"),
      QStringLiteral("write ") + Closing(),
      QStringLiteral("end"),
  };
  EXPECT_EQ(printer_.events, expected);
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(PrinterLogTest, RawFormatPrintsOnlyOpeningAndClosingLines) {
  format_ = 1;
  engine_->OpenPrinterLog();
  engine_->LogPrinterText("text", 0);
  engine_->ClosePrinterLog();
  EXPECT_FALSE(printer_.events.join('|').contains(QStringLiteral("text")));
  EXPECT_TRUE(printer_.events.contains(QStringLiteral("write ") + Opening()));
  EXPECT_TRUE(printer_.events.contains(QStringLiteral("write ") + Closing()));
}

TEST_F(PrinterLogTest, PdfDestinationIsAnnounced) {
  printer_.toFile = true;
  printer_.destination = QStringLiteral("/home/user/Documents/log.pdf");
  engine_->OpenPrinterLog();
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].kind, Kind::Information);
  EXPECT_TRUE(messages_.shown[0].text.contains(
      QStringLiteral("The printer log is written to the PDF file </home/user/Documents/log.pdf>")));
}

TEST_F(PrinterLogTest, PrinterThatCannotStartIsReported) {
  printer_.beginError = QStringLiteral("No such printer");
  engine_->OpenPrinterLog();
  EXPECT_FALSE(engine_->PrinterLogOpen());
  EXPECT_FALSE(settings_.LogToPrinter);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].kind, Kind::Error);
  EXPECT_EQ(messages_.shown[0].text,
            QStringLiteral("The printer log could not be started.\r\nReason: No such printer."));
  settings_.LogToPrinter = true;
  engine_->LogPrinterText("x", 0);
  engine_->ClosePrinterLog();
  EXPECT_EQ(printer_.events, QStringList{QStringLiteral("begin")});
}

TEST_F(PrinterLogTest, FailedOpeningLineEndsTheJob) {
  printer_.writesBeforeFailure = 1;
  engine_->OpenPrinterLog();
  EXPECT_FALSE(engine_->PrinterLogOpen());
  EXPECT_FALSE(settings_.LogToPrinter);
  ASSERT_FALSE(printer_.events.isEmpty());
  EXPECT_EQ(printer_.events.back(), QStringLiteral("end"));
  EXPECT_EQ(printer_.events.count(QStringLiteral("end")), 1);
  EXPECT_EQ(messages_.shown.size(), 1u);

  const QStringList atFailure = printer_.events;
  settings_.LogToPrinter = true;
  engine_->LogPrinterText("later", 0);
  engine_->ClosePrinterLog();
  EXPECT_EQ(printer_.events, atFailure);
  EXPECT_EQ(messages_.shown.size(), 1u);
}

TEST_F(PrinterLogTest, PrinterFailingWhileOpenIsReportedOnceAndStops) {
  printer_.writesBeforeFailure = 3;  // both opening writes and one line
  engine_->OpenPrinterLog();
  engine_->LogPrinterText("fine\r\n", 0);
  engine_->LogPrinterText("jammed\r\n", 1);
  EXPECT_FALSE(engine_->PrinterLogOpen());
  EXPECT_FALSE(settings_.LogToPrinter);
  EXPECT_EQ(printerStops_, 1);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].kind, Kind::Error);
  EXPECT_EQ(messages_.shown[0].text,
            QStringLiteral("Printing the printer log on Office printer failed.\r\n"
                           "Reason: Paper jam.\r\nPrinter logging has been stopped."));
  EXPECT_EQ(printer_.events.back(), QStringLiteral("end"));

  const QStringList atFailure = printer_.events;
  settings_.LogToPrinter = true;
  for (int i = 0; i < 10; ++i)
    engine_->LogPrinterText("more\r\n", 0);
  engine_->ClosePrinterLog();
  EXPECT_EQ(printer_.events, atFailure);
  EXPECT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(printerStops_, 1);
}

}  // namespace
}  // namespace klv
