// The real analyser ends in order on SIGTERM, SIGINT and SIGHUP: exit status
// 0, no question asked, the configuration file untouched, open logs closed
// with their closing lines.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
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

TEST(Shutdown, TerminationSignalsEndTheProgramInOrder) {
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
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
    ASSERT_TRUE(StartAnalyser(analyser, dir, signalNumber)) << "the signal handler is installed";

    ::kill(static_cast<pid_t>(analyser.processId()), signalNumber);
    ASSERT_TRUE(analyser.waitForFinished(20000));
    EXPECT_EQ(analyser.exitStatus(), QProcess::NormalExit) << signalNumber;
    EXPECT_EQ(analyser.exitCode(), 0) << signalNumber;
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), image) << "the configuration file is untouched";
  }
}

// A file log (text or rich text) and the printer log that were on at start
// are closed with their closing lines when the program is told to end.
TEST(Shutdown, TerminationClosesTheOpenLogs) {
  for (const char* logName : {"Run.Log", "Run.doc"}) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    test::ConfigFixtureParts parts;
    parts.config.SetDefaults();  // no ports present: both channels off
    parts.config.Conf().Log.LogToFile = true;
    parts.config.Conf().Log.LogToPrinter = true;
    parts.config.Conf().Log.LogFileName.assign(logName);
    parts.config.SetConfigFileName(dir.filePath("Config.klv"));
    ASSERT_TRUE(parts.config.SaveConfig());

    QProcess analyser;
    ASSERT_TRUE(StartAnalyser(analyser, dir, SIGTERM));
    const QString log = dir.filePath(logName);
    ASSERT_TRUE(test::RunUntil([&] { return QFileInfo(log).size() > 0; })) << "the log is open";
    ::kill(static_cast<pid_t>(analyser.processId()), SIGTERM);
    ASSERT_TRUE(analyser.waitForFinished(20000));
    EXPECT_EQ(analyser.exitCode(), 0) << logName;

    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const QByteArray closing = "KLV V3.02  log file " + log.toUtf8() + " closed: ";
    EXPECT_TRUE(text.contains("KLV V3.02  log file " + log.toUtf8() + " opened: ")) << logName;
    EXPECT_TRUE(text.contains(closing)) << text.toStdString();
    if (QByteArray(logName).endsWith(".doc")) {
      EXPECT_TRUE(text.startsWith("{\\rtf1")) << text.toStdString();
      EXPECT_TRUE(text.trimmed().endsWith('}')) << text.toStdString();
    } else {
      EXPECT_TRUE(text.endsWith("\r\n")) << text.toStdString();
    }

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

}  // namespace
}  // namespace klv
