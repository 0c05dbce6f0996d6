#include "app/ui/MessageBoxService.h"

#include <QApplication>
#include <QMessageBox>

namespace klv {
namespace {

QString Title() {
  return QApplication::applicationName();
}

}  // namespace

void TMessageBoxService::Information(const QString& text) {
  QMessageBox::information(parent_, Title(), text);
}

TMsgButton TMessageBoxService::Confirmation(const QString& text, TMsgButtons buttons) {
  QMessageBox::StandardButtons standard;
  if (buttons & TMsgButton::Ok)
    standard |= QMessageBox::Ok;
  if (buttons & TMsgButton::Yes)
    standard |= QMessageBox::Yes;
  if (buttons & TMsgButton::No)
    standard |= QMessageBox::No;
  if (buttons & TMsgButton::Cancel)
    standard |= QMessageBox::Cancel;
  switch (QMessageBox::question(parent_, Title(), text, standard)) {
    case QMessageBox::Yes:
      return TMsgButton::Yes;
    case QMessageBox::No:
      return TMsgButton::No;
    case QMessageBox::Cancel:
      return TMsgButton::Cancel;
    default:
      // Closing the box is the most cautious answer on offer.
      if (buttons & TMsgButton::Cancel)
        return TMsgButton::Cancel;
      if (buttons & TMsgButton::No)
        return TMsgButton::No;
      return TMsgButton::Ok;
  }
}

void TMessageBoxService::Error(const QString& text) {
  QMessageBox::critical(parent_, Title(), text);
}

}  // namespace klv
