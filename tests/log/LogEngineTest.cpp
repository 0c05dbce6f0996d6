#include "log/Log.h"

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/resource.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <climits>
#include <csignal>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <utility>

#include "common/Cp1252.h"
#include "log/PrinterDevice.h"
#include "support/FakeMessageService.h"

inline void PrintTo(const QString& s, std::ostream* o) {
  *o << '"' << s.toStdString() << '"';
}

namespace klv {
inline void PrintTo(const TRtfDocument& d, std::ostream* o) {
  *o << d.PlainText().toStdString();
}
namespace {

using Kind = test::FakeMessageService::Kind;
using Texts = std::vector<QString>;

// Keeps what it prints as one text, with <begin>, <end> and fonts (<b>, <u>, <> plain); fails on
// request.
class FakePrinterDevice : public IPrinterDevice {
 public:
  bool Begin(QString* error) override {
    printed += QStringLiteral("<begin>");
    *error = beginError;
    return running = beginError.isEmpty();
  }
  void SetFont(bool bold, bool underline) override {
    printed += QStringLiteral("<%1%2>").arg(bold ? "b" : "", underline ? "u" : "");
  }
  bool Write(const QString& text) override {
    return (printed += text, running && writesLeft-- > 0);
  }
  void End() override { printed += QStringLiteral("<end>"), running = false; }
  QString Destination() const override { return QStringLiteral("Office printer"); }
  bool PrintsToFile() const override { return false; }
  QString ErrorString() const override { return QStringLiteral("Paper jam"); }

  QString printed, beginError;
  int writesLeft = INT_MAX;
  bool running = false;
};

// A clock that stands still until the test moves it on, and its timers with it.
class ManualLogTime : public ILogTimeSource {
 public:
  std::int64_t NowMs() const override { return now_; }
  void Start(TTimer timer, int ms) override { armed_[timer] = {now_ + ms, ms}; }
  void Stop(TTimer timer) override { armed_.erase(timer); }
  bool IsActive(TTimer timer) const override { return armed_.count(timer) != 0; }

  void Advance(std::int64_t ms) {
    for (const std::int64_t end = now_ + ms; now_ < end;) {
      ++now_;
      for (const TTimer timer : {TTimer::Flush, TTimer::LineGap}) {
        const auto armed = armed_.find(timer);
        if (armed == armed_.end() || armed->second.first != now_)
          continue;
        if (timer == TTimer::Flush)
          armed->second.first += armed->second.second;  // repeats
        else
          armed_.erase(armed);
        Fire(timer);
      }
    }
  }

 private:
  std::int64_t now_ = 0;
  std::map<TTimer, std::pair<std::int64_t, int>> armed_;  // due, interval
};

// The logs' date and time, the same in every locale, worked out here on its own.
QString Stamp(const QDateTime& t) {
  return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", t.date().year(), t.date().month(),
                           t.date().day(), t.time().hour(), t.time().minute(), t.time().second());
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& data) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
}

// Runs `action` with the largest file this process may write lowered to `bytes`, as a full disk.
void WithFileSizeLimit(rlim_t bytes, const std::function<void()>& action) {
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  const auto handler = std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{bytes, saved.rlim_max};
  EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  action();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, handler);
}

class LogEngineTest : public testing::Test {
 protected:
  LogEngineTest() {
    SetLogDefaults(settings_);
    engine_.SetClock([this] { return now_; });
    engine_.SetTimeSource(&time_);
    QObject::connect(&engine_, &TLogEngine::FileLogStopped, [this] { ++fileStops_; });
    QObject::connect(&engine_, &TLogEngine::PrinterLogStopped, [this] { ++printerStops_; });
  }
  // No test leaves a message it did not expect.
  void TearDown() override { EXPECT_EQ(TakeMessages(), Texts{}); }

  // What the main window does when the user switches the file log.
  bool TurnOn(const QString& name) {
    engine_.SetCurrentFileName(name);
    settings_.LogToFile = true;
    return engine_.OpenLog();
  }
  void TurnOff() {
    engine_.CloseLog();
    settings_.LogToFile = false;
  }

