// Messages shown as modal message boxes over a parent window.
#pragma once

#include <QPointer>
#include <QWidget>

#include "common/MessageService.h"

namespace klv {

class TMessageBoxService : public IMessageService {
 public:
  explicit TMessageBoxService(QWidget* parent = nullptr) : parent_(parent) {}
  void Information(const QString& text) override;
  TMsgButton Confirmation(const QString& text, TMsgButtons buttons) override;
  void Error(const QString& text) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace klv
