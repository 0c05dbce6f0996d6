// The library dialog's operations on the live library, without widgets: the
// grid's cell order, moving an entry onto an empty one, and cut, copy, paste
// and delete through a one-entry clipboard. Nothing overwrites an entry that
// holds a string or a name.
#pragma once

#include <QString>

#include "strings/StringLibrary.h"

namespace klv {

class TLibraryGrid {
 public:
  // Numbers run down the columns: column 0 holds strings 001-025.
  static constexpr int kColumns = 4;
  static constexpr int kRows = 25;
  static constexpr int Index(int column, int row) { return column * kRows + row; }
  static constexpr int Column(int index) { return index / kRows; }
  static constexpr int Row(int index) { return index % kRows; }

  explicit TLibraryGrid(TStrngs& library) : library_(library) {}

  // Empty: neither bytes nor a name.
  static bool IsEmpty(const TLibString& entry);
  // Bytes and name gone, the editor's cursor and modes back to their
  // defaults; the checksum, syntax and reserved bytes stay.
  static void Clear(TLibString& entry);
  // "007:Poll".
  QString CellText(int index) const;

  // The clipboard's flag; cleared each time the dialog is shown and after
  // the string editor ran from the grid. The bytes stay.
  bool HasClip() const { return hasClip_; }
  void ForgetClip() { hasClip_ = false; }

  enum class TResult { Done, NothingToPaste, NotEmpty, NoEntry };
  TResult Cut(int index);
  TResult Copy(int index);
  // Only onto an empty entry; the clipboard keeps the string for more pastes.
  TResult Paste(int index);
  TResult Delete(int index);
  // Whether entry `from` may be dropped onto entry `to`: only onto another,
  // empty entry.
  bool CanMove(int from, int to) const;
  // All of `from` onto `to`, then `from` is cleared.
  TResult Move(int from, int to);

 private:
  static bool IsEntry(int index) { return index >= 0 && index < kLibraryEntries; }
  TLibString& Entry(int index) { return library_.Strings[static_cast<std::size_t>(index)]; }

  TStrngs& library_;
  TLibString clip_{};
  bool hasClip_ = false;
};

}  // namespace klv
