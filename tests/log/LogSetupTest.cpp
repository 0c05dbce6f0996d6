// The log setup dialog on a real log engine in a temporary directory, and
// the viewer started through a fake viewer program on PATH.
#include "log/ui/LogDlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>
#include <utility>
#include <vector>

#include "common/Cp1252.h"
#include "log/LogViewer.h"
#include "log/Rtf.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"
#include "support/QuietServices.h"

inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace klv {
namespace {

using Kind = test::FakeMessageService::Kind;
using Texts = std::vector<QString>;
constexpr TMsgButton Yes = TMsgButton::Yes, No = TMsgButton::No;

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& data) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(data);
}

class LogSetup : public testing::Test {
 protected:
  LogSetup() {
    EXPECT_TRUE(dir_.isValid() && QDir::setCurrent(dir_.path()));
    SetLogDefaults(log_);
    engine_.SetClock([] { return QDateTime(QDate(2026, 3, 1), QTime(12, 0, 5)); });
    dlg_.LoadLogSettings();
  }
  ~LogSetup() override { QDir::setCurrent(previous_); }

  QString Path(const QString& name) const { return QDir(dir_.path()).filePath(name); }
  // The log's file as the record names it, with logging switched on the way
  // the main window does it.
  void StartLogging(const QString& name) {
    log_.LogFileName.assign(name.toStdString());
    dlg_.LoadLogSettings();
    log_.LogToFile = engine_.OpenLog();
    ASSERT_TRUE(log_.LogToFile);
  }
  QString Stored() const { return Cp1252ToQString(log_.LogFileName.view()); }
  // The file dialog answers with `choice` and remembers how it was asked.
  void ChooseFile(std::optional<TLogFileChoice> choice) {
    dlg_.ChooseLogFile = [this, choice](const QString& start, int filter) {
      asked_ = {start, filter};
      return choice;
    };
  }

  QString previous_ = QDir::currentPath();
  QTemporaryDir dir_;
  TLog log_{};
  std::uint8_t viewer_ = 0;
  std::uint8_t format_ = 0;
  test::FakeMessageService messages_;
  test::NoPrinter printer_;
  TLogEngine engine_{log_, format_, messages_, printer_};
  TLogDlg dlg_{engine_, log_, viewer_, format_, messages_};
  std::pair<QString, int> asked_;
};

