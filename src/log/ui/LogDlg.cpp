#include "log/ui/LogDlg.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/Cp1252.h"
#include "common/RegularFile.h"
#include "common/ReplaceFile.h"
#include "common/ui/DialogButtons.h"
#include "log/Rtf.h"

namespace klv {
namespace {

constexpr int kMaxStoredName = 79;
const QString kCrLf = QStringLiteral("\r\n");

const QStringList& FileFilters() {
  static const QStringList filters = {QStringLiteral("ASCII Text File (*.txt)"),
                                      QStringLiteral("ASCII Text file (*.log)"),
                                      QStringLiteral("KLV Rich Edit File (*.doc)")};
  return filters;
}

QString ExpandFileName(const QString& name) {
  return QDir::cleanPath(QDir::current().absoluteFilePath(name));
}

// A stored choice the list does not have shows as no selection; no
// selection stores nothing.
void ShowChoice(QComboBox* list, std::uint8_t value) {
  list->setCurrentIndex(value < list->count() ? value : -1);
}

void StoreChoice(const QComboBox* list, std::uint8_t& value) {
  if (list->currentIndex() >= 0)
    value = static_cast<std::uint8_t>(list->currentIndex());
}

}  // namespace

int LogFileFilterOf(const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix();
  if (suffix.compare(QLatin1String("log"), Qt::CaseInsensitive) == 0)
    return 2;
  if (suffix.compare(QLatin1String("doc"), Qt::CaseInsensitive) == 0)
    return 3;
  return 1;
}

QString WithFilterExtension(const QString& fileName, int filter) {
  static const char* const extensions[] = {"txt", "log", "doc"};
  const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
  const QString base = dot > slash ? fileName.left(dot) : fileName;
  const int index = filter >= 1 && filter <= 3 ? filter - 1 : 0;
  return base + QLatin1Char('.') + QLatin1String(extensions[index]);
}

TLogDlg::TLogDlg(TLogEngine& log, TLog& settings, std::uint8_t& logViewer,
                 std::uint8_t& logDataFormat, IMessageService& messages, QWidget* parent)
    : QDialog(parent),
      log_(log),
      settings_(settings),
      logViewer_(logViewer),
      logDataFormat_(logDataFormat),
      messages_(messages) {
  setObjectName(QStringLiteral("LogDlg"));
  setWindowTitle(QStringLiteral("Log Setup"));
  setModal(true);
  ChooseLogFile = [this](const QString& startName, int filter) {
    return FileDialog(startName, filter);
  };
  CloseFileLog = [this] { log_.CloseLog(); };

  const auto named = [](QWidget* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
  };

  auto* fileGroup = new QGroupBox(QStringLiteral("Log File Setup"), this);
  ebFileName = new QLineEdit(fileGroup);
  named(ebFileName, "ebFileName");
  ebFileName->setReadOnly(true);
  ebFileName->setMinimumWidth(360);
  auto* fileLabel = new QLabel(QStringLiteral("Filename:"), fileGroup);
  fileLabel->setBuddy(ebFileName);
  BtnSelectLogFile = new QPushButton(QStringLiteral("Select Log File"), fileGroup);
  named(BtnSelectLogFile, "BtnSelectLogFile");
  BtnClearLogFile = new QPushButton(QStringLiteral("Clear Log File"), fileGroup);
  named(BtnClearLogFile, "BtnClearLogFile");
  auto* fileGrid = new QGridLayout(fileGroup);
  fileGrid->addWidget(fileLabel, 0, 0);
  fileGrid->addWidget(ebFileName, 0, 1, 1, 2);
  fileGrid->addWidget(BtnSelectLogFile, 1, 1);
  fileGrid->addWidget(BtnClearLogFile, 1, 2);

  auto* viewerGroup = new QGroupBox(QStringLiteral("Log File Viewer"), this);
  cbViewerSelect = new QComboBox(viewerGroup);
  named(cbViewerSelect, "cbViewerSelect");
  for (const char* name : kLogViewerNames)
    cbViewerSelect->addItem(QLatin1String(name));
  btn_ViewLogFile = new QPushButton(QStringLiteral("View It"), viewerGroup);
  named(btn_ViewLogFile, "btn_ViewLogFile");
  auto* viewerRow = new QHBoxLayout(viewerGroup);
  viewerRow->addWidget(cbViewerSelect, 1);
  viewerRow->addWidget(btn_ViewLogFile);

  auto* formatGroup = new QGroupBox(QStringLiteral("Log Data Format"), this);
  cbLogFileDataFormat = new QComboBox(formatGroup);
  named(cbLogFileDataFormat, "cbLogFileDataFormat");
  auto* formatRow = new QHBoxLayout(formatGroup);
  formatRow->addWidget(cbLogFileDataFormat, 1);

  const TDialogButtons buttons = MakeDialogButtons(this, THelpContext::Log);
  OKBtn = buttons.OK;
  CancelBtn = buttons.Cancel;
  PrintScreenBtn = buttons.PrintScreen;
  HelpBtn = buttons.Help;

  connect(BtnSelectLogFile, &QPushButton::clicked, this, &TLogDlg::SelectLogFile);
  connect(BtnClearLogFile, &QPushButton::clicked, this, &TLogDlg::ClearLogFile);
  connect(btn_ViewLogFile, &QPushButton::clicked, this, &TLogDlg::ViewLogFile);
  connect(OKBtn, &QPushButton::clicked, this, &TLogDlg::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TLogDlg::CancelBtnClick);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fileGroup);
  layout->addWidget(viewerGroup);
  layout->addWidget(formatGroup);
  layout->addLayout(buttons.Row);
}

