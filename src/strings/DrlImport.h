// Import from the configuration file of the DRL, a sibling device program:
// the first 76 strings of its string library and its string protocol
// parameters. Only the head of the file is read; the rest of its layout is of
// no use here.
#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <span>

#include "conf/ConfRecord.h"

namespace klv {

// The part of a DRL configuration file that is read.
inline constexpr std::size_t kDrlImageSize = 21035;
inline constexpr int kDrlStrings = 76;

// Where things lie in the DRL file (little-endian). A string[n] there is a
// length byte and n bytes of room.
inline constexpr std::size_t kDrlStringTable = 16;
inline constexpr std::size_t kDrlEntrySize = 276;  // 4 unused, string[255], string[15]
inline constexpr std::size_t kDrlEntryStr = 4;     // string[255]
inline constexpr std::size_t kDrlEntryName = 260;  // string[15]
inline constexpr std::size_t kDrlNameRoom = 15;
inline constexpr std::size_t kDrlChecksumStart = 20995;
inline constexpr std::size_t kDrlChecksumEnd = 20997;
inline constexpr std::size_t kDrlLengthPos = 21001;  // signed
inline constexpr std::size_t kDrlLengthAdjust = 21015;
inline constexpr std::size_t kDrlChecksumAlg = 21017;  // low byte used
inline constexpr std::size_t kDrlChecksumPos = 21029;

static_assert(kDrlStringTable + kDrlStrings * kDrlEntrySize == 20992);
static_assert(kDrlEntryName + 1 + kDrlNameRoom == kDrlEntrySize);
static_assert(kDrlChecksumPos + 2 <= kDrlImageSize);

struct TDrlImportChoice {
  bool Strings = true;       // the first 76 library strings
  bool Parameters = true;    // the string protocol parameters
  bool ConvertNames = true;  // Swedish letters in names from IBM-PC to Windows codes
};

struct TDrlImportResult {
  // One line per imported string: "NN Name:   name".
  QStringList Names;
  // Why part of the parameters was not taken; empty when all were.
  QString ParameterError;
};

// The Windows code of the six Swedish letters (ä å Ä Å ö Ö) given in the
// IBM-PC character set; every other code as it is.
std::uint8_t IbmToWindowsSwedish(std::uint8_t code);

// Replaces library entries 0..75 by the file's strings and makes entry 0 the
// current one with the global syntax "Display Mode"; entries 76..99 stay.
// A length byte that claims more than its room is cut to the room. Returns
// the lines that list the names.
QStringList ImportDrlStrings(TStrngs& library, std::span<const std::uint8_t, kDrlImageSize> image,
                             bool convertNames);

// Takes the file's checksum start, end and position as they are, checksum
// style "1-byte binary" and the file's algorithm. A negative length position
// is refused: then the length position, length adjustment, style and
// algorithm stay as they were and false is returned with `error` saying why.
bool ImportDrlParameters(TProtocolparam& params, std::span<const std::uint8_t, kDrlImageSize> image,
                         QString* error);

// What the user chose, from an image of the file's head. An image shorter
// than kDrlImageSize changes nothing and returns false.
bool ImportDrlImage(TConf& conf, std::span<const std::uint8_t> image,
                    const TDrlImportChoice& choice, TDrlImportResult& result);

// As ImportDrlImage, from the regular file `file`. A file that cannot be
// opened or read, or that is too short for a DRL configuration, changes
// nothing: false with `error` naming the file and the reason.
bool ImportDrlFile(TConf& conf, const QString& file, const TDrlImportChoice& choice,
                   TDrlImportResult& result, QString* error);

}  // namespace klv