  QString Path(const QString& name) const { return dir_.filePath(name); }
  static QString Line(const QString& path, const char* what, const QString& stamp) {
    return QStringLiteral("KLV V3.02  log file ") + path + ' ' + what + ": " + stamp;
  }
  // The log's own paragraphs at the start or end of a session of the rich-text log.
  void AddLogLines(TRtfDocument& document, const QString& path, const char* what) const {
    if (std::string_view(what) == "opened")
      document.AddParagraph(u"");
    document.AddParagraph(Line(path, what, Stamp(now_)));
    document.AddParagraph(u"");
  }
  // A rich-text log's file, which must be a whole document.
  static TRtfDocument Document(const QString& path) {
    const QByteArray file = ReadAll(path);
    TRtfDocument document;
    EXPECT_TRUE(file.endsWith("}\r\n") && ReadRtf(file, document)) << file.toStdString();
    return document;
  }
  // The file log has stopped with one error about its file, and stays quiet.
  void ExpectStoppedOnce(const QString& problem) {
    EXPECT_FALSE(engine_.FileLogOpen() || settings_.LogToFile);
    EXPECT_TRUE(!messages_.shown.empty() && messages_.shown[0].kind == Kind::Error);
    EXPECT_EQ(TakeMessages(), Texts{"The log file <" + engine_.CurrentFileName() + problem +
                                    "\r\nFile logging has been stopped."});
    settings_.LogToFile = true;  // even with the setting on again
    for (int i = 0; i < 100; ++i)
      engine_.LogText("more", 0, true, true);
    time_.Advance(5000);
    engine_.CloseLog();
    EXPECT_EQ(TakeMessages(), Texts{});
    EXPECT_EQ(fileStops_, 1);
  }
  Texts TakeMessages() { return std::exchange(messages_, {}).Texts(); }

  QTemporaryDir dir_;
  TLog settings_{};
  std::uint8_t format_ = 0;
  test::FakeMessageService messages_;
  FakePrinterDevice printer_;
  ManualLogTime time_;
  TLogEngine engine_{settings_, format_, messages_, printer_};
  QDateTime now_{QDate(2026, 12, 6), QTime(12, 5, 1)};
  int fileStops_ = 0;
  int printerStops_ = 0;
};

TEST_F(LogEngineTest, TextLogWritesOpeningTextAndClosingLinesInUtf8) {
  const QString path = Path(QStringLiteral("KLV.Log"));
  ASSERT_TRUE(TurnOn(path));
  const QString opened = Line(path, "opened", Stamp(now_));
  std::string all;  // every byte but NUL, CR LF among them
  for (int b = 1; b < 256; ++b)
    all.push_back(static_cast<char>(b));
  engine_.LogText("first ", 0, false, true);
  engine_.LogText(all, 1, true, false);  // channel and toRichText do not matter here
  settings_.LogToFile = false;
  engine_.LogText("hidden", 0, true, true);
  settings_.LogToFile = true;
  now_ = now_.addSecs(3725);
  const QString closed = Line(path, "closed", Stamp(now_));
  TurnOff();
  engine_.LogText("not logged", 0, true, true);
  now_ = QDateTime(QDate(2027, 1, 2), QTime(0, 0));  // at midnight the date stands alone
  const QString date = Stamp(now_).left(10);
  const QLocale locale;  // and a locale with digits and separators of its own changes nothing
  QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
  ASSERT_TRUE(TurnOn(path));
  TurnOff();
  QLocale::setDefault(locale);
  EXPECT_EQ(ReadAll(path), ("\r\n" + opened + "\r\nfirst " + Cp1252ToQString(all) + "\r\n\r\n" +
                            closed + "\r\n\r\n" + Line(path, "opened", date) + "\r\n\r\n" +
                            Line(path, "closed", date) + "\r\n")
                               .toUtf8());
}

TEST_F(LogEngineTest, RawFormatsWriteOnlyTheBytes) {
  const std::pair<std::uint8_t, QByteArray> cases[] = {
      {1, "0D0A4100FF"}, {2, "013010065000255"}, {3, QByteArray("\x0D\x0A\x41\x00\xFF", 5)}};
  for (const auto& [format, expected] : cases) {
    format_ = format;
    const QString name = Path(QStringLiteral("raw%1.log").arg(format));
    ASSERT_TRUE(TurnOn(name));
    time_.Advance(11);  // the first byte goes at once, the rest when the line gap has passed
    for (const char b : std::string_view("\x0D\x0A\x41\x00\xFF", 5))
      engine_.LogRawByte(static_cast<std::uint8_t>(b));
    EXPECT_EQ(ReadAll(name), expected.left(expected.size() / 5));
    time_.Advance(10);
    engine_.LogText("display text", 0, true, true);
    settings_.LogToFile = false;
    engine_.LogRawByte(0x42);
    TurnOff();
    EXPECT_EQ(ReadAll(name), expected) << int{format};
  }
}

