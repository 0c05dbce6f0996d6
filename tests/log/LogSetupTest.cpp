// The log setup dialog on a real log engine in a temporary directory; viewers are fakes.
#include "log/ui/LogDlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "common/Cp1252.h"
#include "log/Rtf.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"
#include "support/QuietServices.h"

inline void PrintTo(const QString& s, std::ostream* o) {
  *o << '"' << s.toStdString() << '"';
}

namespace klv {
namespace {

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
  // The record names the log's file, and logging is on as the main window switches it on.
  void StartLogging(const QString& name) {
    log_.LogFileName.assign(name.toStdString());
    dlg_.LoadLogSettings();
    log_.LogToFile = engine_.OpenLog();
    ASSERT_TRUE(log_.LogToFile);
  }
  QString Stored() const { return Cp1252ToQString(log_.LogFileName.view()); }
  // The file dialog answers `choice` and remembers how it was asked.
  void ChooseFile(std::optional<TLogFileChoice> choice) {
    dlg_.ChooseLogFile = [this, choice](const QString& start, int filter) {
      asked_ = {start, filter};
      return choice;
    };
  }
  // The viewer, format and dialog result, in one for comparing.
  std::vector<int> State() const { return {viewer_, format_, dlg_.result()}; }

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
  const std::tuple<const char*, int, const char*> cases[] = {
      {"trace.txt", 2, "trace.log"},       {"/tmp/trace", 3, "/tmp/trace.doc"},
      {"/a.b/trace", 1, "/a.b/trace.txt"}, {"/a/x.y.LOG", 1, "/a/x.y.txt"},
      {"/a/trace.", 2, "/a/trace.log"},    {"/a/t.doc", 7, "/a/t.txt"}};
  for (const auto& [name, filter, expected] : cases)
    EXPECT_EQ(WithFilterExtension(QString::fromUtf8(name), filter), expected) << name;
  const std::pair<const char*, int> filters[] = {
      {"a.TXT", 1}, {"a.Log", 2}, {"/x.log/a.DOC", 3}, {"a.csv", 1}, {"/x.doc/a", 1}};
  for (const auto& [name, filter] : filters)
    EXPECT_EQ(LogFileFilterOf(QString::fromUtf8(name)), filter) << name;
}

// The file dialog starts on the shown name with its extension's filter; the choice takes the
// filter's extension. OK stores the name, the viewer and the format; Cancel stores nothing and
// gives the chosen file up. Values the lists do not have show no selection and survive OK.
TEST_F(LogSetup, SelectedFileTakesTheFiltersExtensionAndOnlyOkStores) {
  for (const bool ok : {false, true}) {
    dlg_.LoadLogSettings();
    ChooseFile(TLogFileChoice{QStringLiteral("trace.txt"), 3});
    dlg_.SelectLogFile();
    EXPECT_EQ(asked_, std::make_pair(Path("KLV.Log"), 2));
    EXPECT_EQ(dlg_.ebFileName->text(), Path("trace.doc"));
    ChooseFile(std::nullopt);  // a cancelled choice changes nothing
    dlg_.SelectLogFile();
    EXPECT_EQ(asked_, std::make_pair(Path("trace.doc"), 3));
    EXPECT_EQ(engine_.CurrentFileName(), Path("trace.doc"));
    dlg_.cbViewerSelect->setCurrentIndex(2);
    dlg_.cbLogFileDataFormat->setCurrentIndex(1);
    (ok ? dlg_.OKBtn : dlg_.CancelBtn)->click();
    EXPECT_EQ(State(), (ok ? std::vector<int>{2, 1, QDialog::Accepted}
                           : std::vector<int>{0, 0, QDialog::Rejected}));
    EXPECT_EQ(Stored(), ok ? Path("trace.doc") : "KLV.Log");
    EXPECT_EQ(engine_.CurrentFileName(), ok ? Path("trace.doc") : Path("KLV.Log"));
  }
  EXPECT_TRUE(messages_.shown.empty());
  viewer_ = 7;
  format_ = 9;
  dlg_.LoadLogSettings();
  EXPECT_EQ(dlg_.cbViewerSelect->currentIndex(), -1);
  dlg_.OKBtn->click();
  EXPECT_EQ(State(), (std::vector<int>{7, 9, QDialog::Accepted}));
}

// With the file log on, choosing another file moves the log there.
TEST_F(LogSetup, SelectingWhileLoggingMovesTheLog) {
  StartLogging("old.log");
  ChooseFile(TLogFileChoice{Path("new.doc"), 1});
  dlg_.SelectLogFile();
  EXPECT_TRUE(log_.LogToFile && engine_.OpenFileName() == Path("new.txt"));
  EXPECT_TRUE(ReadAll(Path("old.log")).contains(" closed: 2026-03-01 12:00:05"));
}

// A path of 100 characters is the log of this run; the record keeps its first 79 characters, the
// name the next loading takes.
TEST_F(LogSetup, LongNameIsUsedNowAndStoredCut) {
  const QString dir = dir_.path() + '/' + QString(100 - dir_.path().size() - 10, 'd');
  ASSERT_TRUE(QDir().mkpath(dir));
  const QString name = dir + "/long.log";
  ChooseFile(TLogFileChoice{name, 2});
  dlg_.SelectLogFile();
  dlg_.OKBtn->click();
  EXPECT_EQ(Stored(), name.left(79));
  ASSERT_TRUE(engine_.OpenLog());
  EXPECT_EQ(engine_.OpenFileName(), name);
  engine_.CloseLog();
  dlg_.LoadLogSettings();
  EXPECT_EQ(engine_.CurrentFileName(), name.left(79));
}

// With the file log on, OK with another name asks first; No keeps the dialog open with only the
// format stored. The same file under its stored, relative name is no change.
TEST_F(LogSetup, OkWhileLoggingAsksBeforeMovingTheLog) {
  StartLogging("KLV.Log");
  ChooseFile(TLogFileChoice{Path("b.log"), 2});
  dlg_.SelectLogFile();
  dlg_.cbLogFileDataFormat->setCurrentIndex(2);
  dlg_.cbViewerSelect->setCurrentIndex(1);
  dlg_.setResult(-1);
  messages_.answers = {No, Yes};
  dlg_.OKBtn->click();
  EXPECT_EQ(messages_.Texts(), Texts{"Do you want stop logging to <KLV.Log> and\r\ncontinue "
                                     "logging on <" +
                                     Path("b.log") + "> ?"});
  EXPECT_EQ(messages_.shown[0].buttons, Yes | No);
  EXPECT_EQ(State(), (std::vector<int>{0, 2, -1}));
  EXPECT_EQ(Stored(), "KLV.Log");
  dlg_.OKBtn->click();
  EXPECT_EQ(State(), (std::vector<int>{1, 2, QDialog::Accepted}));
  EXPECT_EQ(Stored(), Path("b.log"));
  EXPECT_TRUE(log_.LogToFile && engine_.OpenFileName() == Path("b.log"));
  StartLogging("KLV.Log");
  dlg_.OKBtn->click();
  EXPECT_EQ(messages_.shown.size(), 2u);
}

// A missing log is reported, not made; No leaves the file; a text log becomes empty, a rich-text
// log an empty document; other files stay, and so does a directory that has the name, which is
// reported with the reason.
TEST_F(LogSetup, ClearingEmptiesTextAndRichTextLogs) {
  dlg_.ClearLogFile();
  EXPECT_EQ(messages_.Texts(), Texts{"The log file <" + Path("KLV.Log") + "> does not exist"});
  EXPECT_FALSE(QFileInfo::exists(Path("KLV.Log")));
  const std::tuple<const char*, TMsgButton, bool> cases[] = {{"a.log", No, false},
                                                             {"a.log", Yes, true},
                                                             {"b.TXT", Yes, true},
                                                             {"c.doc", Yes, true},
                                                             {"d.csv", Yes, false}};
  const QByteArray old = "{\\rtf1 old text\\par}\r\n";
  for (const auto& [name, answer, cleared] : cases) {
    const QString path = Path(QString::fromLatin1(name));
    WriteAll(path, old);
    engine_.SetCurrentFileName(path);
    messages_.shown.clear();
    messages_.answers = {answer};
    dlg_.ClearLogFile();
    EXPECT_EQ(messages_.Texts(), Texts{"Do you want to clear the log file?"}) << name;
    const QByteArray now = ReadAll(path);
    TRtfDocument document;
    document.AddParagraph(u"stale");
    if (!cleared)
      EXPECT_EQ(now, old) << name;
    else if (LogKindOfFile(path) == TLogKind::RichText)
      EXPECT_TRUE(ReadRtf(now, document) && document.IsEmpty()) << name;
    else
      EXPECT_EQ(now, "") << name;
  }
  ASSERT_TRUE(QDir().mkdir(Path("dir.log")));
  engine_.SetCurrentFileName(Path("dir.log"));
  messages_.shown.clear();
  messages_.answers = {Yes};
  dlg_.ClearLogFile();
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[1].kind, test::FakeMessageService::Kind::Error);
  EXPECT_TRUE(messages_.shown[1].text.startsWith("The log file <" + Path("dir.log") +
                                                 "> could not be cleared.\r\nReason: "));
  EXPECT_TRUE(QFileInfo(Path("dir.log")).isDir());
}

