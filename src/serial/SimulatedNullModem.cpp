#include "serial/SimulatedNullModem.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace klv {

struct SimulatedNullModem::Shared {
  struct EndState {
    bool present = true;  // false after Vanish until Reconnect
    bool open = false;
    std::uint64_t session = 0;  // identifies the device object currently open
    // State of the open device; reset when it closes.
    bool vanished = false;
    bool shutdown = false;
    bool cancel = false;
    bool rts = false;
    bool dtr = false;
    bool breakOn = false;
    int blockedWriters = 0;
    std::deque<std::uint8_t> inbound;  // bytes towards this end
    // Injected and recorded state; kept across opens.
    bool ring = false;
    bool flowStopped = false;
    std::int32_t maxBaud = 0;
    int breaksSent = 0;
    int flushes = 0;
    LineSettings settings;
    // Edges of this end's input lines, counted as a UART driver counts them
    // (RI on both edges), and the lines they were last counted at.
    ModemCounts counts;
    std::uint8_t counted = 0;
  };

  explicit Shared(std::size_t cap) : capacity(cap) {}

  EndState& At(End end) { return ends[static_cast<std::size_t>(end)]; }
  const EndState& At(End end) const { return ends[static_cast<std::size_t>(end)]; }

  // Whether an end is there to drive its output lines and take bytes.
  static bool Drives(const EndState& e) { return e.open && !e.vanished; }

  std::uint8_t LinesOf(End end) const {
    const EndState& self = At(end);
    const EndState& peer = At(Other(end));
    std::uint8_t lines = 0;
    if (Drives(peer) && peer.rts)
      lines |= ModemBits::CTS;
    if (Drives(peer) && peer.dtr)
      lines |= ModemBits::DSR | ModemBits::DCD;
    if (self.ring)
      lines |= ModemBits::RI;
    return lines;
  }

  // Counts the edges of every input line since the last call; called with
  // the mutex held after anything that may move a line.
  void CountEdges() {
    for (const End end : {End::A, End::B}) {
      EndState& e = At(end);
      const std::uint8_t now = LinesOf(end);
      const auto toggled = static_cast<std::uint8_t>(now ^ e.counted);
      e.counts.CTS += (toggled & ModemBits::CTS) ? 1u : 0u;
      e.counts.DSR += (toggled & ModemBits::DSR) ? 1u : 0u;
      e.counts.RI += (toggled & ModemBits::RI) ? 1u : 0u;
      e.counts.DCD += (toggled & ModemBits::DCD) ? 1u : 0u;
      e.counted = now;
    }
  }

  mutable std::mutex mutex;
  std::condition_variable changed;  // any state change; waiters re-check
  std::array<EndState, 2> ends;
  std::size_t capacity;
  std::uint64_t sessions = 0;
};

namespace {

QString EndName(SimulatedNullModem::End end) {
  return end == SimulatedNullModem::End::A ? QStringLiteral("simulated end A")
                                           : QStringLiteral("simulated end B");
}

}  // namespace

// One open end, handed out as an ISerialDevice.
class SimulatedNullModem::Device final : public ISerialDevice {
 public:
  // counts: the end's edge counts at the moment it was opened.
  Device(std::shared_ptr<Shared> shared, End end, std::uint64_t session, ModemCounts counts)
      : shared_(std::move(shared)), end_(end), session_(session), counts_(counts) {}

  ~Device() override {
    {
      std::lock_guard lock(shared_->mutex);
      Shared::EndState& e = shared_->At(end_);
      if (e.open && e.session == session_) {
        e.open = false;
        e.vanished = false;
        e.shutdown = false;
        e.cancel = false;
        e.rts = false;
        e.dtr = false;
        e.breakOn = false;
        e.inbound.clear();
        shared_->CountEdges();
      }
    }
    shared_->changed.notify_all();
  }

  QString Name() const override { return EndName(end_); }

