#include "serial/ComPort.h"

#include <pthread.h>

#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace klv {
namespace {

std::atomic<bool> g_countPortsInUse{true};

constexpr std::int32_t kMaxBaud = 4000000;
constexpr std::uint32_t kInMask = TComPort::InSize - 1u;
static_assert((TComPort::InSize & kInMask) == 0, "the input ring size must be a power of two");

// While the input ring is full the receive worker sleeps until the user
// interface frees space and wakes it. The wake-ups are exact for the avail
// handler and for a reader that empties the ring; this period only covers a
// reader that takes part of a full ring outside the handler.
constexpr std::chrono::milliseconds kRoomRecheck{100};

// A read that brings fewer bytes than this, and less than it asked for, found
// the line delivering in small pieces (a slow line, or a fast one read as soon
// as each piece lands). The worker hands that piece over at once and then lets
// the kernel gather for kGatherTime before it reads again, so that the window
// is woken per block of data rather than per piece. Bytes wait at most that
// long; nothing is lost meanwhile, since they stay in the kernel's buffer.
constexpr std::uint32_t kSmallRead = TComPort::InSize / 4;
constexpr std::chrono::milliseconds kGatherTime{1};

void NameThread(const char* name) {
  pthread_setname_np(pthread_self(), name);
}

QString ParityName(TParity parity) {
  switch (parity) {
    case TParity::pNone:
      return QStringLiteral("no");
    case TParity::pOdd:
      return QStringLiteral("odd");
    case TParity::pEven:
      return QStringLiteral("even");
    case TParity::pMark:
      return QStringLiteral("mark");
    case TParity::pSpace:
      return QStringLiteral("space");
  }
  return QStringLiteral("unknown");
}

}  // namespace

bool CountPortsInUse() {
  return g_countPortsInUse.load(std::memory_order_relaxed);
}
void SetCountPortsInUse(bool on) {
  g_countPortsInUse.store(on, std::memory_order_relaxed);
}

PortProbeResult ProbePort(int comNumber) {
  return DefaultDeviceProvider().Probe(comNumber);
}

bool PortAvailable(int comNumber) {
  const PortProbeResult r = ProbePort(comNumber);
  if (r.Outcome == PortProbe::Available)
    return true;
  return CountPortsInUse() &&
         (r.Outcome == PortProbe::Busy || r.Outcome == PortProbe::PermissionDenied);
}

// ---------------------------------------------------------------------------
// Modem-status triggers; they belong to the port and outlive open sessions.

struct TComPort::Triggers {
  struct Entry {
    std::uint8_t Mask = 0;
    bool Armed = false;
  };
  std::mutex Mutex;
  std::vector<Entry> Entries;  // handle n is Entries[n - 1]
};

// ---------------------------------------------------------------------------
// One open session: the device, the two rings and the three workers.

struct TComPort::Session {
  Session(TComPort* owner, std::unique_ptr<ISerialDevice> dev, std::uint64_t sessionId,
          QString portName)
      : Port(owner), Device(std::move(dev)), Id(sessionId), Name(std::move(portName)) {}

  ~Session() { StopWorkers(); }

  void Start() {
    Lines = static_cast<std::uint8_t>(Device->InputLines() & ModemBits::InputLines);
    try {
      Receiver = std::thread([this] { ReceiveLoop(); });
      Transmitter = std::thread([this] { TransmitLoop(); });
      ModemWatcher = std::thread([this] { ModemLoop(); });
    } catch (const std::system_error& e) {
      StopWorkers();
      throw EComPortError(
          EComPortError::Kind::OpenFailed,
          QStringLiteral("%1: cannot start the port workers: %2").arg(Name, e.what()));
    }
  }

  // Ends the workers for good and waits for them. Idempotent.
  void StopWorkers() {
    Stop.store(true, std::memory_order_seq_cst);
    Device->Shutdown();
    // Take each mutex once so a worker between its predicate check and its
    // wait cannot miss the notification.
    { std::lock_guard lock(RxMutex); }
    RxCv.notify_all();
    { std::lock_guard lock(OutMutex); }
    OutCv.notify_all();
    for (std::thread* t : {&Receiver, &Transmitter, &ModemWatcher}) {
      if (t->joinable())
        t->join();
    }
  }

