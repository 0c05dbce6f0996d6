// The console window on the offscreen platform: real widgets, real fonts.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QScrollBar>
#include <cstdio>

#include "display/ui/ConsoleWidget.h"
#include "support/EventLoop.h"

namespace klv {
namespace {

using test::RunUntil;

TFixedFont MainFont(TColor color = clBlack, std::uint8_t style = 0) {
  TFixedFont font;
  font.Name = "Fixedsys";
  font.Height = -17;
  font.Color = color;
  font.BkColor = clWhite;
  font.Style = style;
  return font;
}

// The console as the main window sets it up.
std::unique_ptr<TColorConsole> MainConsole(QSize size = QSize(900, 600)) {
  auto console = std::make_unique<TColorConsole>();
  console->SetCols(94);
  console->SetRows(100);
  console->SetFont(MainFont());
  console->SetControlColor(clWhite);
  console->resize(size);
  console->show();
  return console;
}

void Settle(TConsole& console) {
  ASSERT_TRUE(RunUntil([&] { return !console.FramePending(); }));
  QApplication::processEvents();
}

int CountPixels(const QImage& image, QRect area, QRgb color) {
  int count = 0;
  area = area.intersected(image.rect());
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if ((image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF))
        ++count;
    }
  }
  return count;
}

TEST(ConsoleWidget, ABlueUnderlinedCellIsPaintedBlue) {
  auto console = MainConsole();
  console->WriteString("A");
  console->SetFont(MainFont(clBlue, FontStyle::Underline));
  console->WriteString("B");
  Settle(*console);

  const QImage image = console->viewport()->grab().toImage();
  const int cw = console->CharWidth();
  const int ch = console->CharHeight();
  const QRect black(0, 0, cw, ch);
  const QRect blue(cw, 0, cw, ch);
  EXPECT_GT(CountPixels(image, blue, qRgb(0, 0, 255)), 0) << "channel 2's cell shows blue";
  EXPECT_EQ(CountPixels(image, black, qRgb(0, 0, 255)), 0);
  EXPECT_GT(CountPixels(image, black, qRgb(0, 0, 0)), 0);
  // The underline: a row of blue pixels across the cell below the baseline.
  bool underline = false;
  for (int y = console->Ascent(); y < ch && !underline; ++y) {
    underline = CountPixels(image, QRect(cw, y, cw, 1), qRgb(0, 0, 255)) >= cw - 2;
  }
  EXPECT_TRUE(underline);
}

TEST(ConsoleWidget, AFloodOfWritesPaintsAtAFrameRateAndEndsWithTheLastText) {
  auto console = MainConsole();
  Settle(*console);
  const long paintsBefore = console->PaintCount();
  QElapsedTimer clock;
  clock.start();
  int line = 0;
  while (clock.elapsed() < 600) {
    for (int i = 0; i < 200; ++i, ++line) {
      console->SetFontColor(line % 2 ? clBlue : clBlack);
      console->WriteString("line " + std::to_string(line) + " with some text on it\r\n");
    }
    QApplication::processEvents();  // data arrives between event loop turns
  }
  console->WriteString("THE END");
  const qint64 elapsed = clock.elapsed();
  Settle(*console);

  const long paints = console->PaintCount() - paintsBefore;
  // About 60 a second; the bound leaves room for a slow machine's timer slack.
  EXPECT_LE(paints, elapsed / TConsole::kFrameIntervalMs + 3) << line << " lines";
  EXPECT_GE(paints, 2);

  // What is on screen is what a fresh console shows for the same final grid.
  auto reference = MainConsole();
  const TColorConsoleBuffer& grid = console->ColorBuffer();
  for (int row = 0; row < 100; ++row) {
    reference->GotoXY(0, row);
    reference->SetFontColor(grid.Attrs().At(grid.AttrAt(0, row)).Font.Color);
    std::string text(grid.RowText(row));
    text.erase(text.find_last_not_of(' ') + 1);
    reference->WriteString(text);
  }
  reference->GotoXY(console->CursorX(), console->CursorY());
  Settle(*reference);
  const QImage shown = console->viewport()->grab().toImage();
  const QImage expected = reference->viewport()->grab().toImage();
  const QRect area(0, 0, 94 * console->CharWidth(), console->VisibleRows() * console->CharHeight());
  EXPECT_EQ(console->ScrollOrigin(), reference->ScrollOrigin());
  EXPECT_TRUE(shown.copy(area) == expected.copy(area));
  EXPECT_EQ(console->CursorY(), 99);
  EXPECT_EQ(console->ScrollOrigin().y(), 100 - console->VisibleRows()) << "the cursor is tracked";
}

TEST(ConsoleWidget, ProportionalFontsAreRefusedWhileFixedPitchIsRequired) {
  auto console = MainConsole();
  TFixedFont proportional = MainFont();
  proportional.Name = "Liberation Sans";
  try {
    console->SetFont(proportional);
    FAIL() << "a proportional font was taken";
  } catch (const EInvalidFont& e) {
    EXPECT_STREQ(e.what(), "TConsole: Liberation Sans is not fixed-pitch");
  }
  EXPECT_EQ(console->Font().Name, "Fixedsys");

  console->SetOptions(console->Options() & ~TConsoleOptions(coFixedPitchOnly));
  EXPECT_NO_THROW(console->SetFont(proportional));
}