  void ApplyLineSettings(const LineSettings& settings) override {
    std::lock_guard lock(shared_->mutex);
    Shared::EndState& e = shared_->At(end_);
    const bool framingOk = settings.DataBits >= 5 && settings.DataBits <= 8 &&
                           (settings.StopBits == 1 || settings.StopBits == 2) &&
                           static_cast<int>(settings.Parity) <= static_cast<int>(TParity::pSpace);
    const bool rateOk = settings.Baud > 0 && (e.maxBaud == 0 || settings.Baud <= e.maxBaud);
    if (!framingOk || !rateOk) {
      throw EComPortError(EComPortError::Kind::UnsupportedSetting,
                          QStringLiteral("%1 refuses %2 baud, %3 data bits, %4 stop bits")
                              .arg(EndName(end_))
                              .arg(settings.Baud)
                              .arg(settings.DataBits)
                              .arg(settings.StopBits));
    }
    if (Mine(e))
      e.settings = settings;
  }

  void SetRTS(bool on) override { SetOutput(&Shared::EndState::rts, on); }
  void SetDTR(bool on) override { SetOutput(&Shared::EndState::dtr, on); }

  void SetBreak(bool on) override {
    {
      std::lock_guard lock(shared_->mutex);
      Shared::EndState& e = shared_->At(end_);
      if (!Live(e))
        return;
      if (on && !e.breakOn)
        ++e.breaksSent;
      e.breakOn = on;
    }
    shared_->changed.notify_all();
  }

  std::uint8_t InputLines() override {
    std::lock_guard lock(shared_->mutex);
    return Live(shared_->At(end_)) ? shared_->LinesOf(end_) : 0;
  }

  void FlushOutput() override {
    std::lock_guard lock(shared_->mutex);
    Shared::EndState& e = shared_->At(end_);
    if (Live(e))
      ++e.flushes;
  }

  IoResult Read(std::uint8_t* buf, std::size_t capacity) override {
    std::unique_lock lock(shared_->mutex);
    Shared::EndState& e = shared_->At(end_);
    shared_->changed.wait(lock, [&] { return Ended(e) || !e.inbound.empty(); });
    if (IoResult r; Finished(e, r))
      return r;
    const std::size_t n = std::min(capacity, e.inbound.size());
    std::copy_n(e.inbound.begin(), n, buf);
    e.inbound.erase(e.inbound.begin(), e.inbound.begin() + static_cast<std::ptrdiff_t>(n));
    lock.unlock();
    shared_->changed.notify_all();  // writers waiting for room
    return {IoStatus::Ok, n, {}};
  }

  IoResult Write(const std::uint8_t* data, std::size_t count) override {
    if (count == 0)
      return {IoStatus::Ok, 0, {}};
    std::unique_lock lock(shared_->mutex);
    Shared::EndState& e = shared_->At(end_);
    Shared::EndState& peer = shared_->At(Other(end_));
    const auto canWrite = [&] {
      return !e.flowStopped && (!Shared::Drives(peer) || peer.inbound.size() < shared_->capacity);
    };
    const auto writable = [&] { return Ended(e) || e.cancel || canWrite(); };
    bool waited = false;
    if (!writable()) {
      ++e.blockedWriters;
      shared_->changed.wait(lock, writable);
      --e.blockedWriters;
      waited = true;
    }
    if (IoResult r; Finished(e, r))
      return r;
    // Like a poll that wakes on the cancel signal: a write that had to wait
    // reports the cancel even if the line moves again at the same moment.
    if (e.cancel && (waited || !canWrite())) {
      e.cancel = false;
      return {IoStatus::Cancelled, 0, {}};
    }
    // Nobody listens on the other end: the bytes go out on the line and are lost.
    if (!Shared::Drives(peer))
      return {IoStatus::Ok, count, {}};
    const std::size_t n = std::min(count, shared_->capacity - peer.inbound.size());
    peer.inbound.insert(peer.inbound.end(), data, data + n);
    lock.unlock();
    shared_->changed.notify_all();
    return {IoStatus::Ok, n, {}};
  }

