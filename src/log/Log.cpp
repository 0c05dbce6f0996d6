#include "log/Log.h"

#include <fcntl.h>
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

#include "common/Cp1252.h"

namespace klv {
namespace {

constexpr const char* kVersion = "KLV V3.02";
// Pending text-log bytes beyond this are written at once, without waiting
// for a line end or the timer.
constexpr std::size_t kMaxPending = 64 * 1024;
// A finished line is written at once unless the last write was less than this
// long ago; then it follows with the others of the burst when this has passed.
constexpr int kLineWriteGapMs = 10;

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

// Writes all of `data` to `fd`; false with errno set when that fails.
bool WriteAllTo(int fd, const QByteArray& data) {
  qsizetype done = 0;
  while (done < data.size()) {
    const ssize_t written =
        ::write(fd, data.constData() + done, static_cast<std::size_t>(data.size() - done));
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0) {
      if (written == 0)
        errno = ENOSPC;
      return false;
    }
    done += written;
  }
  return true;
}

// Puts `data` into the file at `path` in one step. An existing file is
// replaced by renaming a completely written and synced copy over it, so a
// failure at any point leaves it as it was. (QSaveFile is not used: in
// Qt 6.4 it can report success after a write failed, leaving the file cut
// short.)
bool ReplaceFile(const QString& path, const QByteArray& data, QString* reason) {
  const QFileInfo info(path);
  // Through a symbolic link the file it points to is replaced.
  const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
  const QByteArray targetName = QFile::encodeName(target);
  struct stat old {};
  const bool exists = ::stat(targetName.constData(), &old) == 0;

  QByteArray writeName = targetName;
  int fd = -1;
  if (exists) {
    const QFileInfo targetInfo(target);
    writeName = QFile::encodeName(targetInfo.absolutePath() + QStringLiteral("/.") +
                                  targetInfo.fileName() + QStringLiteral(".XXXXXX"));
    fd = ::mkostemp(writeName.data(), O_CLOEXEC);
    if (fd >= 0)
      ::fchmod(fd, old.st_mode & 07777);
  } else {
    fd = ::open(writeName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  }
  if (fd < 0) {
    *reason = ErrnoText(errno);
    return false;
  }
  bool written = WriteAllTo(fd, data) && ::fsync(fd) == 0;
  int error = errno;
  if (::close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && exists && ::rename(writeName.constData(), targetName.constData()) != 0) {
    written = false;
    error = errno;
  }
  if (!written) {
    ::unlink(writeName.constData());
    *reason = ErrnoText(error);
  }
  return written;
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

void TLogEngine::SetRescueDirectory(const QString& directory) {
  rescueDirectory_ = directory;
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
  switch (LogKindOfFile(path)) {
    case TLogKind::Text: {
      bool reported = false;
      if (OpenTextLog(path, &reason, &reported))
        return true;
      if (reported)
        return false;  // failed writing the opening line, and said so
      break;
    }
    case TLogKind::RichText:
      if (logDataFormat_ != 0) {
        if (!quiet_)
          messages_.Information(
              QStringLiteral("A *.Doc file is not suitable for the current log format."));
        break;
      }
      if (OpenRichLog(path, &reason))
        return true;
      break;
    case TLogKind::None:
      reason = QStringLiteral("Only files with the extension .Log, .Txt or .Doc can be log files");
      break;
  }
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

bool TLogEngine::OpenTextLog(const QString& path, QString* reason, bool* reported) {
  const QByteArray native = QFile::encodeName(path);
  // Non-blocking only for the open itself, so a named pipe cannot hang it.
  const int fd =
      ::open(native.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) {
    *reason = ErrnoText(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int error = errno;
    ::close(fd);
    *reason = S_ISREG(info.st_mode) ? ErrnoText(error) : QStringLiteral("It is not a regular file");
    return false;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0)
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

  fd_ = fd;
  device_ = info.st_dev;
  inode_ = info.st_ino;
  pending_.clear();
  openKind_ = TLogKind::Text;
  openFileName_ = path;
  time_->Start(ILogTimeSource::TTimer::Flush, kFlushIntervalMs);
  if (logDataFormat_ == 0) {
    AppendToTextLog(ToStdString("\r\n" + VersionLine(QStringLiteral("opened")).toUtf8() + "\r\n"));
    if (!WritePending() || !FileStillInPlace()) {
      *reported = true;
      return false;
    }
  }
  return true;
}

bool TLogEngine::OpenRichLog(const QString& path, QString* reason) {
  document_.Clear();
  const QFileInfo info(path);
  const QByteArray dir = QFile::encodeName(info.absolutePath());
  if (info.exists()) {
    if (!info.isFile()) {
      *reason = QStringLiteral("It is not a regular file");
      return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
      *reason = file.errorString();
      return false;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
      *reason = file.errorString();
      return false;
    }
    // An empty file is an empty document; anything else must be RTF, so a
    // real word processor file of another format is never overwritten.
    if (!data.trimmed().isEmpty() && !ReadRtf(data, document_, reason)) {
      document_.Clear();
      return false;
    }
    // The file is replaced when the log closes; find out now if that can
    // work instead of losing the log then.
    if (::access(QFile::encodeName(path).constData(), W_OK) != 0 ||
        ::access(dir.constData(), W_OK | X_OK) != 0) {
      *reason = ErrnoText(errno);
      document_.Clear();
      return false;
    }
  } else if (!SaveDocument(path, reason)) {
    return false;
  }
  openKind_ = TLogKind::RichText;
  openFileName_ = path;
  document_.AddParagraph(QString());
  document_.AddParagraph(VersionLine(QStringLiteral("opened")));
  document_.AddParagraph(QString());
  return true;
}

// ------------------------------------------------------------- closing

void TLogEngine::CloseLog() {
  if (openKind_ == TLogKind::Text) {
    if (logDataFormat_ == 0)
      AppendToTextLog(
          ToStdString("\r\n" + VersionLine(QStringLiteral("closed")).toUtf8() + "\r\n"));
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
    return;
  }
  if (openKind_ == TLogKind::RichText) {
    document_.AddParagraph(VersionLine(QStringLiteral("closed")));
    document_.AddParagraph(QString());
    QString reason;
    const QString path = openFileName_;
    const bool saved = SaveDocument(path, &reason);
    const QString rescued = saved ? QString() : RescueDocument();
    CloseFile();
    if (!saved && !quiet_) {
      QString text = WithReason(
          QStringLiteral("The log file <") + path + QStringLiteral("> could not be saved."),
          reason);
      text += QStringLiteral("\r\nThe file keeps the content it had before the log was opened.");
      if (!rescued.isEmpty())
        text +=
            QStringLiteral("\r\nThe log was saved to <") + rescued + QStringLiteral("> instead.");
      else
        text += QStringLiteral("\r\nThe entries of this log are lost.");
      messages_.Error(text);
    }
  }
}

// Forgets the open log; the caller has dealt with the descriptor.
void TLogEngine::CloseFile() {
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
  pending_.clear();
  time_->Stop(ILogTimeSource::TTimer::Flush);
  time_->Stop(ILogTimeSource::TTimer::LineGap);
  document_.Clear();
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

// ------------------------------------------------------------- text log

void TLogEngine::AppendToTextLog(std::string_view bytes) {
  if (openKind_ != TLogKind::Text)
    return;
  pending_.append(bytes);
  if (pending_.size() >= kMaxPending)
    WritePending();
}

bool TLogEngine::WritePending() {
  if (openKind_ != TLogKind::Text)
    return false;
  std::size_t done = 0;
  while (done < pending_.size()) {
    const ssize_t written = ::write(fd_, pending_.data() + done, pending_.size() - done);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      const int error = errno;
      StopFileLog(WithReason(QStringLiteral("The log file <") + openFileName_ +
                                 QStringLiteral("> could not be written."),
                             ErrnoText(error)));
      return false;
    }
    if (written == 0) {
      StopFileLog(WithReason(QStringLiteral("The log file <") + openFileName_ +
                                 QStringLiteral("> could not be written."),
                             ErrnoText(ENOSPC)));
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  pending_.clear();
  lastWriteMs_ = time_->NowMs();
  return true;
}

// Each finished line reaches the kernel at once, so a crash of the program
// loses nothing. In a flood of short lines (sixty thousand Hex/ASCII lines a
// second are one megabyte) a write per line would cost more than all the
// rest, so lines within a few milliseconds of the last write go together.
void TLogEngine::WriteFinishedLine() {
  if (!lastWriteMs_ || time_->NowMs() - *lastWriteMs_ > kLineWriteGapMs) {
    WritePending();
  } else if (!time_->IsActive(ILogTimeSource::TTimer::LineGap)) {
    time_->Start(ILogTimeSource::TTimer::LineGap, kLineWriteGapMs);
  }
}

// Whether the open descriptor is still the file at the log's path: a file
// that was deleted, renamed or replaced takes the log with it.
bool TLogEngine::FileStillInPlace() {
  if (openKind_ != TLogKind::Text)
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
    WritePending();
}

void TLogEngine::LogText(std::string_view text, int channel, bool newLine, bool toRichText) {
  if (!settings_.LogToFile || logDataFormat_ != 0)
    return;
  if (openKind_ == TLogKind::Text) {
    AppendToTextLog(Cp1252ToUtf8(text));
    if (newLine) {
      // Whether the file is still in place is checked by the one-second flush.
      AppendToTextLog("\r\n");
      WriteFinishedLine();
    }
  } else if (openKind_ == TLogKind::RichText && toRichText) {
    document_.AppendText(Cp1252ToQString(text), channel == 1 ? kChannel2RtfStyle : TRtfStyle{});
    if (newLine)
      document_.EndParagraph();
  }
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
  WriteFinishedLine();
}

// ------------------------------------------------------------- rich-text log

bool TLogEngine::SaveDocument(const QString& path, QString* reason) const {
  return ReplaceFile(path, WriteRtf(document_), reason);
}

QString TLogEngine::RescueDocument() const {
  const QString directory = rescueDirectory_.isEmpty() ? QDir::homePath() : rescueDirectory_;
  const QFileInfo info(openFileName_);
  const QString stamp = (clock_ ? clock_() : QDateTime::currentDateTime())
                            .toString(QStringLiteral("yyyy-MM-dd HHmmss"));
  const QString base = info.completeBaseName() + QStringLiteral(" unsaved ") + stamp;
  QString path = QDir(directory).filePath(base + QLatin1Char('.') + info.suffix());
  for (int n = 2; QFileInfo::exists(path) && n < 100; ++n)
    path = QDir(directory).filePath(base + QStringLiteral(" (%1).").arg(n) + info.suffix());
  QString ignored;
  if (QFileInfo::exists(path) || !SaveDocument(path, &ignored))
    return QString();
  return path;
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
