#include "common/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace klv {
namespace {

QString SystemReason(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

QString KindProblem(const struct stat& entry) {
  if (S_ISREG(entry.st_mode))
    return {};
  if (S_ISDIR(entry.st_mode))
    return QStringLiteral("it is a directory");
  if (S_ISFIFO(entry.st_mode))
    return QStringLiteral("it is a named pipe (FIFO)");
  return QStringLiteral("it is not a regular file");
}

}  // namespace

QString RegularFileProblem(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  struct stat entry {};
  if (::stat(name.constData(), &entry) != 0) {
    const int error = errno;
    if (error != ENOENT)
      return "it cannot be reached: " + SystemReason(error);
    if (::lstat(name.constData(), &entry) == 0 && S_ISLNK(entry.st_mode))
      return QString("it is a link to %1, which does not exist")
          .arg(QFileInfo(path).symLinkTarget());
    return QStringLiteral("it does not exist");
  }
  return KindProblem(entry);
}

QString ReadFileHead(const QString& path, std::span<std::uint8_t> buffer, std::size_t& count) {
  count = 0;
  if (QString problem = RegularFileProblem(path); !problem.isEmpty())
    return problem;
  const int fd =
      ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0)
    return SystemReason(errno);
  struct stat opened {};
  QString problem = ::fstat(fd, &opened) != 0 ? SystemReason(errno) : KindProblem(opened);
  while (problem.isEmpty() && count < buffer.size()) {
    const ssize_t got = ::read(fd, buffer.data() + count, buffer.size() - count);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      problem = SystemReason(errno);
    if (got <= 0)
      break;
    count += static_cast<std::size_t>(got);
  }
  ::close(fd);
  return problem;
}

}  // namespace klv
