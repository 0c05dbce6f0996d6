#include "strings/LibraryGrid.h"

#include "common/Cp1252.h"

namespace klv {

bool TLibraryGrid::IsEmpty(const TLibString& entry) {
  return entry.Str.size() == 0 && entry.Name.size() == 0;
}

void TLibraryGrid::Clear(TLibString& entry) {
  entry.Str.assign({});
  entry.Name.assign({});
  entry.CursorPos = 1;
  entry.InputMode = 1;
  entry.EditMode = 1;
}

QString TLibraryGrid::CellText(int index) const {
  if (!IsEntry(index))
    return {};
  const std::string_view name = library_.Strings[static_cast<std::size_t>(index)].Name.view();
  return QStringLiteral("%1:").arg(index + 1, 3, 10, QLatin1Char('0')) + Cp1252ToQString(name);
}

TLibraryGrid::TResult TLibraryGrid::Cut(int index) {
  const TResult result = Copy(index);
  if (result == TResult::Done)
    Clear(Entry(index));
  return result;
}

TLibraryGrid::TResult TLibraryGrid::Copy(int index) {
  if (!IsEntry(index))
    return TResult::NoEntry;
  clip_ = Entry(index);
  hasClip_ = true;
  return TResult::Done;
}

TLibraryGrid::TResult TLibraryGrid::Paste(int index) {
  if (!IsEntry(index))
    return TResult::NoEntry;
  if (!hasClip_)
    return TResult::NothingToPaste;
  if (!IsEmpty(Entry(index)))
    return TResult::NotEmpty;
  Entry(index) = clip_;
  return TResult::Done;
}

TLibraryGrid::TResult TLibraryGrid::Delete(int index) {
  if (!IsEntry(index))
    return TResult::NoEntry;
  Clear(Entry(index));
  return TResult::Done;
}

bool TLibraryGrid::CanMove(int from, int to) const {
  // Onto itself would copy the entry over itself and then clear it.
  return IsEntry(from) && IsEntry(to) && from != to &&
         IsEmpty(library_.Strings[static_cast<std::size_t>(to)]);
}

TLibraryGrid::TResult TLibraryGrid::Move(int from, int to) {
  if (!IsEntry(from) || !IsEntry(to))
    return TResult::NoEntry;
  if (!CanMove(from, to))
    return TResult::NotEmpty;
  Entry(to) = Entry(from);
  Clear(Entry(from));
  return TResult::Done;
}

}  // namespace klv