  void CancelWrite() override {
    {
      std::lock_guard lock(shared_->mutex);
      Shared::EndState& e = shared_->At(end_);
      if (Mine(e))
        e.cancel = true;
    }
    shared_->changed.notify_all();
  }

  IoResult WaitModemChange(std::uint8_t last, std::uint8_t& lines, std::uint8_t& changes) override {
    std::unique_lock lock(shared_->mutex);
    Shared::EndState& e = shared_->At(end_);
    shared_->changed.wait(
        lock, [&] { return Ended(e) || shared_->LinesOf(end_) != last || e.counts != counts_; });
    if (IoResult r; Finished(e, r))
      return r;
    lines = shared_->LinesOf(end_);
    changes = ModemChanges(last, lines, counts_, e.counts);
    counts_ = e.counts;
    return {IoStatus::Ok, 0, {}};
  }

  void Shutdown() override {
    {
      std::lock_guard lock(shared_->mutex);
      Shared::EndState& e = shared_->At(end_);
      if (Mine(e))
        e.shutdown = true;
    }
    shared_->changed.notify_all();
  }

 private:
  bool Mine(const Shared::EndState& e) const { return e.open && e.session == session_; }
  bool Live(const Shared::EndState& e) const { return Mine(e) && !e.vanished; }
  bool Ended(const Shared::EndState& e) const { return !Mine(e) || e.shutdown || e.vanished; }

  // Fills r and returns true when the device can do no more work.
  bool Finished(const Shared::EndState& e, IoResult& r) const {
    if (!Mine(e) || e.shutdown) {
      r = {IoStatus::Shutdown, 0, {}};
      return true;
    }
    if (e.vanished) {
      r = {IoStatus::Vanished, 0, QStringLiteral("the simulated device vanished")};
      return true;
    }
    return false;
  }

  void SetOutput(bool Shared::EndState::*line, bool on) {
    {
      std::lock_guard lock(shared_->mutex);
      Shared::EndState& e = shared_->At(end_);
      if (!Live(e))
        return;
      e.*line = on;
      shared_->CountEdges();
    }
    shared_->changed.notify_all();
  }

  std::shared_ptr<Shared> shared_;
  End end_;
  std::uint64_t session_;
  ModemCounts counts_;  // modem worker: the counts last reported
};

SimulatedNullModem::SimulatedNullModem(int comA, int comB, std::size_t capacity)
    : shared_(std::make_shared<Shared>(std::max<std::size_t>(capacity, 1))),
      comA_(comA),
      comB_(comB) {}

SimulatedNullModem::~SimulatedNullModem() = default;

PortProbeResult SimulatedNullModem::Probe(int comNumber) {
  PortProbeResult r;
  if (comNumber <= 0 || (comNumber != comA_ && comNumber != comB_)) {
    r.Outcome = PortProbe::Missing;
    r.Reason = QStringLiteral("COM%1 has no device").arg(comNumber);
    return r;
  }
  const End end = comNumber == comA_ ? End::A : End::B;
  r.DevicePath = EndName(end);
  std::lock_guard lock(shared_->mutex);
  const Shared::EndState& e = shared_->At(end);
  if (!e.present) {
    r.Outcome = PortProbe::Missing;
    r.Reason = QStringLiteral("the device is not present");
  } else if (e.open) {
    r.Outcome = PortProbe::Busy;
    r.Reason = QStringLiteral("the device is in use by another program or port");
  } else {
    r.Outcome = PortProbe::Available;
  }
  return r;
}

std::unique_ptr<ISerialDevice> SimulatedNullModem::Open(int comNumber) {
  if (comNumber <= 0 || (comNumber != comA_ && comNumber != comB_)) {
    throw EComPortError(EComPortError::Kind::OpenFailed,
                        QStringLiteral("COM%1: cannot open: no device").arg(comNumber));
  }
  const End end = comNumber == comA_ ? End::A : End::B;
  return OpenAs(end, QStringLiteral("COM%1 (%2)").arg(comNumber).arg(EndName(end)));
}