  // --- posting to the owner's thread ------------------------------------
  void PostAvail() {
    TComPort* port = Port;
    const std::uint64_t id = Id;
    QMetaObject::invokeMethod(
        port, [port, id] { port->DeliverAvail(id); }, Qt::QueuedConnection);
  }

  void PostModemStatus() {
    TComPort* port = Port;
    const std::uint64_t id = Id;
    QMetaObject::invokeMethod(
        port, [port, id] { port->DeliverModemStatus(id); }, Qt::QueuedConnection);
  }

  void PostVanish(const QString& reason) {
    TComPort* port = Port;
    const std::uint64_t id = Id;
    QMetaObject::invokeMethod(
        port, [port, id, reason] { port->DeliverVanish(id, reason); }, Qt::QueuedConnection);
  }

  // A worker found the device gone. Only the first report goes to the owner,
  // which then stops the session; the other workers carry on until then so
  // that the receiver can still drain what the kernel holds.
  void ReportVanish(const QString& reason) {
    if (!VanishReported.exchange(true))
      PostVanish(reason);
  }

  // --- receive worker ----------------------------------------------------
  void ReceiveLoop() {
    NameThread("klv-com-rx");
    std::uint32_t head = InHead.load(std::memory_order_relaxed);
    while (!Stop.load(std::memory_order_acquire)) {
      const std::uint32_t tail = InTail.load(std::memory_order_acquire);
      const std::uint32_t used = head - tail;
      if (used >= InSize) {
        if (!WaitForRoom(head))
          return;
        continue;
      }
      // Read straight into the free part of the ring, up to its end.
      const std::uint32_t pos = head & kInMask;
      const std::uint32_t len = std::min<std::uint32_t>(InSize - used, InSize - pos);
      const IoResult r = Device->Read(&In[pos], len);
      switch (r.Status) {
        case IoStatus::Ok:
          head += static_cast<std::uint32_t>(r.Count);
          // seq_cst with the exchange below and with the owner's clearing of
          // AvailPending before it reads InHead: either this store is seen by
          // a delivery that is still to run, or a new one is posted. While a
          // posted delivery has not started yet, it takes these bytes too.
          InHead.store(head, std::memory_order_seq_cst);
          if (!AvailPending.exchange(true, std::memory_order_seq_cst))
            PostAvail();
          if (r.Count < len && r.Count < kSmallRead && !Gather())
            return;
          break;
        case IoStatus::Vanished:
          ReportVanish(r.Reason);
          return;
        default:
          return;
      }
    }
  }

  // Waits kGatherTime, or less when the session stops; false then.
  bool Gather() {
    std::unique_lock lock(RxMutex);
    return !RxCv.wait_for(lock, kGatherTime,
                          [this] { return Stop.load(std::memory_order_acquire); });
  }

  // The ring is full: leave the bytes in the kernel and sleep until the
  // reader frees space. Returns false when the session stops.
  bool WaitForRoom(std::uint32_t head) {
    // Publish the flag before looking at the tail again; the reader stores
    // the tail before looking at the flag (with a seq_cst fence). One of the
    // two therefore sees the other, so the wake-up cannot be lost.
    ProducerWaiting.store(true, std::memory_order_seq_cst);
    if (head - InTail.load(std::memory_order_seq_cst) < InSize) {
      ProducerWaiting.store(false, std::memory_order_relaxed);
      return !Stop.load(std::memory_order_acquire);
    }
    {
      std::unique_lock lock(RxMutex);
      RxCv.wait_for(lock, kRoomRecheck,
                    [this] { return RxWake || Stop.load(std::memory_order_acquire); });
      RxWake = false;
    }
    ProducerWaiting.store(false, std::memory_order_relaxed);
    return !Stop.load(std::memory_order_acquire);
  }

  // Owner's thread, after it freed space in the ring.
  void WakeReceiverIfWaiting() {
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (!ProducerWaiting.load(std::memory_order_relaxed))
      return;
    {
      std::lock_guard lock(RxMutex);
      RxWake = true;
    }
    RxCv.notify_one();
  }

