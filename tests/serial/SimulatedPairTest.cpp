// The port object on the simulated null-modem pair, for what a
// pseudo-terminal cannot show: modem lines and their triggers, break, framing
// settings, a stalled line and a device that disappears.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <string>
#include <thread>

#include "PtyFixture.h"
#include "serial/SimulatedNullModem.h"
#include "support/EventLoop.h"

namespace klv::test {
namespace {

using End = SimulatedNullModem::End;

class SerialSim : public ::testing::Test {
 protected:
  void SetUp() override {
    a_.SetDeviceProvider(&sim_);
    b_.SetDeviceProvider(&sim_);
    a_.SetComNumber(1);
    b_.SetComNumber(2);
  }

  void OpenBoth() {
    a_.SetOpen(true);
    b_.SetOpen(true);
    // Both ends start with DTR on: wait until A has seen it, then clear the
    // change bits so each test starts from a quiet line.
    ASSERT_TRUE(RunUntil([&] { return a_.DSR() && b_.DSR(); }));
    a_.ModemStatusByte();
    b_.ModemStatusByte();
  }

  static void Collect(TComPort& port, std::string& into) {
    QObject::connect(&port, &TComPort::OnTriggerAvail, &port, [&into](TComPort* p, int count) {
      for (int i = 0; i < count; ++i)
        into.push_back(static_cast<char>(p->ReadByte()));
    });
  }

