#include "app/ui/Klvmain.h"

#include <QLabel>
#include <QTimer>

#include "serial/ComPort.h"

namespace klv {

TKLVAppForm::TKLVAppForm(QStringList parameters, QWidget* parent)
    : QMainWindow(parent),
      parameters_(std::move(parameters)),
      messages_(this),
      config_(std::make_unique<TConfigFile>(messages_, *this)) {
  auto* placeholder = new QLabel(this);
  placeholder->setAlignment(Qt::AlignCenter);
  setCentralWidget(placeholder);
  config_->SetDefaults();
  UpdateTitle();
}

TKLVAppForm::~TKLVAppForm() = default;

bool TKLVAppForm::PortPresent(int comNumber) {
  SetCountPortsInUse(true);
  return PortAvailable(comNumber);
}

void TKLVAppForm::ApplyConfig() {
  UpdateTitle();
}

void TKLVAppForm::UpdateTitle() {
  setWindowTitle(QStringLiteral("Kelvora 32 - ") + config_->ConfigFullPath());
}

void TKLVAppForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_)
    return;
  shown_ = true;
  // Loading may show message boxes: do it once the window is on screen.
  QTimer::singleShot(0, this, &TKLVAppForm::FormShow);
}

void TKLVAppForm::FormShow() {
  config_->SetDefaults();
  config_->LoadStartupConfig(parameters_);
  ApplyConfig();
  config_->CopyToSaved();
}

}  // namespace klv