  // --- transmit worker ---------------------------------------------------
  void TransmitLoop() {
    NameThread("klv-com-tx");
    std::array<std::uint8_t, OutSize> chunk{};
    for (;;) {
      std::uint32_t count = 0;
      std::uint64_t generation = 0;
      {
        std::unique_lock lock(OutMutex);
        OutCv.wait(lock, [this] { return Stop.load(std::memory_order_acquire) || OutCount > 0; });
        if (Stop.load(std::memory_order_acquire))
          return;
        // Take everything; the bytes stay "pending" until written.
        count = OutCount;
        const std::uint32_t first = std::min<std::uint32_t>(count, OutSize - OutStart);
        std::memcpy(chunk.data(), &Out[OutStart], first);
        std::memcpy(chunk.data() + first, Out.data(), count - first);
        OutStart = (OutStart + count) % OutSize;
        OutCount = 0;
        InFlight = count;
        generation = OutGeneration;
      }
      std::uint32_t done = 0;
      while (done < count) {
        {
          // DiscardOutput bumps the generation: drop the rest of the chunk.
          std::lock_guard lock(OutMutex);
          if (generation != OutGeneration)
            break;
          Writing = true;
        }
        const IoResult r = Device->Write(chunk.data() + done, count - done);
        {
          std::lock_guard lock(OutMutex);
          Writing = false;
          if (r.Status == IoStatus::Ok && generation == OutGeneration) {
            InFlight -= std::min(static_cast<std::uint32_t>(r.Count), InFlight);
          }
        }
        WriterIdle.notify_all();
        if (r.Status == IoStatus::Ok) {
          done += static_cast<std::uint32_t>(r.Count);
        } else if (r.Status == IoStatus::Cancelled) {
          continue;  // a discard, or a stale cancel: the generation decides
        } else {
          if (r.Status == IoStatus::Vanished)
            ReportVanish(r.Reason);
          return;
        }
      }
    }
  }

  // --- modem worker ------------------------------------------------------
  void ModemLoop() {
    NameThread("klv-com-modem");
    std::uint8_t last = 0;
    {
      std::lock_guard lock(ModemMutex);
      last = Lines;
    }
    while (!Stop.load(std::memory_order_acquire)) {
      std::uint8_t now = last;
      std::uint8_t moved = 0;
      const IoResult r = Device->WaitModemChange(last, now, moved);
      if (r.Status == IoStatus::Ok) {
        now &= ModemBits::InputLines;
        LinesChanged(last, now, moved);
        last = now;
      } else {
        // Unsupported (a pseudo-terminal: no lines, nothing to watch) and
        // Shutdown end the worker quietly; the port stays open.
        if (r.Status == IoStatus::Vanished)
          ReportVanish(r.Reason);
        return;
      }
    }
  }

  // moved: the change bits the device saw, pulses included. A pulse shows
  // as its change bit beside the line's state, which is where it was; for
  // the triggers it counts as a change of the line's own bit too.
  void LinesChanged(std::uint8_t before, std::uint8_t now, std::uint8_t moved) {
    const std::uint8_t toggled = static_cast<std::uint8_t>(before ^ now);
    auto changes = static_cast<std::uint8_t>(moved & 0x0F);
    if (toggled & ModemBits::CTS)
      changes |= ModemBits::DeltaCTS;
    if (toggled & ModemBits::DSR)
      changes |= ModemBits::DeltaDSR;
    if ((before & ModemBits::RI) && !(now & ModemBits::RI))
      changes |= ModemBits::TrailingEdgeRI;
    if (toggled & ModemBits::DCD)
      changes |= ModemBits::DeltaDCD;
    const auto events = static_cast<std::uint8_t>(toggled | changes | (changes << 4));

    // Posted under the lock: once the new state is visible through CTS()
    // and the like, the events it fired are already queued.
    std::lock_guard lock(ModemMutex);
    Lines = now;
    Deltas = static_cast<std::uint8_t>(Deltas | changes);
    Triggers& triggers = *Port->triggers_;
    std::lock_guard triggerLock(triggers.Mutex);
    for (Triggers::Entry& entry : triggers.Entries) {
      if (entry.Armed && (entry.Mask & events) != 0) {
        entry.Armed = false;
        PostModemStatus();
      }
    }
  }

