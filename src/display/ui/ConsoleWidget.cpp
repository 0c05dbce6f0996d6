#include "display/ui/ConsoleWidget.h"

#include <fcntl.h>
#include <unistd.h>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/Cp1252.h"

namespace klv {
namespace {

// The console that holds the process's standard output or input, if any.
TConsole* stdoutOwner = nullptr;
TConsole* stdinOwner = nullptr;

QColor ToQColor(TColor color) {
  return QColor::fromRgb(static_cast<QRgb>(color));
}

// Rounds towards minus infinity, for positions left of or above the view.
int FloorDiv(int a, int b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

QFont ToQFont(const TFixedFont& font) {
  QFont qfont;
  if (font.Name.compare(QLatin1String("Fixedsys"), Qt::CaseInsensitive) == 0) {
    qfont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  } else if (font.Name.compare(QLatin1String("Courier New"), Qt::CaseInsensitive) == 0 ||
             font.Name.compare(QLatin1String("Courier"), Qt::CaseInsensitive) == 0) {
    qfont = QFont(QStringLiteral("Liberation Mono"));
    qfont.setStyleHint(QFont::Monospace);
  } else {
    qfont = QFont(font.Name);
  }
  if (font.Height < 0) {
    qfont.setPixelSize(-font.Height);
  } else if (font.Height > 0) {
    qfont.setPixelSize(font.Height);
  }
  qfont.setBold((font.Style & FontStyle::Bold) != 0);
  qfont.setItalic((font.Style & FontStyle::Italic) != 0);
  qfont.setUnderline((font.Style & FontStyle::Underline) != 0);
  qfont.setStrikeOut((font.Style & FontStyle::StrikeOut) != 0);
  qfont.setKerning(false);
  return qfont;
}

TFontMetrics TQtFontMeasurer::Measure(const TFixedFont& font) {
  for (const Measured& known : cache_) {
    if (known.height == font.Height && known.style == font.Style && known.name == font.Name)
      return known.metrics;
  }
  const QFont qfont = ToQFont(font);
  const QFontMetrics fm(qfont);
  TFontMetrics metrics;
  metrics.CharWidth = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
  metrics.CharHeight = std::max(1, fm.height() + std::max(0, fm.leading()));
  metrics.Ascent = fm.ascent();
  metrics.Descent = fm.descent();
  // Slanted and bold glyphs reach past their cell by this much.
  metrics.Overhang = (font.Style & (FontStyle::Italic | FontStyle::Bold)) != 0
                         ? std::max(0, fm.maxWidth() - metrics.CharWidth)
                         : 0;
  metrics.FixedPitch = QFontInfo(qfont).fixedPitch();
  cache_.push_back({font.Name, font.Height, font.Style, metrics});
  return metrics;
}

// ---- TConsole ---------------------------------------------------------------

TConsole::TConsole(QWidget* parent) : TConsole(false, parent) {}

TConsole::TConsole(bool colored, QWidget* parent) : QAbstractScrollArea(parent) {
  if (colored) {
    buffer_ = std::make_unique<TColorConsoleBuffer>(&measurer_);
  } else {
    buffer_ = std::make_unique<TConsoleBuffer>();
  }
  buffer_->SetView(this);
  setFocusPolicy(Qt::StrongFocus);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted
  viewport()->setAutoFillBackground(false);
  frameTimer_.setSingleShot(true);
  frameTimer_.setTimerType(Qt::PreciseTimer);
  connect(&frameTimer_, &QTimer::timeout, this, &TConsole::Frame);
  connect(qApp, &QApplication::focusChanged, this, &TConsole::UpdateCaretRule);

  // A sibling of the viewport, so that scrolling the viewport's pixels leaves it in place.
  newDataMark_ = new QPushButton(QString(QChar(0x25BC)) + QStringLiteral(" new data"), this);
  newDataMark_->setObjectName(QStringLiteral("NewDataMark"));
  newDataMark_->setFocusPolicy(Qt::NoFocus);
  newDataMark_->setCursor(Qt::PointingHandCursor);
  newDataMark_->setToolTip(
      QStringLiteral("Data is arriving below: click (or press End) to follow"));
  newDataMark_->setStyleSheet(QStringLiteral(
      "QPushButton { background: #fff2a8; color: black; border: 1px solid #b09000; padding: 1px "
      "8px; }"));
  newDataMark_->hide();
  connect(newDataMark_, &QPushButton::clicked, this, &TConsole::ReturnToBottom);
  copyAction_ = new QAction(QStringLiteral("&Copy"), this);
  copyAction_->setObjectName(QStringLiteral("ConsoleCopy"));
  copyAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
  copyAction_->setShortcutContext(Qt::WindowShortcut);
  addAction(copyAction_);
  connect(copyAction_, &QAction::triggered, this, &TConsole::Copy);

  dirtyRows_.assign(static_cast<std::size_t>(Rows()), {-1, -1});
  resize(160, 88);
  FontChanged(true);
}

TConsole::~TConsole() {
  // The widgets' own destruction moves the focus: this console must not hear of it.
  disconnect(qApp, &QApplication::focusChanged, this, &TConsole::UpdateCaretRule);
  if (savedStdout_ >= 0)
    DetachStdOutput();
  if (savedStdin_ >= 0)
    DetachStdInput();
  buffer_->SetView(nullptr);
}

void TConsole::SetCols(int cols) {
  buffer_->SetSize(cols, Rows());
  ForgetText();
  RecomputeLayout();
  updateGeometry();
}

void TConsole::SetRows(int rows) {
  buffer_->SetSize(Cols(), rows);
  dirtyRows_.assign(static_cast<std::size_t>(Rows()), {-1, -1});
  ForgetText();
  RecomputeLayout();
  updateGeometry();
}

QSize TConsole::sizeHint() const {
  const int frame = 2 * frameWidth();
  return {Cols() * metrics_.CharWidth + frame + verticalScrollBar()->sizeHint().width(),
          std::min(Rows(), kHintRows) * metrics_.CharHeight + frame +
              horizontalScrollBar()->sizeHint().height()};
}

QSize TConsole::minimumSizeHint() const {
  const int frame = 2 * frameWidth();
  return {
      std::min(Cols(), 16) * metrics_.CharWidth + frame + verticalScrollBar()->sizeHint().width(),
      std::min(Rows(), 4) * metrics_.CharHeight + frame +
          horizontalScrollBar()->sizeHint().height()};
}

void TConsole::SetOptions(TConsoleOptions options) {
  const TConsoleOptions added = options & ~options_;
  const TConsoleOptions removed = options_ & ~options;
  if (added & coStdOutput)
    AttachStdOutput();
  if (added & coStdInput) {
    try {
      AttachStdInput();
    } catch (...) {
      if (added & coStdOutput)
        DetachStdOutput();
      throw;
    }
  }
  if (removed & coStdOutput)
    DetachStdOutput();
  if (removed & coStdInput)
    DetachStdInput();
  options_ = options;
  if ((added & coFixedPitchOnly) && !measurer_.Measure(Font()).FixedPitch) {
    options_.setFlag(coFixedPitchOnly, false);
    throw EInvalidFont("TConsole: " + Font().Name.toStdString() + " is not fixed-pitch");
  }
}

void TConsole::SetFont(const TFixedFont& font) {
  if ((options_ & coFixedPitchOnly) && !measurer_.Measure(font).FixedPitch) {
    throw EInvalidFont("TConsole: " + font.Name.toStdString() + " is not fixed-pitch");
  }
  const bool faceChanged = font.Name != metricsFont_.Name || font.Height != metricsFont_.Height;
  const bool styleChanged = font.Style != buffer_->Font.Style;
  buffer_->Font = font;
  if (faceChanged || styleChanged)
    FontChanged(faceChanged);
}

void TConsole::SetFontColor(TColor color) {
  buffer_->Font.Color = color;
}

void TConsole::SetFontBkColor(TColor color) {
  buffer_->Font.BkColor = color;
}

void TConsole::SetFontStyle(std::uint8_t style) {
  if (style == buffer_->Font.Style)
    return;
  buffer_->Font.Style = style;
  FontChanged(false);
}

void TConsole::SetAppearance(TColor color, std::uint8_t style) {
  SetFontColor(color);
  SetFontStyle(style);
}

void TConsole::SetControlColor(TColor color) {
  controlColor_ = color;
  viewport()->update();
}

// A new face or size takes new metrics (and every attribute takes the new
// size); a new style or colour only ever widens the cells, so a bold or
// slanted channel style never makes the grid smaller.
void TConsole::FontChanged(bool faceChanged) {
  const TFontMetrics fresh = measurer_.Measure(buffer_->Font);
  TFontMetrics next = fresh;
  if (faceChanged) {
    if (auto* color = dynamic_cast<TColorConsoleBuffer*>(buffer_.get())) {
      color->Attrs().SetHeight(buffer_->Font.Height);
    }
    metricsFont_ = buffer_->Font;
  } else {
    next.CharWidth = std::max(metrics_.CharWidth, fresh.CharWidth);
    next.CharHeight = std::max(metrics_.CharHeight, fresh.CharHeight);
    next.Ascent = std::max(metrics_.Ascent, fresh.Ascent);
    next.Descent = std::max(metrics_.Descent, fresh.Descent);
    next.Overhang = std::max(metrics_.Overhang, fresh.Overhang);
  }
  const bool grew = next.CharWidth != metrics_.CharWidth ||
                    next.CharHeight != metrics_.CharHeight || next.Ascent != metrics_.Ascent ||
                    next.Overhang != metrics_.Overhang;
  metrics_ = next;
  plainFontStale_ = true;
  if (faceChanged || grew) {
    RecomputeLayout();
    AllChanged();
    updateGeometry();
  }
}

void TConsole::RecomputeLayout() {
  const QSize area = viewport()->size();
  visibleCols_ = area.width() / metrics_.CharWidth;
  visibleRows_ = area.height() / metrics_.CharHeight;
  const int maxX = std::max(0, Cols() - visibleCols_);
  const int maxY = std::max(0, Rows() - visibleRows_);
  origin_ = QPoint(std::clamp(origin_.x(), 0, maxX), std::clamp(origin_.y(), 0, maxY));
  const QSignalBlocker blockH(horizontalScrollBar());
  const QSignalBlocker blockV(verticalScrollBar());
  horizontalScrollBar()->setRange(0, std::max(1, maxX));
  horizontalScrollBar()->setPageStep(std::max(1, visibleCols_));
  horizontalScrollBar()->setValue(origin_.x());
  verticalScrollBar()->setRange(0, std::max(1, maxY));
  verticalScrollBar()->setPageStep(std::max(1, visibleRows_));
  verticalScrollBar()->setValue(origin_.y());
}

void TConsole::ScrollTo(int x, int y) {
  const int maxX = std::max(0, Cols() - visibleCols_);
  const int maxY = std::max(0, Rows() - visibleRows_);
  const QPoint target(std::clamp(x, 0, maxX), std::clamp(y, 0, maxY));
  if (target != origin_) {
    origin_ = target;
    viewport()->update();
  }
  const QSignalBlocker blockH(horizontalScrollBar());
  const QSignalBlocker blockV(verticalScrollBar());
  horizontalScrollBar()->setValue(origin_.x());
  verticalScrollBar()->setValue(origin_.y());
}

// The scroll bars (and the wheel, through them) are moved by the user only:
// the program sets them with their signals blocked.
void TConsole::scrollContentsBy(int, int) {
  ScrollTo(horizontalScrollBar()->value(), verticalScrollBar()->value());
  UserScrolled();
}

void TConsole::UserScrolled() {
  held_ = origin_.y() + visibleRows_ <= CursorY();
  if (!held_)
    newDataMark_->hide();
}

void TConsole::ReturnToBottom() {
  held_ = false;
  newDataMark_->hide();
  ScrollTo(origin_.x(), std::max(CursorY() - visibleRows_ + 1, std::min(origin_.y(), CursorY())));
}

void TConsole::PlaceNewDataMark() {
  const QRect area = viewport()->geometry();
  const QSize size = newDataMark_->sizeHint();
  newDataMark_->setGeometry(area.right() - size.width() - 3, area.bottom() - size.height() - 3,
                            size.width(), size.height());
  newDataMark_->raise();
}

void TConsole::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  RecomputeLayout();
  if (held_)
    UserScrolled();  // a taller view may reach the cursor again
  PlaceNewDataMark();
  viewport()->update();
}

void TConsole::keyPressEvent(QKeyEvent* event) {
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const int halfCols = std::max(1, visibleCols_ / 2);
  const int maxX = std::max(0, Cols() - visibleCols_);
  const int maxY = std::max(0, Rows() - visibleRows_);
  const int x = origin_.x();
  const int y = origin_.y();
  switch (event->key()) {
    case Qt::Key_Left:
      ScrollTo(x - (ctrl ? halfCols : 1), y);
      break;
    case Qt::Key_Right:
      ScrollTo(x + (ctrl ? halfCols : 1), y);
      break;
    case Qt::Key_Home:
      ctrl ? ScrollTo(x, 0) : ScrollTo(0, y);
      break;
    case Qt::Key_End:
      if (ctrl) {
        ScrollTo(x, maxY);
      } else {
        ScrollTo(maxX, y);
        ReturnToBottom();
      }
      break;
    case Qt::Key_Up:
      ScrollTo(x, y - 1);
      break;
    case Qt::Key_Down:
      ScrollTo(x, y + 1);
      break;
    case Qt::Key_PageUp:
      ScrollTo(x, y - visibleRows_);
      break;
    case Qt::Key_PageDown:
      ScrollTo(x, y + visibleRows_);
      break;
    default:
      // Typed characters feed an attached standard input; the window around
      // the console sees them as well.
      if (stdinWriteFd_ >= 0 && !event->text().isEmpty()) {
        const std::string bytes = QStringToCp1252(event->text());
        [[maybe_unused]] const ssize_t n = ::write(stdinWriteFd_, bytes.data(), bytes.size());
      }
      event->ignore();
      return;
  }
  UserScrolled();
  event->accept();
}

// ---- selection ----------------------------------------------------------------

TConsole::TTextPos TConsole::TextPosAt(QPoint point) const {
  const int cw = metrics_.CharWidth;
  const int row = std::clamp(origin_.y() + FloorDiv(point.y(), metrics_.CharHeight), 0, Rows() - 1);
  const int col = std::clamp(origin_.x() + FloorDiv(point.x() + cw / 2, cw), 0, Cols());
  return {row + rowsScrolledOut_, col};
}

void TConsole::ForgetText() {
  held_ = false;
  newDataMark_->hide();
  rowsScrolledOut_ = 0;
  selectionAnchor_ = selectionEnd_ = TTextPos();
  selecting_ = false;
}

void TConsole::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  setFocus(Qt::MouseFocusReason);
  const TTextPos pos = TextPosAt(event->position().toPoint());
  if (!(event->modifiers() & Qt::ShiftModifier))
    selectionAnchor_ = pos;  // Shift+click extends the selection from its anchor
  selectionEnd_ = pos;
  selecting_ = true;
  viewport()->update();
}

void TConsole::mouseMoveEvent(QMouseEvent* event) {
  if (!selecting_ || !(event->buttons() & Qt::LeftButton)) {
    QAbstractScrollArea::mouseMoveEvent(event);
    return;
  }
  const QPoint point = event->position().toPoint();
  // Dragging past the top or bottom edge scrolls a row at a time.
  if (point.y() < 0 || point.y() >= viewport()->height()) {
    ScrollTo(origin_.x(), origin_.y() + (point.y() < 0 ? -1 : 1));
    UserScrolled();
  }
  selectionEnd_ = TextPosAt(point);
  viewport()->update();
}

void TConsole::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !selecting_) {
    QAbstractScrollArea::mouseReleaseEvent(event);
    return;
  }
  selecting_ = false;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (selectionAnchor_ != selectionEnd_ && clipboard->supportsSelection())
    clipboard->setText(SelectedText(), QClipboard::Selection);
}

