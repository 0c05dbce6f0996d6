#include "log/Log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include "common/Cp1252.h"
#include "common/ReplaceFile.h"

namespace klv {
namespace {

constexpr const char* kVersion = "KLV V3.02";
// Pending log data beyond this (bytes of a text log, characters of a
// rich-text log) is written at once, without waiting for a line end or the
// timer.
constexpr std::size_t kMaxPending = 64 * 1024;
// A finished line is written at once unless the last write was less than this
// long ago; then it follows with the others of the burst when this has passed.
constexpr int kLineWriteGapMs = 10;
// How much of a rich-text log's end is read to find where it goes on.
constexpr off_t kRtfTailSize = 64;

QString ErrnoText(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

// Adds "Reason: ..." as a last line when there is a reason.
QString WithReason(const QString& text, const QString& reason) {
  if (reason.isEmpty())
    return text;
  QString line = QStringLiteral("\r\nReason: ") + reason;
  if (!line.endsWith(QLatin1Char('.')))
    line += QLatin1Char('.');
  return text + line;
}

QString ExpandFileName(const QString& name) {
  return QDir::cleanPath(QDir::current().absoluteFilePath(name));
}

// Display text (Windows-1252) as UTF-8.
std::string Cp1252ToUtf8(std::string_view text) {
  const bool ascii = std::all_of(text.begin(), text.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii)
    return std::string(text);
  const QByteArray utf8 = Cp1252ToQString(text).toUtf8();
  return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

std::string ToStdString(const QByteArray& bytes) {
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Reads `size` bytes from `fd` at `offset`; false with errno set when that
// fails or the file is shorter.
bool ReadAllAt(int fd, off_t offset, off_t size, QByteArray* data) {
  data->resize(static_cast<qsizetype>(size));
  qsizetype done = 0;
  while (done < data->size()) {
    const ssize_t read = ::pread(fd, data->data() + done,
                                 static_cast<std::size_t>(data->size() - done), offset + done);
    if (read < 0 && errno == EINTR)
      continue;
    if (read <= 0) {
      if (read == 0)
        errno = EIO;
      return false;
    }
    done += read;
  }
  return true;
}

// Checks that `fd` is a regular file and locks it for this log, so a second
// analyser cannot log into it as well. The lock goes with the descriptor:
// it conflicts with every other open of the file, in this process too.
bool TakeLogFile(int fd, QString* reason) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    *reason = ErrnoText(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    *reason = QStringLiteral("It is not a regular file");
    return false;
  }
  // A file system without locks does not stop the log.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    *reason = QStringLiteral("The file is in use (locked) by another program");
    return false;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0)
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return true;
}

// Puts `data` in place of the file at `path` (through a symbolic link, the
// file it points to) in one step, by renaming a completely written and
// synced copy over it, so a failure leaves the file as it was. Returns the
// copy's descriptor, locked before the rename, so no other analyser finds
// the new file unlocked; -1 with `reason` when that fails.
int ReplaceFileLocked(const QString& path, QByteArrayView data, QString* reason) {
  const QFileInfo info(path);
  const QFileInfo target(info.isSymLink() ? info.canonicalFilePath() : path);
  const QByteArray targetName = QFile::encodeName(target.absoluteFilePath());
  QByteArray copyName = QFile::encodeName(target.absolutePath() + QStringLiteral("/.") +
                                          target.fileName() + QStringLiteral(".XXXXXX"));
  const int fd = ::mkostemp(copyName.data(), O_CLOEXEC);
  if (fd < 0) {
    *reason = ErrnoText(errno);
    return -1;
  }
  struct stat old {};
  if (::stat(targetName.constData(), &old) == 0)
    ::fchmod(fd, old.st_mode & 07777);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !WriteAllAt(fd, data, 0) || ::fsync(fd) != 0 ||
      ::rename(copyName.constData(), targetName.constData()) != 0) {
    *reason = ErrnoText(errno);
    ::close(fd);
    ::unlink(copyName.constData());
    return -1;
  }
  return fd;
}

// Qt's monotonic clock and timers, the engine's own time source.
class TQtLogTimeSource : public ILogTimeSource {
 public:
  TQtLogTimeSource() {
    clock_.start();
    flush_.callOnTimeout([this] { Fire(TTimer::Flush); });
    lineGap_.setSingleShot(true);
    lineGap_.callOnTimeout([this] { Fire(TTimer::LineGap); });
  }
  std::int64_t NowMs() const override { return clock_.elapsed(); }
  void Start(TTimer timer, int intervalMs) override { Of(timer).start(intervalMs); }
  void Stop(TTimer timer) override { Of(timer).stop(); }
  bool IsActive(TTimer timer) const override {
    return (timer == TTimer::Flush ? flush_ : lineGap_).isActive();
  }

