#include "common/ui/PdfFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace klv {

QString DefaultPdfDirectory() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!documents.isEmpty() && QFileInfo(documents).isDir())
    return documents;
  return QDir::homePath();
}

QString NewPdfFileName(const QString& directory, const QString& what) {
  const QDir folder(directory);
  const QString base = QStringLiteral("Kelvora32 ") + what + QLatin1Char(' ') +
                       QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HHmmss"));
  QString path = folder.filePath(base + QStringLiteral(".pdf"));
  for (int n = 2; QFileInfo::exists(path); ++n)
    path = folder.filePath(base + QStringLiteral(" (%1).pdf").arg(n));
  return path;
}

}  // namespace klv