// Viewing needs the file log off and the file there.
TEST_F(LogSetup, ViewingNeedsTheLogOffAndTheFile) {
  dlg_.Viewer.FindProgram = [](const QString& program) { return "/usr/bin/" + program; };
  dlg_.Viewer.StartProgram = [](const QString&, const QStringList&) { return false; };
  dlg_.ViewLogFile();
  StartLogging("on.log");
  dlg_.ViewLogFile();
  EXPECT_EQ(messages_.Texts(),
            (Texts{Path("KLV.Log") + " does not exist",
                   "The log cannot be viewed while file logging is turned on.\r\n"
                   "Please go back to the main KLV menu and turn the file log off."}));
}

// Each choice tries its programs in order and takes the first one found that starts; xdg-open is
// every choice's last resort, and an unknown choice is the plain-text editor.
TEST(LogViewer, FirstProgramFoundThatStartsIsUsed) {
  for (int choice : {0, 1, 2}) {
    const std::vector<TViewerCandidate> list = ViewerCandidates(choice);
    const TViewerCandidate& second = list[list.size() - 2];
    EXPECT_EQ(list.back(), (TViewerCandidate{"xdg-open", {}})) << choice;
    TLogViewer viewer;
    QStringList looked, started;
    // Only the last two programs are there, and the first of them fails.
    viewer.FindProgram = [&](const QString& program) {
      looked << program;
      return program == second.program || program == "xdg-open" ? "/o/" + program : QString();
    };
    viewer.StartProgram = [&](const QString& program, const QStringList& arguments) {
      started << program + '|' + arguments.join('|');
      return program.endsWith("xdg-open");
    };
    EXPECT_TRUE(viewer.View(choice, "/l/a b.log"));
    EXPECT_EQ(looked.size(), qsizetype(list.size()));
    EXPECT_EQ(started, (QStringList{"/o/" + second.program + '|' +
                                        (second.options + QStringList{"/l/a b.log"}).join('|'),
                                    "/o/xdg-open|/l/a b.log"}));
  }
  EXPECT_EQ(ViewerCandidates(-1), ViewerCandidates(0));
  EXPECT_EQ(ViewerCandidates(3), ViewerCandidates(0));
  EXPECT_NE(ViewerCandidates(1).front(), ViewerCandidates(2).front());
}

