// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the thread that
// created this object, so the program can end in order from its event loop.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace klv {

class TShutdownSignals : public QObject {
  Q_OBJECT

 public:
  explicit TShutdownSignals(QObject* parent = nullptr);
  ~TShutdownSignals() override;

 signals:
  void Received(int signalNumber);

 private:
  void Drain();
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace klv