// Also a log file another analyser has open: it holds a lock on it, as the engine does.
TEST_F(LogEngineTest, FileThatCannotBeALogIsReportedAndLeftAlone) {
  const QByteArray letter = "\xD0\xCF\x11\xE0 a real word processor file";
  WriteAll(Path(QStringLiteral("letter.doc")), letter);
  QFile held[] = {QFile(Path(QStringLiteral("held.log"))), QFile(Path(QStringLiteral("held.doc")))};
  for (QFile& file : held) {
    WriteAll(file.fileName(), letter);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly) && ::flock(file.handle(), LOCK_EX | LOCK_NB) == 0);
  }
  const QString inUse = QStringLiteral("The file is in use (locked) by another program.");
  const std::tuple<const char*, std::uint8_t, QString> cases[] = {
      {"held.log", 0, inUse},
      {"held.doc", 0, inUse},
      {"table.csv", 0, "Only files with the extension .Log, .Txt or .Doc can be log files."},
      {"missing/dir/x.log", 0, QString::fromLocal8Bit(std::strerror(ENOENT)) + '.'},
      {"letter.doc", 0, QStringLiteral("The file is not in the RTF format.")},
      {"raw.doc", 3, QStringLiteral("the filepath is invalid.")}};  // rich text takes no raw data
  for (const auto& [name, format, reason] : cases) {
    format_ = format;
    const QString path = Path(QString::fromUtf8(name));
    EXPECT_FALSE(TurnOn(path));
    const Texts shown = TakeMessages();
    ASSERT_EQ(shown.size(), format == 0 ? 1u : 2u) << name;
    EXPECT_TRUE(shown.back().startsWith("The log file <" + path + "> could not be opened."));
    EXPECT_EQ(shown.back().right(reason.size()), reason);
  }
  const QStringList left =
      QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  EXPECT_EQ(left, QStringList({"held.doc", "held.log", "letter.doc"}));
  for (const QString& name : left)
    EXPECT_EQ(ReadAll(Path(name)), letter) << name.toStdString();
}

TEST_F(LogEngineTest, TextReachesTheFileWithinTheFlushIntervalAndAFinishedLineAtOnce) {
  const QString path = Path(QStringLiteral("KLV.Log"));
  ASSERT_TRUE(TurnOn(path));
  const QByteArray opened = ReadAll(path);  // written at once
  engine_.LogText("no line end yet", 0, false, true);
  time_.Advance(TLogEngine::kFlushIntervalMs - 1);
  EXPECT_EQ(ReadAll(path), opened);
  time_.Advance(1);
  EXPECT_EQ(ReadAll(path), opened + "no line end yet");
  time_.Advance(11);  // the last write is long enough ago
  engine_.LogText("", 0, true, true);
  EXPECT_TRUE(ReadAll(path).endsWith("yet\r\n"));
  // Lines right behind it share one write when the gap has passed.
  for (int i = 0; i < 100; ++i)
    engine_.LogText("burst", 0, true, true);
  time_.Advance(9);
  EXPECT_TRUE(ReadAll(path).endsWith("yet\r\n"));
  time_.Advance(1);
  EXPECT_EQ(ReadAll(path).count("burst\r\n"), 100);
  // 64 KB held back go without waiting.
  const qint64 size = QFileInfo(path).size();
  for (int i = 0; i < 70; ++i)
    engine_.LogText(std::string(1000, 'z'), 0, true, true);
  EXPECT_GE(QFileInfo(path).size(), size + 64 * 1024);
}

