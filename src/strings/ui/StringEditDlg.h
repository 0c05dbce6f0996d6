// The string editor ("String Editor"): the shown library string as a hex dump
// on its own console, with boxes to choose the string by number or name, its
// name, its syntax, the input and edit modes, and transmission on either
// channel. It edits a working copy of the library; OK writes it back.
#pragma once

#include <QDialog>

#include "common/MessageService.h"
#include "common/ReceiveInterfaces.h"
#include "conf/ConfRecord.h"
#include "strings/StringEditor.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace klv {

class TColorConsole;

class TString_EditDlg : public QDialog {
  Q_OBJECT

 public:
  TString_EditDlg(TConf& conf, IChannelServices& channels, IMessageService& messages,
                  QWidget* parent = nullptr);
  void SetScriptRunner(IScriptRunner* runner) { editor_.SetScriptRunner(runner); }
  const TStringEditor& Editor() const { return editor_; }

  void accept() override;

  TColorConsole* StrEditor;
  QComboBox* cbStrNr;
  QComboBox* cbStrName;
  QToolButton* sbEdit;
  QLineEdit* ebStrName;
  QPushButton* BitBtnEditOK;
  QPushButton* BitBtnEditCancel;
  QComboBox* cbSyntax;
  QToolButton* sbUnlockSyntax;
  QToolButton* sbInputMode;
  QPushButton* BtnClearString;
  QPushButton* BtnEraseString;
  QPushButton* BtnTransmitt_1;
  QPushButton* BtnTransmitt_2;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QLabel* PanelCursorPos;
  QLabel* PanelEditMode;
  QLabel* PanelInputMode;
  QLabel* PanelSyntax;
  QLabel* PanelChecksum;

 protected:
  void showEvent(QShowEvent* event) override;
  // Key preview: typing reaches the editor whichever control has the focus,
  // except while the name is edited.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Begin();
  void Draw();
  void ShowIndex(int index);
  void EditName(bool on);
  void NameOK();

  TConf& conf_;
  IChannelServices& channels_;
  IMessageService& messages_;
  TStringEditor editor_;
  bool editingName_ = false;
};

}  // namespace klv