void TConsole::contextMenuEvent(QContextMenuEvent* event) {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QAction* copy = menu->addAction(
      copyAction_->text() + '\t' + copyAction_->shortcut().toString(QKeySequence::NativeText), this,
      &TConsole::Copy);
  copy->setEnabled(selectionAnchor_ != selectionEnd_);
  menu->popup(event->globalPos());
}

QString TConsole::SelectedText() const {
  const auto [from, to] = std::minmax(selectionAnchor_, selectionEnd_);
  if (from == to)
    return {};
  QStringList lines;
  for (qint64 row = from.row; row <= to.row; ++row) {
    const qint64 gridRow = row - rowsScrolledOut_;
    if (gridRow < 0 || gridRow >= Rows())
      continue;  // scrolled out of the grid
    const int first = row == from.row ? from.col : 0;
    const int last = row == to.row ? to.col : Cols();
    std::string_view text = buffer_->RowText(static_cast<int>(gridRow));
    text = text.substr(static_cast<std::size_t>(first),
                       static_cast<std::size_t>(std::max(0, last - first)));
    const std::size_t end = text.find_last_not_of(' ');
    lines << Cp1252ToQString(text.substr(0, end == std::string_view::npos ? 0 : end + 1));
  }
  return lines.join('\n');
}

void TConsole::Copy() {
  const QString text = SelectedText();
  if (!text.isEmpty())
    QGuiApplication::clipboard()->setText(text);
}

