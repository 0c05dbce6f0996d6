#include "display/Console.h"

#include <algorithm>
#include <cmath>

namespace klv {
namespace {

bool Matches(const TFixedFont& a, const TFixedFont& b) {
  return a.Color == b.Color && a.BkColor == b.BkColor && a.SameFace(b);
}

}  // namespace

// ---- TAttrManager ----------------------------------------------------------

int TAttrManager::Lookup(const TFixedFont& font) {
  if (lastMatch_ >= 0 && lastMatch_ < SlotCount()) {
    const Slot& cached = slots_[static_cast<std::size_t>(lastMatch_)];
    if (!cached.free && Matches(cached.attr.Font, font))
      return lastMatch_;
  }
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (!slots_[i].free && Matches(slots_[i].attr.Font, font)) {
      lastMatch_ = static_cast<int>(i);
      return lastMatch_;
    }
  }
  Slot slot;
  slot.attr.Font = font;
  Measure(slot.attr);
  int index;
  if (freeHead_ >= 0) {
    index = freeHead_;
    freeHead_ = ~slots_[static_cast<std::size_t>(index)].link;
    slots_[static_cast<std::size_t>(index)] = std::move(slot);
  } else {
    slots_.push_back(std::move(slot));
    index = SlotCount() - 1;
  }
  lastMatch_ = index;
  return index;
}

void TAttrManager::AddRef(int index, std::int64_t cells) {
  slots_.at(static_cast<std::size_t>(index)).attr.RefCount += cells;
}

void TAttrManager::Release(int index, std::int64_t cells) {
  Slot& slot = slots_.at(static_cast<std::size_t>(index));
  slot.attr.RefCount -= cells;
  if (slot.attr.RefCount > 0 || slot.free)
    return;
  slot.free = true;
  slot.link = ~freeHead_;
  freeHead_ = index;
}

void TAttrManager::Clear() {
  slots_.clear();
  freeHead_ = -1;
  lastMatch_ = -1;
}

int TAttrManager::UsedCount() const {
  return static_cast<int>(
      std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return !s.free; }));
}

void TAttrManager::SetHeight(int height) {
  for (Slot& slot : slots_) {
    if (slot.free)
      continue;
    slot.attr.Font.Height = height;
    Measure(slot.attr);
  }
}

void TAttrManager::Measure(TAttr& attr) {
  if (measurer_ == nullptr)
    return;
  const TFontMetrics metrics = measurer_->Measure(attr.Font);
  attr.Overhang = metrics.Overhang;
  attr.LeftShift = metrics.Ascent > 0
                       ? static_cast<int>(std::lround(double(metrics.Overhang) * metrics.Descent /
                                                      metrics.Ascent))
                       : 0;
}

// ---- TConsoleBuffer --------------------------------------------------------

TConsoleBuffer::TConsoleBuffer() {
  Font.Name = QStringLiteral("Courier");  // the console's own font until one is set
  TConsoleBuffer::Allocate();
}

void TConsoleBuffer::SetSize(int cols, int rows) {
  cols = std::max(1, cols);
  rows = std::max(1, rows);
  if (cols == cols_ && rows == rows_)
    return;
  cols_ = cols;
  rows_ = rows;
  Allocate();
  if (view_ != nullptr)
    view_->AllChanged();
}

void TConsoleBuffer::Allocate() {
  chars_.assign(static_cast<std::size_t>(cols_) * static_cast<std::size_t>(rows_), ' ');
  top_ = 0;
  cursorX_ = std::min(cursorX_, cols_ - 1);
  cursorY_ = std::min(cursorY_, rows_ - 1);
}

void TConsoleBuffer::WriteChars(int x, int y, std::string_view chars) {
  std::copy(chars.begin(), chars.end(), chars_.begin() + static_cast<std::ptrdiff_t>(Offset(x, y)));
}

void TConsoleBuffer::FillChars(int x, int y, int count, char c) {
  const auto start = chars_.begin() + static_cast<std::ptrdiff_t>(Offset(x, y));
  std::fill(start, start + count, c);
}

void TConsoleBuffer::GotoXY(int x, int y) {
  cursorX_ = std::clamp(x, 0, cols_ - 1);
  cursorY_ = std::clamp(y, 0, rows_ - 1);
  if (view_ != nullptr)
    view_->CursorMoved();
}

