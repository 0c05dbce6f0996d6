#include "common/ReplaceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace klv {

bool WriteAllAt(int fd, QByteArrayView data, off_t offset) {
  qsizetype done = 0;
  while (done < data.size()) {
    const ssize_t written = ::pwrite(fd, data.data() + done,
                                     static_cast<std::size_t>(data.size() - done), offset + done);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0) {
      if (written == 0)
        errno = ENOSPC;
      return false;
    }
    done += written;
  }
  return true;
}

// QSaveFile is not used: in Qt 6.4 it can report success after a write
// failed, and after a failed commit its error text is "Unknown error".
bool ReplaceFile(const QString& path, const QByteArray& data, QString* reason) {
  const QFileInfo info(path);
  const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
  const QByteArray targetName = QFile::encodeName(target);
  struct stat old {};
  const bool exists = ::stat(targetName.constData(), &old) == 0;

  QByteArray writeName = targetName;
  int fd = -1;
  // A file the user may not write stays as it is, although the directory
  // would let a new one take its place.
  if (exists && ::access(targetName.constData(), W_OK) != 0) {
    *reason = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  if (exists) {
    const QFileInfo targetInfo(target);
    writeName = QFile::encodeName(targetInfo.absolutePath() + QStringLiteral("/.") +
                                  targetInfo.fileName() + QStringLiteral(".XXXXXX"));
    fd = ::mkostemp(writeName.data(), O_CLOEXEC);
    if (fd >= 0)
      ::fchmod(fd, old.st_mode & 07777);
  } else {
    fd = ::open(writeName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  }
  if (fd < 0) {
    *reason = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  bool written = WriteAllAt(fd, data, 0) && ::fsync(fd) == 0;
  int error = errno;
  if (::close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && exists && ::rename(writeName.constData(), targetName.constData()) != 0) {
    written = false;
    error = errno;
  }
  if (!written) {
    ::unlink(writeName.constData());
    *reason = QString::fromLocal8Bit(std::strerror(error));
  }
  return written;
}

}  // namespace klv
