// A printer that records what it is asked to do and fails on request.
#pragma once

#include <QString>
#include <QStringList>

#include "log/PrinterDevice.h"

namespace klv::test {

class FakePrinterDevice : public IPrinterDevice {
 public:
  bool Begin(QString* error) override {
    events << QStringLiteral("begin");
    if (!beginError.isEmpty()) {
      *error = beginError;
      return false;
    }
    jobRunning = true;
    return true;
  }
  void SetFont(bool bold, bool underline) override {
    events << QStringLiteral("font bold=%1 underline=%2").arg(bold).arg(underline);
  }
  bool Write(const QString& text) override {
    events << QStringLiteral("write ") + text;
    if (!jobRunning) {
      errorText = QStringLiteral("no job");
      return false;
    }
    if (writesBeforeFailure == 0) {
      errorText = QStringLiteral("Paper jam");
      return false;
    }
    if (writesBeforeFailure > 0)
      --writesBeforeFailure;
    return true;
  }
  void End() override {
    events << QStringLiteral("end");
    jobRunning = false;
  }
  QString Destination() const override { return destination; }
  bool PrintsToFile() const override { return toFile; }
  QString ErrorString() const override { return errorText; }

  QStringList events;
  QString beginError;
  int writesBeforeFailure = -1;  // -1 never fails
  bool jobRunning = false;
  bool toFile = false;
  QString destination = QStringLiteral("Office printer");
  QString errorText;
};

}  // namespace klv::test