  TComPort* const Port;
  const std::unique_ptr<ISerialDevice> Device;
  const std::uint64_t Id;
  const QString Name;  // "COMn (device)", for messages

  std::atomic<bool> Stop{false};
  std::atomic<bool> VanishReported{false};

  // Input ring: the receive worker produces, the owner's thread consumes.
  // Indices run freely and wrap; their difference is the fill level.
  alignas(64) std::atomic<std::uint32_t> InHead{0};
  alignas(64) std::atomic<std::uint32_t> InTail{0};
  std::uint32_t ConsumerHead = 0;  // owner's last look at InHead
  bool InHandler = false;          // owner: an avail handler is running
  bool AvailDeferred = false;      // owner: a delivery arrived during the handler
  bool VanishDeferred = false;
  QString DeferredReason;
  alignas(64) std::atomic<bool> ProducerWaiting{false};
  std::atomic<bool> AvailPending{false};
  std::mutex RxMutex;
  std::condition_variable RxCv;
  bool RxWake = false;
  std::array<std::uint8_t, InSize> In{};

  // Output ring; WriteBytes works in bulk, so a mutex is cheap enough.
  std::mutex OutMutex;
  std::condition_variable OutCv;
  std::array<std::uint8_t, OutSize> Out{};
  std::uint32_t OutStart = 0;
  std::uint32_t OutCount = 0;
  std::uint32_t InFlight = 0;  // taken by the worker, not yet written
  std::uint64_t OutGeneration = 0;
  bool Writing = false;  // the worker is inside Device->Write
  std::condition_variable WriterIdle;

  // Modem status.
  mutable std::mutex ModemMutex;
  std::uint8_t Lines = 0;
  std::uint8_t Deltas = 0;

  std::thread Receiver;
  std::thread Transmitter;
  std::thread ModemWatcher;
};

// ---------------------------------------------------------------------------

TComPort::TComPort(QObject* parent)
    : QObject(parent), triggers_(std::make_unique<Triggers>()), breakTimer_(this) {
  breakTimer_.setSingleShot(true);
  breakTimer_.setTimerType(Qt::PreciseTimer);
  connect(&breakTimer_, &QTimer::timeout, this, &TComPort::EndBreak);
}

TComPort::~TComPort() {
  StopSession();
}

void TComPort::SetDeviceProvider(ISerialDeviceProvider* provider) {
  provider_ = provider;
}

ISerialDeviceProvider& TComPort::Provider() const {
  return provider_ != nullptr ? *provider_ : DefaultDeviceProvider();
}

LineSettings TComPort::Settings() const {
  return settings_;
}

QString TComPort::PortName() const {
  return QStringLiteral("COM%1").arg(comNumber_);
}

std::uint8_t TComPort::ComNumber() const {
  return comNumber_;
}

void TComPort::SetComNumber(std::uint8_t n) {
  if (n > 16) {
    throw EComPortError(EComPortError::Kind::UnsupportedSetting,
                        QStringLiteral("COM%1 does not exist: ports are numbered 1 to 16").arg(n));
  }
  if (n == comNumber_)
    return;
  if (!session_) {
    comNumber_ = n;
    return;
  }
  if (n == 0) {
    StopSession();
    comNumber_ = 0;
    return;
  }
  // Open the new device before letting go of the old one: when it fails,
  // the channel keeps working on the old port.
  std::unique_ptr<ISerialDevice> device = OpenDevice(n);
  StopSession();
  comNumber_ = n;
  StartSession(std::move(device));
}

std::int32_t TComPort::Baud() const {
  return settings_.Baud;
}

void TComPort::SetBaud(std::int32_t baud) {
  if (baud <= 0 || baud > kMaxBaud) {
    throw EComPortError(EComPortError::Kind::UnsupportedSetting,
                        QStringLiteral("%1: %2 baud is not supported (1 to %3)")
                            .arg(PortName())
                            .arg(baud)
                            .arg(kMaxBaud));
  }
  LineSettings next = settings_;
  next.Baud = baud;
  ApplyToDevice(next);
  settings_ = next;
}

TParity TComPort::Parity() const {
  return settings_.Parity;
}

