// Mapping of COM numbers to devices through the ports directory, and the
// order of the system's devices when there is no directory.
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
  const std::optional<QString> none;
  const struct {
    int com;
    std::optional<QString> device;
  } cases[] = {{2, pty.Slave()}, {7, pty.Slave()}, {1, none}, {5, none}, {0, none}, {17, none}};
  for (const auto& c : cases) {
    EXPECT_EQ(PortsDirectory(dir.Path()).DevicePath(c.com), c.device) << c.com;
    const PortProbeResult probe = dir.Provider().Probe(c.com);
    EXPECT_EQ(probe.Outcome, c.device ? PortProbe::Available : PortProbe::Missing) << c.com;
    EXPECT_EQ(probe.DevicePath, c.device.value_or(QString())) << c.com;
  }
}

TEST(SerialPortsDir, DefaultPathFollowsAnAbsoluteXdgConfigHome) {
  const std::optional<QByteArray> saved = qEnvironmentVariableIsSet("XDG_CONFIG_HOME")
                                              ? std::optional(qgetenv("XDG_CONFIG_HOME"))
                                              : std::nullopt;
  const auto set = [](const std::optional<QByteArray>& value) {
    value ? qputenv("XDG_CONFIG_HOME", *value) : qunsetenv("XDG_CONFIG_HOME");
  };
  const QString home = QDir::homePath() + "/.config/kelvora32/ports";
  const std::pair<std::optional<QByteArray>, QString> cases[] = {
      {"/srv/cfg", "/srv/cfg/kelvora32/ports"}, {std::nullopt, home}, {"relative/dir", home}};
  for (const auto& [value, path] : cases) {
    set(value);
    EXPECT_EQ(PortsDirectory::DefaultPath(), path) << value.value_or("unset").constData();
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
  EXPECT_EQ(PortsDirectory::OrderSystemDevices({}), QStringList());
}

}  // namespace
}  // namespace klv::test
