// The console model without a window: writing, wrapping, the ring of rows, the attribute table.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>

#include "display/Console.h"

namespace klv {
namespace {

std::string Trimmed(std::string_view row) {
  return std::string(row.substr(0, row.find_last_not_of(' ') + 1));
}

TFixedFont Coloured(TColor color, std::uint8_t style = 0) {
  return {QStringLiteral("Fixedsys"), -13, style, color};
}

// Every attribute's count equals the cells that use it; no cell uses a free slot.
void ExpectCountsMatchCells(const TColorConsoleBuffer& console) {
  std::map<int, std::int64_t> cells;
  for (int y = 0; y < console.Rows(); ++y)
    for (int x = 0; x < console.Cols(); ++x)
      ++cells[console.AttrAt(x, y)];
  for (int i = 0; i < console.Attrs().SlotCount(); ++i) {
    const std::int64_t refs = console.Attrs().IsFree(i) ? 0 : console.Attrs().At(i).RefCount;
    EXPECT_EQ(cells[i], refs) << "slot " << i;
  }
}

// Records beeps ("B") and scrolls ("S") in order.
class RecordingView : public IConsoleView {
 public:
  void RowChanged(int, int, int) override {}
  void ScrolledUp() override { events += 'S'; }
  void AllChanged() override {}
  void CursorMoved() override {}
  void Beep() override { events += 'B'; }
  std::string events;
};

TEST(ConsoleModel, WritesLikeATerminal) {
  using enum TConsoleLineBreak;
  std::string controls;  // all but BEL, BS, LF and CR are dropped
  for (char c = 1; c < 32; ++c)
    if (c != 7 && c != 8 && c != 10 && c != 13)
      controls += c;
  // Line break, input; then the rows of the 10 x 4 console trimmed, the cursor, beeps and scrolls.
  const std::tuple<TConsoleLineBreak, std::string, std::vector<std::string>, int, int, std::string>
      cases[] = {
          {CRLF, "0123456789", {"0123456789", "", "", ""}, 0, 1, ""},  // a full row wraps
          {CRLF, "0123456789abc", {"0123456789", "abc", "", ""}, 3, 1, ""},
          {CRLF, "\babc\b", {"ab", "", "", ""}, 2, 0, ""},  // BS blanks leftwards, not past 0
          {CRLF, "ab\ncd\rX", {"ab", "X cd", "", ""}, 1, 1, ""},
          {LF, "ab\ncd\rX", {"ab", "Xd", "", ""}, 1, 1, ""},
          {CR, "ab\rcd\n", {"ab", "cd", "", ""}, 2, 2, ""},
          {CRLF, "ab" + controls + "\a", {"ab", "", "", ""}, 2, 0, "B"},
          {CRLF, "\xE5\x80\xFF", {"\xE5\x80\xFF", "", "", ""}, 3, 0, ""},
          {CRLF, "1\r\n2\r\n3\r\n4\r\n5\r\n6", {"3", "4", "5", "6"}, 1, 3, "SS"},
      };
  for (const auto& [lineBreak, input, rows, x, y, events] : cases) {
    TColorConsoleBuffer console;
    RecordingView view;
    console.SetSize(10, 4);
    console.SetView(&view);
    console.SetLineBreak(lineBreak);
    console.WriteString(input);
    std::vector<std::string> shown;
    for (int row = 0; row < console.Rows(); ++row)
      shown.push_back(Trimmed(console.RowText(row)));
    EXPECT_EQ(std::tuple(shown, console.CursorX(), console.CursorY(), view.events),
              std::tuple(rows, x, y, events))
        << input;
  }
}

// The same stream written whole and split at every position ends the same.
TEST(ConsoleModelSplit, ChunkSplitsDoNotChangeTheResult) {
  std::string text = "Hello\r\nworld\bX\a\x01\x1B[2J\ttab\n";
  text += std::string(150, 'w');                         // wraps on a 40-column console
  text += "\r\n\r\nend\x7F\xC4" + std::string(35, 'e');  // ends on the last column
  const auto run = [&](std::size_t split) {
    auto console = std::make_unique<TColorConsoleBuffer>();
    console->SetSize(40, 6);  // small enough to scroll
    for (const TColor color : {clBlack, clBlue}) {
      console->Font = Coloured(color, color == clBlue ? FontStyle::Underline : 0);
      const std::size_t cut = std::min(split, text.size());
      console->WriteString(std::string_view(text).substr(0, cut));
      for (char c : std::string_view(text).substr(cut, 3))
        console->WriteChar(c);
      console->WriteString(std::string_view(text).substr(std::min(cut + 3, text.size())));
    }
    return console;
  };

  const auto whole = run(std::string::npos);
  for (std::size_t split = 0; split <= text.size(); ++split) {
    const auto parts = run(split);
    ASSERT_EQ(parts->CursorX(), whole->CursorX()) << split;
    ASSERT_EQ(parts->CursorY(), whole->CursorY()) << split;
    for (int y = 0; y < whole->Rows(); ++y) {
      ASSERT_EQ(parts->RowText(y), whole->RowText(y)) << "split " << split << " row " << y;
      for (int x = 0; x < whole->Cols(); ++x)
        ASSERT_EQ(parts->Attrs().At(parts->AttrAt(x, y)).Font,
                  whole->Attrs().At(whole->AttrAt(x, y)).Font)
            << "split " << split << " cell " << x << "," << y;
    }
  }
}

TEST(ConsoleModelRing, ManyWrapsKeepTheNewestRowsInOrder) {
  TColorConsoleBuffer console;
  console.SetSize(10, 7);
  for (int i = 0; i < 10000; ++i) {
    console.Font = Coloured(static_cast<TColor>(i % 3));
    console.WriteString(std::to_string(i) + "\r\n");
  }
  for (int y = 0; y < 6; ++y)
    EXPECT_EQ(Trimmed(console.RowText(y)), std::to_string(9994 + y));
  EXPECT_EQ(Trimmed(console.RowText(6)), "");
  EXPECT_EQ(console.TopRow(), (10000 - 6) % 7);
  ExpectCountsMatchCells(console);

  console.SetSize(20, 10);  // a new size blanks everything, with the current font
  EXPECT_EQ(Trimmed(console.RowText(9)), "");
  EXPECT_EQ(console.Attrs().UsedCount(), 1);
  ExpectCountsMatchCells(console);
}

TEST(ConsoleModelRandom, AttributeCountsAlwaysMatchTheCells) {
  std::mt19937 random(7);
  TColorConsoleBuffer console;
  console.SetSize(13, 5);
  const std::string alphabet = "abc\r\n\b\x01 xyz";
  for (int step = 0; step < 3000 && !HasFailure(); ++step) {  // checked after every step
    console.Font =
        Coloured(static_cast<TColor>(random() % 5), static_cast<std::uint8_t>(random() % 2));
    std::string text;
    for (std::size_t i = random() % 30; i > 0; --i)
      text.push_back(alphabet[random() % alphabet.size()]);
    console.WriteString(text);
    if (random() % 50 == 0) {
      console.GotoXY(static_cast<int>(random() % 20) - 3, static_cast<int>(random() % 8) - 2);
      ASSERT_TRUE(console.CursorX() >= 0 && console.CursorX() < 13);  // clamped to the grid
      ASSERT_TRUE(console.CursorY() >= 0 && console.CursorY() < 5);
    }
    if (random() % 400 == 0)
      console.Clear();
    ExpectCountsMatchCells(console);
  }
  // Ten fonts and the first blank cells' own: freed slots are taken again.
  EXPECT_LE(console.Attrs().SlotCount(), 11);
}

}  // namespace
}  // namespace klv