std::unique_ptr<ISerialDevice> SimulatedNullModem::OpenEnd(End end) {
  return OpenAs(end, EndName(end));
}

std::unique_ptr<ISerialDevice> SimulatedNullModem::OpenAs(End end, const QString& label) {
  std::uint64_t session = 0;
  ModemCounts counts;
  {
    std::lock_guard lock(shared_->mutex);
    Shared::EndState& e = shared_->At(end);
    QString why;
    if (!e.present) {
      why = QStringLiteral("the device is not present");
    } else if (e.open) {
      why = QStringLiteral("the device is in use by another program or port");
    }
    if (!why.isEmpty()) {
      throw EComPortError(EComPortError::Kind::OpenFailed,
                          QStringLiteral("%1: cannot open: %2").arg(label, why));
    }
    session = ++shared_->sessions;
    e.open = true;
    e.session = session;
    e.inbound.clear();  // a freshly opened port starts with an empty receiver
    shared_->CountEdges();
    counts = e.counts;
  }
  shared_->changed.notify_all();
  return std::make_unique<Device>(shared_, end, session, counts);
}

void SimulatedNullModem::SetRing(End end, bool on) {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->At(end).ring = on;
    shared_->CountEdges();
  }
  shared_->changed.notify_all();
}

void SimulatedNullModem::SetFlowStopped(End end, bool stopped) {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->At(end).flowStopped = stopped;
  }
  shared_->changed.notify_all();
}

void SimulatedNullModem::Vanish(End end) {
  {
    std::lock_guard lock(shared_->mutex);
    Shared::EndState& e = shared_->At(end);
    e.present = false;
    if (e.open)
      e.vanished = true;
    shared_->CountEdges();
  }
  shared_->changed.notify_all();
}

void SimulatedNullModem::Reconnect(End end) {
  std::lock_guard lock(shared_->mutex);
  shared_->At(end).present = true;
}

void SimulatedNullModem::SetMaxBaud(End end, std::int32_t maxBaud) {
  std::lock_guard lock(shared_->mutex);
  shared_->At(end).maxBaud = std::max<std::int32_t>(maxBaud, 0);
}

bool SimulatedNullModem::IsOpen(End end) const {
  std::lock_guard lock(shared_->mutex);
  return shared_->At(end).open;
}

LineSettings SimulatedNullModem::AppliedSettings(End end) const {
  std::lock_guard lock(shared_->mutex);
  return shared_->At(end).settings;
}

bool SimulatedNullModem::RTS(End end) const {
  std::lock_guard lock(shared_->mutex);
  const Shared::EndState& e = shared_->At(end);
  return Shared::Drives(e) && e.rts;
}

bool SimulatedNullModem::DTR(End end) const {
  std::lock_guard lock(shared_->mutex);
  const Shared::EndState& e = shared_->At(end);
  return Shared::Drives(e) && e.dtr;
}

std::uint8_t SimulatedNullModem::InputLines(End end) const {
  std::lock_guard lock(shared_->mutex);
  return shared_->LinesOf(end);
}

bool SimulatedNullModem::BreakHeld(End end) const {
  std::lock_guard lock(shared_->mutex);
  const Shared::EndState& peer = shared_->At(Other(end));
  return Shared::Drives(peer) && peer.breakOn;
}

int SimulatedNullModem::BreaksReceived(End end) const {
  std::lock_guard lock(shared_->mutex);
  return shared_->At(Other(end)).breaksSent;
}

int SimulatedNullModem::OutputFlushes(End end) const {
  std::lock_guard lock(shared_->mutex);
  return shared_->At(end).flushes;
}

bool SimulatedNullModem::WriteBlocked(End end) const {
  std::lock_guard lock(shared_->mutex);
  return shared_->At(end).blockedWriters > 0;
}

std::size_t SimulatedNullModem::PendingInput(End end) const {
  std::lock_guard lock(shared_->mutex);
  return shared_->At(end).inbound.size();
}

}  // namespace klv
