#include "strings/LibraryFile.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <array>
#include <cerrno>
#include <cstring>

#include "common/RegularFile.h"
#include "common/ReplaceFile.h"

namespace klv {
namespace {

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
  QString problem = ReadFileHead(file, buffer, count);
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
