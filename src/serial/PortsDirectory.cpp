#include "serial/PortsDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QtGlobal>
#include <algorithm>
#include <utility>

namespace klv {
namespace {

// Compares names so that digit runs compare by value: ttyS2 < ttyS10.
bool NaturalLess(const QString& a, const QString& b) {
  qsizetype i = 0;
  qsizetype j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      qsizetype ie = i;
      qsizetype je = j;
      while (ie < a.size() && a[ie].isDigit())
        ++ie;
      while (je < b.size() && b[je].isDigit())
        ++je;
      // Compare the digit runs without leading zeros, first by length.
      qsizetype is = i;
      qsizetype js = j;
      while (is + 1 < ie && a[is] == u'0')
        ++is;
      while (js + 1 < je && b[js] == u'0')
        ++js;
      if (ie - is != je - js)
        return ie - is < je - js;
      for (; is < ie; ++is, ++js) {
        if (a[is] != b[js])
          return a[is] < b[js];
      }
      i = ie;
      j = je;
      continue;
    }
    if (a[i] != b[j])
      return a[i] < b[j];
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

bool IsAdapter(const QString& devicePath) {
  const QString name = QFileInfo(devicePath).fileName();
  return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

}  // namespace

QString PortsDirectory::DefaultPath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  // XDG_CONFIG_HOME counts only when absolute; a relative value is ignored.
  if (base.isEmpty() || QDir::isRelativePath(base))
    base = QDir::homePath() + "/.config";
  return QDir::cleanPath(base + "/kelvora32/ports");
}

PortsDirectory::PortsDirectory(QString path) : path_(std::move(path)) {}

std::optional<QString> PortsDirectory::DevicePath(int comNumber) const {
  if (comNumber < 1 || comNumber > MaxPorts)
    return std::nullopt;

  if (QFileInfo(path_).isDir()) {
    // exists() follows symlinks, so a link to an unplugged adapter counts as missing.
    const QFileInfo entry(path_ + "/COM" + QString::number(comNumber));
    if (!entry.exists())
      return std::nullopt;
    QString device = entry.canonicalFilePath();
    if (device.isEmpty())
      return std::nullopt;
    return device;
  }

  QStringList devices;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    const QString location = info.systemLocation();
    if (!location.isEmpty() && !devices.contains(location))
      devices << location;
  }
  QFile consoles(QStringLiteral("/proc/consoles"));
  devices = OrderSystemDevices(
      devices,
      ConsoleNames(consoles.open(QIODevice::ReadOnly) ? consoles.readAll() : QByteArray()));
  if (comNumber > devices.size())
    return std::nullopt;
  return devices[comNumber - 1];
}

QStringList PortsDirectory::ConsoleNames(const QByteArray& procConsoles) {
  // One console a line: its name first, then flags and the device number.
  QStringList names;
  for (const QByteArray& line : procConsoles.split('\n')) {
    const QByteArray name = line.simplified().split(' ').value(0);
    if (!name.isEmpty())
      names << QString::fromLocal8Bit(name);
  }
  return names;
}

QStringList PortsDirectory::OrderSystemDevices(QStringList devicePaths,
                                               const QStringList& consoles) {
  devicePaths.removeIf(
      [&](const QString& path) { return consoles.contains(QFileInfo(path).fileName()); });
  std::stable_sort(devicePaths.begin(), devicePaths.end(), [](const QString& a, const QString& b) {
    const bool adapterA = IsAdapter(a);
    const bool adapterB = IsAdapter(b);
    if (adapterA != adapterB)
      return adapterA;
    const QString nameA = QFileInfo(a).fileName();
    const QString nameB = QFileInfo(b).fileName();
    if (NaturalLess(nameA, nameB))
      return true;
    if (NaturalLess(nameB, nameA))
      return false;
    return NaturalLess(a, b);
  });
  return devicePaths;
}

}  // namespace klv
