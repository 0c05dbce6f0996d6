// The analyser answers --help and --version on standard output and ends, without a window and so
// without a display, whatever platform is asked for.
#include <gtest/gtest.h>

#include <QProcess>

#include "conf/ConfRecord.h"

namespace klv {
namespace {

TEST(CommandLine, HelpAndVersionAreAnsweredWithoutADisplay) {
  const QString version = QString::fromLatin1(kConfVersion.substr(1)).trimmed();  // "V3.02 "
  const std::pair<const char*, QString> cases[] = {
      {"--help", "Usage: kelvora32 [CONFIGURATION-FILE.klv]\n"},
      {"-h", "Usage: kelvora32 [CONFIGURATION-FILE.klv]\n"},
      {"--version", "kelvora32 (Kelvora 32) " + version + "\n"},
      {"-V", "kelvora32 (Kelvora 32) " + version + "\n"}};
  for (const char* platform : {"", "xcb"}) {
    for (const auto& [option, starts] : cases) {
      SCOPED_TRACE(std::string(option) + " on platform '" + platform + "'");
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.remove("DISPLAY");
      env.remove("WAYLAND_DISPLAY");
      platform[0] ? env.insert("QT_QPA_PLATFORM", platform) : env.remove("QT_QPA_PLATFORM");
      QProcess analyser;
      analyser.setProcessEnvironment(env);
      analyser.start(QStringLiteral(KLV_ANALYSER_PATH), {"Bench.klv", option});
      ASSERT_TRUE(analyser.waitForFinished(20000));
      EXPECT_EQ(std::pair(analyser.exitStatus(), analyser.exitCode()),
                std::pair(QProcess::NormalExit, 0));
      EXPECT_TRUE(QString::fromUtf8(analyser.readAllStandardOutput()).startsWith(starts));
      EXPECT_EQ(analyser.readAllStandardError().toStdString(), "");
    }
  }
  // An answer that cannot be written is a failure.
  QProcess full;
  full.setStandardOutputFile("/dev/full");
  full.start(QStringLiteral(KLV_ANALYSER_PATH), {"--help"});
  ASSERT_TRUE(full.waitForFinished(20000));
  EXPECT_EQ(full.exitCode(), 1);
}

}  // namespace
}  // namespace klv