void TConsoleBuffer::Clear() {
  for (int y = 0; y < rows_; ++y)
    FillChars(0, y, cols_, ' ');
  cursorX_ = 0;
  cursorY_ = 0;
  if (view_ != nullptr)
    view_->AllChanged();
}

void TConsoleBuffer::LineFeed() {
  if (cursorY_ + 1 < rows_) {
    ++cursorY_;
    return;
  }
  // The oldest row goes: the ring turns by one row and the new last row is blank.
  top_ = (top_ + 1) % rows_;
  FillChars(0, rows_ - 1, cols_, ' ');
  if (view_ != nullptr)
    view_->ScrolledUp();
}

void TConsoleBuffer::WriteText(std::string_view text) {
  // Changed columns [first, last) of the cursor row, reported before the row changes.
  int first = cursorX_;
  int last = cursorX_;
  auto reportRow = [&] {
    if (last > first && view_ != nullptr)
      view_->RowChanged(cursorY_, first, last - 1);
    first = last = cursorX_;
  };

  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t room = static_cast<std::size_t>(cols_ - cursorX_);
    std::size_t run = 0;
    while (run < room && i + run < text.size() && static_cast<unsigned char>(text[i + run]) >= 32) {
      ++run;
    }
    if (run > 0) {
      WriteChars(cursorX_, cursorY_, text.substr(i, run));
      cursorX_ += static_cast<int>(run);
      last = std::max(last, cursorX_);
      i += run;
    }
    if (cursorX_ == cols_) {
      reportRow();
      CarriageReturn();
      LineFeed();
      first = last = cursorX_;
      continue;
    }
    if (i == text.size())
      break;
    switch (text[i++]) {
      case 7:
        if (view_ != nullptr)
          view_->Beep();
        break;
      case 8:
        if (cursorX_ > 0) {
          --cursorX_;
          FillChars(cursorX_, cursorY_, 1, ' ');
          first = std::min(first, cursorX_);
          last = std::max(last, cursorX_ + 1);
        }
        break;
      case 10:
        reportRow();
        if (lineBreak_ == TConsoleLineBreak::LF)
          CarriageReturn();
        LineFeed();
        first = last = cursorX_;
        break;
      case 13:
        reportRow();
        CarriageReturn();
        if (lineBreak_ == TConsoleLineBreak::CR)
          LineFeed();
        first = last = cursorX_;
        break;
      default:
        break;  // other control codes are not shown
    }
  }
  reportRow();
  if (view_ != nullptr)
    view_->CursorMoved();
}

// ---- TColorConsoleBuffer ---------------------------------------------------

TColorConsoleBuffer::TColorConsoleBuffer(IFontMeasurer* measurer) : attrManager_(measurer) {
  TColorConsoleBuffer::Allocate();
}

void TColorConsoleBuffer::Allocate() {
  TConsoleBuffer::Allocate();
  attrManager_.Clear();
  const int attr = attrManager_.Lookup(Font);
  attrs_.assign(static_cast<std::size_t>(Cols()) * static_cast<std::size_t>(Rows()), attr);
  attrManager_.AddRef(attr, static_cast<std::int64_t>(attrs_.size()));
}

void TColorConsoleBuffer::WriteChars(int x, int y, std::string_view chars) {
  TConsoleBuffer::WriteChars(x, y, chars);
  SetAttrs(x, y, static_cast<int>(chars.size()));
}

void TColorConsoleBuffer::FillChars(int x, int y, int count, char c) {
  TConsoleBuffer::FillChars(x, y, count, c);
  SetAttrs(x, y, count);
}

void TColorConsoleBuffer::SetAttrs(int x, int y, int count) {
  if (count <= 0)
    return;
  const int attr = attrManager_.Lookup(Font);
  int* cells = &attrs_[Offset(x, y)];
  if (count == 1 && cells[0] == attr)
    return;  // the common case of text in one colour over the same
  // Count the new cells first so an attribute that covers itself never drops to 0.
  attrManager_.AddRef(attr, count);
  int i = 0;
  while (i < count) {
    const int old = cells[i];
    int run = 1;
    while (i + run < count && cells[i + run] == old)
      ++run;
    attrManager_.Release(old, run);
    std::fill(cells + i, cells + i + run, attr);
    i += run;
  }
}

}  // namespace klv