TEST(ConsoleWidget, StyleChangesNeverMakeTheCellsSmaller) {
  auto console = MainConsole();
  const int width = console->CharWidth();
  const int height = console->CharHeight();
  console->SetFontStyle(FontStyle::Bold | FontStyle::Italic);
  const int boldWidth = console->CharWidth();
  const int boldHeight = console->CharHeight();
  EXPECT_GE(boldWidth, width);
  EXPECT_GE(boldHeight, height);
  console->SetFontStyle(0);
  EXPECT_EQ(console->CharWidth(), boldWidth);
  EXPECT_EQ(console->CharHeight(), boldHeight);
}

TEST(ConsoleWidget, ScrollBarsAndKeysMoveTheViewWithinTheGrid) {
  auto console = MainConsole(QSize(500, 300));
  Settle(*console);
  const int visibleRows = console->VisibleRows();
  const int visibleCols = console->VisibleCols();
  ASSERT_GT(visibleRows, 2);
  ASSERT_LT(visibleRows, 100);
  EXPECT_EQ(console->verticalScrollBar()->maximum(), 100 - visibleRows);
  EXPECT_EQ(console->horizontalScrollBar()->maximum(), 94 - visibleCols);

  auto press = [&](int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent event(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(console.get(), &event);
  };
  press(Qt::Key_PageDown);
  EXPECT_EQ(console->ScrollOrigin().y(), visibleRows);
  press(Qt::Key_Up);
  EXPECT_EQ(console->ScrollOrigin().y(), visibleRows - 1);
  press(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(console->ScrollOrigin().y(), 100 - visibleRows);
  press(Qt::Key_Down);
  EXPECT_EQ(console->ScrollOrigin().y(), 100 - visibleRows) << "clamped at the last row";
  press(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(console->ScrollOrigin().y(), 0);
  press(Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(console->ScrollOrigin().x(), visibleCols / 2);
  press(Qt::Key_End);
  EXPECT_EQ(console->ScrollOrigin().x(), 94 - visibleCols);
  press(Qt::Key_Home);
  EXPECT_EQ(console->ScrollOrigin().x(), 0);
  EXPECT_EQ(console->verticalScrollBar()->value(), 0);

  // A larger window shows more and clamps the origin; one that shows all keeps a range of 1.
  press(Qt::Key_End, Qt::ControlModifier);
  console->resize(2000, 3000);
  Settle(*console);
  EXPECT_EQ(console->ScrollOrigin(), QPoint(0, 0));
  EXPECT_EQ(console->verticalScrollBar()->maximum(), 1);
}

TEST(ConsoleWidget, TheCaretSitsOnTheAscentLineOfTheCursorCell) {
  auto console = MainConsole();
  console->WriteString("abc\r\nde");
  console->PlaceCaret();
  const QRect caret = console->CaretRect();
  EXPECT_EQ(caret, QRect(2 * console->CharWidth(), console->CharHeight() + console->Ascent(),
                         console->CharWidth(), 2));
  Settle(*console);
  const QImage image = console->viewport()->grab().toImage();
  EXPECT_EQ(CountPixels(image, caret, qRgb(0, 0, 0)), caret.width() * 2);
}

TEST(ConsoleWidget, StandardOutputWritesIntoTheConsoleThatHoldsIt) {
  auto console = MainConsole();
  console->SetOptions(console->Options() | coStdOutput);
  std::printf("hello from stdout\n");
  std::fflush(stdout);
  EXPECT_TRUE(
      RunUntil([&] { return console->Buffer().RowText(0).substr(0, 17) == "hello from stdout"; }));

  TColorConsole other;
  try {
    other.SetOptions(other.Options() | coStdOutput);
    FAIL() << "standard output was taken twice";
  } catch (const EConsoleError& e) {
    EXPECT_STREQ(e.what(), "TConsole.SetOptions: Standard Output is already open");
  }
  console->SetOptions(console->Options() & ~TConsoleOptions(coStdOutput));
  EXPECT_NO_THROW(other.SetOptions(other.Options() | coStdOutput));
  other.SetOptions(other.Options() & ~TConsoleOptions(coStdOutput));
}

TEST(ConsoleWidget, StandardInputReceivesTypedCharacters) {
  auto console = MainConsole();
  console->SetOptions(console->Options() | coStdInput);
  QKeyEvent typed(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QApplication::sendEvent(console.get(), &typed);
  char c = 0;
  EXPECT_EQ(::read(STDIN_FILENO, &c, 1), 1);
  EXPECT_EQ(c, 'a');

  TColorConsole other;
  EXPECT_THROW(other.SetOptions(other.Options() | coStdInput), EConsoleError);
  console->SetOptions(console->Options() & ~TConsoleOptions(coStdInput));
}

}  // namespace
}  // namespace klv
