// kelvora32 [configuration-file.klv]
#include <QApplication>

#include "app/ui/Klvmain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelvora 32"));
  QApplication::setDesktopFileName(QStringLiteral("kelvora32"));

  QStringList parameters = QApplication::arguments();
  parameters.removeFirst();  // the program itself

  klv::TKLVAppForm window(parameters);
  window.showMaximized();
  return QApplication::exec();
}