// A full disk stops the log at the write: a text log keeps what fitted, a rich-text log stays the
// whole document it was. A log file removed, or renamed and replaced by a new file as log rotation
// does it, is noticed by the once-a-second check, with or without new data.
TEST_F(LogEngineTest, FullDiskOrALostLogFileIsReportedOnceAndStopsTheLog) {
  for (const char* name : {"KLV.Log", "KLV.doc"}) {
    const QString path = Path(QString::fromLatin1(name));
    for (const std::string_view fault : {"full", "deleted", "replaced"}) {
      SCOPED_TRACE(name + std::string(fault));
      fileStops_ = 0;
      ASSERT_TRUE(TurnOn(path));
      const QByteArray opened = ReadAll(path);
      if (fault == "full") {
        WithFileSizeLimit(4096, [&] {
          for (int i = 0; i < 3; ++i)
            engine_.LogText(std::string(3000, 'x'), 0, true, true);
          time_.Advance(10);  // the burst's write
        });
        ExpectStoppedOnce("> could not be written.\r\nReason: " +
                          QString::fromLocal8Bit(std::strerror(EFBIG)) + '.');
        EXPECT_TRUE(LogKindOfFile(path) == TLogKind::Text ? QFileInfo(path).size() == 4096
                                                          : ReadAll(path) == opened);
        continue;
      }
      if (fault == "replaced") {
        ASSERT_TRUE(QFile::rename(path, Path(QStringLiteral("moved ") + name)));
        WriteAll(path, "new file");
      } else {
        ASSERT_TRUE(QFile::remove(path));
        engine_.LogText("after removal", 0, true, true);
      }
      time_.Advance(TLogEngine::kFlushIntervalMs - 1);
      EXPECT_TRUE(engine_.FileLogOpen());
      time_.Advance(1);
      ExpectStoppedOnce(QStringLiteral("> was deleted or renamed while the log was open."));
    }
    EXPECT_EQ(ReadAll(path), "new file");
  }
}

// A paragraph reaches the file after the line gap, the rest within the flush interval or when much
// has come; the file is a whole document after every write.
TEST_F(LogEngineTest, RichTextLogKeepsChannelsApartAndIsAWholeDocumentAfterEveryWrite) {
  const QString path = Path(QStringLiteral("session.DOC"));
  TRtfDocument expected;
  ASSERT_TRUE(TurnOn(path));
  AddLogLines(expected, path, "opened");
  EXPECT_EQ(Document(path), expected);
  engine_.LogText("chan 1 {\\}", 0, false, true);
  engine_.LogText("chan 2 \xE9\x80", 1, true, true);
  engine_.LogText("not for rich text", 0, true, false);
  engine_.LogText("\xFF", 0, true, true);
  expected.AppendText(u"chan 1 {\\}");
  expected.AppendText(u"chan 2 \u00E9\u20AC", kChannel2RtfStyle);
  expected.AddParagraph(u"\u00FF");
  time_.Advance(10);
  EXPECT_EQ(Document(path), expected);
  engine_.LogText("unfinished ", 1, false, true);
  expected.AppendText(u"unfinished ", kChannel2RtfStyle);
  time_.Advance(TLogEngine::kFlushIntervalMs);
  EXPECT_EQ(Document(path), expected);
  engine_.LogText(std::string(100000, 'f'), 0, false, true);
  expected.AppendText(QString(100000, QLatin1Char('f')));
  EXPECT_EQ(Document(path), expected);
  now_ = now_.addSecs(60);
  TurnOff();
  AddLogLines(expected, path, "closed");
  EXPECT_EQ(Document(path), expected);
}

// This program's document goes on where it ends, byte for byte; another program's RTF, or one cut
// short, is written again in this program's form; an empty file is an empty document.
TEST_F(LogEngineTest, RichTextLogGoesOnAfterWhatTheFileHolds) {
  TRtfDocument old;
  old.AddParagraph(u"old red", {{255, 0, 0}});
  old.AppendText(u"unfinished", kChannel2RtfStyle);
  QByteArray own = WriteRtf(old);
  own.insert(own.size() - 3, "{\\*\\unknown kept}");
  const std::pair<std::optional<QByteArray>, bool> cases[] = {
      {std::nullopt, false},
      {"", false},
      {" \r\n", false},
      {own, true},
      {WriteRtf(old).chopped(3), true},
      {"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0"
       "\\blue255;}\\f0\\cf1 old red\\par\\cf2\\ul unfinished}",
       true}};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [before, hasOld] = cases[i];
    const QString path = Path(QStringLiteral("old%1.doc").arg(i));
    if (before)
      WriteAll(path, *before);
    ASSERT_TRUE(TurnOn(path));
    TurnOff();
    TRtfDocument expected = hasOld ? old : TRtfDocument();
    AddLogLines(expected, path, "opened");
    AddLogLines(expected, path, "closed");
    EXPECT_EQ(Document(path), expected) << i;
    const QByteArray file = ReadAll(path);
    EXPECT_TRUE(file.startsWith(WriteRtf({}).left(RtfHeadSize()))) << i;
    EXPECT_EQ(file.startsWith(own.chopped(3)), before == own) << i;
  }
}