  // Waits without running the event loop, so nothing is delivered meanwhile.
  static bool WaitQuietly(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
      if (std::chrono::steady_clock::now() > deadline)
        return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  SimulatedNullModem sim_{1, 2};
  TComPort a_;
  TComPort b_;
};

TEST_F(SerialSim, DataCrossesTheCableBothWays) {
  const std::vector<std::uint8_t> ab = RandomBytes(200 * 1024, 21);
  const std::vector<std::uint8_t> ba = RandomBytes(150 * 1024, 22);
  std::string atA;
  std::string atB;
  Collect(a_, atA);
  Collect(b_, atB);
  OpenBoth();
  std::size_t sentA = 0;
  std::size_t sentB = 0;
  const auto topUp = [](TComPort& port, const std::vector<std::uint8_t>& data, std::size_t& sent) {
    const std::size_t n = std::min(static_cast<std::size_t>(port.OutputRoom()), data.size() - sent);
    if (n == 0)
      return;
    port.WriteBytes({reinterpret_cast<const char*>(data.data() + sent), n});
    sent += n;
  };
  ASSERT_TRUE(RunUntil(
      [&] {
        topUp(a_, ab, sentA);
        topUp(b_, ba, sentB);
        return atB.size() >= ab.size() && atA.size() >= ba.size();
      },
      30000));
  EXPECT_EQ(atB, std::string(ab.begin(), ab.end()));
  EXPECT_EQ(atA, std::string(ba.begin(), ba.end()));
}

TEST_F(SerialSim, ModemTriggerFiresOnceUntilArmedAgain) {
  OpenBoth();
  int fired = 0;
  QObject::connect(&a_, &TComPort::OnTriggerModemStatus, &a_, [&](TComPort* p) {
    EXPECT_EQ(p, &a_);
    ++fired;
  });
  const std::uint16_t trigger = a_.NewModemTrigger();
  const std::uint16_t other = a_.NewModemTrigger();
  EXPECT_EQ(trigger, 1);
  EXPECT_EQ(other, 2);

  a_.ArmModemTrigger(trigger, ModemBits::AnalyserMask);
  b_.SetRTS(true);  // A's CTS comes on
  ASSERT_TRUE(RunUntil([&] { return fired == 1; }));
  EXPECT_TRUE(a_.CTS());
  using namespace ModemBits;
  EXPECT_EQ(a_.ModemStatusByte(), CTS | DeltaCTS | DSR | DCD);
  EXPECT_EQ(a_.ModemStatusByte(), CTS | DSR | DCD);  // the change bits were cleared

  // Fired once, the trigger is quiet until armed again. Once CTS() shows the
  // change, any event it caused is already queued.
  b_.SetRTS(false);
  ASSERT_TRUE(RunUntil([&] { return !a_.CTS(); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(a_.ModemStatusByte(), DeltaCTS | DSR | DCD);

  // Every armed trigger fires on its own.
  a_.ArmModemTrigger(trigger, ModemBits::AnalyserMask);
  a_.ArmModemTrigger(other, ModemBits::AnalyserMask);
  b_.SetRTS(true);
  ASSERT_TRUE(RunUntil([&] { return fired == 3; }));

  // A trigger only fires for the lines in its mask.
  a_.ArmModemTrigger(trigger, ModemBits::DeltaCTS);
  b_.SetDTR(false);  // DSR and DCD go off
  ASSERT_TRUE(RunUntil([&] { return !a_.DSR() && !a_.DCD(); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(fired, 3);
  b_.SetRTS(false);
  ASSERT_TRUE(RunUntil([&] { return fired == 4; }));
}

TEST_F(SerialSim, OutputLinesCrossOver) {
  // Set while closed: remembered and applied when the port opens.
  a_.SetRTS(true);
  a_.SetDTR(false);
  EXPECT_TRUE(a_.RTS());
  EXPECT_FALSE(a_.DTR());
  a_.SetOpen(true);
  b_.SetOpen(true);
  EXPECT_TRUE(sim_.RTS(End::A));
  EXPECT_FALSE(sim_.DTR(End::A));
  ASSERT_TRUE(RunUntil([&] { return b_.CTS(); }));
  EXPECT_FALSE(b_.DSR());
  EXPECT_FALSE(b_.DCD());

  a_.SetDTR(true);
  ASSERT_TRUE(RunUntil([&] { return b_.DSR() && b_.DCD(); }));
  a_.SetRTS(false);
  ASSERT_TRUE(RunUntil([&] { return !b_.CTS(); }));
  EXPECT_TRUE(b_.DSR());
  EXPECT_EQ(sim_.InputLines(End::B), ModemBits::DSR | ModemBits::DCD);

  // And the other way round.
  b_.SetRTS(true);
  ASSERT_TRUE(RunUntil([&] { return a_.CTS(); }));
  b_.SetDTR(false);
  ASSERT_TRUE(RunUntil([&] { return !a_.DSR() && !a_.DCD(); }));

  // Closing an end drops the lines it drives.
  a_.SetOpen(false);
  ASSERT_TRUE(RunUntil([&] { return !b_.DSR() && !b_.CTS(); }));
}

TEST_F(SerialSim, RingReportsItsTrailingEdge) {
  OpenBoth();
  int fired = 0;
  QObject::connect(&a_, &TComPort::OnTriggerModemStatus, &a_, [&](TComPort*) { ++fired; });
  const std::uint16_t trigger = a_.NewModemTrigger();
  a_.ArmModemTrigger(trigger, ModemBits::AnalyserMask);

  sim_.SetRing(End::A, true);
  ASSERT_TRUE(RunUntil([&] { return a_.RI(); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(fired, 0) << "the leading edge of RI is not in the analyser's mask";
  std::uint8_t status = a_.ModemStatusByte();
  EXPECT_TRUE(status & ModemBits::RI);
  EXPECT_FALSE(status & ModemBits::TrailingEdgeRI);

  sim_.SetRing(End::A, false);
  ASSERT_TRUE(RunUntil([&] { return fired == 1; }));
  status = a_.ModemStatusByte();
  EXPECT_FALSE(status & ModemBits::RI);
  EXPECT_TRUE(status & ModemBits::TrailingEdgeRI);
  EXPECT_FALSE(a_.ModemStatusByte() & ModemBits::TrailingEdgeRI);
}

TEST_F(SerialSim, BreakReachesTheOtherEnd) {
  OpenBoth();
  bool timerRan = false;
  bool heldMeanwhile = false;
  QTimer::singleShot(0, [&] {
    timerRan = true;
    heldMeanwhile = sim_.BreakHeld(End::B);
  });
  a_.HoldBreak(1, true);
  EXPECT_TRUE(timerRan) << "the event loop did not run during the break";
  EXPECT_TRUE(heldMeanwhile);
  EXPECT_FALSE(sim_.BreakHeld(End::B));
  EXPECT_EQ(sim_.BreaksReceived(End::B), 1);
  EXPECT_EQ(sim_.BreaksReceived(End::A), 0);

  // Without keeping the interface running, nothing else runs meanwhile.
  timerRan = false;
  QTimer::singleShot(0, [&] { timerRan = true; });
  a_.HoldBreak(1, false);
  EXPECT_FALSE(timerRan);
  EXPECT_FALSE(sim_.BreakHeld(End::B));
  EXPECT_EQ(sim_.BreaksReceived(End::B), 2);
  EXPECT_TRUE(RunUntil([&] { return timerRan; }));
}

TEST_F(SerialSim, BreakEndsEarlyWhenTheApplicationQuits) {
  a_.SetOpen(true);
  QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
  const auto start = std::chrono::steady_clock::now();
  a_.HoldBreak(400, true);  // 22 s, unless the quit ends it
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::seconds(11)) << "the break outlasted the application";
  EXPECT_FALSE(sim_.BreakHeld(End::B));
  EXPECT_EQ(sim_.BreaksReceived(End::B), 1);

  // exec() clears the quit state the exit left behind for later tests.
  QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
  QCoreApplication::exec();
}

TEST_F(SerialSim, FramingSettingsApplyToTheOpenDevice) {
  a_.SetOpen(true);
  a_.SetParity(TParity::pMark);
  a_.SetDataBits(5);
  a_.SetStopBits(2);
  a_.SetBaud(1200);
  const LineSettings expected{1200, TParity::pMark, 5, 2};
  EXPECT_EQ(sim_.AppliedSettings(End::A), expected);

  // The device refuses the rate: the old one stays, on both sides.
  sim_.SetMaxBaud(End::A, 115200);
  try {
    a_.SetBaud(230400);
    ADD_FAILURE() << "refused rate accepted";
  } catch (const EComPortError& e) {
    EXPECT_EQ(e.kind(), EComPortError::Kind::UnsupportedSetting);
    EXPECT_TRUE(e.message().contains("COM1")) << e.message().toStdString();
  }
  EXPECT_EQ(a_.Baud(), 1200);
  EXPECT_EQ(sim_.AppliedSettings(End::A), expected);

  // Settings the device refuses at opening time make the open fail cleanly.
  a_.SetOpen(false);
  sim_.SetMaxBaud(End::A, 600);
  try {
    a_.SetOpen(true);
    ADD_FAILURE() << "opened with a refused rate";
  } catch (const EComPortError& e) {
    EXPECT_EQ(e.kind(), EComPortError::Kind::OpenFailed);
    EXPECT_TRUE(e.message().contains("COM1")) << e.message().toStdString();
  }
  EXPECT_FALSE(a_.Open());
  EXPECT_FALSE(sim_.IsOpen(End::A));
}

TEST_F(SerialSim, StalledLineFillsTheRingAndDiscardEmptiesIt) {
  std::string atB;
  Collect(b_, atB);
  OpenBoth();
  sim_.SetFlowStopped(End::A, true);

  a_.WriteBytes(std::string(1000, 'x'));
  // The worker holds these bytes in a blocked write: still pending.
  ASSERT_TRUE(RunUntil([&] { return sim_.WriteBlocked(End::A); }));
  EXPECT_EQ(a_.OutputPending(), 1000);
  EXPECT_EQ(a_.OutputRoom(), TComPort::OutSize - 1000);

  a_.WriteBytes(std::string(TComPort::OutSize - 1000, 'y'));
  EXPECT_EQ(a_.OutputRoom(), 0);
  EXPECT_EQ(a_.OutputPending(), TComPort::OutSize);
  try {
    a_.WriteBytes("z");
    ADD_FAILURE() << "a full ring took another byte";
  } catch (const EComPortError& e) {
    EXPECT_EQ(e.kind(), EComPortError::Kind::BufferFull);
  }
  EXPECT_EQ(a_.OutputPending(), TComPort::OutSize);

  a_.DiscardOutput();
  EXPECT_EQ(a_.OutputPending(), 0);
  EXPECT_EQ(a_.OutputRoom(), TComPort::OutSize);
  EXPECT_EQ(sim_.OutputFlushes(End::A), 1);

  // Once the line moves again only what was written after the discard goes out.
  sim_.SetFlowStopped(End::A, false);
  a_.WriteBytes("after");
  ASSERT_TRUE(RunUntil([&] { return atB.size() >= 5 && a_.OutputPending() == 0; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(atB, "after");
}

TEST_F(SerialSim, VanishingDeviceReportsOnceAfterItsLastBytes) {
  // The first handler call takes only part of its count (a handler may stop
  // early, for instance at the end of a frame); the rest must still be
  // offered before the port reports the error.
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
    EXPECT_FALSE(p->Open());
    EXPECT_TRUE(message.contains("COM1")) << message.toStdString();
  });
  OpenBoth();
  const int threadsOpen = ThreadCount();

  // Let A's receive worker take the bytes into its ring, then pull the plug
  // before the event loop delivered anything.
  b_.WriteBytes("last words");
  ASSERT_TRUE(
      WaitQuietly([&] { return b_.OutputPending() == 0 && sim_.PendingInput(End::A) == 0; }));
  sim_.Vanish(End::A);

  ASSERT_TRUE(RunUntil([&] { return errors > 0; }));
  EXPECT_EQ(receivedAtError, 10u);
  EXPECT_EQ(atA, "last words");
  EXPECT_EQ(availCalls, 2);
  EXPECT_FALSE(a_.Open());
  EXPECT_FALSE(sim_.IsOpen(End::A));
  EXPECT_TRUE(RunUntil([&] { return ThreadCount() == threadsOpen - 3; }));
  const double cpuBefore = ProcessCpuMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LT(ProcessCpuMs() - cpuBefore, 50.0);
  QCoreApplication::processEvents();
  EXPECT_EQ(errors, 1);

  // Gone until it comes back.
  EXPECT_EQ(sim_.Probe(1).Outcome, PortProbe::Missing);
  EXPECT_THROW(a_.SetOpen(true), EComPortError);
  sim_.Reconnect(End::A);
  EXPECT_EQ(sim_.Probe(1).Outcome, PortProbe::Available);
  a_.SetOpen(true);
  EXPECT_EQ(sim_.Probe(1).Outcome, PortProbe::Busy);
}

TEST(SerialClosedPort, ReadsGiveNothingAndWritesDoNothing) {
  TComPort port;
  EXPECT_FALSE(port.Open());
  EXPECT_FALSE(port.CTS());
  EXPECT_FALSE(port.DSR());
  EXPECT_FALSE(port.RI());
  EXPECT_FALSE(port.DCD());
  EXPECT_EQ(port.ModemStatusByte(), 0);
  EXPECT_EQ(port.ReadByte(), 0);
  EXPECT_EQ(port.OutputPending(), 0);
  EXPECT_EQ(port.OutputRoom(), 0);
  EXPECT_NO_THROW(port.WriteBytes("nothing"));
  EXPECT_EQ(port.OutputPending(), 0);
  EXPECT_NO_THROW(port.DiscardOutput());
  EXPECT_NO_THROW(port.HoldBreak(1, true));
  EXPECT_NO_THROW(port.SetOpen(false));
  // No number chosen: opening fails instead of guessing.
  EXPECT_THROW(port.SetOpen(true), EComPortError);
  EXPECT_THROW(port.SetComNumber(17), EComPortError);
  EXPECT_EQ(port.ComNumber(), 0);
}

}  // namespace
}  // namespace klv::test
