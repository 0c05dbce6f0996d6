// COM numbers to devices through the ports directory, or in the system's devices' order.
#include <gtest/gtest.h>

#include <optional>

#include "PtyFixture.h"

namespace klv::test {
namespace {

TEST(SerialPortsDir, EntriesMapToDevices) {
  TestPorts dir;
  Pty pty;
  dir.Link(2, pty.Slave());
  dir.Link(5, dir.Path() + "/gone");  // dangling
  dir.Link(7, dir.Path() + "/COM2");  // a chain of links, as with /dev/serial/by-id
  const std::pair<int, std::optional<QString>> cases[] = {
      {2, pty.Slave()}, {7, pty.Slave()}, {1, {}}, {5, {}}, {0, {}}, {17, {}}};
  for (const auto& [com, device] : cases) {
    EXPECT_EQ(PortsDirectory(dir.Path()).DevicePath(com), device) << com;
    const PortProbeResult probe = dir.Provider().Probe(com);
    EXPECT_EQ(probe.Outcome, device ? PortProbe::Available : PortProbe::Missing) << com;
    EXPECT_EQ(probe.DevicePath, device.value_or(QString())) << com;
  }
}

TEST(SerialPortsDir, DefaultPathFollowsAnAbsoluteXdgConfigHome) {
  const QByteArray saved = qgetenv("XDG_CONFIG_HOME");  // null when not set
  const auto set = [](const QByteArray& v) {
    v.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", v);
  };
  const QString home = QDir::homePath() + "/.config/kelvora32/ports";
  const std::pair<QByteArray, QString> cases[] = {
      {"/srv/cfg", "/srv/cfg/kelvora32/ports"}, {QByteArray(), home}, {"relative/dir", home}};
  for (const auto& [value, path] : cases) {
    set(value);
    EXPECT_EQ(PortsDirectory::DefaultPath(), path) << value.constData();
    EXPECT_EQ(PortsDirectory().Path(), path);
  }
  set(saved);
}

TEST(SerialPortsDir, SystemDevicesPutAdaptersFirstInNaturalOrder) {
  const QStringList in = {"/dev/ttyS10",  "/dev/ttyUSB10", "/dev/ttyS2",
                          "/dev/ttyACM1", "/dev/ttyUSB2",  "/dev/ttyS0",
                          "/dev/ttyAMA0", "/dev/ttyACM0",  "/dev/ttyUSB0"};
  const QStringList expected = {"/dev/ttyACM0", "/dev/ttyACM1",  "/dev/ttyUSB0",
                                "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyAMA0",
                                "/dev/ttyS0",   "/dev/ttyS2",    "/dev/ttyS10"};
  EXPECT_EQ(PortsDirectory::OrderSystemDevices(in), expected);

  // A port that is a system console gets no number; only whole names count (ttyS1 is no ttyS10).
  const QByteArray consoles =
      "tty0                 -WU (E  p  )    4:1\n"
      "ttyS0                -W- (EC  p a)    4:64\n"
      "ttyS1                -W- (E  p  )    4:65\nnetcon0              -W- (E     )\n";
  QStringList rest = expected;
  rest.removeAll("/dev/ttyS0");
  EXPECT_EQ(PortsDirectory::OrderSystemDevices(in, PortsDirectory::ConsoleNames(consoles)), rest);
}

}  // namespace
}  // namespace klv::test
