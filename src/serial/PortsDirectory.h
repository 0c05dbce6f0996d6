// How COM numbers map to devices on Linux. When the ports directory exists,
// COM n is exactly its entry "COMn" (normally a symlink to a device such as
// /dev/serial/by-id/..., or to a pseudo-terminal); a missing entry means no
// device. Without the directory, COM 1..16 go to the system's serial devices
// in a stable order: USB and ACM adapters first, then the on-board ports. A
// port that is a system console (the kernel's messages, often a login) gets
// no number there.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace klv {

class PortsDirectory {
 public:
  static constexpr int MaxPorts = 16;

  // $XDG_CONFIG_HOME/kelvora32/ports, or ~/.config/kelvora32/ports.
  static QString DefaultPath();

  explicit PortsDirectory(QString path = DefaultPath());
  const QString& Path() const { return path_; }

  // The device path of COM n, or nothing when n has no device.
  std::optional<QString> DevicePath(int comNumber) const;

  // Orders device paths for the mapping without a ports directory (exposed
  // for tests): adapters (ttyUSB, ttyACM) before others, natural order within;
  // devices named in `consoles` are left out.
  static QStringList OrderSystemDevices(QStringList devicePaths, const QStringList& consoles = {});
  // Device names (ttyS0, tty0, ...) in the text of /proc/consoles.
  static QStringList ConsoleNames(const QByteArray& procConsoles);

 private:
  QString path_;
};

}  // namespace klv
