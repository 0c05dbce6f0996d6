// kelvora32 [configuration-file.klv] | --help | --version
#include <QApplication>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>

#include "app/ShutdownSignals.h"
#include "app/ui/Klvmain.h"
#include "conf/ConfRecord.h"

namespace {

constexpr const char* kUsage = R"(Usage: kelvora32 [CONFIGURATION-FILE.klv]
Kelvora 32, a two-channel serial line analyser: shows everything received on
two serial ports in one window.

The settings come from CONFIGURATION-FILE (extension .klv) or, without one,
from Config.klv in the working directory; the defaults apply when that does
not exist.

The ports are numbered COM1 to COM16. COMn is the entry COMn (a link to the
device) of the ports directory $XDG_CONFIG_HOME/kelvora32/ports (normally
~/.config/kelvora32/ports) when that directory exists; without it, COM1 to
COM16 are the system's serial devices in order, USB and ACM adapters first.

  -h, --help     show this text and exit
  -V, --version  show the version and exit
)";

// Answers --help and --version before any window exists, so that they work
// without a display. Returns the exit status, or -1 when there was neither.
int AnswerInformationOption(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
    } else if (arg == "--version" || arg == "-V") {
      const std::string_view version = klv::kConfVersion.substr(1, klv::kConfVersion.find(' ') - 1);
      std::printf("kelvora32 (Kelvora 32) %s\n", std::string(version).c_str());
    } else {
      continue;
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;  // a full disk is a failure
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (const int status = AnswerInformationOption(argc, argv); status >= 0)
    return status;
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
