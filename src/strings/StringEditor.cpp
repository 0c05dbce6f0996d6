#include "strings/StringEditor.h"

#include <algorithm>
#include <cstring>

#include "protocol/ProtocolRules.h"
#include "strings/StringRules.h"

namespace klv {
namespace {

constexpr char kBackspace = 8;

int HexValue(char digit) {
  return digit <= '9' ? digit - '0' : digit - 'A' + 10;
}

}  // namespace

TStringEditor::TStringEditor(const TConf& conf, IMessageService& messages,
                             IChannelServices& channels)
    : conf_(conf), messages_(messages), channels_(channels) {}

void TStringEditor::Begin(const TStrngs& live) {
  copy_ = live;
  pending_ = false;
  shown_ = std::clamp<int>(copy_.CurrentNr, 0, kLibraryEntries - 1);
  Redraw();
}

void TStringEditor::Commit(TStrngs& live) {
  copy_.CurrentNr = static_cast<std::uint16_t>(shown_);
  live = copy_;
}

void TStringEditor::Redraw() {
  rules_ = GetStringRules(conf_, copy_, shown_);
  TLibString& entry = Edited();
  ApplyLengthByte(entry, rules_);
  checksum_ = ApplyChecksum(entry, rules_);
  // A cursor kept from elsewhere (an imported library, a string the rules
  // have changed) is brought back onto the string or the cell after it.
  SetCursor(std::clamp<int>(entry.CursorPos, 1, Length() + 1));
}

bool TStringEditor::InChecksumRange(int i) const {
  const int start = rules_.ChecksumStart;
  const int pos = rules_.ChecksumPos;
  const int len = Length();
  return (start != 0 && start <= i && i <= len - rules_.ChecksumEnd) ||
         (pos >= 1 && start < i && len - pos <= i && i < len);
}

void TStringEditor::Show(int index) {
  shown_ = std::clamp(index, 0, kLibraryEntries - 1);
  pending_ = false;
  Redraw();
}

void TStringEditor::Refuse(const char* text) {
  messages_.Information(QString::fromLatin1(text));
}

void TStringEditor::Splice(int at, int count, char byte) {
  // The length byte belongs to its position, not to the bytes around it:
  // it is taken out, the edit is made on the others and it goes back to its
  // place. Shifting it along with them would have the next redraw write the
  // length over a byte of the user's and leave the old length as data.
  std::string s(Entry().Str.view());
  const int lp = rules_.LengthPos;
  const bool lengthByte = lp != 0 && static_cast<int>(s.size()) >= lp;
  char length = 0;
  if (lengthByte) {
    length = s[static_cast<std::size_t>(lp - 1)];
    s.erase(static_cast<std::size_t>(lp - 1), 1);
    if (at > lp)
      --at;
  }
  const auto index = static_cast<std::size_t>(at - 1);
  if (count > 0)
    s.insert(index, 1, byte);
  else if (index < s.size())
    s.erase(index, 1);
  if (lengthByte && static_cast<int>(s.size()) >= lp)
    s.insert(static_cast<std::size_t>(lp - 1), 1, length);
  TLibString& entry = Edited();
  std::memcpy(entry.Str.chars.data(), s.data(), s.size());
  entry.Str.length = static_cast<std::uint8_t>(s.size());
}

void TStringEditor::Put(char byte) {
  TLibString& entry = Edited();
  const int cur = Cursor();
  if (cur <= Length())
    entry.Str.chars[static_cast<std::size_t>(cur - 1)] = byte;
  else if (Length() < kMaxLength)
    entry.Str.chars[entry.Str.length++] = byte;
  if (Length() < kMaxLength)
    SetCursor(cur + 1);
}

void TStringEditor::BackspaceInsert() {
  const int cur = Cursor();
  if (cur <= 1)
    return;
  if (cur - 1 == rules_.LengthPos) {
    Refuse("You may not delete the length byte");
    return;
  }
  SetCursor(cur - 1);
  Splice(cur - 1, -1);
}

bool TStringEditor::Type(char c) {
  if (HexInput()) {
    if (c >= 'a' && c <= 'f')
      c = static_cast<char>(c - 'a' + 'A');
    if (c != kBackspace && !(c >= '0' && c <= '9') && !(c >= 'A' && c <= 'F'))
      return false;
    TypeHex(c);
  } else {
    TypeAscii(c);
  }
  Redraw();
  return true;
}

void TStringEditor::TypeAscii(char c) {
  const int cur = Cursor();
  const int lp = rules_.LengthPos;
  if (c == kBackspace) {
    if (InsertMode())
      BackspaceInsert();
    else if (cur > 1)
      SetCursor(cur - 1);
    return;
  }
  if (InsertMode() && Length() >= kMaxLength)
    return;
  if (cur == lp) {
    Refuse("You may not overwrite the length byte");
    return;
  }
  if (InsertMode()) {
    Splice(cur, 1, c);
    SetCursor(cur + 1);
  } else {
    Put(c);
  }
  if (Cursor() == lp)
    SetCursor(Cursor() + 1);
}

void TStringEditor::TypeHex(char c) {
  const int cur = Cursor();
  if (c == kBackspace) {
    if (pending_)
      pending_ = false;
    else if (InsertMode())
      BackspaceInsert();
    else if (cur > 1)
      SetCursor(cur - 1);
    return;
  }
  if (InsertMode() ? Length() >= kMaxLength : cur > kMaxLength)
    return;
  if (cur == rules_.LengthPos) {
    Refuse("You may not overwrite the length byte");
    return;
  }
  if (!pending_) {
    pending_ = true;
    pendingDigit_ = c;
    return;
  }
  pending_ = false;
  const auto byte = static_cast<char>(16 * HexValue(pendingDigit_) + HexValue(c));
  if (InsertMode()) {
    Splice(cur, 1, byte);
    SetCursor(cur + 1);
  } else {
    Put(byte);
  }
}

void TStringEditor::Key(TEditorKey key) {
  const int cur = Cursor();
  const int len = Length();
  switch (key) {
    case TEditorKey::Right:
      if (cur <= len && cur < 256)
        SetCursor(cur + 1);
      break;
    case TEditorKey::Left:
      if (cur > 1)
        SetCursor(cur - 1);
      break;
    case TEditorKey::Down:
      if (cur < 241 && cur + 16 <= len + 1)
        SetCursor(cur + 16);
      break;
    case TEditorKey::Up:
      if (cur > 16)
        SetCursor(cur - 16);
      break;
    case TEditorKey::Home:
      SetCursor(1);
      break;
    case TEditorKey::End:
      SetCursor(len + 1);
      break;
    case TEditorKey::Insert:
      Edited().EditMode = InsertMode() ? 0 : 1;
      break;
    case TEditorKey::Delete:
      if (cur == rules_.LengthPos)
        Refuse("You may not delete the length byte");
      else if (pending_)
        pending_ = false;
      else
        Splice(cur, -1);
      break;
    case TEditorKey::Tab:
      ToggleInputMode();
      return;
    case TEditorKey::PageUp:
    case TEditorKey::PageDown:
      Show(shown_ + (key == TEditorKey::PageUp ? -1 : 1));
      return;
    case TEditorKey::F5:
      Transmit(0);
      return;
  }
  if (key != TEditorKey::Delete)
    pending_ = false;
  Redraw();
}

void TStringEditor::ToggleInputMode() {
  Edited().InputMode = HexInput() ? 1 : 0;
  pending_ = false;
  Redraw();
}

void TStringEditor::ClearString() {
  Edited().Str.length = 0;
  SetCursor(1);
  pending_ = false;
  Redraw();
}

void TStringEditor::EraseString() {
  TLibString& entry = Edited();
  entry.Str.length = 0;
  entry.Name.length = 0;
  entry.CursorPos = 1;
  entry.InputMode = 1;
  entry.EditMode = 1;
  pending_ = false;
  Redraw();
}

void TStringEditor::SetName(std::string_view name) {
  Edited().Name.assign(name);
}

void TStringEditor::SetSyntax(int syntax) {
  Edited().Syntax = static_cast<std::uint8_t>(std::clamp(syntax, 0, 4));
  Redraw();
}

void TStringEditor::Transmit(int channel) {
  // A port may have closed since the dialog was shown: nothing is sent then.
  if (channels_.ChannelAvailable(channel)) {
    const TProtocolparam rules = GetStringRules(conf_, copy_, shown_);
    if (Entry().Syntax == static_cast<std::uint8_t>(TStringSyntax::Script)) {
      if (runner_ != nullptr) {
        TStrngs library = copy_;
        library.CurrentNr = static_cast<std::uint16_t>(shown_);
        runner_->RunScript(library, channel, true, true);
      }
    } else {
      channels_.OutputString(channel, Entry().Str.view());
      const std::string suffix =
          ChecksumSuffix(static_cast<std::uint8_t>(Entry().Checksum.get()), rules);
      if (!suffix.empty())
        channels_.OutputString(channel, suffix);
    }
  }
  Redraw();
}

}  // namespace klv