void TConsole::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  if (caretShown_) {
    caretShown_ = false;
    viewport()->update(paintedCaret_);
  }
}

void TConsole::WriteString(std::string_view text) {
  buffer_->WriteString(text);
}

void TConsole::Clear() {
  buffer_->Clear();
  ForgetText();
  origin_ = QPoint(0, 0);
  FontChanged(true);
  RecomputeLayout();
  AllChanged();
}

void TConsole::PlaceCaret() {
  caretShown_ = true;
  ScheduleFrame();
}

// Renderers ask after every byte, so the rule is kept up to date on focus and
// activation changes instead of worked out per byte.
void TConsole::RefreshCaret() {
  if (caretFollowsText_)
    PlaceCaret();
}

void TConsole::UpdateCaretRule() {
  caretFollowsText_ = !(QApplication::activeWindow() == window() && !hasFocus());
}

QRect TConsole::CaretRect() const {
  return QRect((CursorX() - origin_.x()) * metrics_.CharWidth,
               (CursorY() - origin_.y()) * metrics_.CharHeight + metrics_.Ascent,
               metrics_.CharWidth, 2);
}

QRect TConsole::CellRect(int col, int row, int count) const {
  return QRect((col - origin_.x()) * metrics_.CharWidth, (row - origin_.y()) * metrics_.CharHeight,
               count * metrics_.CharWidth, metrics_.CharHeight);
}

