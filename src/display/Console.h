// The character console's model: a grid of character cells kept as a ring of
// rows, a cursor, and a table of attributes (font, colour, background) with one
// attribute index per cell. Writing works like a terminal. The model has no
// window: a view (the console widget) listens for damage, scrolling and beeps
// and paints from the model.
#pragma once

#include <QFlags>
#include <QString>
#include <cstdint>
#include <string_view>
#include <vector>

namespace klv {

using TColor = std::uint32_t;  // 0xRRGGBB
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clBlue = 0x0000FF;
inline constexpr TColor clRed = 0xFF0000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clWindow = clWhite;  // the system window colour

namespace FontStyle {
inline constexpr std::uint8_t Bold = 0x1;
inline constexpr std::uint8_t Italic = 0x2;
inline constexpr std::uint8_t Underline = 0x4;
inline constexpr std::uint8_t StrikeOut = 0x8;
}  // namespace FontStyle

// A font with the background colour of the cells written with it. Height
// below zero is a character height in pixels, as font dialogs give it.
struct TFixedFont {
  QString Name = QStringLiteral("Courier New");
  int Height = -13;
  std::uint8_t Style = 0;
  TColor Color = clBlack;
  TColor BkColor = clWindow;

  // The same face, size and style: what one font handle stands for.
  bool SameFace(const TFixedFont& other) const {
    return Height == other.Height && Style == other.Style &&
           (Name.constData() == other.Name.constData() || Name == other.Name);
  }
  friend bool operator==(const TFixedFont&, const TFixedFont&) = default;
};

// Measurements of a font, in pixels.
struct TFontMetrics {
  int CharWidth = 8;    // average character width
  int CharHeight = 16;  // height plus external leading
  int Ascent = 12;
  int Descent = 4;
  int Overhang = 0;  // how far slanted or bold glyphs reach past their cell
  bool FixedPitch = true;
};

// Measures fonts for the model (the widget measures with the real fonts;
// tests give fixed figures).
class IFontMeasurer {
 public:
  virtual ~IFontMeasurer() = default;
  virtual TFontMetrics Measure(const TFixedFont& font) = 0;
};

struct TAttr {
  TFixedFont Font;
  int Overhang = 0;
  int LeftShift = 0;          // overhang * descent / ascent, for slanted fonts
  std::int64_t RefCount = 0;  // cells that use this attribute
};

// The attribute table. Free slots are chained through the table itself: a
// free slot holds the complement of the index of the next free slot.
class TAttrManager {
 public:
  explicit TAttrManager(IFontMeasurer* measurer = nullptr) : measurer_(measurer) {}
  void SetMeasurer(IFontMeasurer* measurer) { measurer_ = measurer; }

  // Index of the attribute for `font`, created (with no cells) when missing.
  int Lookup(const TFixedFont& font);
  void AddRef(int index, std::int64_t cells);
  // Frees the slot when no cell uses the attribute any more.
  void Release(int index, std::int64_t cells);
  void Clear();

  const TAttr& At(int index) const { return slots_.at(static_cast<std::size_t>(index)).attr; }
  bool IsFree(int index) const { return slots_.at(static_cast<std::size_t>(index)).free; }
  int SlotCount() const { return static_cast<int>(slots_.size()); }
  int UsedCount() const;
  int FreeHead() const { return freeHead_; }
  // The next free slot after a free one (-1 ends the chain).
  int NextFree(int index) const { return ~slots_.at(static_cast<std::size_t>(index)).link; }
  // Gives every attribute a new size (the console's font size changed).
  void SetHeight(int height);

 private:
  struct Slot {
    TAttr attr;
    bool free = false;
    int link = 0;  // ~next free index while free
  };
  void Measure(TAttr& attr);

