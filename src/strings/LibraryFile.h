// The string library's own commands: clearing it, and its export file, which
// holds the library record exactly as it lies in the configuration.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <span>

#include "strings/StringLibrary.h"

namespace klv {

inline constexpr std::size_t kLibraryFileSize = sizeof(TStrngs);

// The empty library.
void ClearLibrary(TStrngs& library);

// Writes the library's 29502 bytes as the whole content of `file`, replacing
// it in one step: a failed export leaves an existing file as it was. False
// with `error` naming the file and the reason on failure.
bool ExportLibrary(const TStrngs& library, const QString& file, QString* error);

// Replaces `library` by the first 29502 bytes of `image` (more are ignored),
// clamped where a value would index or size something out of range. An image
// too short leaves the library as it was and returns false.
bool ImportLibraryImage(TStrngs& library, std::span<const std::uint8_t> image);

// Replaces `library` by the first 29502 bytes of the regular file `file`,
// as ImportLibraryImage does. A shorter file, one that is not a regular file
// (it is never opened then) or one that cannot be read leaves the library as
// it was: false with `error` naming the file and the reason.
bool ImportLibrary(TStrngs& library, const QString& file, QString* error);

}  // namespace klv