// PATH holds only fake viewers, which write their arguments, one a line, to a file. The file name
// reaches the viewer as one argument, exactly as it is: no shell sees its quotes and commands.
TEST_F(LogSetup, FileNameIsOneArgumentUnchangedAndNoViewerIsAnError) {
  const QByteArray path = qgetenv("PATH");
  QTemporaryDir bin;
  qputenv("PATH", QFile::encodeName(bin.path()));
  const auto restore = qScopeGuard([&] { qputenv("PATH", path); });
  const QString name = Path("it's a \"log\"; $(touch pwned) `touch pwned2` & | > *.log");
  WriteAll(name, "data");
  engine_.SetCurrentFileName(name);
  dlg_.ViewLogFile();
  EXPECT_EQ(messages_.Texts(), Texts{"Error opening log file viewer"});
  const TViewerCandidate word = ViewerCandidates(2).front();
  for (const QString& program : {word.program, QStringLiteral("xdg-open")}) {
    const QByteArray out = QFile::encodeName(bin.filePath(program + ".args"));
    WriteAll(bin.filePath(program),
             "#!/bin/sh\n{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '" + out +
                 ".tmp' && /bin/mv '" + out + ".tmp' '" + out + "'\n");
    ASSERT_TRUE(QFile::setPermissions(bin.filePath(program), QFile::ReadOwner | QFile::ExeOwner));
  }
  const auto arguments = [&](const QString& program) {
    const QString out = bin.filePath(program + ".args");
    if (!test::RunUntil([&] { return QFileInfo::exists(out); }))
      return QStringList{"<not run>"};
    return QString::fromUtf8(ReadAll(out)).split('\n', Qt::SkipEmptyParts);
  };
  dlg_.cbViewerSelect->setCurrentIndex(2);
  dlg_.ViewLogFile();
  EXPECT_EQ(arguments(word.program), word.options + QStringList{name});
  dlg_.cbViewerSelect->setCurrentIndex(0);  // no text editor here: xdg-open
  dlg_.ViewLogFile();
  EXPECT_EQ(arguments("xdg-open"), QStringList{name});
  EXPECT_EQ(messages_.shown.size(), 1u);
  for (const char* made : {"pwned", "pwned2"})
    EXPECT_FALSE(QFileInfo::exists(Path(made)) || QFileInfo::exists(bin.filePath(made)));
}

}  // namespace
}  // namespace klv