TEST(LogFileNames, FilterDecidesTheExtension) {
  const struct {
    const char* name;
    int filter;
    const char* expected;
  } cases[] = {
      {"trace.txt", 2, "trace.log"},       {"/tmp/trace", 3, "/tmp/trace.doc"},
      {"/a.b/trace", 1, "/a.b/trace.txt"}, {"/a/x.y.LOG", 1, "/a/x.y.txt"},
      {"/a/trace.", 2, "/a/trace.log"},    {"/a/t.doc", 7, "/a/t.txt"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WithFilterExtension(QString::fromUtf8(c.name), c.filter), c.expected) << c.name;
  const std::pair<const char*, int> filters[] = {
      {"a.TXT", 1}, {"a.Log", 2}, {"/x.log/a.DOC", 3}, {"a.csv", 1}, {"/x.doc/a", 1}};
  for (const auto& [name, filter] : filters)
    EXPECT_EQ(LogFileFilterOf(QString::fromUtf8(name)), filter) << name;
}

// The dialog starts on the shown name with the filter of its extension;
// what the user types is renamed to the filter's extension and becomes the
// current log file. A cancelled choice changes nothing.
TEST_F(LogSetup, SelectedFileTakesTheFiltersExtension) {
  EXPECT_EQ(dlg_.ebFileName->text(), Path("KLV.Log"));
  ChooseFile(TLogFileChoice{QStringLiteral("trace.txt"), 2});
  dlg_.SelectLogFile();
  EXPECT_EQ(asked_, std::make_pair(Path("KLV.Log"), 2));
  EXPECT_EQ(dlg_.ebFileName->text(), Path("trace.log"));
  EXPECT_EQ(engine_.CurrentFileName(), Path("trace.log"));
  ChooseFile(std::nullopt);
  dlg_.SelectLogFile();
  EXPECT_EQ(asked_, std::make_pair(Path("trace.log"), 2));
  EXPECT_EQ(engine_.CurrentFileName(), Path("trace.log"));
  EXPECT_EQ(Stored(), "KLV.Log");  // only OK stores
}

// With the file log on, choosing another file moves the log there: the old
// file gets its closing line, the new one its opening line.
TEST_F(LogSetup, SelectingWhileLoggingMovesTheLog) {
  StartLogging("old.log");
  ChooseFile(TLogFileChoice{Path("new.doc"), 1});
  dlg_.SelectLogFile();
  EXPECT_TRUE(log_.LogToFile && engine_.FileLogOpen());
  EXPECT_EQ(engine_.OpenFileName(), Path("new.txt"));
  EXPECT_TRUE(ReadAll(Path("old.log")).contains(" closed: 2026-03-01 12:00:05"));
  EXPECT_TRUE(ReadAll(Path("new.txt")).contains(" opened: 2026-03-01 12:00:05"));
}

// OK stores the name, the viewer and the format; Cancel stores nothing and
// gives up a file chosen meanwhile.
TEST_F(LogSetup, OkStoresAndCancelDoesNot) {
  for (const bool ok : {false, true}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    dlg_.LoadLogSettings();
    ChooseFile(TLogFileChoice{Path("trace.doc"), 3});
    dlg_.SelectLogFile();
    dlg_.cbViewerSelect->setCurrentIndex(2);
    dlg_.cbLogFileDataFormat->setCurrentIndex(1);
    (ok ? dlg_.OKBtn : dlg_.CancelBtn)->click();
    EXPECT_EQ(dlg_.result(), ok ? QDialog::Accepted : QDialog::Rejected);
    EXPECT_EQ(Stored(), ok ? Path("trace.doc") : "KLV.Log");
    EXPECT_EQ(viewer_, ok ? 2 : 0);
    EXPECT_EQ(format_, ok ? 1 : 0);
    EXPECT_EQ(engine_.CurrentFileName(), ok ? Path("trace.doc") : Path("KLV.Log"));
  }
  EXPECT_TRUE(messages_.shown.empty());
}

// Values the lists do not have show as no selection and are kept by OK;
// the viewer works as the plain-text editor.
TEST_F(LogSetup, UnknownStoredChoicesSurviveOk) {
  viewer_ = 7;
  format_ = 9;
  dlg_.LoadLogSettings();
  EXPECT_EQ(dlg_.cbViewerSelect->currentIndex(), -1);
  EXPECT_EQ(dlg_.cbLogFileDataFormat->count(), 4);
  dlg_.OKBtn->click();
  EXPECT_EQ(viewer_, 7);
  EXPECT_EQ(format_, 9);
  QStringList tried;
  dlg_.Viewer.FindProgram = [&](const QString& program) {
    tried << program;
    return QString();
  };
  WriteAll(Path("KLV.Log"), "x");
  dlg_.ViewLogFile();
  EXPECT_EQ(tried.front(), ViewerCandidates(0).front().program);
}

// A path of 100 characters is the log of this run, but the record keeps its
// first 79 characters, and that is the name the next loading takes.
TEST_F(LogSetup, LongNameIsUsedNowAndStoredCut) {
  const QString tail = QStringLiteral("/long.log");
  const QString dir =
      dir_.path() + QLatin1Char('/') + QString(100 - dir_.path().size() - 1 - tail.size(), 'd');
  ASSERT_TRUE(QDir().mkpath(dir));
  const QString name = dir + tail;
  ASSERT_EQ(name.size(), 100);
  ChooseFile(TLogFileChoice{name, 2});
  dlg_.SelectLogFile();
  dlg_.OKBtn->click();
  EXPECT_EQ(Stored(), name.left(79));
  ASSERT_TRUE(engine_.OpenLog());
  EXPECT_EQ(engine_.OpenFileName(), name);
  engine_.CloseLog();
  EXPECT_TRUE(QFileInfo::exists(name));
  dlg_.LoadLogSettings();
  EXPECT_EQ(engine_.CurrentFileName(), name.left(79));
}

// With the file log on, OK with another name asks before it moves the log;
// No keeps the dialog open with only the format stored.
TEST_F(LogSetup, OkWhileLoggingAsksBeforeMovingTheLog) {
  StartLogging("KLV.Log");
  ChooseFile(TLogFileChoice{Path("b.log"), 2});
  dlg_.SelectLogFile();
  dlg_.cbLogFileDataFormat->setCurrentIndex(2);
  dlg_.cbViewerSelect->setCurrentIndex(1);
  dlg_.setResult(-1);
  messages_.answers = {No, Yes};
  dlg_.OKBtn->click();
  const QString question =
      "Do you want stop logging to <KLV.Log> and\r\ncontinue logging on <" + Path("b.log") + "> ?";
  EXPECT_EQ(messages_.Texts(), Texts{question});
  EXPECT_EQ(messages_.shown[0].buttons, Yes | No);
  EXPECT_EQ(dlg_.result(), -1);
  EXPECT_EQ(Stored(), "KLV.Log");
  EXPECT_EQ(format_, 2);
  EXPECT_EQ(viewer_, 0);
  dlg_.OKBtn->click();
  EXPECT_EQ(dlg_.result(), QDialog::Accepted);
  EXPECT_EQ(Stored(), Path("b.log"));
  EXPECT_EQ(viewer_, 1);
  EXPECT_TRUE(log_.LogToFile && engine_.OpenFileName() == Path("b.log"));
  // The same file under its stored, relative name is no change: no question.
  StartLogging("KLV.Log");
  dlg_.OKBtn->click();
  EXPECT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(Stored(), "KLV.Log");
}

// A log that does not exist is reported and not made; No leaves the file;
// a text log becomes empty, a rich-text log an empty document this program
// reads and logs into again; other files are left alone.
TEST_F(LogSetup, ClearingEmptiesTextAndRichTextLogs) {
  const QString missing = QStringLiteral("The log file <") + Path("KLV.Log") + "> does not exist";
  dlg_.ClearLogFile();
  EXPECT_EQ(messages_.Texts(), Texts{missing});
  EXPECT_FALSE(QFileInfo::exists(Path("KLV.Log")));

  const struct {
    const char* name;
    TMsgButton answer;
    bool cleared;
  } cases[] = {{"a.log", No, false},
               {"a.log", Yes, true},
               {"b.TXT", Yes, true},
               {"c.doc", Yes, true},
               {"d.csv", Yes, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = Path(QString::fromLatin1(c.name));
    const QByteArray old = "{\\rtf1 old text\\par}\r\n";
    WriteAll(path, old);
    engine_.SetCurrentFileName(path);
    messages_.shown.clear();
    messages_.answers = {c.answer};
    dlg_.ClearLogFile();
    EXPECT_EQ(messages_.Texts(), Texts{"Do you want to clear the log file?"});
    const QByteArray now = ReadAll(path);
    if (!c.cleared) {
      EXPECT_EQ(now, old);
    } else if (LogKindOfFile(path) == TLogKind::RichText) {
      TRtfDocument document;
      document.AddParagraph(u"stale");
      QString error;
      EXPECT_TRUE(ReadRtf(now, document, &error)) << error.toStdString();
      EXPECT_TRUE(document.IsEmpty());
      EXPECT_EQ(now, WriteRtf(TRtfDocument()));
      ASSERT_TRUE(engine_.OpenLog());
      engine_.CloseLog();
      ASSERT_TRUE(ReadRtf(ReadAll(path), document));
      EXPECT_FALSE(document.PlainText().contains("old text"));
      EXPECT_TRUE(document.PlainText().contains(" opened: 2026-03-01 12:00:05"));
    } else {
      EXPECT_EQ(now, "");
    }
  }
}

// Clearing the log that is on closes it, empties it and starts it again
// with a new opening line.
TEST_F(LogSetup, ClearingWhileLoggingStartsTheLogAgain) {
  StartLogging("run.log");
  engine_.LogText("before", 0, true, false);
  messages_.answers = {Yes};
  dlg_.ClearLogFile();
  EXPECT_TRUE(log_.LogToFile && engine_.FileLogOpen());
  engine_.CloseLog();
  const QByteArray text = ReadAll(Path("run.log"));
  EXPECT_FALSE(text.contains("before"));
  EXPECT_EQ(text.count("opened"), 1);
}

// What cannot be cleared is said, with the file and the reason; nothing
// is thrown and the log goes on if it can.
TEST_F(LogSetup, ClearingFailureIsReportedWithNameAndReason) {
  ASSERT_TRUE(QDir().mkdir(Path("dir.log")));
  engine_.SetCurrentFileName(Path("dir.log"));
  messages_.answers = {Yes};
  dlg_.ClearLogFile();
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[1].kind, Kind::Error);
  EXPECT_TRUE(messages_.shown[1].text.startsWith("The log file <" + Path("dir.log") +
                                                 "> could not be cleared.\r\nReason: "));
  EXPECT_TRUE(QFileInfo(Path("dir.log")).isDir());

  ASSERT_TRUE(QDir().mkdir(Path("ro")));
  WriteAll(Path("ro/x.log"), "keep");
  ASSERT_TRUE(QFile::setPermissions(Path("ro"), QFile::ReadOwner | QFile::ExeOwner));
  engine_.SetCurrentFileName(Path("ro/x.log"));
  messages_.shown.clear();
  messages_.answers = {Yes};
  dlg_.ClearLogFile();
  QFile::setPermissions(Path("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  if (ReadAll(Path("ro/x.log")) == "keep") {  // root may write anyway
    ASSERT_EQ(messages_.shown.size(), 2u);
    EXPECT_TRUE(messages_.shown[1].text.contains("Reason: Permission denied."));
  }
}

// Viewing needs the file log off and the file there.
TEST_F(LogSetup, ViewingNeedsTheLogOffAndTheFile) {
  int started = 0;
  dlg_.Viewer.FindProgram = [](const QString& program) { return "/usr/bin/" + program; };
  dlg_.Viewer.StartProgram = [&](const QString&, const QStringList&) { return ++started > 0; };
  dlg_.ViewLogFile();
  StartLogging("on.log");
  dlg_.ViewLogFile();
  EXPECT_EQ(messages_.Texts(),
            (Texts{Path("KLV.Log") + " does not exist",
                   "The log cannot be viewed while file logging is turned on.\r\n"
                   "Please go back to the main KLV menu and turn the file log off."}));
  EXPECT_EQ(started, 0);
}

// Each choice tries its programs in order and takes the first one that is
// found and starts; xdg-open is the last resort of every choice.
TEST(LogViewer, FirstProgramFoundThatStartsIsUsed) {
  for (int choice : {0, 1, 2, 3}) {
    const std::vector<TViewerCandidate> list = ViewerCandidates(choice);
    EXPECT_EQ(list.back(), (TViewerCandidate{"xdg-open", {}})) << choice;
    TLogViewer viewer;
    QStringList looked;
    std::vector<std::pair<QString, QStringList>> started;
    // Only the last two programs are there, and the first of them fails.
    viewer.FindProgram = [&](const QString& program) {
      looked << program;
      const bool there = program == list[list.size() - 2].program || program == "xdg-open";
      return there ? "/opt/bin/" + program : QString();
    };
    viewer.StartProgram = [&](const QString& program, const QStringList& arguments) {
      started.emplace_back(program, arguments);
      return program.endsWith("xdg-open");
    };
    EXPECT_TRUE(viewer.View(choice, "/l/a b.log"));
    EXPECT_EQ(looked.size(), qsizetype(list.size()));
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].second, list[list.size() - 2].options + QStringList{"/l/a b.log"});
    EXPECT_EQ(started[1],
              std::make_pair(QStringLiteral("/opt/bin/xdg-open"), QStringList{"/l/a b.log"}));
  }
  EXPECT_EQ(ViewerCandidates(3), ViewerCandidates(0));
  EXPECT_NE(ViewerCandidates(1).front(), ViewerCandidates(2).front());
}

