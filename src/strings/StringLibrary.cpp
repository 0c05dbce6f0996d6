#include "strings/StringLibrary.h"

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

}  // namespace klv