void TComPort::SetParity(TParity parity) {
  if (static_cast<int>(parity) > static_cast<int>(TParity::pSpace)) {
    throw EComPortError(EComPortError::Kind::UnsupportedSetting,
                        QStringLiteral("%1: unknown parity %2").arg(PortName()).arg(int(parity)));
  }
  LineSettings next = settings_;
  next.Parity = parity;
  ApplyToDevice(next);
  settings_ = next;
}

std::uint16_t TComPort::DataBits() const {
  return settings_.DataBits;
}

void TComPort::SetDataBits(std::uint16_t bits) {
  if (bits < 5 || bits > 8) {
    throw EComPortError(
        EComPortError::Kind::UnsupportedSetting,
        QStringLiteral("%1: %2 data bits are not supported (5 to 8)").arg(PortName()).arg(bits));
  }
  LineSettings next = settings_;
  next.DataBits = bits;
  ApplyToDevice(next);
  settings_ = next;
}

std::uint16_t TComPort::StopBits() const {
  return settings_.StopBits;
}

void TComPort::SetStopBits(std::uint16_t bits) {
  if (bits != 1 && bits != 2) {
    throw EComPortError(
        EComPortError::Kind::UnsupportedSetting,
        QStringLiteral("%1: %2 stop bits are not supported (1 or 2)").arg(PortName()).arg(bits));
  }
  LineSettings next = settings_;
  next.StopBits = bits;
  ApplyToDevice(next);
  settings_ = next;
}

void TComPort::ApplyToDevice(const LineSettings& settings) {
  if (!session_)
    return;
  try {
    session_->Device->ApplyLineSettings(settings);
  } catch (const EComPortError& e) {
    throw EComPortError(e.kind(), QStringLiteral("%1: %2").arg(PortName(), e.message()));
  }
}

bool TComPort::RTS() const {
  return rts_;
}

void TComPort::SetRTS(bool on) {
  rts_ = on;
  if (session_)
    session_->Device->SetRTS(on);
}

bool TComPort::DTR() const {
  return dtr_;
}

void TComPort::SetDTR(bool on) {
  dtr_ = on;
  if (session_)
    session_->Device->SetDTR(on);
}

bool TComPort::Open() const {
  return session_ != nullptr;
}

void TComPort::SetOpen(bool open) {
  if (!open) {
    StopSession();
    return;
  }
  if (session_)
    return;
  if (comNumber_ == 0) {
    throw EComPortError(EComPortError::Kind::OpenFailed,
                        QStringLiteral("cannot open: no COM port number is set"));
  }
  StartSession(OpenDevice(comNumber_));
}

std::unique_ptr<ISerialDevice> TComPort::OpenDevice(std::uint8_t comNumber) {
  std::unique_ptr<ISerialDevice> device = Provider().Open(comNumber);
  try {
    device->ApplyLineSettings(settings_);
  } catch (const EComPortError& e) {
    throw EComPortError(EComPortError::Kind::OpenFailed,
                        QStringLiteral("COM%1 (%2): cannot open with %3 baud, %4 parity: %5")
                            .arg(comNumber)
                            .arg(device->Name())
                            .arg(settings_.Baud)
                            .arg(ParityName(settings_.Parity), e.message()));
  }
  device->SetRTS(rts_);
  device->SetDTR(dtr_);
  device->SetBreak(false);
  return device;
}

void TComPort::StartSession(std::unique_ptr<ISerialDevice> device) {
  const QString name = QStringLiteral("%1 (%2)").arg(PortName(), device->Name());
  auto session = std::make_unique<Session>(this, std::move(device), ++sessionCounter_, name);
  session->Start();
  session_ = std::move(session);
}

void TComPort::StopSession() {
  if (!session_)
    return;
  EndBreak();
  // Queued deliveries of this session that are still on their way find a
  // different (or no) session id and are dropped.
  std::unique_ptr<Session> session = std::move(session_);
  session->StopWorkers();
}

bool TComPort::CTS() const {
  return ModemStatusLines() & ModemBits::CTS;
}
bool TComPort::DSR() const {
  return ModemStatusLines() & ModemBits::DSR;
}
bool TComPort::RI() const {
  return ModemStatusLines() & ModemBits::RI;
}
bool TComPort::DCD() const {
  return ModemStatusLines() & ModemBits::DCD;
}

