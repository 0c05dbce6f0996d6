// The console model: writing, wrapping, the ring of rows, the cursor and the
// attribute table, without any window.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "display/Console.h"

namespace klv {
namespace {

std::string Trimmed(std::string_view row) {
  std::string text(row);
  while (!text.empty() && text.back() == ' ')
    text.pop_back();
  return text;
}

class RecordingView : public IConsoleView {
 public:
  void RowChanged(int row, int first, int last) override { changes.push_back({row, first, last}); }
  void ScrolledUp() override { ++scrolls; }
  void AllChanged() override { ++allChanged; }
  void CursorMoved() override {}
  void Beep() override { ++beeps; }

  struct Change {
    int row, first, last;
  };
  std::vector<Change> changes;
  int scrolls = 0;
  int allChanged = 0;
  int beeps = 0;
};

TFixedFont Coloured(TColor color, std::uint8_t style = 0) {
  TFixedFont font;
  font.Name = "Fixedsys";
  font.Height = -17;
  font.Color = color;
  font.Style = style;
  return font;
}

// Every attribute's count equals the cells that use it, and free slots are
// exactly those no cell uses.
void ExpectCountsMatchCells(const TColorConsoleBuffer& console) {
  std::map<int, std::int64_t> cells;
  for (int y = 0; y < console.Rows(); ++y) {
    for (int x = 0; x < console.Cols(); ++x)
      ++cells[console.AttrAt(x, y)];
  }
  const TAttrManager& attrs = console.Attrs();
  for (int i = 0; i < attrs.SlotCount(); ++i) {
    if (attrs.IsFree(i)) {
      EXPECT_EQ(cells.count(i), 0u) << "a cell uses free slot " << i;
    } else {
      EXPECT_EQ(attrs.At(i).RefCount, cells[i]) << "slot " << i;
    }
  }
}

class ConsoleModel : public testing::Test {
 protected:
  ConsoleModel() {
    console.SetSize(94, 100);
    console.Font = Coloured(clBlack);
    console.SetView(&view);
  }
  TColorConsoleBuffer console;
  RecordingView view;
};

TEST_F(ConsoleModel, AFullRowWrapsTheCursorToTheNextRow) {
  const std::string row(94, 'x');
  console.WriteString(row);
  EXPECT_EQ(console.CursorX(), 0);
  EXPECT_EQ(console.CursorY(), 1);
  EXPECT_EQ(console.RowText(0), row);
  ASSERT_FALSE(view.changes.empty());
  EXPECT_EQ(view.changes.front().row, 0);
  EXPECT_EQ(view.changes.front().first, 0);
  EXPECT_EQ(view.changes.front().last, 93);

  console.WriteString(std::string(100, 'y'));  // wraps within one write
  EXPECT_EQ(console.RowText(1), std::string(94, 'y'));
  EXPECT_EQ(Trimmed(console.RowText(2)), "yyyyyy");
  EXPECT_EQ(console.CursorX(), 6);
}

TEST_F(ConsoleModel, BackspaceBlanksTheCellToTheLeftExceptAtColumnZero) {
  console.WriteString("\b");
  EXPECT_EQ(console.CursorX(), 0);
  console.WriteString("abcde\b");
  EXPECT_EQ(console.CursorX(), 4);
  EXPECT_EQ(console.RowText(0).substr(0, 6), "abcd  ");
  console.WriteString("Z");
  EXPECT_EQ(Trimmed(console.RowText(0)), "abcdZ");
}

TEST_F(ConsoleModel, LineBreakDecidesWhatLoneCrAndLfDo) {
  console.WriteString("ab\ncd");
  EXPECT_EQ(Trimmed(console.RowText(1)), "  cd");  // CRLF: LF only goes down
  console.WriteString("\rX");
  EXPECT_EQ(Trimmed(console.RowText(1)), "X cd");  // CR only returns
  EXPECT_EQ(console.CursorY(), 1);

  console.Clear();
  console.SetLineBreak(TConsoleLineBreak::LF);
  console.WriteString("ab\ncd");
  EXPECT_EQ(Trimmed(console.RowText(1)), "cd");
  console.WriteString("\rX");
  EXPECT_EQ(Trimmed(console.RowText(1)), "Xd");

  console.Clear();
  console.SetLineBreak(TConsoleLineBreak::CR);
  console.WriteString("ab\rcd\n");
  EXPECT_EQ(Trimmed(console.RowText(1)), "cd");
  EXPECT_EQ(console.CursorX(), 2);
  EXPECT_EQ(console.CursorY(), 2);
}

TEST_F(ConsoleModel, TheHundredAndFirstLineScrollsTheOldestAway) {
  char line[8];
  for (int i = 0; i < 100; ++i) {
    std::snprintf(line, sizeof line, "L%03d\r\n", i);
    console.WriteString(line);
  }
  EXPECT_EQ(view.scrolls, 1);
  EXPECT_EQ(Trimmed(console.RowText(0)), "L001");
  EXPECT_EQ(Trimmed(console.RowText(98)), "L099");
  EXPECT_EQ(Trimmed(console.RowText(99)), "") << "the new last row is blank";
  console.WriteString("L100");
  EXPECT_EQ(Trimmed(console.RowText(99)), "L100");
  EXPECT_EQ(console.CursorY(), 99);
}

TEST_F(ConsoleModel, GotoXYClampsToTheGrid) {
  console.GotoXY(200, -3);
  EXPECT_EQ(console.CursorX(), 93);
  EXPECT_EQ(console.CursorY(), 0);
  console.GotoXY(-1, 1000);
  EXPECT_EQ(console.CursorX(), 0);
  EXPECT_EQ(console.CursorY(), 99);
}

TEST_F(ConsoleModel, ControlCodesOtherThanBelBsLfCrAreDropped) {
  console.WriteString("ab");
  std::string codes;
  for (int c = 0; c < 32; ++c) {
    if (c != 7 && c != 8 && c != 10 && c != 13)
      codes.push_back(static_cast<char>(c));
  }
  console.WriteString(codes);
  EXPECT_EQ(console.CursorX(), 2);
  EXPECT_EQ(console.CursorY(), 0);
  EXPECT_EQ(Trimmed(console.RowText(0)), "ab");
  EXPECT_EQ(view.beeps, 0);
  console.WriteString("\a");
  EXPECT_EQ(view.beeps, 1);
  EXPECT_EQ(console.CursorX(), 2);
}

TEST_F(ConsoleModel, BytesAboveTheAsciiRangeAreShownAsCharacters) {
  console.WriteString("\xE5\x80\xFF");
  EXPECT_EQ(console.CursorX(), 3);
  EXPECT_EQ(console.CharAt(0, 0), '\xE5');
}

TEST_F(ConsoleModel, TwoColoursOnOneRowAndTheFreedSlotIsReused) {
  console.Font = Coloured(clRed);
  console.WriteString("RRR");
  console.Font = Coloured(clBlack);
  console.WriteString("bbb");
  const int red = console.AttrAt(0, 0);
  const int black = console.AttrAt(3, 0);
  EXPECT_NE(red, black);
  EXPECT_EQ(console.Attrs().At(red).Font.Color, clRed);
  EXPECT_EQ(console.Attrs().At(red).RefCount, 3);
  ExpectCountsMatchCells(console);

  console.GotoXY(0, 0);
  console.WriteString("xxx");  // black over the red cells: red is used no more
  EXPECT_TRUE(console.Attrs().IsFree(red));
  EXPECT_EQ(console.Attrs().FreeHead(), red);
  EXPECT_EQ(console.Attrs().NextFree(red), -1);

  console.Font = Coloured(clBlue, FontStyle::Underline);
  console.WriteString("u");
  EXPECT_EQ(console.AttrAt(3, 0), red) << "the blue attribute takes the freed slot";
  EXPECT_EQ(console.Attrs().At(red).Font.Color, clBlue);
  EXPECT_EQ(console.Attrs().FreeHead(), -1);
  ExpectCountsMatchCells(console);
}

TEST_F(ConsoleModel, FreeSlotsChainThroughTheTable) {
  const TColor colours[] = {0x010101, 0x020202, 0x030303};
  for (TColor c : colours) {
    console.Font = Coloured(c);
    console.WriteString("x");
  }
  const int a = console.AttrAt(0, 0), b = console.AttrAt(1, 0), c = console.AttrAt(2, 0);
  console.Font = Coloured(clBlack);
  console.GotoXY(0, 0);
  console.WriteString("x");  // frees a
  console.GotoXY(2, 0);
  console.WriteString("x");  // frees c
  EXPECT_EQ(console.Attrs().FreeHead(), c);
  EXPECT_EQ(console.Attrs().NextFree(c), a);
  EXPECT_EQ(console.Attrs().NextFree(a), -1);
  EXPECT_FALSE(console.Attrs().IsFree(b));
  ExpectCountsMatchCells(console);
}

// The same stream written whole and split at every position ends the same.
TEST(ConsoleModelSplit, ChunkSplitsDoNotChangeTheResult) {
  std::string text = "Hello\r\nworld\bX\a\x01\x1B[2J\ttab\n";
  text += std::string(150, 'w');  // wraps on a 40-column console
  text += "\r\n\r\nend\x7F\xC4";
  struct Segment {
    TColor color;
    std::string text;
  };
  const std::vector<Segment> segments = {{clBlack, text}, {clBlue, text}};

  auto run = [&](std::size_t split) {
    auto console = std::make_unique<TColorConsoleBuffer>();
    console->SetSize(40, 6);  // small enough to scroll
    for (const Segment& s : segments) {
      console->Font = Coloured(s.color, s.color == clBlue ? FontStyle::Underline : 0);
      const std::size_t cut = std::min(split, s.text.size());
      console->WriteString(std::string_view(s.text).substr(0, cut));
      for (char c : std::string_view(s.text).substr(cut, 3))
        console->WriteChar(c);
      if (cut + 3 < s.text.size())
        console->WriteString(std::string_view(s.text).substr(cut + 3));
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
      for (int x = 0; x < whole->Cols(); ++x) {
        ASSERT_EQ(parts->Attrs().At(parts->AttrAt(x, y)).Font,
                  whole->Attrs().At(whole->AttrAt(x, y)).Font)
            << "split " << split << " cell " << x << "," << y;
      }
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
}

TEST(ConsoleModelRandom, AttributeCountsAlwaysMatchTheCells) {
  std::mt19937 random(7);
  TColorConsoleBuffer console;
  console.SetSize(13, 5);
  const std::string alphabet = "abc\r\n\b\x01 xyz";
  for (int step = 0; step < 3000; ++step) {
    console.Font =
        Coloured(static_cast<TColor>(random() % 5), static_cast<std::uint8_t>(random() % 2));
    std::string text;
    const std::size_t length = random() % 30;
    for (std::size_t i = 0; i < length; ++i)
      text.push_back(alphabet[random() % alphabet.size()]);
    console.WriteString(text);
    if (random() % 50 == 0)
      console.GotoXY(static_cast<int>(random() % 20), static_cast<int>(random() % 8));
    if (random() % 400 == 0)
      console.Clear();
  }
  ExpectCountsMatchCells(console);
  EXPECT_LE(console.Attrs().UsedCount(), 10);
}

TEST(ConsoleModelSize, ANewSizeBlanksEverythingWithTheCurrentFont) {
  TColorConsoleBuffer console;
  console.WriteString("text");
  console.Font = Coloured(clBlue);
  console.SetSize(94, 100);
  EXPECT_EQ(Trimmed(console.RowText(0)), "");
  EXPECT_EQ(console.Attrs().UsedCount(), 1);
  EXPECT_EQ(console.Attrs().At(console.AttrAt(0, 0)).Font.Color, clBlue);
  EXPECT_EQ(console.Attrs().At(console.AttrAt(0, 0)).RefCount, 9400);
}

}  // namespace
}  // namespace klv
