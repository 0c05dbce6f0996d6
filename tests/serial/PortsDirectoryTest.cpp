// Mapping of COM numbers to devices through the ports directory, and the
// order of the system's devices when there is no directory.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include "PtyFixture.h"
#include "serial/PortsDirectory.h"

namespace klv::test {
namespace {

// Sets an environment variable for the scope, restoring the old state after.
class EnvGuard {
 public:
  explicit EnvGuard(const char* name) : name_(name), had_(qEnvironmentVariableIsSet(name)) {
    old_ = qgetenv(name);
  }
  ~EnvGuard() {
    if (had_) {
      qputenv(name_, old_);
    } else {
      qunsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

TEST(SerialPortsDir, EntriesMapToDevices) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  Pty pty;
  ASSERT_TRUE(QFile::link(pty.Slave(), dir.path() + "/COM2"));
  ASSERT_TRUE(QFile::link(dir.path() + "/gone", dir.path() + "/COM5"));  // dangling
  // A chain of links, as with /dev/serial/by-id, ends at the device.
  ASSERT_TRUE(QFile::link(dir.path() + "/COM2", dir.path() + "/COM7"));

  const PortsDirectory ports(dir.path());
  EXPECT_EQ(ports.DevicePath(2), std::optional<QString>(pty.Slave()));
  EXPECT_EQ(ports.DevicePath(7), std::optional<QString>(pty.Slave()));
  EXPECT_EQ(ports.DevicePath(1), std::nullopt);
  EXPECT_EQ(ports.DevicePath(5), std::nullopt);
  EXPECT_EQ(ports.DevicePath(0), std::nullopt);
  EXPECT_EQ(ports.DevicePath(17), std::nullopt);

  PosixDeviceProvider provider{PortsDirectory(dir.path())};
  EXPECT_EQ(provider.Probe(1).Outcome, PortProbe::Missing);
  EXPECT_EQ(provider.Probe(5).Outcome, PortProbe::Missing);
  const PortProbeResult ok = provider.Probe(2);
  EXPECT_EQ(ok.Outcome, PortProbe::Available);
  EXPECT_EQ(ok.DevicePath, pty.Slave());
}

TEST(SerialPortsDir, DefaultPathFollowsXdgConfigHome) {
  EnvGuard guard("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", "/srv/cfg");
  EXPECT_EQ(PortsDirectory::DefaultPath(), "/srv/cfg/kelvora32/ports");
  EXPECT_EQ(PortsDirectory().Path(), "/srv/cfg/kelvora32/ports");

  qunsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(PortsDirectory::DefaultPath(), QDir::homePath() + "/.config/kelvora32/ports");
  qputenv("XDG_CONFIG_HOME", "relative/dir");  // not absolute: ignored
  EXPECT_EQ(PortsDirectory::DefaultPath(), QDir::homePath() + "/.config/kelvora32/ports");
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