  IFontMeasurer* measurer_;
  std::vector<Slot> slots_;
  int freeHead_ = -1;
  int lastMatch_ = -1;
};

// What the view is told by the model.
class IConsoleView {
 public:
  virtual ~IConsoleView() = default;
  // Cells first..last of grid row `row` changed.
  virtual void RowChanged(int row, int first, int last) = 0;
  // The grid scrolled up by one row (the top row is gone).
  virtual void ScrolledUp() = 0;
  // Everything changed (clear, reallocation, new metrics).
  virtual void AllChanged() = 0;
  virtual void CursorMoved() = 0;
  virtual void Beep() = 0;
};

enum class TConsoleLineBreak { CRLF, CR, LF };

enum TConsoleOption : unsigned {
  coAutoTracking = 0x01,
  coCheckEOF = 0x02,
  coCheckBreak = 0x04,
  coFulltimeCursor = 0x08,
  coLazyWrite = 0x10,
  coStdInput = 0x20,
  coStdOutput = 0x40,
  coFixedPitchOnly = 0x80,
};
Q_DECLARE_FLAGS(TConsoleOptions, TConsoleOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TConsoleOptions)
inline constexpr TConsoleOptions kDefaultConsoleOptions =
    coAutoTracking | coCheckBreak | coLazyWrite | coFixedPitchOnly;

// Cells, ring of rows and cursor. Writes go through WriteChars and FillChars,
// which the colour console overrides to keep its attributes.
class TConsoleBuffer {
 public:
  TConsoleBuffer();
  virtual ~TConsoleBuffer() = default;
  TConsoleBuffer(const TConsoleBuffer&) = delete;
  TConsoleBuffer& operator=(const TConsoleBuffer&) = delete;

  void SetView(IConsoleView* view) { view_ = view; }

  // The font of the cells written next (the colour console keeps it per
  // cell as an attribute). Changing it costs nothing until a cell is written.
  TFixedFont Font;

  int Cols() const { return cols_; }
  int Rows() const { return rows_; }
  // A new size reallocates the buffers; all text is lost.
  void SetSize(int cols, int rows);

  TConsoleLineBreak LineBreak() const { return lineBreak_; }
  void SetLineBreak(TConsoleLineBreak lineBreak) { lineBreak_ = lineBreak; }

  void WriteString(std::string_view text) {
    if (text.size() == 1)
      WriteChar(text.front());
    else
      WriteText(text);
  }
  // A printable character with room after it on the row takes a short way:
  // the view writes single characters as one-character strings.
  void WriteChar(char c) {
    if (static_cast<unsigned char>(c) < 32 || cursorX_ + 1 >= cols_) {
      WriteText(std::string_view(&c, 1));
      return;
    }
    WriteChars(cursorX_, cursorY_, std::string_view(&c, 1));
    if (view_ != nullptr) {
      view_->RowChanged(cursorY_, cursorX_, cursorX_);
      ++cursorX_;
      view_->CursorMoved();
    } else {
      ++cursorX_;
    }
  }
  // Clamps to the grid.
  void GotoXY(int x, int y);
  int CursorX() const { return cursorX_; }
  int CursorY() const { return cursorY_; }
  // Blanks every cell and puts the cursor home.
  virtual void Clear();

  char CharAt(int x, int y) const { return chars_[Offset(x, y)]; }
  // One grid row as text.
  std::string_view RowText(int y) const {
    return {&chars_[Offset(0, y)], static_cast<std::size_t>(cols_)};
  }
  // Buffer row that grid row 0 shows.
  int TopRow() const { return top_; }

 protected:
  std::size_t Offset(int x, int y) const {
    // y and top_ both lie in 0 .. rows_ - 1: one subtraction wraps the ring
    // (no division on every write).
    int row = y + top_;
    if (row >= rows_)
      row -= rows_;
    return static_cast<std::size_t>(x) +
           static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_);
  }
  virtual void Allocate();
  virtual void WriteChars(int x, int y, std::string_view chars);
  virtual void FillChars(int x, int y, int count, char c);

  IConsoleView* view_ = nullptr;

 private:
  void WriteText(std::string_view text);
  void CarriageReturn() { cursorX_ = 0; }
  void LineFeed();

  int cols_ = 80;
  int rows_ = 25;
  int top_ = 0;
  int cursorX_ = 0;
  int cursorY_ = 0;
  TConsoleLineBreak lineBreak_ = TConsoleLineBreak::CRLF;
  std::vector<char> chars_;
};

// Adds an attribute per cell, taken from the current Font when the cell is written.
class TColorConsoleBuffer : public TConsoleBuffer {
 public:
  explicit TColorConsoleBuffer(IFontMeasurer* measurer = nullptr);

  int AttrAt(int x, int y) const { return attrs_[Offset(x, y)]; }
  const TAttrManager& Attrs() const { return attrManager_; }
  TAttrManager& Attrs() { return attrManager_; }
  // Attribute indexes of one grid row.
  const int* RowAttrs(int y) const { return &attrs_[Offset(0, y)]; }

 protected:
  void Allocate() override;
  void WriteChars(int x, int y, std::string_view chars) override;
  void FillChars(int x, int y, int count, char c) override;

 private:
  // Gives cells [x, x + count) of row y the current attribute.
  void SetAttrs(int x, int y, int count);

  TAttrManager attrManager_;
  std::vector<int> attrs_;
};

}  // namespace klv
