// The library of 100 transmit strings as it is stored in the configuration.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/PackedTypes.h"

namespace klv {

inline constexpr int kLibraryEntries = 100;

enum class TStringSyntax : std::uint8_t {
  Global = 0,
  None = 1,
  DisplayMode = 2,
  Protocol = 3,
  Script = 4
};

// One entry, 294 bytes.
struct TLibString {
  PascalString<255> Str;  // the bytes to transmit
  PascalString<20> Name;
  LeU16 CursorPos;             // editor cursor, 1-based
  std::uint8_t InputMode = 0;  // 0 Hex, 1 ASCII
  std::uint8_t EditMode = 0;   // 0 Overwrite, 1 Insert
  LeU16 Checksum;              // as the editor last computed it
  std::uint8_t Syntax = 0;     // TStringSyntax
  std::array<std::uint8_t, 10> Spare{};
};

// 29502 bytes.
struct TStrngs {
  std::array<TLibString, kLibraryEntries> Strings;
  LeU16 CurrentNr;                // index 0..99 of the current string
  std::uint8_t GlobalSyntax = 0;  // 1 None, 2 Display Mode, 3 Protocol
  std::array<std::uint8_t, 99> SpareBytes{};
};

static_assert(kIsPackedRecord<TStrngs>);
static_assert(sizeof(TLibString) == 294);
static_assert(offsetof(TLibString, Name) == 256);
static_assert(offsetof(TLibString, CursorPos) == 277);
static_assert(offsetof(TLibString, InputMode) == 279);
static_assert(offsetof(TLibString, EditMode) == 280);
static_assert(offsetof(TLibString, Checksum) == 281);
static_assert(offsetof(TLibString, Syntax) == 283);
static_assert(offsetof(TLibString, Spare) == 284);
static_assert(sizeof(TStrngs) == 29502);
static_assert(offsetof(TStrngs, CurrentNr) == 29400);
static_assert(offsetof(TStrngs, GlobalSyntax) == 29402);
static_assert(offsetof(TStrngs, SpareBytes) == 29403);

// The empty library: the defaults of a new configuration and the result of
// clearing the library.
void SetLibraryDefaults(TStrngs& library);

// Brings the values that index or size something into their ranges, for a
// library taken from a file as it was: a name length beyond its 20 bytes,
// CurrentNr beyond the last entry, a cursor outside 1 .. length + 1, and a
// syntax with no meaning (taken as "None", which is how such a value already
// chose its rules). Every other byte stays as it is.
void ClampLibrary(TStrngs& library);

}  // namespace klv