std::uint8_t TComPort::ModemStatusLines() const {
  if (!session_)
    return 0;
  std::lock_guard lock(session_->ModemMutex);
  return session_->Lines;
}

std::uint8_t TComPort::ModemStatusByte() {
  if (!session_)
    return 0;
  std::lock_guard lock(session_->ModemMutex);
  const auto result = static_cast<std::uint8_t>(session_->Lines | session_->Deltas);
  session_->Deltas = 0;
  return result;
}

std::uint8_t TComPort::ReadByte() {
  Session* s = session_.get();
  if (s == nullptr)
    return 0;
  const std::uint32_t tail = s->InTail.load(std::memory_order_relaxed);
  if (tail == s->ConsumerHead) {
    s->ConsumerHead = s->InHead.load(std::memory_order_acquire);
    if (tail == s->ConsumerHead)
      return 0;
  }
  const std::uint8_t byte = s->In[tail & kInMask];
  s->InTail.store(tail + 1, std::memory_order_release);
  // Caught up with what this side knows of: a good moment to let a waiting
  // receiver go on (once per batch, so most reads stay a load and a store).
  if (tail + 1 == s->ConsumerHead)
    s->WakeReceiverIfWaiting();
  return byte;
}

void TComPort::WriteBytes(std::string_view bytes) {
  Session* s = session_.get();
  if (s == nullptr || bytes.empty())
    return;
  {
    std::lock_guard lock(s->OutMutex);
    const std::size_t room = OutSize - s->OutCount - s->InFlight;
    if (bytes.size() > room) {
      throw EComPortError(EComPortError::Kind::BufferFull,
                          QStringLiteral("%1: output buffer full: %2 bytes do not fit into %3 free")
                              .arg(PortName())
                              .arg(bytes.size())
                              .arg(room));
    }
    const auto size = static_cast<std::uint32_t>(bytes.size());
    const std::uint32_t end = (s->OutStart + s->OutCount) % OutSize;
    const std::uint32_t first = std::min<std::uint32_t>(size, OutSize - end);
    std::memcpy(&s->Out[end], bytes.data(), first);
    std::memcpy(s->Out.data(), bytes.data() + first, size - first);
    s->OutCount += size;
  }
  s->OutCv.notify_one();
}

int TComPort::InputWaiting() const {
  if (!session_)
    return 0;
  return static_cast<int>(session_->InHead.load(std::memory_order_acquire) -
                          session_->InTail.load(std::memory_order_relaxed));
}

void TComPort::DeliverReceived() {
  if (session_ && !session_->InHandler)
    DeliverAvail(session_->Id);
}

int TComPort::OutputPending() const {
  if (!session_)
    return 0;
  std::lock_guard lock(session_->OutMutex);
  return static_cast<int>(session_->OutCount + session_->InFlight);
}

int TComPort::OutputRoom() const {
  if (!session_)
    return 0;
  std::lock_guard lock(session_->OutMutex);
  return static_cast<int>(OutSize - session_->OutCount - session_->InFlight);
}

void TComPort::DiscardOutput() {
  Session* s = session_.get();
  if (s == nullptr)
    return;
  {
    std::lock_guard lock(s->OutMutex);
    s->OutStart = 0;
    s->OutCount = 0;
    s->InFlight = 0;
    ++s->OutGeneration;
  }
  // Wake a Write stuck on a line that does not take data; the worker then
  // sees the new generation and drops its chunk. A write that was already
  // under way may still put old bytes into the driver: wait for it to come
  // back (a cancelled or non-blocking write returns at once), then drop
  // whatever the driver still queues. Nothing written before this call can
  // go out after it.
  s->Device->CancelWrite();
  {
    std::unique_lock lock(s->OutMutex);
    s->WriterIdle.wait(lock, [s] { return !s->Writing; });
  }
  s->Device->FlushOutput();
}

void TComPort::HoldBreak(int ticks) {
  if (!session_ || ticks <= 0 || breakOn_)
    return;
  // Capped at what a QTimer takes (some 24 days).
  const int ms = static_cast<int>(
      std::min<std::int64_t>(std::int64_t{ticks} * TickMs, std::numeric_limits<int>::max()));
  session_->Device->SetBreak(true);
  breakOn_ = true;
  breakTimer_.start(ms);
}

