#include "log/ui/PrinterDevice.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <cmath>

#include "common/ui/PdfFiles.h"

namespace klv {
namespace {

constexpr int kTabColumns = 8;
// A full console line fits across the page, in at most the largest size.
constexpr int kLineColumns = 94;
constexpr double kLargestPointSize = 10;

}  // namespace

TQtPrinterDevice::TQtPrinterDevice() {
  // Courier New where it is installed; on Linux fontconfig usually maps the
  // name to Liberation Mono, which has the same metrics.
  font_.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
  font_.setStyleHint(QFont::TypeWriter);
  font_.setFixedPitch(true);
  font_.setPointSizeF(kLargestPointSize);
}

TQtPrinterDevice::~TQtPrinterDevice() {
  End();
}

void TQtPrinterDevice::SetPdfDirectory(const QString& directory) {
  pdfDirectory_ = directory;
}

QString TQtPrinterDevice::PdfDirectory() const {
  if (!pdfDirectory_.isEmpty())
    return pdfDirectory_;
  return DefaultPdfDirectory();
}

bool TQtPrinterDevice::PrintsToFile() const {
  if (printer_)
    return toFile_;
  return alwaysPdf_ || QPrinterInfo::defaultPrinter().isNull();
}

bool TQtPrinterDevice::Begin(QString* error) {
  End();
  error_.clear();
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  toFile_ = alwaysPdf_ || info.isNull();
  printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  if (toFile_) {
    if (!QFileInfo(PdfDirectory()).isDir()) {
      error_ = QStringLiteral("The folder <") + PdfDirectory() + QStringLiteral("> does not exist");
    } else {
      destination_ = NewPdfFileName(PdfDirectory(), QStringLiteral("printer log"));
      printer_->setOutputFormat(QPrinter::PdfFormat);
      printer_->setOutputFileName(destination_);
      if (pdfPageSize_.isValid())
        printer_->setPageSize(pdfPageSize_);
    }
  } else {
    destination_ = info.printerName();
    printer_->setPrinterName(destination_);
  }
  if (error_.isEmpty()) {
    printer_->setDocName(QStringLiteral("Kelvora 32 printer log"));
    printer_->setCreator(QStringLiteral("Kelvora 32"));
    printer_->setPageMargins(QMarginsF(10, 15, 10, 15), QPageLayout::Millimeter);
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(printer_.get())) {
      error_ = toFile_ ? QStringLiteral("The PDF file <") + destination_ +
                             QStringLiteral("> could not be created")
                       : QStringLiteral("The printer ") + destination_ +
                             QStringLiteral(" did not accept the print job");
    }
  }
  if (!error_.isEmpty()) {
    painter_.reset();
    printer_.reset();
    if (error)
      *error = error_;
    return false;
  }

  const QRectF page = printer_->pageLayout().paintRectPixels(printer_->resolution());
  pageWidth_ = page.width();
  pageHeight_ = page.height();
  // The size from the width of a column at the largest size, then stepped
  // down while the measured line is still too wide (hinting, rounding).
  font_.setPointSizeF(kLargestPointSize);
  const QString line(kLineColumns, QLatin1Char('0'));
  const double width = QFontMetricsF(font_, printer_.get()).horizontalAdvance(line);
  if (width > pageWidth_) {
    double size = std::floor(kLargestPointSize * pageWidth_ / width * 10) / 10;
    font_.setPointSizeF(size);
    while (size > 1 && QFontMetricsF(font_, printer_.get()).horizontalAdvance(line) > pageWidth_) {
      size -= 0.1;
      font_.setPointSizeF(size);
    }
  }
  SetFont(false, false);
  const QFontMetricsF metrics(font_, printer_.get());
  ascent_ = metrics.ascent();
  descent_ = metrics.descent();
  lineHeight_ = metrics.lineSpacing();
  tabWidth_ = metrics.horizontalAdvance(QLatin1Char(' ')) * kTabColumns;
  x_ = 0;
  y_ = ascent_;
  afterCr_ = false;
  return true;
}

void TQtPrinterDevice::SetFont(bool bold, bool underline) {
  font_.setBold(bold);
  font_.setUnderline(underline);
  if (painter_)
    painter_->setFont(font_);
}

void TQtPrinterDevice::NewLine() {
  x_ = 0;
  y_ += lineHeight_;
}

// Draws text that fits on the current line, turning the page first when
// the line is below its end. Pages are turned only for something to print,
// so a job never ends with an empty page.
bool TQtPrinterDevice::DrawRun(const QString& run) {
  if (run.isEmpty())
    return true;
  if (y_ + descent_ > pageHeight_) {
    if (!printer_->newPage()) {
      error_ = QStringLiteral("A new page could not be started");
      return false;
    }
    y_ = ascent_;
  }
  painter_->drawText(QPointF(x_, y_), run);
  x_ += QFontMetricsF(font_, printer_.get()).horizontalAdvance(run);
  return true;
}

bool TQtPrinterDevice::Write(const QString& text) {
  if (!painter_ || !painter_->isActive()) {
    error_ = QStringLiteral("No print job is running");
    return false;
  }
  const QFontMetricsF metrics(font_, printer_.get());
  QString run;
  double runWidth = 0;
  auto flush = [&]() {
    const bool drawn = DrawRun(run);
    run.clear();
    runWidth = 0;
    return drawn;
  };
  for (QChar ch : text) {
    // CR, LF and CR LF (also split between two writes) each end one line.
    const bool lfAfterCr = afterCr_ && ch == QLatin1Char('\n');
    afterCr_ = ch == QLatin1Char('\r');
    if (lfAfterCr)
      continue;
    if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) {
      if (!flush())
        return false;
      NewLine();
      continue;
    }
    if (ch == QLatin1Char('\t')) {
      if (!flush())
        return false;
      if (tabWidth_ > 0)
        x_ = (std::floor(x_ / tabWidth_) + 1) * tabWidth_;
      if (x_ >= pageWidth_)
        NewLine();
      continue;
    }
    if (ch.unicode() < 0x20)
      continue;
    const double width = metrics.horizontalAdvance(ch);
    if (x_ + runWidth + width > pageWidth_ && x_ + runWidth > 0) {
      if (!flush())
        return false;
      NewLine();
    }
    run += ch;
    runWidth += width;
  }
  if (!flush())
    return false;
  if (printer_->printerState() == QPrinter::Error) {
    error_ = QStringLiteral("The printer reported an error");
    return false;
  }
  return true;
}

void TQtPrinterDevice::End() {
  if (painter_ && painter_->isActive())
    painter_->end();
  painter_.reset();
  printer_.reset();
}

}  // namespace klv
