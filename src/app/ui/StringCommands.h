// The Strings and Utilities menus and the transmit buttons: everything that
// transmits on the channels' behalf of the user.
#pragma once

#include <QList>
#include <QObject>
#include <functional>

#include "app/Channels.h"
#include "common/Beeper.h"
#include "common/MessageService.h"
#include "conf/ConfRecord.h"
#include "strings/AutoTransmitter.h"
#include "strings/StringTransmitter.h"

class QAction;
class QMenuBar;
class QToolBar;
class QToolButton;

namespace klv {

class TScriptStringTransmissionDlg;
class TString_EditDlg;

class TStringCommands : public QObject {
  Q_OBJECT

 public:
  TStringCommands(TConf& conf, TChannels& channels, IMessageService& messages, IBeeper& beeper,
                  QWidget* window);

  void PlaceStringsMenu(QMenuBar* bar);
  void PlaceUtilitiesMenu(QMenuBar* bar);
  void PlaceButtons(QToolBar* bar);

  // The transmit buttons and items follow the channels' availability.
  void UpdateTransmitButtons();
  // The global string syntax items' check marks as the record says.
  void ShowGlobalSyntax();
  // A break of 5 ticks on channel 1.
  void BreakClick();
  // The file transmission dialog, modal; it remembers the file name on OK.
  void TransmitFileClick();

  // Inverts the "AutoTransmit" check mark: on, the current string is sent
  // every AutoXmitInterval ms on channel 1; off, what is not yet sent there
  // is discarded. The record's AutoTransmit follows the check mark.
  void AutoTransmitClick();
  // As a record is applied: auto-transmission that ran stops, and starts
  // afresh when the record's AutoTransmit is set.
  void ApplyAutoTransmit();
  void ExportClick();
  void ImportClick();
  void ClearAllClick();
  // The library dialog, modal; the current string may be another after it.
  void LibraryClick();
  // The string editor, modal; OK writes the library back with the shown
  // string as the current one.
  void EditClick();

  TStringTransmitter& Transmitter() { return transmitter_; }
  TAutoTransmitter& AutoTransmitter() { return *autoTransmitter_; }
  TScriptStringTransmissionDlg& ScriptDlg() { return *scriptDlg_; }
  TString_EditDlg& EditDlg() { return *editDlg_; }

  // The library file to export to and to import from (an existing one);
  // empty when the user cancels. File dialogs, unless replaced.
  std::function<QString()> ChooseExportFile;
  std::function<QString()> ChooseImportFile;

  QAction* Rearrange1;
  QAction* Edit1;
  QAction* StringsTransmitt;
  QAction* StringsAutoTransmitt;
  QAction* StringsScriptTransmission;
  QList<QAction*> SyntaxItems;  // StrSyntaxSelNone, StrSyntaxSelDisplayMode, StrSyntaxSelProtocol
  QAction* StringsExport;
  QAction* StringsImport;
  QAction* ClearALLstrings1;
  QAction* TransmittFile1;
  QAction* Transmitta250mSBreak1;
  QToolButton* BtnTransmitt_1;
  QToolButton* BtnTransmitt_2;

 signals:
  // The library was imported, cleared or edited: its current string may be
  // another.
  void LibraryReplaced();

 private:
  void SetAutoTransmit(bool on);
  QString ChooseLibraryFile(bool forExport);
  void LibraryLoaded();

  TConf& conf_;
  TChannels& channels_;
  IMessageService& messages_;
  QWidget* window_;
  TStringTransmitter transmitter_;
  TAutoTransmitter* autoTransmitter_;
  TScriptStringTransmissionDlg* scriptDlg_;
  TString_EditDlg* editDlg_;
};

}  // namespace klv
