// The log setup dialog: the log file, what the file log records and the
// program that shows the log; it also empties the log file and opens it in
// that program. It works on the log engine's current log file, and the
// stored settings change only through OK.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "common/MessageService.h"
#include "log/Log.h"
#include "log/LogRecord.h"
#include "log/LogViewer.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace klv {

// The file log's data formats, in the order of their stored numbers.
inline constexpr const char* kLogDataFormatNames[] = {
    "Current Display Mode", "Unformatted Hex (HH)", "Unformatted Decimal (NNN)",
    "Unformatted Binary"};

// The viewer choices, in the order of their stored numbers.
inline constexpr const char* kLogViewerNames[] = {"Notepad", "WordPad", "Word"};

// What the user picked in the log file dialog: a name and the filter
// (1 text *.txt, 2 text *.log, 3 rich text *.doc).
struct TLogFileChoice {
  QString FileName;
  int Filter = 1;
};

// The filter the log file dialog starts with for a file name: 2 for .log,
// 3 for .doc, 1 for .txt and anything else (any case).
int LogFileFilterOf(const QString& fileName);
// `fileName` with its extension (if any) replaced by the filter's: the
// filter decides the kind of log, whatever was typed.
QString WithFilterExtension(const QString& fileName, int filter);

class TLogDlg : public QDialog {
  Q_OBJECT

 public:
  // `settings` (LogToFile, LogFileName), `logViewer` and `logDataFormat` are
  // the configuration record's; the engine's current log file name is what
  // the dialog shows, clears and views.
  TLogDlg(TLogEngine& log, TLog& settings, std::uint8_t& logViewer, std::uint8_t& logDataFormat,
          IMessageService& messages, QWidget* parent = nullptr);

  // Fills the dialog from the record and makes the stored log file name,
  // as a full path, the current one.
  void LoadLogSettings();
  void SelectLogFile();
  void OKBtnClick();
  void CancelBtnClick();
  // Cancel, Escape and the close box: nothing is stored, and a log file
  // chosen meanwhile is given up again while the file log is off.
  void reject() override;
  // Empties the current log file after asking (a text log becomes an empty
  // file, a rich-text log an empty document). A log that is on is closed
  // first and opened again after.
  void ClearLogFile();
  // Opens the current log file in the viewer chosen in the list.
  void ViewLogFile();

  // The log file dialog, starting on a name with a filter; nothing when the
  // user cancels. A file dialog unless replaced.
  std::function<std::optional<TLogFileChoice>(const QString& startName, int filter)> ChooseLogFile;
  // Closes the file log that is on; the engine's CloseLog unless replaced
  // (the main window first writes the display line in progress).
  std::function<void()> CloseFileLog;
  // How the viewer is found and started.
  TLogViewer Viewer;

  QLineEdit* ebFileName;
  QPushButton* BtnSelectLogFile;
  QPushButton* BtnClearLogFile;
  QComboBox* cbViewerSelect;
  QPushButton* btn_ViewLogFile;
  QComboBox* cbLogFileDataFormat;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QPushButton* PrintScreenBtn;
  QPushButton* HelpBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::optional<TLogFileChoice> FileDialog(const QString& startName, int filter);
  void StoreFileName();
  void StoreViewer();
  // Switches the file log on again after it was closed for a change; it
  // stays on only if that works.
  void ReopenFileLog();
  // Empties the file of a text or rich-text log; false after telling why.
  bool EmptyLogFile(const QString& fileName);

  TLogEngine& log_;
  TLog& settings_;
  std::uint8_t& logViewer_;
  std::uint8_t& logDataFormat_;
  IMessageService& messages_;
  // The current log file name when the dialog was filled, for Cancel.
  QString loadedFileName_;
};

}  // namespace klv
