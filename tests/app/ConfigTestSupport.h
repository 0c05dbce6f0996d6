// A configuration host that records what the configuration asked of it, and the files and the
// working folder the configuration tests run on.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/Config.h"
#include "support/FakeMessageService.h"

namespace klv::test {

class FakeConfigHost : public IConfigHost {
 public:
  bool PortPresent(int) override { return false; }
  void StopFileLog() override { ++fileLogStops; }
  void StopPrinterLog() override { ++printerLogStops; }
  void ApplyConfig() override { ++applies; }
  void UpdateTitle() override { ++titleUpdates; }

  int fileLogStops = 0;
  int printerLogStops = 0;
  int applies = 0;
  int titleUpdates = 0;
};

struct ConfigFixtureParts {
  FakeMessageService messages;
  FakeConfigHost host;
  TConfigFile config{messages, host};
};

// A file's bytes; none when it cannot be read.
inline QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
              file.write(bytes) == bytes.size())
      << path.toStdString();
}

// A fresh folder, the current one while it lives (where Config.klv is looked for).
class TempCurrentDir {
 public:
  TempCurrentDir() { EXPECT_TRUE(dir_.isValid() && QDir::setCurrent(dir_.path())); }
  ~TempCurrentDir() { QDir::setCurrent(previous_); }
  QString Path(const QString& name) const { return dir_.filePath(name); }
  QString path() const { return dir_.path(); }

 private:
  QString previous_ = QDir::currentPath();
  QTemporaryDir dir_;
};

}  // namespace klv::test
