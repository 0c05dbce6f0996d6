// The console window on the offscreen platform: real widgets, real fonts.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cstdio>

#include "display/ui/ConsoleWidget.h"
#include "support/EventLoop.h"

namespace klv {
namespace {

TFixedFont MainFont(TColor color = clBlack, std::uint8_t style = 0) {
  return {QStringLiteral("Fixedsys"), -17, style, color};
}

// The console as the main window sets it up.
std::unique_ptr<TColorConsole> MainConsole(QSize size = QSize(900, 600),
                                           QWidget* parent = nullptr) {
  auto console = std::make_unique<TColorConsole>(parent);
  console->SetCols(94);
  console->SetRows(100);
  console->SetFont(MainFont());
  console->SetControlColor(clWhite);
  console->resize(size);
  console->show();
  return console;
}

void Settle(TConsole& console) {
  ASSERT_TRUE(test::RunUntil([&] { return !console.FramePending(); }));
  QApplication::processEvents();
}

int CountPixels(const QImage& image, QRect area, QRgb color) {
  int count = 0;
  area = area.intersected(image.rect());
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      count += (image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF);
  return count;
}

// Channel 2's cell blue and underlined, channel 1's black; the caret on the cursor cell's ascent.
// The console sits in a laid-out window as in the main window, where Qt's own glyph-run
// underline is not drawn.
TEST(ConsoleWidget, ABlueUnderlinedCellIsPaintedBlue) {
  QWidget window;
  auto console = MainConsole(QSize(900, 600), &window);
  (new QVBoxLayout(&window))->addWidget(console.get());
  window.resize(900, 600);
  window.show();
  console->WriteString("A");
  console->SetFont(MainFont(clBlue, FontStyle::Underline));
  console->WriteString("B");
  console->SetFont(MainFont());
  console->WriteString("\r\nde");
  console->PlaceCaret();
  Settle(*console);

  // The whole window's picture, the viewport's top left moved to (0, 0).
  const QPoint corner = console->viewport()->mapTo(&window, QPoint());
  const QImage image = window.grab().toImage().copy(QRect(corner, console->viewport()->size()));
  const int cw = console->CharWidth();
  const QRect black(0, 0, cw, console->CharHeight());
  EXPECT_EQ(CountPixels(image, black, qRgb(0, 0, 255)), 0);
  EXPECT_GT(CountPixels(image, black, qRgb(0, 0, 0)), 0);
  // The underline: a row of blue pixels across the cell below the baseline, and no line
  // under channel 1's cell.
  int underline = -1;
  for (int y = console->Ascent(); y < console->CharHeight() && underline < 0; ++y)
    underline = CountPixels(image, QRect(cw, y, cw, 1), qRgb(0, 0, 255)) >= cw - 2 ? y : -1;
  ASSERT_GE(underline, 0);
  EXPECT_GT(CountPixels(image, QRect(0, underline, cw, 1), qRgb(255, 255, 255)), cw / 2);
  const QRect caret = console->CaretRect();
  EXPECT_EQ(caret, QRect(2 * cw, console->CharHeight() + console->Ascent(), cw, 2));
  EXPECT_EQ(CountPixels(image, caret, qRgb(0, 0, 0)), caret.width() * 2);
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
    reference->WriteString(text.erase(text.find_last_not_of(' ') + 1));
  }
  reference->GotoXY(console->CursorX(), console->CursorY());
  Settle(*reference);
  const QRect area(0, 0, 94 * console->CharWidth(), console->VisibleRows() * console->CharHeight());
  EXPECT_TRUE(console->viewport()->grab().toImage().copy(area) ==
              reference->viewport()->grab().toImage().copy(area));
  EXPECT_EQ(console->ScrollOrigin().y(), 100 - console->VisibleRows()) << "the cursor is tracked";
}

TEST(ConsoleWidget, KeysMoveTheViewWithinTheGrid) {
  auto console = MainConsole(QSize(500, 300));
  Settle(*console);
  const int rows = console->VisibleRows(), cols = console->VisibleCols();
  ASSERT_TRUE(rows > 2 && rows < 100);
  EXPECT_EQ(console->verticalScrollBar()->maximum(), 100 - rows);
  EXPECT_EQ(console->horizontalScrollBar()->maximum(), 94 - cols);
  const std::tuple<int, Qt::KeyboardModifiers, QPoint> steps[] = {
      {Qt::Key_PageDown, Qt::NoModifier, {0, rows}},
      {Qt::Key_Up, Qt::NoModifier, {0, rows - 1}},
      {Qt::Key_End, Qt::ControlModifier, {0, 100 - rows}},
      {Qt::Key_Down, Qt::NoModifier, {0, 100 - rows}},  // clamped at the last row
      {Qt::Key_PageUp, Qt::NoModifier, {0, 100 - 2 * rows}},
      {Qt::Key_Right, Qt::ControlModifier, {cols / 2, 100 - 2 * rows}},
      {Qt::Key_Home, Qt::ControlModifier, {cols / 2, 0}},
      {Qt::Key_End, Qt::NoModifier, {94 - cols, 0}},
      {Qt::Key_Home, Qt::NoModifier, {0, 0}},
      {Qt::Key_Left, Qt::NoModifier, {0, 0}},
  };
  for (const auto& [key, modifiers, origin] : steps) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(console.get(), &event);
    EXPECT_EQ(console->ScrollOrigin(), origin) << "key " << key;
  }
  // A window that shows everything clamps the origin.
  console->resize(2000, 3000);
  Settle(*console);
  EXPECT_EQ(console->ScrollOrigin(), QPoint(0, 0));
}

