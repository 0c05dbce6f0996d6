// The port object on the simulated null-modem pair, for what a pseudo-terminal cannot show:
// modem lines and their triggers, break, framing settings, a stalled line, a vanishing device.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "PtyFixture.h"
#include "serial/SimulatedNullModem.h"
#include "support/EventLoop.h"

namespace klv::test {
namespace {

using End = SimulatedNullModem::End;
using namespace ModemBits;

class SerialSim : public ::testing::Test {
 protected:
  void SetUp() override {
    a_.SetDeviceProvider(&sim_);
    b_.SetDeviceProvider(&sim_);
    a_.SetComNumber(1);
    b_.SetComNumber(2);
  }

  // Opens both ends, waits until each sees the other's DTR, and clears the change bits.
  void OpenBoth() {
    a_.SetOpen(true);
    b_.SetOpen(true);
    ASSERT_TRUE(RunUntil([&] { return a_.DSR() && b_.DSR(); }));
    a_.ModemStatusByte();
    b_.ModemStatusByte();
  }

  // Runs the event loop until `done`; the events the change caused are delivered by the return.
  static bool Settle(const std::function<bool()>& done) {
    const bool ok = RunUntil(done);
    QCoreApplication::processEvents();
    return ok;
  }

  SimulatedNullModem sim_{1, 2};
  TComPort a_;
  TComPort b_;
};

// The simulated device hands over whatever it holds, so unlike a pseudo-terminal its reads end
// anywhere in the input ring, across its end too.
TEST_F(SerialSim, BulkDataCrossesBothWaysIntactAndDiscardEmptiesAStalledLine) {
  const std::vector<std::uint8_t> data[2] = {RandomBytes(200000, 21), RandomBytes(150000, 22)};
  TComPort* ports[2] = {&a_, &b_};
  std::vector<std::uint8_t> got[2];  // what arrived of data[0] and of data[1]
  std::size_t sent[2] = {};
  for (int i : {0, 1}) {
    QObject::connect(ports[i], &TComPort::OnTriggerAvail, ports[i], [&got, i](TComPort* p, int n) {
      for (int k = 0; k < n; ++k)
        got[1 - i].push_back(p->ReadByte());
    });
  }
  OpenBoth();
  ASSERT_TRUE(RunUntil([&] {
    for (int i : {0, 1})
      Feed(*ports[i], data[i], sent[i]);
    return got[0].size() >= data[0].size() && got[1].size() >= data[1].size();
  }));
  EXPECT_TRUE(got[0] == data[0] && got[1] == data[1]);

  sim_.SetFlowStopped(End::A, true);
  a_.WriteBytes(std::string(1000, 'x'));
  // The worker holds these bytes in a blocked write: still pending.
  ASSERT_TRUE(RunUntil([&] { return sim_.WriteBlocked(End::A); }));
  a_.WriteBytes(std::string(TComPort::OutSize - 1000, 'y'));
  EXPECT_EQ(a_.OutputPending(), TComPort::OutSize);
  EXPECT_THROW(a_.WriteBytes("z"), EComPortError);
  a_.DiscardOutput();
  EXPECT_EQ(sim_.OutputFlushes(End::A), 1);
  // Once the line moves again only what was written after the discard goes out.
  sim_.SetFlowStopped(End::A, false);
  a_.WriteBytes("after");
  ASSERT_TRUE(Settle([&] { return got[0].size() >= data[0].size() + 5 && !a_.OutputPending(); }));
  EXPECT_EQ(std::string(got[0].begin() + static_cast<long>(data[0].size()), got[0].end()), "after");
}

TEST_F(SerialSim, ModemTriggerFiresOnceUntilArmedAgainAndRingOnItsTrailingEdge) {
  OpenBoth();
  int fired = 0;
  QObject::connect(&a_, &TComPort::OnTriggerModemStatus, &a_,
                   [&](TComPort* p) { fired += p == &a_ ? 1 : 100; });
  const std::uint16_t trigger = a_.NewModemTrigger(), other = a_.NewModemTrigger();

  a_.ArmModemTrigger(trigger, AnalyserMask);
  b_.SetRTS(true);  // A's CTS comes on
  ASSERT_TRUE(RunUntil([&] { return fired == 1; }));
  EXPECT_EQ(a_.ModemStatusByte(), CTS | DeltaCTS | DSR | DCD);
  EXPECT_EQ(a_.ModemStatusByte(), CTS | DSR | DCD);  // reading cleared the change bits

  b_.SetRTS(false);
  ASSERT_TRUE(Settle([&] { return !a_.CTS(); }));
  EXPECT_EQ(fired, 1) << "fired again without being armed";
  EXPECT_EQ(a_.ModemStatusByte(), DeltaCTS | DSR | DCD);

  // Every armed trigger fires on its own, and only for the lines in its mask.
  a_.ArmModemTrigger(trigger, DeltaCTS);
  a_.ArmModemTrigger(other, AnalyserMask);
  b_.SetDTR(false);  // DSR and DCD go off
  ASSERT_TRUE(Settle([&] { return !a_.DSR() && !a_.DCD(); }));
  EXPECT_EQ(fired, 2);
  b_.SetRTS(true);
  ASSERT_TRUE(Settle([&] { return a_.CTS(); }));
  EXPECT_EQ(fired, 3);

  // Of the ring indicator only the trailing edge is in the analyser's mask.
  a_.ArmModemTrigger(trigger, AnalyserMask);
  a_.ModemStatusByte();
  sim_.SetRing(End::A, true);
  ASSERT_TRUE(Settle([&] { return a_.RI(); }));
  EXPECT_EQ(fired, 3) << "fired on the leading edge of RI";
  EXPECT_EQ(a_.ModemStatusByte() & (RI | TrailingEdgeRI), RI);
  sim_.SetRing(End::A, false);
  ASSERT_TRUE(RunUntil([&] { return fired == 4; }));
  EXPECT_EQ(a_.ModemStatusByte() & (RI | TrailingEdgeRI), TrailingEdgeRI);

  // Pulses well within a millisecond, seen in one read or in two: the trigger fires, the change
  // bit tells of the pulse and the line's state stands where it was.
  const std::pair<std::function<void(bool)>, std::uint8_t> pulses[] = {
      {[&](bool on) { b_.SetRTS(!on); }, DeltaCTS},
      {[&](bool on) { b_.SetDTR(on); }, DeltaDSR | DeltaDCD},
      {[&](bool on) { sim_.SetRing(End::A, on); }, TrailingEdgeRI}};
  for (const auto& [drive, changes] : pulses) {
    a_.ArmModemTrigger(trigger, AnalyserMask);
    const int before = fired;
    drive(true);
    drive(false);
    ASSERT_TRUE(Settle([&] { return fired == before + 1 && a_.CTS() && !a_.DSR() && !a_.RI(); }));
    EXPECT_EQ(a_.ModemStatusByte(), CTS | changes);
  }
}

TEST(SerialSimDevice, TwoEdgesBetweenTwoReadsAreAPulse) {
  SimulatedNullModem cable;
  auto end = cable.OpenEnd(End::A), peer = cable.OpenEnd(End::B);
  peer->SetRTS(true);
  peer->SetRTS(false);
  std::uint8_t lines = 0xFF, changes = 0;
  auto wait =
      std::async(std::launch::async, [&] { return end->WaitModemChange(0, lines, changes); });
  if (wait.wait_for(std::chrono::seconds(2)) != std::future_status::ready)
    end->Shutdown();  // the pulse went unseen: let the wait go
  EXPECT_EQ(wait.get().Status, IoStatus::Ok);
  EXPECT_EQ(lines, 0);
  EXPECT_EQ(changes, DeltaCTS);
}

TEST_F(SerialSim, BreakIsOnAtOnceAndEndsAfterItsTicksOrWithTheSession) {
  OpenBoth();
  const auto start = std::chrono::steady_clock::now();
  a_.HoldBreak(3);
  EXPECT_TRUE(sim_.BreakHeld(End::B) && a_.BreakActive());
  a_.HoldBreak(200);  // ignored: the running break keeps its end
  EXPECT_EQ(sim_.BreaksReceived(End::B), 1);
  ASSERT_TRUE(RunUntil([&] { return !sim_.BreakHeld(End::B); }, 5000)) << "the break never ended";
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3 * 55));
  EXPECT_FALSE(a_.BreakActive());

