#include "app/ui/ConfigCommands.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QToolBar>

#include "app/ui/CommandParts.h"
#include "strings/ui/ImportDrlDlg.h"

namespace klv {
namespace {

constexpr const char* kFileFilter = "KLV configuration *.klv (*.klv)";

}  // namespace

TConfigCommands::TConfigCommands(TConfigFile& config, IConfigHost& host, IMessageService& messages,
                                 QWidget* window)
    : QObject(window), config_(config), host_(host), messages_(messages), window_(window) {
  NewItem =
      NewMenuItem(this, "NewItem", QStringLiteral("&New"), {}, QStringLiteral("New configuration"));
  OpenItem = NewMenuItem(this, "OpenItem", QStringLiteral("&Open..."),
                         QKeySequence(Qt::ALT | Qt::Key_F1), QStringLiteral("Open a file"));
  SaveItem = NewMenuItem(this, "SaveItem", QStringLiteral("&Save..."), {},
                         QStringLiteral("Save current file"));
  SaveAsItem =
      NewMenuItem(this, "SaveAsItem", QStringLiteral("S&ave As"),
                  QKeySequence(Qt::ALT | Qt::Key_F2), QStringLiteral("Save under a new name"));
  // Never has an action.
  PrintItem = Later(NewMenuItem(this, "PrintItem", QStringLiteral("&Print"), {},
                                QStringLiteral("Print configuration")));
  ImportDRLCfg = NewMenuItem(this, "ImportDRLCfg", QStringLiteral("&Config.DRL"));
  ExitItem = NewMenuItem(this, "ExitItem", QStringLiteral("E&xit"),
                         QKeySequence(Qt::ALT | Qt::Key_X), QStringLiteral("Exit application"));
  OpenBtn = NewToolButton(window, "OpenBtn", QStringLiteral("Open"), QStringLiteral("Open"));
  SaveBtn = NewToolButton(window, "SaveBtn", QStringLiteral("Save"), QStringLiteral("Save"));
  ExitBtn = NewToolButton(window, "ExitBtn", QStringLiteral("Exit"), QStringLiteral("Exit"));

  connect(NewItem, &QAction::triggered, this, &TConfigCommands::NewItemClick);
  connect(OpenItem, &QAction::triggered, this, &TConfigCommands::OpenItemClick);
  connect(SaveItem, &QAction::triggered, this, &TConfigCommands::SaveItemClick);
  connect(SaveAsItem, &QAction::triggered, this, &TConfigCommands::SaveAsItemClick);
  connect(ImportDRLCfg, &QAction::triggered, this, &TConfigCommands::ImportDRLCfgClick);
  connect(ExitItem, &QAction::triggered, window, &QWidget::close);
  connect(OpenBtn, &QToolButton::clicked, this, &TConfigCommands::OpenItemClick);
  connect(SaveBtn, &QToolButton::clicked, this, &TConfigCommands::SaveItemClick);
  connect(ExitBtn, &QToolButton::clicked, window, &QWidget::close);
}

void TConfigCommands::PlaceMenu(QMenuBar* bar) {
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  file->addActions({NewItem, OpenItem, SaveItem, SaveAsItem, PrintItem});
  QMenu* import = file->addMenu(QStringLiteral("&Import"));
  import->menuAction()->setObjectName(QStringLiteral("Import1"));
  import->addAction(ImportDRLCfg);
  file->addSeparator();
  file->addAction(ExitItem);
}

void TConfigCommands::PlaceButtons(QToolBar* bar) {
  bar->addWidget(OpenBtn);
  bar->addWidget(SaveBtn);
  bar->addWidget(ExitBtn);
}

void TConfigCommands::NewItemClick() {
  if (messages_.Confirmation(QStringLiteral("Reset ALL settings to default settings?"),
                             TMsgButton::Yes | TMsgButton::No) == TMsgButton::Yes) {
    config_.ResetToDefaults();
  }
}

void TConfigCommands::OpenItemClick() {
  const QString name = QFileDialog::getOpenFileName(window_, QString(), config_.ConfigFullPath(),
                                                    QString::fromLatin1(kFileFilter));
  if (!name.isEmpty())
    OpenConfigFile(name);
}

void TConfigCommands::OpenConfigFile(const QString& fileName) {
  if (config_.Conf().Log.LogToFile)
    host_.StopFileLog();
  if (config_.Conf().Log.LogToPrinter)
    host_.StopPrinterLog();
  config_.SetDefaults();
  config_.SetConfigFileName(fileName);
  // A failed load has already reset and applied the defaults.
  if (config_.LoadConfig())
    host_.ApplyConfig();
  config_.CopyToSaved();
}

void TConfigCommands::SaveItemClick() {
  if (QFileInfo(config_.ConfigFileName()).isFile()) {
    config_.SaveConfig();
    return;
  }
  SaveAsItemClick();
}

void TConfigCommands::SaveAsItemClick() {
  QString name = QFileDialog::getSaveFileName(window_, QString(), config_.ConfigFullPath(),
                                              QString::fromLatin1(kFileFilter));
  if (name.isEmpty())
    return;
  if (QFileInfo(name).suffix().isEmpty())
    name += QStringLiteral(".klv");
  SaveConfigAs(name);
}

void TConfigCommands::ImportDRLCfgClick() {
  TImportDRLCfgDlg dialog(config_.Conf(), messages_, window_);
  if (dialog.exec() == QDialog::Accepted)
    emit ConfigImported();
}

bool TConfigCommands::SaveConfigAs(const QString& fileName) {
  const QString previous = config_.ConfigFileName();
  config_.SetConfigFileName(fileName);
  if (config_.SaveConfig())
    return true;
  config_.SetConfigFileName(previous);  // the record still belongs to the old file
  return false;
}

}  // namespace klv