// Scrolled back, the view holds its text while lines arrive, stays at the top
// once its rows leave the grid, and shows that data arrives; End and the bottom follow again.
TEST(ConsoleWidget, AViewScrolledBackHoldsStillWhileDataArrives) {
  auto console = MainConsole(QSize(500, 300));
  const auto write = [&](int from, int to) {
    for (int line = from; line < to; ++line)
      console->WriteString("line " + std::to_string(line) + "\r\n");
    Settle(*console);
  };
  const auto top = [&] { return console->Buffer().RowText(console->ScrollOrigin().y()); };
  write(0, 150);
  const int bottom = 100 - console->VisibleRows();
  console->verticalScrollBar()->setValue(bottom - 3);  // as the wheel does
  const std::string shown(top());
  EXPECT_FALSE(console->NewDataShown());
  write(150, 160);
  EXPECT_EQ(top(), shown);
  EXPECT_TRUE(console->NewDataShown());
  write(160, 300);
  EXPECT_TRUE(console->ScrollOrigin().y() == 0 && console->Held());

  QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
  QApplication::sendEvent(console.get(), &end);
  EXPECT_FALSE(console->Held() || console->NewDataShown());
  write(300, 310);
  EXPECT_EQ(console->ScrollOrigin().y(), bottom);
  // Up with the scroll bar, then down to the bottom: followed again.
  console->verticalScrollBar()->setValue(bottom - 3);
  console->verticalScrollBar()->setValue(bottom);
  write(310, 320);
  EXPECT_EQ(console->ScrollOrigin().y(), bottom);
}

// A drag from inside row 97 to row 99 selects the text between; Shift+click extends it, and
// it stays on its text when the grid scrolls.
TEST(ConsoleWidget, ASelectionAcrossRowsIsCopiedAsPlainLines) {
  auto console = MainConsole();
  console->WriteString(std::string(97, '\n') + "first row   \r\nsecond\r\nthird row");
  Settle(*console);
  const int cw = console->CharWidth(), ch = console->CharHeight();
  const int y0 = console->ScrollOrigin().y();
  const auto mouse = [&](QEvent::Type type, int col, int row, Qt::KeyboardModifiers held = {}) {
    const QPointF at(col * cw + 1, (row - y0) * ch + ch / 2);
    QMouseEvent event(type, at, console->viewport()->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, held);
    QApplication::sendEvent(console->viewport(), &event);
  };
  mouse(QEvent::MouseButtonPress, 6, 97);
  mouse(QEvent::MouseMove, 5, 99);
  mouse(QEvent::MouseButtonRelease, 5, 99);
  console->CopyAction()->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), "row\nsecond\nthird");
  mouse(QEvent::MouseButtonPress, 9, 99, Qt::ShiftModifier);
  mouse(QEvent::MouseButtonRelease, 9, 99, Qt::ShiftModifier);
  console->WriteString("\r\nnext");
  Settle(*console);
  EXPECT_EQ(console->SelectedText(), "row\nsecond\nthird row");
}

TEST(ConsoleWidget, StandardOutputAndInputGoThroughOneConsoleAtATime) {
  auto console = MainConsole();
  console->SetOptions(console->Options() | coStdOutput | coStdInput);
  std::printf("hello from stdout\n");
  std::fflush(stdout);
  EXPECT_TRUE(test::RunUntil(
      [&] { return console->Buffer().RowText(0).substr(0, 17) == "hello from stdout"; }));
  QKeyEvent typed(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QApplication::sendEvent(console.get(), &typed);
  char c = 0;
  EXPECT_TRUE(::read(STDIN_FILENO, &c, 1) == 1 && c == 'a');

  TColorConsole other;
  EXPECT_THROW(other.SetOptions(other.Options() | coStdOutput), EConsoleError);
  EXPECT_THROW(other.SetOptions(other.Options() | coStdInput), EConsoleError);
  console->SetOptions(console->Options() & ~TConsoleOptions(coStdOutput | coStdInput));
  EXPECT_NO_THROW(other.SetOptions(other.Options() | coStdOutput));
  other.SetOptions(other.Options() & ~TConsoleOptions(coStdOutput));
}

}  // namespace
}  // namespace klv