  // A break ends with its session.
  a_.HoldBreak(200);
  a_.SetOpen(false);
  EXPECT_FALSE(a_.BreakActive());
  a_.SetOpen(true);
  EXPECT_FALSE(sim_.BreakHeld(End::B)) << "a new session starts without break";
  a_.HoldBreak(200);
  EXPECT_TRUE(sim_.BreakHeld(End::B)) << "the closed session's break refused a new one";

  // Switched to the other end: the old device is let go without break, the new one starts without.
  b_.SetOpen(false);
  a_.SetComNumber(2);
  EXPECT_FALSE(a_.BreakActive());
  EXPECT_FALSE(sim_.BreakHeld(End::A));

  // The device vanishes during a break; then the port goes during another.
  a_.HoldBreak(200);
  sim_.Vanish(End::B);
  ASSERT_TRUE(RunUntil([&] { return !a_.Open(); }));
  EXPECT_FALSE(a_.BreakActive());
  // Without a session reads give nothing, writes and breaks do nothing; no number, no opening.
  auto port = std::make_unique<TComPort>();
  port->WriteBytes("nothing");
  port->DiscardOutput();
  port->HoldBreak(1);
  EXPECT_EQ(port->ModemStatusByte() | port->ReadByte() | port->OutputRoom() | port->OutputPending(),
            0);
  EXPECT_FALSE(port->CTS() || port->DSR() || port->RI() || port->DCD() || port->BreakActive());
  EXPECT_THROW(port->SetOpen(true), EComPortError);
  EXPECT_THROW(port->SetComNumber(17), EComPortError);
  port->SetDeviceProvider(&sim_);
  port->SetComNumber(1);
  port->SetOpen(true);
  port->HoldBreak(1);
  port.reset();
  EXPECT_FALSE(sim_.IsOpen(End::A));
  RunUntil([] { return false; }, 100);  // longer than the break: no timer may fire
}