 private:
  QTimer& Of(TTimer timer) { return timer == TTimer::Flush ? flush_ : lineGap_; }

  QElapsedTimer clock_;
  QTimer flush_;
  QTimer lineGap_;
};

}  // namespace

TLogKind LogKindOfFile(const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix();
  if (suffix.compare(QLatin1String("log"), Qt::CaseInsensitive) == 0 ||
      suffix.compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0)
    return TLogKind::Text;
  if (suffix.compare(QLatin1String("doc"), Qt::CaseInsensitive) == 0)
    return TLogKind::RichText;
  return TLogKind::None;
}

QString LogDateTimeText(const QDateTime& time) {
  // The C locale: ASCII digits and these separators whatever the user's
  // locale, so logs written anywhere read alike.
  const QLocale c = QLocale::c();
  if (time.time() == QTime(0, 0))
    return c.toString(time.date(), QStringLiteral("yyyy-MM-dd"));
  return c.toString(time, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

TLogEngine::TLogEngine(TLog& settings, const std::uint8_t& logDataFormat, IMessageService& messages,
                       IPrinterDevice& printer, QObject* parent)
    : QObject(parent),
      settings_(settings),
      logDataFormat_(logDataFormat),
      messages_(messages),
      printer_(printer) {
  SetTimeSource(nullptr);
}

TLogEngine::~TLogEngine() {
  quiet_ = true;
  if (FileLogOpen())
    CloseLog();
  if (printerOpen_)
    ClosePrinterLog();
  time_->SetHandler(nullptr);
}

void TLogEngine::SetClock(std::function<QDateTime()> clock) {
  clock_ = std::move(clock);
}

void TLogEngine::SetTimeSource(ILogTimeSource* source) {
  if (time_) {
    time_->Stop(ILogTimeSource::TTimer::Flush);
    time_->Stop(ILogTimeSource::TTimer::LineGap);
    time_->SetHandler(nullptr);
  }
  if (!source) {
    if (!qtTime_)
      qtTime_ = std::make_unique<TQtLogTimeSource>();
    source = qtTime_.get();
  }
  time_ = source;
  lastWriteMs_.reset();
  time_->SetHandler([this](ILogTimeSource::TTimer timer) { OnTimer(timer); });
}

void TLogEngine::SetCurrentFileName(const QString& fileName) {
  currentFileName_ = ExpandFileName(fileName);
}

void TLogEngine::LoadLogSettings() {
  SetCurrentFileName(Cp1252ToQString(settings_.LogFileName.view()));
}

QString TLogEngine::Now() const {
  return LogDateTimeText(clock_ ? clock_() : QDateTime::currentDateTime());
}

QString TLogEngine::VersionLine(const QString& what) const {
  return QString::fromLatin1(kVersion) + QStringLiteral("  log file ") + openFileName_ +
         QLatin1Char(' ') + what + QStringLiteral(": ") + Now();
}

// ------------------------------------------------------------- opening

bool TLogEngine::OpenLog() {
  if (FileLogOpen())
    CloseLog();
  const QString path = currentFileName_;
  QString reason;
  bool reported = false;  // failed writing the opening lines, and said so
  switch (LogKindOfFile(path)) {
    case TLogKind::Text:
      if (OpenTextLog(path, &reason, &reported))
        return true;
      break;
    case TLogKind::RichText:
      if (logDataFormat_ != 0) {
        if (!quiet_)
          messages_.Information(
              QStringLiteral("A *.Doc file is not suitable for the current log format."));
        break;
      }
      if (OpenRichLog(path, &reason, &reported))
        return true;
      break;
    case TLogKind::None:
      reason = QStringLiteral("Only files with the extension .Log, .Txt or .Doc can be log files");
      break;
  }
  if (!reported)
    ReportOpenFailure(path, reason);
  return false;
}

void TLogEngine::ReportOpenFailure(const QString& path, const QString& reason) {
  if (quiet_)
    return;
  messages_.Information(WithReason(
      QStringLiteral("The log file <") + path +
          QStringLiteral(
              "> could not be opened.\r\nPossible reasons:\r\n"
              "- The file is already in use by another program, such as a log file viewer.\r\n"
              "- The file does not exist or the filepath is invalid."),
      reason));
}

// The log is open on fd_ from here on.
void TLogEngine::StartFileLog(TLogKind kind, const QString& path) {
  struct stat info {};
  ::fstat(fd_, &info);
  device_ = info.st_dev;
  inode_ = info.st_ino;
  pending_.clear();
  richPending_.Clear();
  richPendingSize_ = 0;
  richAfterCr_ = false;
  openKind_ = kind;
  openFileName_ = path;
  time_->Start(ILogTimeSource::TTimer::Flush, kFlushIntervalMs);
}

bool TLogEngine::OpenTextLog(const QString& path, QString* reason, bool* reported) {
  const QByteArray native = QFile::encodeName(path);
  // Non-blocking only for the open itself, so a named pipe cannot hang it.
  const int fd =
      ::open(native.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) {
    *reason = ErrnoText(errno);
    return false;
  }
  if (!TakeLogFile(fd, reason)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  StartFileLog(TLogKind::Text, path);
  if (logDataFormat_ == 0) {
    AppendToTextLog(ToStdString("\r\n" + VersionLine(QStringLiteral("opened")).toUtf8() + "\r\n"));
    if (!WritePending() || !FileStillInPlace()) {
      *reported = true;
      return false;
    }
  }
  return true;
}

bool TLogEngine::OpenRichLog(const QString& path, QString* reason, bool* reported) {
  const int fd = OpenRichFile(path, reason);
  if (fd < 0)
    return false;
  fd_ = fd;
  StartFileLog(TLogKind::RichText, path);
  AddRichParagraph(QString());
  AddRichParagraph(VersionLine(QStringLiteral("opened")));
  AddRichParagraph(QString());
  if (!WritePending() || !FileStillInPlace()) {
    *reported = true;
    return false;
  }
  return true;
}

// Opens and locks the rich-text log's file and makes it a document this
// program can go on writing at its end (richBrace_, richParagraphOpen_).
// A document written here is continued in place; another program's RTF is
// read once and replaced by the same text, paragraphs, colours and
// underlines in this program's form; an empty file becomes an empty
// document. Anything else is refused and left as it is.
int TLogEngine::OpenRichFile(const QString& path, QString* reason) {
  const QByteArray native = QFile::encodeName(path);
  bool created = false;
  int fd = ::open(native.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0 && errno == ENOENT) {
    fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NONBLOCK, 0666);
    created = fd >= 0;
  }
  if (fd < 0) {
    *reason = ErrnoText(errno);
    return -1;
  }
  const auto fail = [&](int error) {
    if (error != 0)
      *reason = ErrnoText(error);
    ::close(fd);
    if (created)
      ::unlink(native.constData());
    return -1;
  };
  if (!TakeLogFile(fd, reason))
    return fail(0);
  struct stat info {};
  if (::fstat(fd, &info) != 0)
    return fail(errno);
  const off_t size = info.st_size;

  QByteArray head;
  if (size >= RtfHeadSize() && ReadAllAt(fd, 0, RtfHeadSize(), &head) && IsRtfWriterHead(head)) {
    const off_t tailStart = std::max<off_t>(0, size - kRtfTailSize);
    QByteArray tail;
    if (ReadAllAt(fd, tailStart, size - tailStart, &tail)) {
      if (const std::optional<TRtfContinuation> end = FindRtfContinuation(tail, tailStart)) {
        richBrace_ = end->brace;
        richParagraphOpen_ = end->openParagraph;
        return fd;
      }
    }
    // Cut short, or changed by someone else: read like any other RTF.
  }

  QByteArray data;
  if (!ReadAllAt(fd, 0, size, &data))
    return fail(errno);
  TRtfDocument document;
  const bool empty = data.trimmed().isEmpty();
  // A word processor file of another format is never overwritten.
  if (!empty && !ReadRtf(data, document, reason))
    return fail(0);
  data.clear();
  const QByteArray rtf = WriteRtf(document);
  if (empty) {
    if (!WriteAllAt(fd, rtf, 0) || ::ftruncate(fd, rtf.size()) != 0) {
      const int error = errno;
      ::ftruncate(fd, 0);
      return fail(error);
    }
  } else {
    const int copy = ReplaceFileLocked(path, rtf, reason);
    // The old file stays locked until the copy has taken its place.
    ::close(fd);
    if (copy < 0)
      return -1;
    fd = copy;
  }
  richBrace_ = rtf.size() - kRtfEnd.size();
  richParagraphOpen_ = !document.IsEmpty() && !document.Runs().back().paragraphEnd;
  return fd;
}

// ------------------------------------------------------------- closing

void TLogEngine::CloseLog() {
  if (openKind_ == TLogKind::None)
    return;
  if (openKind_ == TLogKind::Text && logDataFormat_ == 0)
    AppendToTextLog(ToStdString("\r\n" + VersionLine(QStringLiteral("closed")).toUtf8() + "\r\n"));
  if (openKind_ == TLogKind::RichText) {
    AddRichParagraph(VersionLine(QStringLiteral("closed")));
    AddRichParagraph(QString());
  }
  if (!WritePending() || !FileStillInPlace())
    return;  // reported and closed by the failure
  const int fd = fd_;
  fd_ = -1;
  const QString path = openFileName_;
  CloseFile();
  if (::close(fd) != 0) {
    const int error = errno;
    if (!quiet_)
      messages_.Error(WithReason(
          QStringLiteral("The log file <") + path + QStringLiteral("> could not be closed."),
          ErrnoText(error)));
  }
}

// Forgets the open log; the caller has dealt with the descriptor.
void TLogEngine::CloseFile() {
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
  pending_.clear();
  richPending_.Clear();
  richPendingSize_ = 0;
  time_->Stop(ILogTimeSource::TTimer::Flush);
  time_->Stop(ILogTimeSource::TTimer::LineGap);
  openKind_ = TLogKind::None;
  openFileName_.clear();
}

void TLogEngine::StopFileLog(const QString& message) {
  // Everything is shut before the message: its box runs an event loop, in
  // which the timer or new data must find the log closed.
  CloseFile();
  settings_.LogToFile = false;
  if (!quiet_)
    messages_.Error(message + QStringLiteral("\r\nFile logging has been stopped."));
  emit FileLogStopped();
}

void TLogEngine::StopWriteFailed(int error) {
  StopFileLog(WithReason(
      QStringLiteral("The log file <") + openFileName_ + QStringLiteral("> could not be written."),
      ErrnoText(error)));
}

// ------------------------------------------------------------- writing

// `wholeParagraphs`: a rich-text log keeps its unfinished paragraph back.
bool TLogEngine::WritePending(bool wholeParagraphs) {
  switch (openKind_) {
    case TLogKind::Text:
      return WriteTextPending();
    case TLogKind::RichText:
      return WriteRichPending(wholeParagraphs);
    case TLogKind::None:
      break;
  }
  return false;
}

// Each finished line reaches the kernel at once, so a crash of the program
// loses nothing. In a flood of short lines (sixty thousand Hex/ASCII lines a
// second are one megabyte) a write per line would cost more than all the
// rest, so lines within a few milliseconds of the last write go together.
void TLogEngine::WriteSoon() {
  if (!lastWriteMs_ || time_->NowMs() - *lastWriteMs_ > kLineWriteGapMs) {
    WritePending(true);
  } else if (!time_->IsActive(ILogTimeSource::TTimer::LineGap)) {
    time_->Start(ILogTimeSource::TTimer::LineGap, kLineWriteGapMs);
  }
}

// Whether the open descriptor is still the file at the log's path: a file
// that was deleted, renamed or replaced takes the log with it.
bool TLogEngine::FileStillInPlace() {
  if (openKind_ == TLogKind::None)
    return false;
  struct stat own {};
  struct stat named {};
  const bool present = ::fstat(fd_, &own) == 0 && own.st_nlink > 0 &&
                       ::stat(QFile::encodeName(openFileName_).constData(), &named) == 0 &&
                       named.st_dev == device_ && named.st_ino == inode_;
  if (present)
    return true;
  StopFileLog(QStringLiteral("The log file <") + openFileName_ +
              QStringLiteral("> was deleted or renamed while the log was open."));
  return false;
}

void TLogEngine::FlushLog() {
  if (WritePending())
    FileStillInPlace();
}

// The flush timer also finds out, once a second, whether the file is still
// in place; the line-gap timer only writes the burst.
void TLogEngine::OnTimer(ILogTimeSource::TTimer timer) {
  if (timer == ILogTimeSource::TTimer::Flush)
    FlushLog();
  else
    WritePending(true);
}

void TLogEngine::LogText(std::string_view text, int channel, bool newLine, bool toRichText) {
  if (!settings_.LogToFile || logDataFormat_ != 0)
    return;
  if (openKind_ == TLogKind::Text) {
    AppendToTextLog(Cp1252ToUtf8(text));
    if (newLine) {
      // Whether the file is still in place is checked by the one-second flush.
      AppendToTextLog("\r\n");
      WriteSoon();
    }
    return;
  }
  if (openKind_ != TLogKind::RichText || !toRichText)
    return;
  // Line ends the data brings (TTY mode hands CR and LF over as text) end a
  // paragraph, as they end a line of the text log: CR LF, a lone LF and a
  // lone CR each once, also when the LF comes with the next text.
  const QString chars = Cp1252ToQString(text);
  const TRtfStyle style = channel == 1 ? kChannel2RtfStyle : TRtfStyle{};
  bool ended = newLine;
  qsizetype start = 0;
  for (qsizetype i = 0; i < chars.size(); ++i) {
    const bool cr = chars[i] == QLatin1Char('\r');
    const bool lf = chars[i] == QLatin1Char('\n');
    const bool afterCr = std::exchange(richAfterCr_, cr);
    if (!cr && !lf)
      continue;
    AppendRichText(QStringView(chars).sliced(start, i - start), style);
    if (!(lf && afterCr)) {
      richPending_.EndParagraph();
      ++richPendingSize_;
    }
    start = i + 1;
    ended = true;
  }
  AppendRichText(QStringView(chars).sliced(start), style);
  if (newLine) {
    richPending_.EndParagraph();
    ++richPendingSize_;
    richAfterCr_ = false;
  }
  if (richPendingSize_ >= kMaxPending)
    WritePending(true);
  else if (ended)
    WriteSoon();
}

void TLogEngine::LogRawByte(std::uint8_t byte) {
  if (!settings_.LogToFile || openKind_ != TLogKind::Text)
    return;
  char digits[4] = {};
  switch (logDataFormat_) {
    case 1:
      std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(byte));
      AppendToTextLog(std::string_view(digits, 2));
      break;
    case 2:
      std::snprintf(digits, sizeof digits, "%03u", static_cast<unsigned>(byte));
      AppendToTextLog(std::string_view(digits, 3));
      break;
    case 3:
      digits[0] = static_cast<char>(byte);
      AppendToTextLog(std::string_view(digits, 1));
      break;
    default:
      return;
  }
  // Raw bytes reach the file as soon as finished lines do.
  WriteSoon();
}

// ------------------------------------------------------------- text log

void TLogEngine::AppendToTextLog(std::string_view bytes) {
  if (openKind_ != TLogKind::Text)
    return;
  pending_.append(bytes);
  if (pending_.size() >= kMaxPending)
    WritePending();
}

bool TLogEngine::WriteTextPending() {
  std::size_t done = 0;
  if (pending_.empty())
    return true;
  while (done < pending_.size()) {
    const ssize_t written = ::write(fd_, pending_.data() + done, pending_.size() - done);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0) {
      StopWriteFailed(written == 0 ? ENOSPC : errno);
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  pending_.clear();
  lastWriteMs_ = time_->NowMs();
  return true;
}

// ------------------------------------------------------------- rich-text log

void TLogEngine::AppendRichText(QStringView text, const TRtfStyle& style) {
  if (text.isEmpty())
    return;
  richPending_.AppendText(text, style);
  richPendingSize_ += static_cast<std::size_t>(text.size());
}

// One of the log's own paragraphs, after ending an unfinished one.
void TLogEngine::AddRichParagraph(const QString& text) {
  const bool open =
      richPending_.IsEmpty() ? richParagraphOpen_ : !richPending_.Runs().back().paragraphEnd;
  if (open)
    richPending_.EndParagraph();
  AppendRichText(text, {});
  richPending_.EndParagraph();
  richPendingSize_ += 2;
  richAfterCr_ = false;
}

// The pending runs go where the document's closing brace is, with the brace
// after them, in one write, so the file is a whole document after every
// write. Pieces cut at paragraph ends make the same bytes as one write would,
// so with `wholeParagraphs` the unfinished paragraph waits for its end or the
// flush timer, unless it has grown to the size limit by itself.
bool TLogEngine::WriteRichPending(bool wholeParagraphs) {
  const std::vector<TRtfRun>& runs = richPending_.Runs();
  std::size_t count = runs.size();
  std::size_t unfinished = 0;
  while (wholeParagraphs && count > 0 && !runs[count - 1].paragraphEnd)
    unfinished += static_cast<std::size_t>(runs[--count].text.size());
  if (unfinished >= kMaxPending)
    count = runs.size();
  if (count == 0)
    return true;
  QByteArray piece = WriteRtfPiece(std::span(runs).first(count));
  const off_t body = piece.size();
  piece += kRtfEnd;
  if (!WriteAllAt(fd_, piece, richBrace_)) {
    const int error = errno;
    // The document's end goes back where it was; what the failed write left
    // after it is cut off.
    WriteAllAt(fd_, kRtfEnd, richBrace_);
    ::ftruncate(fd_, richBrace_ + kRtfEnd.size());
    StopWriteFailed(error);
    return false;
  }
  richBrace_ += body;
  richParagraphOpen_ = !runs[count - 1].paragraphEnd;
  TRtfDocument rest;  // an unfinished paragraph
  richPendingSize_ = 0;
  for (const TRtfRun& run : std::span(runs).subspan(count)) {
    rest.AppendRun(run);
    richPendingSize_ += static_cast<std::size_t>(run.text.size());
  }
  richPending_ = std::move(rest);
  lastWriteMs_ = time_->NowMs();
  return true;
}

// ------------------------------------------------------------- printer log

void TLogEngine::OpenPrinterLog() {
  if (printerOpen_)
    return;
  QString error;
  if (!printer_.Begin(&error)) {
    settings_.LogToPrinter = false;
    if (!quiet_)
      messages_.Error(WithReason(QStringLiteral("The printer log could not be started."), error));
    return;
  }
  printerOpen_ = true;
  printer_.SetFont(true, false);
  if (!printer_.Write(QStringLiteral("\r\n")) ||
      !printer_.Write(QString::fromLatin1(kVersion) + QStringLiteral("  Printer log opened: ") +
                      Now() + QStringLiteral("\r\n"))) {
    // A printer that cannot print the first line will not print the rest.
    const QString reason = printer_.ErrorString();
    printer_.End();
    printerOpen_ = false;
    settings_.LogToPrinter = false;
    if (!quiet_)
      messages_.Error(WithReason(QStringLiteral("The printer log could not be started on ") +
                                     printer_.Destination() + QLatin1Char('.'),
                                 reason));
    return;
  }
  printer_.SetFont(false, false);
  if (printer_.PrintsToFile() && !quiet_)
    messages_.Information(QStringLiteral("No printer is installed. The printer log is written to "
                                         "the PDF file <") +
                          printer_.Destination() + QStringLiteral(">."));
}

void TLogEngine::ClosePrinterLog() {
  if (!printerOpen_)
    return;
  printerOpen_ = false;
  printer_.SetFont(true, false);
  const bool written =
      printer_.Write(QStringLiteral("\r\n") + QString::fromLatin1(kVersion) +
                     QStringLiteral("  Printer log closed: ") + Now() + QStringLiteral("\r\n"));
  const QString reason = written ? QString() : printer_.ErrorString();
  printer_.End();
  if (!written && !quiet_)
    messages_.Error(WithReason(QStringLiteral("Printing the end of the printer log on ") +
                                   printer_.Destination() + QStringLiteral(" failed."),
                               reason));
}

void TLogEngine::StopPrinterLog(const QString& message) {
  printerOpen_ = false;
  printer_.End();
  settings_.LogToPrinter = false;
  if (!quiet_)
    messages_.Error(message + QStringLiteral("\r\nPrinter logging has been stopped."));
  emit PrinterLogStopped();
}

void TLogEngine::LogPrinterText(std::string_view text, int channel) {
  if (!settings_.LogToPrinter || logDataFormat_ != 0 || !printerOpen_)
    return;
  const bool underline = channel == 1;
  if (underline)
    printer_.SetFont(false, true);
  const bool written = printer_.Write(Cp1252ToQString(text));
  if (underline)
    printer_.SetFont(false, false);
  if (!written)
    StopPrinterLog(WithReason(QStringLiteral("Printing the printer log on ") +
                                  printer_.Destination() + QStringLiteral(" failed."),
                              printer_.ErrorString()));
}

}  // namespace klv