// CR and LF in the text (TTY mode shows the data's own line ends) end paragraphs however the text
// is cut into pieces: CR LF, a lone LF and a lone CR once each, and the file is the same.
TEST_F(LogEngineTest, LineEndsInTheTextEndRichTextParagraphs) {
  const std::string data = "one\r\ntwo\nthree\rfour\r\r\n\nfive\n\rsix";
  const QString body = "one\ntwo\nthree\nfour\n\n\nfive\n\nsix\nKLV";
  QByteArray first;
  // Cut in two at every place, then one character at a time.
  for (std::size_t cut = 0; cut <= data.size() + 1; ++cut) {
    const QString path = Path(QStringLiteral("tty%1.doc").arg(cut));
    ASSERT_TRUE(TurnOn(path));
    for (std::size_t at = 0; at < data.size();) {
      const std::size_t length = cut > data.size() ? 1 : at < cut ? cut : data.size() - cut;
      time_.Advance(11);
      engine_.LogText(std::string_view(data).substr(at, length), 1, false, true);
      at += length;
    }
    TurnOff();
    EXPECT_TRUE(Document(path).PlainText().contains(body)) << cut;
    const QByteArray file = ReadAll(path).replace(path.toUtf8(), "");
    first = cut == 0 ? file : first;
    EXPECT_EQ(file, first) << cut;
  }
}

// Channel 2 underlined, the log's own lines bold; a printer that fails is reported once, its job
// ended once, and then left alone.
TEST_F(LogEngineTest, PrinterLogUnderlinesChannelTwoAndStopsOnceWhenThePrinterFails) {
  const QString opened = "<begin><b>\r\nKLV V3.02  Printer log opened: " + Stamp(now_) + "\r\n";
  const QString closed = "<b>\r\nKLV V3.02  Printer log closed: " + Stamp(now_) + "\r\n<end>";
  const QString data = QStringLiteral("<>one\r\n<u>two \u00E9<>");
  const QString jam = QStringLiteral(
      "Printing the printer log on Office printer failed.\r\n"
      "Reason: Paper jam.\r\nPrinter logging has been stopped.");
  const std::tuple<std::uint8_t, QString, int, QString, QString> cases[] = {
      {0, "", INT_MAX, opened + data + closed, ""},
      {1, "", INT_MAX, opened + "<>" + closed, ""},  // no data in a raw format
      {0, "", 3, opened + data + "<end>", jam},
      {0, "", 1, opened + "<end>",
       "The printer log could not be started on Office printer.\r\nReason: Paper jam."},
      {0, "No such printer", INT_MAX, "<begin>",
       "The printer log could not be started.\r\nReason: No such printer."}};
  for (const auto& [format, beginError, writes, printed, message] : cases) {
    format_ = format;
    printer_ = FakePrinterDevice();
    printer_.beginError = beginError;
    printer_.writesLeft = writes;
    printerStops_ = 0;
    settings_.LogToPrinter = true;
    engine_.OpenPrinterLog();
    engine_.LogPrinterText("one\r\n", 0);
    engine_.LogPrinterText("two \xE9", 1);
    EXPECT_EQ(settings_.LogToPrinter, message.isEmpty());
    EXPECT_EQ(printerStops_, message == jam ? 1 : 0);
    engine_.ClosePrinterLog();
    settings_.LogToPrinter = true;
    engine_.LogPrinterText("more\r\n", 0);
    EXPECT_EQ(printer_.printed, printed);
    EXPECT_EQ(TakeMessages(), message.isEmpty() ? Texts{} : Texts{message});
  }
}

}  // namespace
}  // namespace klv
