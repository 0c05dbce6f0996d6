// kelvora32 [configuration-file.klv]
#include <QApplication>
#include <csignal>

#include "app/ShutdownSignals.h"
#include "app/ui/Klvmain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // A log write past the file size limit fails with an error the log reports;
  // it must not end the program.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication::setApplicationName(QStringLiteral("Kelvora 32"));
  QApplication::setDesktopFileName(QStringLiteral("kelvora32"));

  klv::TAppFormSetup setup;
  setup.Parameters = QApplication::arguments();
  setup.Parameters.removeFirst();  // the program itself

  klv::TKLVAppForm window(setup);
  // SIGTERM, SIGINT and SIGHUP end the program in order, without questions.
  klv::TShutdownSignals shutdownSignals;
  QObject::connect(&shutdownSignals, &klv::TShutdownSignals::Received, &window, [&] {
    window.ShutDown();
    QApplication::exit(0);
  });
  window.show();  // at the size the window chose: the whole console line
  return QApplication::exec();
}