// ---- damage and frames ------------------------------------------------------

void TConsole::MarkBufferRowDirty(int bufferRow, int first, int last) {
  auto& range = dirtyRows_[static_cast<std::size_t>(bufferRow)];
  if (range.first < 0) {
    range = {first, last};
  } else {
    range.first = std::min(range.first, first);
    range.second = std::max(range.second, last);
  }
  anyDirty_ = true;
}

void TConsole::RowChanged(int row, int first, int last) {
  const int overhang = (metrics_.Overhang + metrics_.CharWidth - 1) / metrics_.CharWidth;
  MarkBufferRowDirty((row + buffer_->TopRow()) % Rows(), std::max(0, first - overhang),
                     std::min(Cols() - 1, last + overhang));
  arrived_ = true;
  ScheduleFrame();
}

void TConsole::ScrolledUp() {
  ++rowsScrolledOut_;
  arrived_ = true;
  MarkBufferRowDirty((Rows() - 1 + buffer_->TopRow()) % Rows(), 0, Cols() - 1);
  if (held_ && origin_.y() > 0) {
    // The rows on show moved one up the grid: the view moves with them, and
    // the picture stays as it is.
    origin_.ry() -= 1;
    const QSignalBlocker block(verticalScrollBar());
    verticalScrollBar()->setValue(origin_.y());
  } else {
    ++scrollsPending_;  // following the text, or held at the top while its rows go
  }
  ScheduleFrame();
}

