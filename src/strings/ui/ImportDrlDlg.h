// The DRL import dialog ("Import DRL configuration file"): the user chooses
// what to take (strings, protocol parameters, conversion of Swedish letters
// in names) and a DRL configuration file; the import goes into a staging
// copy of the whole configuration, which OK puts in place of the live one
// and Cancel throws away.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "common/MessageService.h"
#include "conf/ConfRecord.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace klv {

class TImportDRLCfgDlg : public QDialog {
  Q_OBJECT

 public:
  TImportDRLCfgDlg(TConf& conf, IMessageService& messages, QWidget* parent = nullptr);
  ~TImportDRLCfgDlg() override;

  // The file to import; empty when the user cancels. An open-file dialog
  // for existing DRL configuration files, unless replaced.
  std::function<QString()> ChooseFile;

  // The Import button: choose, confirm, import into the staging copy.
  void ImportClick();
  // The same once the file is chosen.
  void ImportFile(const QString& file);

  const TConf& Staging() const { return *staging_; }

  void accept() override;

  QCheckBox* cbIMportStringLibrary;
  QCheckBox* cbProtocolParameters;
  QCheckBox* cbStrNameSwCharConv;
  QPushButton* btnImport;
  QPlainTextEdit* MemoDbg;
  QLabel* PanelNote;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TConf& conf_;
  IMessageService& messages_;
  std::unique_ptr<TConf> staging_;
};

}  // namespace klv
