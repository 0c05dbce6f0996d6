// Ports are opened only to be used: probing, the default configuration's port search and the line
// parameters dialog look at the device node and never open it (an open raises DTR and RTS).
// Closing drops what the driver still queues, and a modem wait blocked in the kernel is woken.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QCoreApplication>
#include <QRadioButton>
#include <future>

#include "PtyFixture.h"
#include "app/ConfigTestSupport.h"
#include "app/ui/Channel.h"
#include "conf/ConfDefaults.h"
#include "serial/WakeableCall.h"
#include "support/EventLoop.h"
#include "support/RecordingRenderers.h"

namespace klv::test {
namespace {

// Opens of the watched device nodes since the last call (events of a file carry no name, so
// each is one record; the same file's opens in a row may merge into one).
int Opens(int inotifyFd) {
  inotify_event events[64];
  const ssize_t n = ::read(inotifyFd, events, sizeof events);
  return n > 0 ? static_cast<int>(static_cast<std::size_t>(n) / sizeof(inotify_event)) : 0;
}

TEST(SerialPortProbe, SearchDialogAndProbesOpenNoPortStartUpOpensEachOnce) {
  TestPorts dir;
  Pty one, three;
  dir.Link(1, one.Slave());
  dir.Link(3, three.Slave());
  DefaultProviderGuard guard(&dir.Provider());
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  for (const Pty* pty : {&one, &three})
    ASSERT_GE(inotify_add_watch(watch, QFile::encodeName(pty->Slave()).constData(), IN_OPEN), 0);

  ConfigFixtureParts parts;
  TConf& conf = parts.config.Conf();
  RecordingLog log;
  TReceiveDispatcher dispatcher{conf, log};
  TChannels channels{conf, dispatcher, parts.messages};
  SetConfDefaults(conf, [&](int n) { return channels.PortPresent(n); });
  EXPECT_TRUE(conf.Comparam.Channel[0].Port == 1 && conf.Comparam.Channel[1].Port == 3);
  TChannelDlg dlg(parts.config, channels, parts.messages);
  QEvent activate(QEvent::WindowActivate);
  QCoreApplication::sendEvent(&dlg, &activate);
  EXPECT_TRUE(dlg.rgPortSelCh1->Button(2)->isEnabled() &&
              !dlg.rgPortSelCh1->Button(1)->isEnabled());
  EXPECT_EQ(Opens(watch), 0);

  ASSERT_TRUE(channels.OpenChannels());
  EXPECT_EQ(Opens(watch), 2);
  // Open here, both stay usable in the dialog; another channel would find them busy.
  QCoreApplication::sendEvent(&dlg, &activate);
  EXPECT_TRUE(dlg.rgPortSelCh2->Button(0)->isEnabled() && dlg.rgPortSelCh2->Button(2)->isEnabled());
  EXPECT_EQ(ProbePort(3).Outcome, PortProbe::Busy);
  EXPECT_EQ(Opens(watch), 0);
  channels.CloseChannels();
  ::close(watch);
}

TEST(SerialPortProbe, PlaceholdersAndLockHoldersToldFromSysfsAndLockFiles) {
  Pty pty;
  QTemporaryDir root;
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(pty.Slave()).constData(), &st), 0);
  const QString entry =
      root.path() + QStringLiteral("/dev/char/%1:%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev));
  const auto put = [](const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
  };
  const auto probe = [&] {
    return InspectDevice(pty.Slave(), {root.path(), {root.path()}}).Outcome;
  };
  ASSERT_TRUE(QDir().mkpath(entry) && put(entry + "/type", "0\n"));
  EXPECT_EQ(probe(), PortProbe::Missing);  // a serial port without a UART behind it
  const QString lock = root.path() + "/LCK.." + QFileInfo(pty.Slave()).fileName();
  ASSERT_TRUE(put(entry + "/type", "4\n") && put(lock, "         1\n"));
  EXPECT_EQ(probe(), PortProbe::Busy);       // locked by a running process
  QFile pidMax("/proc/sys/kernel/pid_max");  // process ids stay below it
  ASSERT_TRUE(pidMax.open(QIODevice::ReadOnly) && put(lock, pidMax.readAll()));
  EXPECT_EQ(probe(), PortProbe::Available);  // a lock left behind
}

TEST(SerialPortClose, DropsTheDriversQueueAndReopens) {
  TestPorts ports;
  Pty pty;
  ports.Link(1, pty.Slave());
  TComPort port;
  port.SetDeviceProvider(&ports.Provider());
  port.SetComNumber(1);
  port.SetOpen(true);
  // More than the 4095 bytes the far end's line discipline holds, which no flush reaches.
  const std::vector<std::uint8_t> data = RandomBytes(1 << 20, 7);
  std::size_t sent = 0;
  const auto queued = [&] { return sent - static_cast<std::size_t>(port.OutputPending()); };
  ASSERT_TRUE(RunUntil([&] { return Feed(port, data, sent), queued() >= 8192; }));
  const std::size_t atClose = queued();
  const auto start = std::chrono::steady_clock::now();
  port.SetOpen(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "hang guard";
  EXPECT_LT(ReadAvailable(pty.Master()).size(), atClose);

  port.SetOpen(true);
  port.WriteBytes("next");
  ASSERT_TRUE(RunUntil([&] {
    return ReadAvailable(pty.Master()) == std::vector<std::uint8_t>{'n', 'e', 'x', 't'};
  }));
}

TEST(SerialWakeableCall, WakeEndsTheBlockedCallAndEveryLaterOne) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  WakeableCall call;
  auto blocked = std::async(std::launch::async, [&] {
    char byte = 0;
    const int r = call.Run([&] { return static_cast<int>(::read(fds[0], &byte, 1)); });
    return std::pair{r, errno};
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // inside read() by now, most likely
  call.Wake();
  if (blocked.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
    ASSERT_EQ(::write(fds[1], "x", 1), 1);  // let the reader go so that the test can fail
  }
  EXPECT_EQ(blocked.get(), (std::pair{-1, EINTR}));
  EXPECT_EQ(call.Run([] { return 0; }), -1);
  ::close(fds[0]);
  ::close(fds[1]);
}

}  // namespace
}  // namespace klv::test