void TConsole::AllChanged() {
  allDirty_ = true;
  ScheduleFrame();
}

void TConsole::CursorMoved() {
  if (options_ & coAutoTracking)
    trackPending_ = true;
  ScheduleFrame();
}

void TConsole::Beep() {
  QApplication::beep();
}

void TConsole::ScheduleFrame() {
  if (frameScheduled_)
    return;  // asked after every character: a flag is cheaper than the timer
  frameScheduled_ = true;
  const qint64 since = sinceFrame_.isValid() ? sinceFrame_.elapsed() : kFrameIntervalMs;
  frameTimer_.start(static_cast<int>(std::max<qint64>(0, kFrameIntervalMs - since)));
}

void TConsole::Frame() {
  frameScheduled_ = false;
  sinceFrame_.restart();
  if (scrollsPending_ > 0) {
    // The grid moved up: move the pixels, then repaint what changed.
    if (scrollsPending_ < visibleRows_ && !allDirty_) {
      viewport()->scroll(0, -scrollsPending_ * metrics_.CharHeight);
    } else {
      allDirty_ = true;
    }
    scrollsPending_ = 0;
  }
  if (trackPending_) {
    trackPending_ = false;
    if (!held_)
      BringCursorIntoView();
  }
  if (held_ && arrived_ && newDataMark_->isHidden()) {
    PlaceNewDataMark();
    newDataMark_->show();
  }
  arrived_ = false;
  if (allDirty_) {
    viewport()->update();
  } else if (anyDirty_) {
    const int top = buffer_->TopRow();
    for (int bufferRow = 0; bufferRow < Rows(); ++bufferRow) {
      auto& range = dirtyRows_[static_cast<std::size_t>(bufferRow)];
      if (range.first < 0)
        continue;
      const int row = (bufferRow - top + Rows()) % Rows();
      if (row >= origin_.y() && row < origin_.y() + visibleRows_ + 1) {
        viewport()->update(CellRect(range.first, row, range.second - range.first + 1));
      }
    }
  }
  for (auto& range : dirtyRows_)
    range = {-1, -1};
  anyDirty_ = false;
  allDirty_ = false;
  const QRect caret = caretShown_ ? CaretRect() : QRect();
  if (caret != paintedCaret_) {
    viewport()->update(paintedCaret_);
    viewport()->update(caret);
  }
}

