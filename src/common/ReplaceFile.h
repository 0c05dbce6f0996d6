// Writing a whole file so that it is either replaced completely or left as
// it was.
#pragma once

#include <sys/types.h>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace klv {

// Puts `data` into the file at `path` in one step. An existing file is
// replaced by renaming a completely written and synced copy over it (through
// a symbolic link, the file it points to), so a failure at any point leaves
// it as it was and no temporary file behind. On failure `reason` holds the
// system's reason ("No space left on device", "File too large", ...).
bool ReplaceFile(const QString& path, const QByteArray& data, QString* reason);

// Writes all of `data` to `fd` at `offset`, however many writes it takes;
// false with errno set when that fails.
bool WriteAllAt(int fd, QByteArrayView data, off_t offset);

}  // namespace klv
