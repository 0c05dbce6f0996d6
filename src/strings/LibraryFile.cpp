#include "strings/LibraryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <array>
#include <cerrno>
#include <cstring>

#include "common/ReplaceFile.h"

namespace klv {
namespace {

QString SystemReason(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

// Why `st` is no file to import from, or empty for a regular file.
QString KindProblem(const struct stat& st) {
  if (S_ISREG(st.st_mode))
    return {};
  if (S_ISDIR(st.st_mode))
    return QStringLiteral("it is a directory");
  if (S_ISFIFO(st.st_mode))
    return QStringLiteral("it is a named pipe (FIFO)");
  return QStringLiteral("it is not a regular file");
}

// Reads up to `buffer.size()` bytes from the start of the file at `name`
// into `buffer`; `count` is how many came. Returns the reason for a failure,
// empty on success. Only a regular file is opened: a FIFO would block and a
// serial device would raise its lines.
QString ReadHead(const QByteArray& name, std::span<std::uint8_t> buffer, std::size_t& count) {
  count = 0;
  struct stat st {};
  if (::stat(name.constData(), &st) != 0)
    return errno == ENOENT ? QStringLiteral("it does not exist") : SystemReason(errno);
  if (QString problem = KindProblem(st); !problem.isEmpty())
    return problem;
  // Without blocking, and looked at again once open: the entry may have been
  // replaced in between.
  const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0)
    return SystemReason(errno);
  QString problem;
  if (::fstat(fd, &st) != 0)
    problem = SystemReason(errno);
  else
    problem = KindProblem(st);
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

void SetError(QString* error, const QString& text) {
  if (error != nullptr)
    *error = text;
}

}  // namespace

void ClearLibrary(TStrngs& library) {
  SetLibraryDefaults(library);
}

bool ExportLibrary(const TStrngs& library, const QString& file, QString* error) {
  const QByteArray image(reinterpret_cast<const char*>(&library),
                         static_cast<qsizetype>(kLibraryFileSize));
  QString reason;
  if (ReplaceFile(file, image, &reason))
    return true;
  SetError(error, QString("Cannot export the string library to %1: %2.")
                      .arg(QFileInfo(file).absoluteFilePath(), reason));
  return false;
}

bool ImportLibraryImage(TStrngs& library, std::span<const std::uint8_t> image) {
  if (image.size() < kLibraryFileSize)
    return false;
  std::memcpy(static_cast<void*>(&library), image.data(), kLibraryFileSize);
  ClampLibrary(library);
  return true;
}

bool ImportLibrary(TStrngs& library, const QString& file, QString* error) {
  std::array<std::uint8_t, kLibraryFileSize> buffer{};
  std::size_t count = 0;
  QString problem = ReadHead(QFile::encodeName(file), buffer, count);
  if (problem.isEmpty() && count < kLibraryFileSize) {
    problem = QString("the file holds %1 bytes; a string library has %2")
                  .arg(count)
                  .arg(kLibraryFileSize);
  }
  if (!problem.isEmpty()) {
    SetError(error,
             QString("Cannot import %1: %2.").arg(QFileInfo(file).absoluteFilePath(), problem));
    return false;
  }
  return ImportLibraryImage(library, buffer);
}

}  // namespace klv
