// --help and --version (-h, -V) are answered on standard output before any window is made, so
// without a display whatever platform is asked for; an answer that cannot be written fails.
#include <gtest/gtest.h>

#include <QProcess>

TEST(CommandLine, HelpAndVersionNeedNoDisplay) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  QProcess analyser;
  const auto run = [&](const QString& option) {
    analyser.setProcessEnvironment(env);
    analyser.start(QStringLiteral(KLV_ANALYSER_PATH), {"Bench.klv", option});
    return analyser.waitForFinished(20000) && analyser.exitStatus() == QProcess::NormalExit
               ? analyser.exitCode()
               : -1;
  };
  for (const char* platform : {"", "xcb"}) {
    platform[0] ? env.insert("QT_QPA_PLATFORM", platform) : env.remove("QT_QPA_PLATFORM");
    for (const QString option : {"--help", "-h", "--version", "-V"}) {
      EXPECT_EQ(run(option), 0) << option.toStdString() << " on '" << platform << "'";
      EXPECT_TRUE(analyser.readAllStandardOutput().startsWith(
          option.contains('v', Qt::CaseInsensitive) ? "kelvora32 (Kelvora 32) 3."
                                                    : "Usage: kelvora32 [CONFIG"));
    }
  }
  analyser.setStandardOutputFile("/dev/full");
  EXPECT_EQ(run("--help"), 1);
}
