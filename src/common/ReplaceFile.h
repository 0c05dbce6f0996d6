// Writing a whole file so that it is either replaced completely or left as
// it was.
#pragma once

#include <QByteArray>
#include <QString>

namespace klv {

// Puts `data` into the file at `path` in one step. An existing file is
// replaced by renaming a completely written and synced copy over it (through
// a symbolic link, the file it points to), so a failure at any point leaves
// it as it was and no temporary file behind. On failure `reason` holds the
// system's reason ("No space left on device", "File too large", ...).
bool ReplaceFile(const QString& path, const QByteArray& data, QString* reason);

}  // namespace klv
