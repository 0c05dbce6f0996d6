// The file log and the printer log.
//
// The file log is a text log (.Log, .Txt: lines end with CR LF, text in
// UTF-8) or a rich-text log (.Doc: RTF, channel 2 blue and underlined, one
// paragraph per line). The kind follows the file name's extension. Either is
// appended to the file as the data comes and reaches it at every line end
// (in a burst, a few milliseconds later) and at least once a second; a
// rich-text log is a whole document after every write. The open log file is
// locked, so a second analyser cannot log into it at the same time.
//
// Either log stops by itself when it fails while open (disk full, file
// removed or renamed, printer error): the user is told once, the setting is
// cleared and FileLogStopped() or PrinterLogStopped() is emitted.
#pragma once

#include <sys/types.h>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/MessageService.h"
#include "common/ReceiveInterfaces.h"
#include "log/LogRecord.h"
#include "log/PrinterDevice.h"
#include "log/Rtf.h"

namespace klv {

enum class TLogKind { None, Text, RichText };

// The kind of log a file name makes: .Log and .Txt text, .Doc rich text
// (any case), anything else none.
TLogKind LogKindOfFile(const QString& fileName);

// The time in the log's opening and closing lines, the same in every locale:
// "yyyy-MM-dd HH:mm:ss"; the time is left out when it is exactly midnight.
QString LogDateTimeText(const QDateTime& time);

// The clock and the two timers the file log's writes go by: the flush timer,
// which fires every interval until stopped, and the line-gap timer, which
// fires once. The engine uses Qt's monotonic clock and timers unless it is
// given another source.
class ILogTimeSource {
 public:
  enum class TTimer { Flush, LineGap };

  virtual ~ILogTimeSource() = default;
  // Milliseconds from a fixed point; never goes back.
  virtual std::int64_t NowMs() const = 0;
  // Arms `timer` to fire `intervalMs` from now, restarting it if armed.
  virtual void Start(TTimer timer, int intervalMs) = 0;
  virtual void Stop(TTimer timer) = 0;
  virtual bool IsActive(TTimer timer) const = 0;

  // What runs when a timer fires (the engine sets it).
  void SetHandler(std::function<void(TTimer)> handler) { handler_ = std::move(handler); }

 protected:
  void Fire(TTimer timer) {
    if (handler_)
      handler_(timer);
  }

 private:
  std::function<void(TTimer)> handler_;
};

class TLogEngine : public QObject, public IReceiveLog, public ILogText {
  Q_OBJECT

 public:
  static constexpr int kFlushIntervalMs = 1000;

  // `settings` and `logDataFormat` (0 displayed text, 1 hex, 2 decimal,
  // 3 binary raw bytes) are read live from the configuration; the engine
  // clears settings.LogToFile / LogToPrinter when a log fails.
  TLogEngine(TLog& settings, const std::uint8_t& logDataFormat, IMessageService& messages,
             IPrinterDevice& printer, QObject* parent = nullptr);
  // Closes open logs the ordinary way, without messages.
  ~TLogEngine() override;

  // The date and time of the opening and closing lines.
  void SetClock(std::function<QDateTime()> clock);
  // The clock and timers of the file log's writes; nullptr for Qt's. Set
  // while no log is open; the source must outlive the engine.
  void SetTimeSource(ILogTimeSource* source);

  // The log file the next OpenLog opens, as a full path.
  QString CurrentFileName() const { return currentFileName_; }
  void SetCurrentFileName(const QString& fileName);

  bool FileLogOpen() const { return openKind_ != TLogKind::None; }
  TLogKind OpenLogKind() const { return openKind_; }
  // The file of the open log ("" when none is open).
  QString OpenFileName() const { return openFileName_; }
  bool PrinterLogOpen() const { return printerOpen_; }
  // Where the engine tells the user about failures; the log's commands
  // ask their questions there too.
  IMessageService& Messages() const { return messages_; }

  // Writes what the file log holds back to its file now.
  void FlushLog();

  // IReceiveLog
  void LoadLogSettings() override;
  bool OpenLog() override;
  void CloseLog() override;
  // Failures are reported here; PrinterLogOpen() tells the caller whether
  // the printer log runs.
  void OpenPrinterLog() override;
  void ClosePrinterLog() override;
  void LogRawByte(std::uint8_t byte) override;

  // ILogText
  void LogText(std::string_view text, int channel, bool newLine, bool toRichText) override;
  void LogPrinterText(std::string_view text, int channel) override;

 signals:
  // The file log failed while open and has stopped (LogToFile is cleared).
  void FileLogStopped();
  // The printer log failed while open and has stopped (LogToPrinter is
  // cleared).
  void PrinterLogStopped();

 private:
  QString Now() const;
  QString VersionLine(const QString& what) const;

  bool OpenTextLog(const QString& path, QString* reason, bool* reported);
  bool OpenRichLog(const QString& path, QString* reason, bool* reported);
  int OpenRichFile(const QString& path, QString* reason);
  void StartFileLog(TLogKind kind, const QString& path);
  void ReportOpenFailure(const QString& path, const QString& reason);

  void AppendToTextLog(std::string_view bytes);
  void AppendRichText(QStringView text, const TRtfStyle& style);
  void AddRichParagraph(const QString& text);
  bool WritePending(bool wholeParagraphs = false);
  bool WriteTextPending();
  bool WriteRichPending(bool wholeParagraphs);
  void WriteSoon();
  void StopWriteFailed(int error);
  bool FileStillInPlace();
  void OnTimer(ILogTimeSource::TTimer timer);
  void CloseFile();
  void StopFileLog(const QString& message);

  void StopPrinterLog(const QString& message);

  TLog& settings_;
  const std::uint8_t& logDataFormat_;
  IMessageService& messages_;
  IPrinterDevice& printer_;
  std::function<QDateTime()> clock_;
  bool quiet_ = false;

  QString currentFileName_;

  TLogKind openKind_ = TLogKind::None;
  QString openFileName_;
  // The open log file, locked while it is open
  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::unique_ptr<ILogTimeSource> qtTime_;
  ILogTimeSource* time_ = nullptr;
  // When the file was last written (NowMs): line ends that follow each
  // other closely share one write.
  std::optional<std::int64_t> lastWriteMs_;
  // Text log: the bytes not yet written
  std::string pending_;
  // Rich-text log: the runs not yet written, their size in characters, and
  // where the document in the file ends
  TRtfDocument richPending_;
  std::size_t richPendingSize_ = 0;
  off_t richBrace_ = 0;
  // The file's last paragraph has no end yet.
  bool richParagraphOpen_ = false;
  // The last text ended with a CR, whose LF may start the next text.
  bool richAfterCr_ = false;

  bool printerOpen_ = false;
};

}  // namespace klv
