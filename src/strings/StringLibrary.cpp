#include "strings/StringLibrary.h"

#include <algorithm>

namespace klv {

void SetLibraryDefaults(TStrngs& library) {
  library = TStrngs{};
  for (TLibString& entry : library.Strings) {
    entry.CursorPos = 1;
    entry.InputMode = 1;  // ASCII
    entry.EditMode = 1;   // Insert
  }
  library.GlobalSyntax = static_cast<std::uint8_t>(TStringSyntax::DisplayMode);
}

void ClampLibrary(TStrngs& library) {
  constexpr auto kNone = static_cast<std::uint8_t>(TStringSyntax::None);
  for (TLibString& entry : library.Strings) {
    entry.Name.length = static_cast<std::uint8_t>(entry.Name.size());
    const auto lastCursor = static_cast<std::uint16_t>(entry.Str.size() + 1);
    entry.CursorPos = std::clamp<std::uint16_t>(entry.CursorPos, 1, lastCursor);
    if (entry.Syntax > static_cast<std::uint8_t>(TStringSyntax::Script))
      entry.Syntax = kNone;
  }
  library.CurrentNr = std::min<std::uint16_t>(library.CurrentNr, kLibraryEntries - 1);
  if (library.GlobalSyntax < kNone ||
      library.GlobalSyntax > static_cast<std::uint8_t>(TStringSyntax::Protocol))
    library.GlobalSyntax = kNone;
}

}  // namespace klv
