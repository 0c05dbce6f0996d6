// Stand-ins for the log engine's printer and time source.
#pragma once

#include <QString>
#include <algorithm>
#include <cstdint>
#include <map>

#include "log/Log.h"
#include "log/PrinterDevice.h"

namespace klv::test {

// A printer that keeps what it is asked to do as one text: the text it
// prints, with "<begin>", "<end>" and the font switches ("<b>" bold, "<u>"
// underlined, "<>" plain) in between. It fails on request.
class FakePrinterDevice : public IPrinterDevice {
 public:
  bool Begin(QString* error) override {
    printed += QStringLiteral("<begin>");
    *error = beginError;
    running = beginError.isEmpty();
    return running;
  }
  void SetFont(bool bold, bool underline) override {
    printed += QStringLiteral("<%1%2>").arg(bold ? "b" : "", underline ? "u" : "");
  }
  bool Write(const QString& text) override {
    printed += text;
    if (!running || writesBeforeFailure == 0)
      return false;
    if (writesBeforeFailure > 0)
      --writesBeforeFailure;
    return true;
  }
  void End() override {
    printed += QStringLiteral("<end>");
    running = false;
  }
  QString Destination() const override { return QStringLiteral("Office printer"); }
  bool PrintsToFile() const override { return false; }
  QString ErrorString() const override { return QStringLiteral("Paper jam"); }

  QString printed;
  QString beginError;
  int writesBeforeFailure = -1;  // -1 never fails
  bool running = false;
};

// A clock that stands still until the test moves it on; the timers fire
// only then, in the order they fall due.
class ManualLogTime : public ILogTimeSource {
 public:
  std::int64_t NowMs() const override { return now_; }
  void Start(TTimer timer, int intervalMs) override {
    armed_[timer] = {now_ + intervalMs, intervalMs};
  }
  void Stop(TTimer timer) override { armed_.erase(timer); }
  bool IsActive(TTimer timer) const override { return armed_.count(timer) != 0; }

  void Advance(std::int64_t ms) {
    const std::int64_t end = now_ + ms;
    while (!armed_.empty()) {
      const auto next = std::min_element(armed_.begin(), armed_.end(), [](auto& a, auto& b) {
        return a.second.due < b.second.due;
      });
      if (next->second.due > end)
        break;
      const TTimer timer = next->first;
      now_ = next->second.due;
      if (timer == TTimer::Flush)
        next->second.due += next->second.intervalMs;  // repeats
      else
        armed_.erase(next);
      Fire(timer);
    }
    now_ = end;
  }

 private:
  struct Armed {
    std::int64_t due;
    int intervalMs;
  };
  std::int64_t now_ = 0;
  std::map<TTimer, Armed> armed_;
};

}  // namespace klv::test