// PATH holds only a temporary directory with fake viewer programs, which
// write their arguments, one a line, to a file.
class FakeViewerPath : public LogSetup {
 protected:
  FakeViewerPath() { qputenv("PATH", QFile::encodeName(bin_.path())); }
  ~FakeViewerPath() override { qputenv("PATH", path_); }

  void AddViewer(const QString& program) {
    const QString script = QDir(bin_.path()).filePath(program);
    const QString out = QDir(bin_.path()).filePath(program + ".args");
    WriteAll(script, "#!/bin/sh\n{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '" +
                         QFile::encodeName(out) + ".tmp' && /bin/mv '" + QFile::encodeName(out) +
                         ".tmp' '" + QFile::encodeName(out) + "'\n");
    ASSERT_TRUE(
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  }
  // The arguments the viewer got, once it has run.
  QStringList Arguments(const QString& program) {
    const QString out = QDir(bin_.path()).filePath(program + ".args");
    if (!test::RunUntil([&] { return QFileInfo::exists(out); }))
      return {QStringLiteral("<not run>")};
    QStringList lines = QString::fromUtf8(ReadAll(out)).split(QLatin1Char('\n'));
    lines.removeLast();
    return lines;
  }

  QByteArray path_ = qgetenv("PATH");
  QTemporaryDir bin_;
};

// The file name reaches the viewer as one argument, exactly as it is: no
// shell sees it, so its quotes, blanks and commands stay text.
TEST_F(FakeViewerPath, FileNameIsOneArgumentUnchanged) {
  AddViewer(ViewerCandidates(2).front().program);
  AddViewer(QStringLiteral("xdg-open"));
  const QString name =
      Path(QStringLiteral("it's a \"log\"; $(touch pwned) `touch pwned2` & | > *.log"));
  WriteAll(name, "data");
  engine_.SetCurrentFileName(name);
  dlg_.cbViewerSelect->setCurrentIndex(2);
  dlg_.ViewLogFile();
  EXPECT_EQ(Arguments(ViewerCandidates(2).front().program),
            ViewerCandidates(2).front().options + QStringList{name});
  dlg_.cbViewerSelect->setCurrentIndex(0);  // no text editor here: xdg-open
  dlg_.ViewLogFile();
  EXPECT_EQ(Arguments(QStringLiteral("xdg-open")), QStringList{name});
  EXPECT_TRUE(messages_.shown.empty());
  for (const char* made : {"pwned", "pwned2"}) {
    EXPECT_FALSE(QFileInfo::exists(Path(made)));
    EXPECT_FALSE(QFileInfo::exists(QDir(bin_.path()).filePath(made)));
  }
}

TEST_F(FakeViewerPath, NoViewerFoundIsAnError) {
  WriteAll(Path("KLV.Log"), "data");
  for (int choice : {0, 1, 2}) {
    dlg_.cbViewerSelect->setCurrentIndex(choice);
    dlg_.ViewLogFile();
  }
  EXPECT_EQ(messages_.Texts(), Texts(3, "Error opening log file viewer"));
}

}  // namespace
}  // namespace klv
