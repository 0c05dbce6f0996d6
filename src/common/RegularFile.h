// Reading files the user names without ever opening anything but a regular
// file: opening a FIFO would block the window, opening a serial device would
// raise its lines.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <span>

namespace klv {

// Why the entry at `path` is no file to read ("it does not exist", "it is a
// directory", "it is a named pipe (FIFO)", a dangling link, ...), or empty
// for a regular file (directly or through links). Only looks.
QString RegularFileProblem(const QString& path);

// Reads up to buffer.size() bytes from the start of the regular file at
// `path` into `buffer`; `count` is how many came. Returns the reason for a
// failure, empty on success. The file is looked at again once open, since
// the entry may have been replaced in between.
QString ReadFileHead(const QString& path, std::span<std::uint8_t> buffer, std::size_t& count);

}  // namespace klv