void TLogDlg::showEvent(QShowEvent* event) {
  LoadLogSettings();
  QDialog::showEvent(event);
}

void TLogDlg::LoadLogSettings() {
  log_.LoadLogSettings();
  loadedFileName_ = log_.CurrentFileName();
  ebFileName->setText(loadedFileName_);
  ShowChoice(cbViewerSelect, logViewer_);
  cbLogFileDataFormat->clear();
  for (const char* name : kLogDataFormatNames)
    cbLogFileDataFormat->addItem(QLatin1String(name));
  ShowChoice(cbLogFileDataFormat, logDataFormat_);
}

std::optional<TLogFileChoice> TLogDlg::FileDialog(const QString& startName, int filter) {
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // A new file may be named, in a folder that exists.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(FileFilters());
  dialog.selectNameFilter(FileFilters().at(filter - 1));
  dialog.setDirectory(QFileInfo(startName).absolutePath());
  dialog.selectFile(QFileInfo(startName).fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  const qsizetype chosen = FileFilters().indexOf(dialog.selectedNameFilter());
  return TLogFileChoice{dialog.selectedFiles().front(), chosen >= 0 ? int(chosen) + 1 : 1};
}

void TLogDlg::SelectLogFile() {
  const bool logging = settings_.LogToFile;
  if (logging)
    CloseFileLog();
  const QString shown = ExpandFileName(ebFileName->text());
  if (const std::optional<TLogFileChoice> choice = ChooseLogFile(shown, LogFileFilterOf(shown))) {
    log_.SetCurrentFileName(WithFilterExtension(choice->FileName, choice->Filter));
    ebFileName->setText(log_.CurrentFileName());
  }
  if (logging)
    ReopenFileLog();
}

void TLogDlg::ReopenFileLog() {
  settings_.LogToFile = log_.OpenLog();
}

void TLogDlg::StoreFileName() {
  settings_.LogFileName.assign(QStringToCp1252(ebFileName->text().left(kMaxStoredName)));
}

void TLogDlg::StoreViewer() {
  StoreChoice(cbViewerSelect, logViewer_);
}

void TLogDlg::OKBtnClick() {
  StoreChoice(cbLogFileDataFormat, logDataFormat_);
  if (!settings_.LogToFile) {
    StoreFileName();
    StoreViewer();
    accept();
    return;
  }
  const QString stored = Cp1252ToQString(settings_.LogFileName.view());
  const QString shown = ebFileName->text();
  // The stored name may be relative: the same file is no change.
  if (shown != ExpandFileName(stored)) {
    const QString question =
        QStringLiteral("Do you want stop logging to <") + stored + QStringLiteral("> and") + kCrLf +
        QStringLiteral("continue logging on <") + shown + QStringLiteral("> ?");
    if (messages_.Confirmation(question, TMsgButton::Yes | TMsgButton::No) != TMsgButton::Yes)
      return;
    CloseFileLog();
    StoreFileName();
    ReopenFileLog();
  }
  StoreViewer();
  accept();
}

void TLogDlg::CancelBtnClick() {
  reject();
}

void TLogDlg::reject() {
  // A file chosen here counts only through OK; with the file log on, the
  // choice has already moved the log and stays.
  if (!settings_.LogToFile && log_.CurrentFileName() != loadedFileName_)
    log_.SetCurrentFileName(loadedFileName_);
  QDialog::reject();
}

bool TLogDlg::EmptyLogFile(const QString& fileName) {
  QByteArray empty;
  switch (LogKindOfFile(fileName)) {
    case TLogKind::Text:
      break;
    case TLogKind::RichText:
      empty = WriteRtf(TRtfDocument());
      break;
    case TLogKind::None:
      return true;  // not a log this program writes: left alone
  }
  // Never replace a directory, a pipe or a device that carries the name.
  QString reason = QFileInfo::exists(fileName) ? RegularFileProblem(fileName) : QString();
  if (reason.isEmpty() && ReplaceFile(fileName, empty, &reason))
    return true;
  QString text = QStringLiteral("The log file <") + fileName +
                 QStringLiteral("> could not be cleared.") + kCrLf + QStringLiteral("Reason: ") +
                 reason;
  if (!text.endsWith(QLatin1Char('.')))
    text += QLatin1Char('.');
  messages_.Error(text);
  return false;
}

void TLogDlg::ClearLogFile() {
  const QString fileName = log_.CurrentFileName();
  if (!QFileInfo::exists(fileName)) {
    messages_.Information(QStringLiteral("The log file <") + fileName +
                          QStringLiteral("> does not exist"));
    return;
  }
  if (messages_.Confirmation(QStringLiteral("Do you want to clear the log file?"),
                             TMsgButton::Yes | TMsgButton::No) != TMsgButton::Yes)
    return;
  const bool logging = settings_.LogToFile;
  if (logging)
    CloseFileLog();
  EmptyLogFile(fileName);
  if (logging)
    ReopenFileLog();
}

void TLogDlg::ViewLogFile() {
  const int choice = cbViewerSelect->currentIndex();
  if (settings_.LogToFile) {
    messages_.Information(
        QStringLiteral("The log cannot be viewed while file logging is turned on.") + kCrLf +
        QStringLiteral("Please go back to the main KLV menu and turn the file log off."));
    return;
  }
  const QString fileName = log_.CurrentFileName();
  if (!QFileInfo::exists(fileName)) {
    messages_.Information(fileName + QStringLiteral(" does not exist"));
    return;
  }
  if (!Viewer.View(choice, fileName))
    messages_.Information(QStringLiteral("Error opening log file viewer"));
}

}  // namespace klv