TEST_F(SerialSim, LineSettingsReachTheDeviceOrChangeNothing) {
  a_.SetRTS(true);  // output lines set while closed apply on opening, and drop on closing
  a_.SetDTR(false);
  a_.SetOpen(true);
  EXPECT_EQ(sim_.InputLines(End::B), CTS);
  a_.SetParity(TParity::pMark);
  a_.SetDataBits(5);
  a_.SetStopBits(2);
  a_.SetBaud(1200);
  const LineSettings set{1200, TParity::pMark, 5, 2};
  EXPECT_EQ(sim_.AppliedSettings(End::A), set);

  // Refused by the port, or by the device (above its top rate): nothing changes.
  sim_.SetMaxBaud(End::A, 115200);
  const std::function<void()> refused[] = {
      [&] { a_.SetBaud(230400); }, [&] { a_.SetBaud(0); },
      [&] { a_.SetBaud(-9600); },  [&] { a_.SetBaud(4000001); },
      [&] { a_.SetDataBits(4); },  [&] { a_.SetDataBits(9); },
      [&] { a_.SetStopBits(3); },  [&] { a_.SetParity(TParity{5}); },
  };
  for (const auto& change : refused) {
    const auto i = &change - refused;
    try {
      change();
      ADD_FAILURE() << "change " << i << " accepted";
    } catch (const EComPortError& e) {
      EXPECT_EQ(e.kind(), EComPortError::Kind::UnsupportedSetting) << i;
      EXPECT_TRUE(e.message().contains("COM1")) << e.what();
    }
    EXPECT_EQ((LineSettings{a_.Baud(), a_.Parity(), a_.DataBits(), a_.StopBits()}), set) << i;
    EXPECT_EQ(sim_.AppliedSettings(End::A), set) << i;
  }

  // Settings the device refuses at opening time make the open fail cleanly.
  a_.SetOpen(false);
  EXPECT_EQ(sim_.InputLines(End::B), 0);
  sim_.SetMaxBaud(End::A, 600);
  EXPECT_THROW(a_.SetOpen(true), EComPortError);
  EXPECT_FALSE(a_.Open());
  EXPECT_FALSE(sim_.IsOpen(End::A));
}

TEST_F(SerialSim, VanishingDeviceReportsOnceAfterItsLastBytes) {
  // The first handler call takes only part of its count (a handler may stop early, at the end of
  // a frame for instance); the rest must still be offered before the port reports the error.
  std::string atA;
  int availCalls = 0;
  QObject::connect(&a_, &TComPort::OnTriggerAvail, &a_, [&](TComPort* p, int count) {
    const int take = availCalls++ == 0 ? std::min(count, 4) : count;
    for (int i = 0; i < take; ++i)
      atA.push_back(static_cast<char>(p->ReadByte()));
  });
  int errors = 0;
  std::size_t receivedAtError = 0;
  QObject::connect(&a_, &TComPort::OnPortError, &a_, [&](TComPort* p, const QString& message) {
    ++errors;
    receivedAtError = atA.size();
    EXPECT_TRUE(!p->Open() && message.contains("COM1")) << message.toStdString();
  });
  OpenBoth();

  // Let A's receive worker take the bytes into its ring, then pull the plug
  // before the event loop delivered anything.
  b_.WriteBytes("last words");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (b_.OutputPending() != 0 || sim_.PendingInput(End::A) != 0) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  sim_.Vanish(End::A);

  ASSERT_TRUE(RunUntil([&] { return errors > 0; }));
  EXPECT_EQ(receivedAtError, 10u);
  EXPECT_EQ(atA, "last words");
  RunUntil([] { return false; }, 100);
  EXPECT_EQ(errors, 1);

  sim_.Reconnect(End::A);
  a_.SetOpen(true);  // the device was let go, and the port is as good as new
  EXPECT_TRUE(sim_.IsOpen(End::A));
}

}  // namespace
}  // namespace klv::test
