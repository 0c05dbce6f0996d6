// The real analyser ends in order on SIGTERM, SIGINT and SIGHUP, whatever start-up shows: exit
// status 0, no question asked, the configuration file untouched, the file log (text or rich text)
// and the printer log that were on at start closed with their closing lines.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>

#include "app/ConfigTestSupport.h"
#include "support/EventLoop.h"

namespace klv {
namespace {

// Whether the process has installed a handler for the signal (SigCgt in /proc).
bool Catches(qint64 pid, int signalNumber) {
  const QByteArray status = test::ReadFile(QStringLiteral("/proc/%1/status").arg(pid));
  const qsizetype at = status.indexOf("\nSigCgt:") + 8;
  const qulonglong mask =
      at < 8 ? 0 : status.mid(at, status.indexOf('\n', at) - at).trimmed().toULongLong(nullptr, 16);
  return (mask >> (signalNumber - 1)) & 1U;
}

// Starts the analyser in `dir` with its own configuration folder and the
// home folder there; false when it did not reach its signal handler.
bool StartAnalyser(QProcess& analyser, const QTemporaryDir& dir, int signalNumber) {
  QDir(dir.path()).mkpath("config/kelvora32/ports");  // no devices at all
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
  env.insert("HOME", dir.path());  // where the printer log's PDF goes without a printer
  analyser.setProcessEnvironment(env);
  analyser.setWorkingDirectory(dir.path());
  analyser.setProgram(QStringLiteral(KLV_ANALYSER_PATH));
  analyser.start();
  return analyser.waitForStarted() &&
         test::RunUntil([&] { return Catches(analyser.processId(), signalNumber); });
}

// Channel 1 is on COM3, which has no device: start-up says so in a message box and disables the
// channel, so the program would ask to save if it were closed by hand.
TEST(Shutdown, TerminationSignalsEndTheProgramInOrderAndCloseTheLogs) {
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    for (const char* logName : {"Run.Log", "Run.doc"}) {
      SCOPED_TRACE(testing::Message() << "signal " << signalNumber << ", " << logName);
      QTemporaryDir dir;
      ASSERT_TRUE(dir.isValid());
      test::ConfigFixtureParts parts;
      parts.config.SetDefaults();
      TConf& conf = parts.config.Conf();
      conf.Comparam.Channel[0].Enabled = true;
      conf.Comparam.Channel[0].Port = 3;
      conf.Log.LogToFile = true;
      conf.Log.LogToPrinter = true;
      conf.Log.LogFileName.assign(logName);
      const QString config = dir.filePath("Config.klv");
      parts.config.SetConfigFileName(config);
      ASSERT_TRUE(parts.config.SaveConfig());
      const QByteArray image = test::ReadFile(config);

      QProcess analyser;
      ASSERT_TRUE(StartAnalyser(analyser, dir, signalNumber)) << "the signal handler is installed";
      const QString log = dir.filePath(logName);
      ASSERT_TRUE(test::RunUntil([&] { return QFileInfo(log).size() > 0; })) << "the log is open";
      ::kill(static_cast<pid_t>(analyser.processId()), signalNumber);
      ASSERT_TRUE(analyser.waitForFinished(20000));
      EXPECT_EQ(analyser.exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(analyser.exitCode(), 0);
      EXPECT_EQ(test::ReadFile(config), image) << "the configuration file is untouched";

      const QByteArray text = test::ReadFile(log);
      const QByteArray line = "KLV V3.02  log file " + log.toUtf8();
      EXPECT_TRUE(text.contains(line + " opened: ") && text.contains(line + " closed: "))
          << text.toStdString();
      EXPECT_TRUE(QByteArray(logName).endsWith(".doc")
                      ? text.startsWith("{\\rtf1") && text.trimmed().endsWith('}')
                      : text.endsWith("\r\n"))
          << text.toStdString();

      const QStringList pdfs = QDir(dir.path()).entryList({QStringLiteral("*.pdf")}, QDir::Files);
      ASSERT_EQ(pdfs.size(), 1) << "the printer log without a printer";
      if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        continue;
      QProcess pdfText;
      pdfText.start(QStringLiteral("pdftotext"), {dir.filePath(pdfs[0]), QStringLiteral("-")});
      ASSERT_TRUE(pdfText.waitForFinished(60000));
      EXPECT_TRUE(pdfText.readAllStandardOutput().contains("Printer log closed: "));
    }
  }
}

}  // namespace
}  // namespace klv
