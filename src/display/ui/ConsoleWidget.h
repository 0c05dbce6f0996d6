// The console window: paints a console model, scrolls it, shows a caret and
// batches repaints so that, however fast text is written, it paints at most
// 60 times a second and always ends with the last text shown. The user may
// scroll back (the view then holds still while data arrives) and select and
// copy text.
#pragma once

#include <QAbstractScrollArea>
#include <QAction>
#include <QElapsedTimer>
#include <QFont>
#include <QGlyphRun>
#include <QPushButton>
#include <QRawFont>
#include <QTimer>
#include <array>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <vector>

#include "display/Console.h"
#include "display/ConsoleOutput.h"

namespace klv {

class EInvalidFont : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EConsoleError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The real font behind a console font name. "Fixedsys" is the system's fixed
// font and "Courier New" (or "Courier") Liberation Mono; Height below zero is
// a pixel size.
QFont ToQFont(const TFixedFont& font);

class TQtFontMeasurer : public IFontMeasurer {
 public:
  TFontMetrics Measure(const TFixedFont& font) override;

 private:
  // One entry per face, size and style met so far: a handful, searched in
  // order, since the channels switch styles at every byte.
  struct Measured {
    QString name;
    int height;
    std::uint8_t style;
    TFontMetrics metrics;
  };
  std::vector<Measured> cache_;
};

class TConsole : public QAbstractScrollArea, protected IConsoleView, public IConsoleOutput {
  Q_OBJECT

 public:
  // At least this long between paints: under 60 a second.
  static constexpr int kFrameIntervalMs = 17;

  explicit TConsole(QWidget* parent = nullptr);
  ~TConsole() override;

  int Cols() const { return buffer_->Cols(); }
  void SetCols(int cols);
  int Rows() const { return buffer_->Rows(); }
  void SetRows(int rows);
  TConsoleOptions Options() const { return options_; }
  // Adding coStdOutput or coStdInput attaches the console as the process's
  // standard output or input; throws EConsoleError when another console
  // already has it.
  void SetOptions(TConsoleOptions options);
  TConsoleLineBreak LineBreak() const { return buffer_->LineBreak(); }
  void SetLineBreak(TConsoleLineBreak lineBreak) { buffer_->SetLineBreak(lineBreak); }

  const TFixedFont& Font() const { return buffer_->Font; }
  // Throws EInvalidFont (and keeps the old font) for a proportional font
  // while coFixedPitchOnly is set.
  void SetFont(const TFixedFont& font);
  void SetFontColor(TColor color);
  void SetFontStyle(std::uint8_t style);
  void SetFontBkColor(TColor color);
  TColor ControlColor() const { return controlColor_; }
  void SetControlColor(TColor color);

  void WriteString(std::string_view text) override;
  void WriteChar(char c) override { WriteString(std::string_view(&c, 1)); }
  void GotoXY(int x, int y) override { buffer_->GotoXY(x, y); }
  int CursorX() const override { return buffer_->CursorX(); }
  int CursorY() const override { return buffer_->CursorY(); }
  void SetLazyWrite(bool on) override { options_.setFlag(coLazyWrite, on); }
  void SetAppearance(TColor color, std::uint8_t style) override;
  void Clear();
  // Shows the caret (one cell wide, 2 pixels high, at the ascent line) at the cursor.
  void PlaceCaret();
  // PlaceCaret, unless this console's window is active with the focus on
  // another of its controls.
  void RefreshCaret() override;

  const TConsoleBuffer& Buffer() const { return *buffer_; }
  TConsoleBuffer& Buffer() { return *buffer_; }
  int CharWidth() const { return metrics_.CharWidth; }
  int CharHeight() const { return metrics_.CharHeight; }
  int Ascent() const { return metrics_.Ascent; }
  QPoint ScrollOrigin() const { return origin_; }
  int VisibleCols() const { return visibleCols_; }
  int VisibleRows() const { return visibleRows_; }
  bool CaretShown() const { return caretShown_; }
  // The caret's rectangle in viewport coordinates.
  QRect CaretRect() const;
  // Paint events handled so far, and whether text waits to be painted.
  long PaintCount() const { return paintCount_; }
  bool FramePending() const { return frameScheduled_; }
  // Scrolls the view to a cell origin (clamped).
  void ScrollTo(int x, int y);

  // The user has scrolled back above the cursor: the view holds still while
  // text arrives, and a "new data" mark shows when it does.
  bool Held() const { return held_; }
  bool NewDataShown() const { return newDataMark_->isVisible(); }
  // Back to the cursor row; the view follows the text again.
  void ReturnToBottom();