void TConsole::BringCursorIntoView() {
  const int y = std::max(CursorY() - visibleRows_ + 1, std::min(origin_.y(), CursorY()));
  const int x = std::max(CursorX() - visibleCols_ + 1, std::min(origin_.x(), CursorX()));
  ScrollTo(x, y);
}

// ---- painting ---------------------------------------------------------------

void TConsole::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect clip = event->rect();
  const int cw = metrics_.CharWidth;
  const int ch = metrics_.CharHeight;
  const int firstRow = origin_.y() + std::max(0, clip.top()) / ch;
  const int lastRow = std::min(Rows() - 1, origin_.y() + clip.bottom() / ch);
  const int firstCol = origin_.x() + std::max(0, clip.left()) / cw;
  const int lastCol = std::min(Cols() - 1, origin_.x() + clip.right() / cw);
  if (firstCol <= lastCol) {
    for (int row = firstRow; row <= lastRow; ++row)
      PaintRowCells(painter, row, firstCol, lastCol);
  }
  // The selection: a translucent shade over its cells.
  const auto [from, to] = std::minmax(selectionAnchor_, selectionEnd_);
  for (int row = firstRow; from != to && row <= lastRow; ++row) {
    const qint64 textRow = row + rowsScrolledOut_;
    if (textRow < from.row || textRow > to.row)
      continue;
    const int first = textRow == from.row ? from.col : 0;
    const int last = textRow == to.row ? to.col : Cols();
    if (last > first)
      painter.fillRect(CellRect(first, row, last - first), QColor(51, 140, 255, 110));
  }
  // Beyond the grid: the control's colour.
  const int gridRight = (Cols() - origin_.x()) * cw;
  const int gridBottom = (Rows() - origin_.y()) * ch;
  const QColor control = ToQColor(controlColor_);
  if (clip.right() >= gridRight) {
    painter.fillRect(QRect(QPoint(gridRight, clip.top()), clip.bottomRight()), control);
  }
  if (clip.bottom() >= gridBottom) {
    painter.fillRect(QRect(QPoint(clip.left(), gridBottom), clip.bottomRight()), control);
  }
  paintedCaret_ = QRect();
  if (caretShown_) {
    paintedCaret_ = CaretRect();
    painter.fillRect(paintedCaret_, ToQColor(buffer_->Font.Color));
  }
  ++paintCount_;
}

