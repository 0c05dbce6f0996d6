// The real analyser ends in order on SIGTERM, SIGINT and SIGHUP: exit status
// 0, no question asked, the configuration file untouched.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

#include "support/EventLoop.h"

namespace klv {
namespace {

// Whether the process has installed a handler for the signal (SigCgt in /proc).
bool Catches(qint64 pid, int signalNumber) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly))
    return false;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (!line.startsWith("SigCgt:"))
      continue;
    const qulonglong mask = line.mid(7).trimmed().toULongLong(nullptr, 16);
    return (mask >> (signalNumber - 1)) & 1U;
  }
  return false;
}

TEST(Shutdown, TerminationSignalsEndTheProgramInOrder) {
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath("config/kelvora32/ports");  // no devices at all
    // A configuration the program would ask to save if it were closed by hand.
    const QString config = dir.filePath("Config.klv");
    QByteArray image(35983, '\0');
    image.replace(0, 4, "\x03KLV");
    image.replace(11, 7, "\x06V3.02 ");
    image[22] = 1;  // channel 1 enabled on COM3, which has no device: start-up
    image[23] = 3;  // says so in a message box and disables the channel
    {
      QFile file(config);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(image);
    }

    QProcess analyser;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    analyser.setProcessEnvironment(env);
    analyser.setWorkingDirectory(dir.path());
    analyser.setProgram(QStringLiteral(KLV_ANALYSER_PATH));
    analyser.start();
    ASSERT_TRUE(analyser.waitForStarted());
    ASSERT_TRUE(test::RunUntil([&] { return Catches(analyser.processId(), signalNumber); }))
        << "the signal handler is installed";

    ::kill(static_cast<pid_t>(analyser.processId()), signalNumber);
    ASSERT_TRUE(analyser.waitForFinished(20000));
    EXPECT_EQ(analyser.exitStatus(), QProcess::NormalExit) << signalNumber;
    EXPECT_EQ(analyser.exitCode(), 0) << signalNumber;
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), image) << "the configuration file is untouched";
  }
}

}  // namespace
}  // namespace klv
