// The string editor's model driven by key scripts: what typing and the keys
// do to the shown entry, its length byte, checksum and cursor, and what OK
// writes back.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "strings/StringEditor.h"
#include "support/FakeMessageService.h"
#include "support/RendererFakes.h"

namespace klv {
namespace {

struct Runner : IScriptRunner {
  void RunScript(const TStrngs& library, int channel, bool, bool) override {
    runs.emplace_back(library.CurrentNr, channel, library.Strings[7].Str.view());
  }
  std::vector<std::tuple<int, int, std::string>> runs;
};

struct Editor {
  explicit Editor(int lengthPos) {
    conf.Protocolparam.LengthPos = static_cast<std::uint16_t>(lengthPos);
    conf.Protocolparam.ChecksumStart = 1;  // the sum of all bytes, sent after the string
    conf.Protocolparam.ChecksumAlg = static_cast<std::uint8_t>(TChecksumAlg::Add);
    SetLibraryDefaults(live);
    live.GlobalSyntax = 2;  // the user's set above
    editor.SetScriptRunner(&runner);
  }
  TConf conf{};
  TStrngs live{};
  test::FakeMessageService messages;
  test::RecordingChannels channels;
  Runner runner;
  TStringEditor editor{conf, messages, channels};
};

// Keys after '~': Right, Left, Down, Up, Home, End, Insert, X Delete, Tab,
// < PgUp, > PgDn, 5 F5. Any other character is typed (8 is Backspace).
void Play(TStringEditor& editor, std::string_view keys) {
  static const std::string names = "RLDUHEIXT<>5";
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == '~')
      editor.Key(static_cast<TEditorKey>(names.find(keys[++i])));
    else
      editor.Type(keys[i]);
  }
}

TEST(StringEditorTest, KeyScriptsEditTheShownEntry) {
  const std::string full(255, 'x');
  // Length position (0 none), bytes, cursor, input (0 hex), edit (1 insert),
  // keys; bytes, cursor and refusals (O overwrite, D delete the length byte).
  const std::tuple<int, std::string, int, int, int, std::string, std::string, int, std::string>
      cases[] = {
          {0, "", 1, 1, 1, "AB", "AB", 3, ""},
          {5, "", 1, 1, 1, "abcd", "abcd\x05", 6, ""},  // steps over the length byte
          {5, "", 1, 1, 1, "abcde",
           "abcd\x06"
           "e",
           7, ""},
          {5, "", 1, 0, 1, "414243444", "ABCD\x05", 5, "O"},  // hex does not step over
          {5, "", 1, 1, 1, "abcd\b", "abcd\x05", 6, "D"},
          {0, "", 1, 0, 1, "4~L41", "A", 2, ""},  // a movement drops the pending digit
          {0, "", 1, 0, 1, "4\b4g1", "A", 2, ""},
          {0, "abc", 1, 0, 0, "4a42", "JBc", 3, ""},
          {0, "abc", 3, 1, 0, "\b\b\b", "abc", 1, ""},
          {0, "abc", 2, 1, 0, "XYZW", "aXYZW", 6, ""},
          {5, "abcd\x05", 3, 1, 0, "XY", "abXY\x05", 6, ""},
          {5, "abcd\x05", 5, 1, 0, "Z~X", "abcd\x05", 5, "OD"},
          // The length byte keeps its place when bytes before it come or go:
          // no byte of the user's is overwritten by the length.
          {5,
           "abcd\x06"
           "e",
           2, 1, 1, "X",
           "aXbc\x07"
           "de",
           3, ""},
          {5,
           "abcd\x06"
           "e",
           2, 1, 1, "~X", "acde\x05", 2, ""},
          {5,
           "abcd\x06"
           "e",
           5, 1, 1, "\b", "abce\x05", 4, ""},
          {5, "abcd\x05", 2, 1, 1, "~X", "acd", 2, ""},  // the length byte goes first
          {0, full, 256, 1, 1, "A", full, 256, ""},      // 255 bytes take no more
          {0, full, 256, 1, 0, "A", full, 256, ""},
          {0, full, 256, 0, 0, "41", full, 256, ""},
          {0, "abc", 300, 1, 1, "", "abc", 4, ""},  // a stored cursor past the end
          {0, "abc", 0, 1, 1, "~R~R~R~R", "abc", 4, ""},
          {0, std::string(40, 'y'), 1, 1, 1, "~D~D~D~E~U~U~U", std::string(40, 'y'), 9, ""},
          {0, "abc", 1, 1, 1, "~IX~H~I~TFF", "\xFFXbc", 2, ""},
      };
  for (const auto& [lp, bytes, cursor, input, edit, keys, want, wantCursor, refusals] : cases) {
    Editor e(lp);
    TLibString& entry = e.live.Strings[3];
    entry.Str.assign(bytes);
    entry.CursorPos = static_cast<std::uint16_t>(cursor);
    entry.InputMode = static_cast<std::uint8_t>(input);
    entry.EditMode = static_cast<std::uint8_t>(edit);
    e.live.CurrentNr = 3;
    e.editor.Begin(e.live);
    Play(e.editor, keys);
    std::string texts;
    for (const QString& text : e.messages.Texts())
      texts += text.contains(QLatin1String("delete")) ? 'D' : 'O';
    EXPECT_EQ(e.editor.Entry().Str.view(), want) << keys;
    EXPECT_EQ(e.editor.Cursor(), wantCursor) << keys;
    EXPECT_EQ(texts, refusals) << keys;
    EXPECT_EQ(e.live.Strings[3].Str.view(), bytes);  // the live library is untouched
  }
}

TEST(StringEditorTest, PagingStoresChecksumsAndOkWritesTheCopyBack) {
  Editor e(0);
  for (int i : {0, 1, 2})
    e.live.Strings[static_cast<std::size_t>(i)].Str.assign(std::string(1, char('a' + i)));
  e.live.Strings[7].Str.assign("X1");
  e.live.Strings[7].Syntax = static_cast<std::uint8_t>(TStringSyntax::Script);
  e.live.Strings[1].Checksum = 0x99;  // stale
  e.editor.Begin(e.live);
  Play(e.editor, "~<~>~>~<");  // nothing before string 001
  e.editor.Commit(e.live);
  EXPECT_EQ(e.live.CurrentNr, 1);
  EXPECT_EQ(e.live.Strings[1].Checksum, 'b');
  EXPECT_EQ(e.live.Strings[2].Checksum, 'c');
  Play(e.editor, "~5");
  e.editor.Transmit(1);
  EXPECT_EQ(e.channels.sent[0], "bb");  // the string, then its checksum
  e.editor.Show(150);
  Play(e.editor, "~>~5");  // nothing after string 100
  EXPECT_EQ(e.editor.Shown(), 99);
  e.editor.Show(7);
  Play(e.editor, "~5");
  EXPECT_EQ(e.runner.runs, (std::vector<std::tuple<int, int, std::string>>{{7, 0, "X1"}}));
  EXPECT_EQ(e.channels.sent[1], "bb");
}

}  // namespace
}  // namespace klv
