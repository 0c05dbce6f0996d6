// The string editor's model: a working copy of the library, the entry shown,
// its cursor and modes, the pending hex digit, and what each typed character
// and key does to the shown entry. The dialog draws it; nothing here needs a
// window.
#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "common/MessageService.h"
#include "common/ReceiveInterfaces.h"
#include "conf/ConfRecord.h"
#include "protocol/ProtocolParam.h"
#include "strings/StringLibrary.h"
#include "strings/StringTransmitter.h"

namespace klv {

enum class TEditorKey {
  Right,
  Left,
  Down,
  Up,
  Home,
  End,
  Insert,
  Delete,
  Tab,
  PageUp,
  PageDown,
  F5
};

class TStringEditor {
 public:
  static constexpr int kMaxLength = 255;

  TStringEditor(const TConf& conf, IMessageService& messages, IChannelServices& channels);
  // Without a runner, script strings are not run from the editor.
  void SetScriptRunner(IScriptRunner* runner) { runner_ = runner; }

  // Takes a working copy of `live` and shows its current string.
  void Begin(const TStrngs& live);
  // OK: the shown entry becomes the current string and the working copy
  // replaces `live`.
  void Commit(TStrngs& live);

  const TStrngs& Copy() const { return copy_; }
  int Shown() const { return shown_; }
  const TLibString& Entry() const { return copy_.Strings[static_cast<std::size_t>(shown_)]; }
  const TProtocolparam& Rules() const { return rules_; }
  std::uint8_t Checksum() const { return checksum_; }
  int Cursor() const { return Entry().CursorPos; }
  int Length() const { return static_cast<int>(Entry().Str.size()); }
  bool HexInput() const { return Entry().InputMode == 0; }
  bool InsertMode() const { return Entry().EditMode != 0; }
  bool Pending() const { return pending_; }
  char PendingDigit() const { return pendingDigit_; }
  // Whether byte i (1-based) lies in the checksum's range or is the placed
  // checksum: those are drawn in blue.
  bool InChecksumRange(int i) const;

  // Selects another entry (clamped to the table); nothing pending.
  void Show(int index);
  // A typed character, as the key-press handler gets it (8 is Backspace).
  // Returns false for a hex-mode character that is ignored without redraw.
  bool Type(char c);
  void Key(TEditorKey key);
  void ToggleInputMode();
  void ClearString();
  void EraseString();
  void SetName(std::string_view name);
  void SetSyntax(int syntax);
  // Channel 0 or 1, from the working copy: a script entry is run with the
  // working copy, anything else sent with the checksum after it where the
  // rules put it there.
  void Transmit(int channel);

  // The shown entry with its length byte and checksum put in place by its
  // rule set, as every change ends. Stores both in the working copy.
  void Redraw();

 private:
  TLibString& Edited() { return copy_.Strings[static_cast<std::size_t>(shown_)]; }
  void SetCursor(int cursor) { Edited().CursorPos = static_cast<std::uint16_t>(cursor); }
  void Refuse(const char* text);
  // Inserts (count 1) or deletes (count -1) at 1-based position `at`, the
  // length byte staying at its position when the string reaches it.
  void Splice(int at, int count, char byte = 0);
  void TypeAscii(char c);
  void TypeHex(char c);
  void BackspaceInsert();
  void Put(char byte);  // the byte at the cursor in overwrite mode

  const TConf& conf_;
  IMessageService& messages_;
  IChannelServices& channels_;
  IScriptRunner* runner_ = nullptr;
  TStrngs copy_{};
  int shown_ = 0;
  TProtocolparam rules_{};
  std::uint8_t checksum_ = 0;
  bool pending_ = false;
  char pendingDigit_ = 0;
};

}  // namespace klv