void TConsole::PaintRowCells(QPainter& painter, int row, int first, int last) {
  const int count = last - first + 1;
  const QRect rect = CellRect(first, row, count);
  painter.fillRect(rect, ToQColor(buffer_->Font.BkColor));
  if (plainFontStale_) {
    plainFont_ = ToQFont(buffer_->Font);
    plainFontStale_ = false;
  }
  painter.setFont(plainFont_);
  painter.setPen(ToQColor(buffer_->Font.Color));
  const std::string_view text = buffer_->RowText(row).substr(static_cast<std::size_t>(first),
                                                             static_cast<std::size_t>(count));
  painter.drawText(rect.left(), rect.top() + metrics_.Ascent, Cp1252ToQString(text));
}

// ---- standard output and input ---------------------------------------------

void TConsole::AttachStdOutput() {
  if (stdoutOwner != nullptr && stdoutOwner != this) {
    throw EConsoleError("TConsole.SetOptions: Standard Output is already open");
  }
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    throw EConsoleError(std::string("TConsole.SetOptions: cannot redirect standard output: ") +
                        std::strerror(errno));
  }
  std::fflush(stdout);
  savedStdout_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  ::dup2(fds[1], STDOUT_FILENO);
  ::close(fds[1]);
  stdoutReadFd_ = fds[0];
  stdoutOwner = this;
  // A reader thread drains the pipe so that writing to standard output never
  // blocks, even from the user-interface thread; the text is written on it.
  stdoutReader_ = std::thread([this, fd = stdoutReadFd_] {
    char chunk[4096];
    for (;;) {
      const ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        return;
      QMetaObject::invokeMethod(
          this,
          [this, text = std::string(chunk, static_cast<std::size_t>(n))] { WriteString(text); },
          Qt::QueuedConnection);
    }
  });
}

void TConsole::DetachStdOutput() {
  if (stdoutOwner != this)
    return;
  std::fflush(stdout);
  ::dup2(savedStdout_, STDOUT_FILENO);  // drops the pipe's last writer: the reader ends
  ::close(savedStdout_);
  savedStdout_ = -1;
  if (stdoutReader_.joinable())
    stdoutReader_.join();
  ::close(stdoutReadFd_);
  stdoutReadFd_ = -1;
  stdoutOwner = nullptr;
}

void TConsole::AttachStdInput() {
  if (stdinOwner != nullptr && stdinOwner != this) {
    throw EConsoleError("TConsole.SetOptions: Standard Input is already open");
  }
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    throw EConsoleError(std::string("TConsole.SetOptions: cannot attach standard input: ") +
                        std::strerror(errno));
  }
  savedStdin_ = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
  ::dup2(fds[0], STDIN_FILENO);
  ::close(fds[0]);
  ::fcntl(fds[1], F_SETFL, O_NONBLOCK);  // typing never blocks the window
  stdinWriteFd_ = fds[1];
  stdinOwner = this;
}

void TConsole::DetachStdInput() {
  if (stdinOwner != this)
    return;
  ::dup2(savedStdin_, STDIN_FILENO);
  ::close(savedStdin_);
  savedStdin_ = -1;
  ::close(stdinWriteFd_);
  stdinWriteFd_ = -1;
  stdinOwner = nullptr;
}

// ---- TColorConsole ------------------------------------------------------------

TColorConsole::TColorConsole(QWidget* parent) : TConsole(true, parent) {}

void TColorConsole::paintEvent(QPaintEvent* event) {
  lastAttr_ = -1;
  runs_ = 0;
  TConsole::paintEvent(event);
  lastPaintRuns_ = runs_;
}