bool TComPort::BreakActive() const {
  return breakOn_;
}

void TComPort::EndBreak() {
  if (!breakOn_)
    return;
  breakOn_ = false;
  breakTimer_.stop();
  // Only the session that started the break is still here: every way a
  // session ends comes through this first.
  if (session_)
    session_->Device->SetBreak(false);
}

std::uint16_t TComPort::NewModemTrigger() {
  if (nextTriggerHandle_ == 0)
    return 0;  // all 65535 handles are taken
  std::lock_guard lock(triggers_->Mutex);
  triggers_->Entries.push_back({});
  const std::uint16_t handle = nextTriggerHandle_;
  nextTriggerHandle_ = static_cast<std::uint16_t>(nextTriggerHandle_ + 1);
  return handle;
}

void TComPort::ArmModemTrigger(std::uint16_t handle, std::uint8_t mask) {
  std::lock_guard lock(triggers_->Mutex);
  if (handle == 0 || handle > triggers_->Entries.size())
    return;
  Triggers::Entry& entry = triggers_->Entries[handle - 1u];
  entry.Mask = mask;
  entry.Armed = mask != 0;
}

// ---------------------------------------------------------------------------
// Deliveries on the owner's thread

void TComPort::DeliverAvail(std::uint64_t sessionId) {
  Session* s = session_.get();
  if (s == nullptr || s->Id != sessionId)
    return;
  if (s->InHandler) {
    // Re-entered from an event loop inside the handler: the outer handler
    // is still reading its count, so this one waits until it returns.
    s->AvailDeferred = true;
    return;
  }
  s->AvailPending.store(false, std::memory_order_seq_cst);
  const std::uint32_t head = s->InHead.load(std::memory_order_seq_cst);
  s->ConsumerHead = head;
  const auto count = static_cast<int>(head - s->InTail.load(std::memory_order_relaxed));
  if (count > 0) {
    QPointer<TComPort> self(this);
    s->InHandler = true;
    emit OnTriggerAvail(this, count);
    // The handler may have closed, reopened or deleted the port.
    if (!self)
      return;
    s = session_.get();
    if (s == nullptr || s->Id != sessionId)
      return;
    s->InHandler = false;
    if (s->AvailDeferred) {
      s->AvailDeferred = false;
      s->PostAvail();
    }
    if (s->VanishDeferred) {
      s->VanishDeferred = false;
      s->PostVanish(s->DeferredReason);
    }
  }
  s->WakeReceiverIfWaiting();
}

void TComPort::DeliverModemStatus(std::uint64_t sessionId) {
  if (!session_ || session_->Id != sessionId)
    return;
  emit OnTriggerModemStatus(this);
}

void TComPort::DeliverVanish(std::uint64_t sessionId, const QString& reason) {
  Session* s = session_.get();
  if (s == nullptr || s->Id != sessionId)
    return;
  if (s->InHandler) {
    s->VanishDeferred = true;
    s->DeferredReason = reason;
    return;
  }
  const QString message = QStringLiteral("%1: the device is gone: %2").arg(s->Name, reason);
  s->StopWorkers();

  // Hand over what arrived before the device went away, again as long as
  // the handler takes some (a handler may stop early, at a frame's end).
  const auto waiting = [](const Session& session) {
    return static_cast<int>(session.InHead.load(std::memory_order_acquire) -
                            session.InTail.load(std::memory_order_relaxed));
  };
  for (int count = waiting(*s); count > 0;) {
    QPointer<TComPort> self(this);
    s->InHandler = true;
    emit OnTriggerAvail(this, count);
    if (!self)
      return;
    s = session_.get();
    if (s == nullptr)
      break;  // closed by the handler
    if (s->Id != sessionId)
      return;  // reopened by the handler
    s->InHandler = false;
    const int left = waiting(*s);
    if (left >= count)
      break;  // the handler took nothing; it would not take more next time
    count = left;
  }
  EndBreak();
  session_.reset();
  emit OnPortError(this, message);
}

}  // namespace klv
