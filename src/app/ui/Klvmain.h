// The main window. For now it carries the configuration: it chooses and
// loads the file at start and shows it in the title.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <memory>

#include "app/Config.h"
#include "app/ui/MessageBoxService.h"

namespace klv {

class TKLVAppForm : public QMainWindow, public IConfigHost {
  Q_OBJECT

 public:
  // `parameters` are the command-line parameters without the program name.
  explicit TKLVAppForm(QStringList parameters, QWidget* parent = nullptr);
  ~TKLVAppForm() override;

  TConfigFile& Config() { return *config_; }

  // IConfigHost
  bool PortPresent(int comNumber) override;
  void StopFileLog() override {}
  void StopPrinterLog() override {}
  void ApplyConfig() override;
  void UpdateTitle() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();

  QStringList parameters_;
  TMessageBoxService messages_;
  std::unique_ptr<TConfigFile> config_;
  bool shown_ = false;
};

}  // namespace klv