const TColorConsole::PaintFont& TColorConsole::FontFor(int attr) {
  if (paintFonts_.size() <= static_cast<std::size_t>(attr)) {
    paintFonts_.resize(static_cast<std::size_t>(attr) + 1);
  }
  PaintFont& entry = paintFonts_[static_cast<std::size_t>(attr)];
  const TFixedFont& face = ColorBuffer().Attrs().At(attr).Font;
  if (!entry.valid || !entry.face.SameFace(face)) {
    entry.face = face;
    const QFont qfont = ToQFont(face);
    entry.raw = QRawFont::fromFont(qfont);
    const QFontMetrics fm(qfont);
    entry.underlinePos = fm.underlinePos();
    entry.strikeOutPos = fm.strikeOutPos();
    entry.lineWidth = std::max(1, fm.lineWidth());
    QString all;
    for (int b = 0; b < 256; ++b)
      all.append(Cp1252ToUnicode(static_cast<unsigned char>(b)));
    const QList<quint32> indexes = entry.raw.glyphIndexesForString(all);
    for (std::size_t b = 0; b < entry.glyphs.size(); ++b) {
      entry.glyphs[b] =
          b < static_cast<std::size_t>(indexes.size()) ? indexes[static_cast<qsizetype>(b)] : 0;
    }
    entry.valid = true;
  }
  return entry;
}

void TColorConsole::PaintRowCells(QPainter& painter, int row, int first, int last) {
  const TColorConsoleBuffer& buffer = ColorBuffer();
  const int* attrs = buffer.RowAttrs(row);
  const std::string_view text = buffer.RowText(row);
  if (cellPositions_.size() != static_cast<std::size_t>(Cols())) {
    cellPositions_.resize(static_cast<std::size_t>(Cols()));
    for (std::size_t i = 0; i < cellPositions_.size(); ++i) {
      cellPositions_[i] = QPointF(static_cast<qreal>(i) * CharWidth(), 0);
    }
    runGlyphs_.resize(static_cast<std::size_t>(Cols()));
  }
  const QRect rowRect = CellRect(first, row, last - first + 1);
  const int baseline = rowRect.top() + Ascent();

  // Backgrounds first, one fill per stretch of equal background colour.
  int col = first;
  while (col <= last) {
    const TColor background = buffer.Attrs().At(attrs[col]).Font.BkColor;
    int end = col + 1;
    while (end <= last && buffer.Attrs().At(attrs[end]).Font.BkColor == background)
      ++end;
    painter.fillRect(CellRect(col, row, end - col), ToQColor(background));
    col = end;
  }

  QGlyphRun run;
  col = first;
  while (col <= last) {
    const int attr = attrs[col];
    int end = col + 1;
    while (end <= last && attrs[end] == attr)
      ++end;
    const TAttr& a = buffer.Attrs().At(attr);
    const PaintFont& font = FontFor(attr);
    if (attr != lastAttr_) {
      painter.setPen(ToQColor(a.Font.Color));
      lastAttr_ = attr;
    }
    const int count = end - col;
    for (int i = 0; i < count; ++i) {
      runGlyphs_[static_cast<std::size_t>(i)] =
          font.glyphs[static_cast<unsigned char>(text[static_cast<std::size_t>(col + i)])];
    }
    run.setRawFont(font.raw);
    run.setRawData(runGlyphs_.data(), cellPositions_.data(), count);
    const int left = (col - ScrollOrigin().x()) * CharWidth();
    painter.drawGlyphRun(QPointF(left - a.LeftShift, baseline), run);
    // The lines across the run's cells, kept within the row.
    const auto line = [&](int top) {
      top = std::min(top, rowRect.bottom() + 1 - font.lineWidth);
      painter.fillRect(QRect(left, top, count * CharWidth(), font.lineWidth),
                       ToQColor(a.Font.Color));
    };
    if (a.Font.Style & FontStyle::Underline)
      line(baseline + font.underlinePos);
    if (a.Font.Style & FontStyle::StrikeOut)
      line(baseline - font.strikeOutPos);
    ++runs_;
    col = end;
  }
}

}  // namespace klv
