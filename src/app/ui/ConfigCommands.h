// The File menu: new, open, save and save as of the configuration file, the
// import of a DRL configuration, and the end of the program.
#pragma once

#include <QObject>

#include "app/Config.h"
#include "common/MessageService.h"

class QAction;
class QMenuBar;
class QToolBar;
class QToolButton;
class QWidget;

namespace klv {

class TConfigCommands : public QObject {
  Q_OBJECT

 public:
  // `window` parents the file dialogs and is closed by Exit.
  TConfigCommands(TConfigFile& config, IConfigHost& host, IMessageService& messages,
                  QWidget* window);

  void PlaceMenu(QMenuBar* bar);
  void PlaceButtons(QToolBar* bar);

  void NewItemClick();
  void OpenItemClick();
  void SaveItemClick();
  void SaveAsItemClick();
  // The DRL import dialog, modal, made for this one use.
  void ImportDRLCfgClick();
  // Open and Save As once the file is chosen.
  void OpenConfigFile(const QString& fileName);
  bool SaveConfigAs(const QString& fileName);

  QAction* NewItem;
  QAction* OpenItem;
  QAction* SaveItem;
  QAction* SaveAsItem;
  QAction* PrintItem;
  QAction* ImportDRLCfg;
  QAction* ExitItem;
  QToolButton* OpenBtn;
  QToolButton* SaveBtn;
  QToolButton* ExitBtn;

 signals:
  // An import has replaced library strings or protocol parameters in the
  // live record; what shows them is to be refreshed.
  void ConfigImported();

 private:
  TConfigFile& config_;
  IConfigHost& host_;
  IMessageService& messages_;
  QWidget* window_;
};

}  // namespace klv