  // The selected text, one line per row with trailing blanks cut; copying
  // puts it on the clipboard (Ctrl+Shift+C: Ctrl+C is a byte for the line).
  QString SelectedText() const;
  void Copy();
  QAction* CopyAction() const { return copyAction_; }

  // All columns and 25 rows (fewer when the grid has fewer), with the frame
  // and scroll bars; the minimum keeps a few rows.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  static constexpr int kHintRows = 25;

 protected:
  TConsole(bool colored, QWidget* parent);

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

  // Draws cells first..last of grid row `row`.
  virtual void PaintRowCells(QPainter& painter, int row, int first, int last);
  QRect CellRect(int col, int row, int count) const;

  // IConsoleView
  void RowChanged(int row, int first, int last) override;
  void ScrolledUp() override;
  void AllChanged() override;
  void CursorMoved() override;
  void Beep() override;

  TQtFontMeasurer measurer_;
  std::unique_ptr<TConsoleBuffer> buffer_;

 private:
  void FontChanged(bool faceChanged);
  void UpdateCaretRule();
  void RecomputeLayout();
  void ScheduleFrame();
  void Frame();
  void BringCursorIntoView();
  void MarkBufferRowDirty(int bufferRow, int first, int last);
  // After a scroll by the user: held while the cursor row is below the view.
  void UserScrolled();
  void PlaceNewDataMark();
  // Text positions count rows from the first row the console ever had, so a
  // selection stays on its text while the grid scrolls.
  struct TTextPos {
    qint64 row = 0;
    int col = 0;  // the boundary before this column
    auto operator<=>(const TTextPos&) const = default;
  };
  TTextPos TextPosAt(QPoint viewportPos) const;
  void ForgetText();
  void AttachStdOutput();
  void DetachStdOutput();
  void AttachStdInput();
  void DetachStdInput();

  TConsoleOptions options_ = kDefaultConsoleOptions;
  TColor controlColor_ = clWindow;
  TFontMetrics metrics_;
  TFixedFont metricsFont_;  // the font the cell metrics were taken from
  QPoint origin_{0, 0};
  int visibleCols_ = 0;
  int visibleRows_ = 0;
  bool caretShown_ = false;
  bool caretFollowsText_ = true;
  bool held_ = false;
  bool arrived_ = false;  // text arrived since the last frame
  QPushButton* newDataMark_;
  qint64 rowsScrolledOut_ = 0;
  TTextPos selectionAnchor_, selectionEnd_;
  bool selecting_ = false;
  QAction* copyAction_;
  QRect paintedCaret_;
  QFont plainFont_;  // of the plain console's cells, made when painting needs it
  bool plainFontStale_ = true;

  // Damage waiting for the next frame, by buffer row (first, last column).
  std::vector<std::pair<int, int>> dirtyRows_;
  bool anyDirty_ = false;
  bool allDirty_ = false;
  int scrollsPending_ = 0;
  bool trackPending_ = false;
  QTimer frameTimer_;
  bool frameScheduled_ = false;
  QElapsedTimer sinceFrame_;
  long paintCount_ = 0;

  // Standard output and input.
  int savedStdout_ = -1;
  int stdoutReadFd_ = -1;
  std::thread stdoutReader_;
  int savedStdin_ = -1;
  int stdinWriteFd_ = -1;
};

// A console whose every cell has its own font, colour and background.
class TColorConsole : public TConsole {
  Q_OBJECT

 public:
  explicit TColorConsole(QWidget* parent = nullptr);
  TColorConsoleBuffer& ColorBuffer() { return static_cast<TColorConsoleBuffer&>(*buffer_); }
  const TColorConsoleBuffer& ColorBuffer() const {
    return static_cast<const TColorConsoleBuffer&>(*buffer_);
  }
  // Draw calls made by the last paint (one per run of equal attribute).
  int LastPaintRuns() const { return lastPaintRuns_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void PaintRowCells(QPainter& painter, int row, int first, int last) override;

 private:
  // An attribute's font as raw glyphs: runs are drawn glyph by glyph at the
  // cell positions, with no text shaping and no font selection per run.
  // Underline and strike-out are drawn as lines of their own: a glyph run's
  // decorations land off by the viewport's offset in the window.
  struct PaintFont {
    TFixedFont face;
    QRawFont raw;
    std::array<quint32, 256> glyphs{};
    int underlinePos = 1;  // below the baseline
    int strikeOutPos = 3;  // above the baseline
    int lineWidth = 1;
    bool valid = false;
  };
  const PaintFont& FontFor(int attr);

  std::vector<PaintFont> paintFonts_;
  std::vector<QPointF> cellPositions_;
  std::vector<quint32> runGlyphs_;
  int lastAttr_ = -1;
  int runs_ = 0;
  int lastPaintRuns_ = 0;
};

}  // namespace klv
