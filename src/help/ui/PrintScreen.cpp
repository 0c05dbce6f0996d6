#include "help/ui/PrintScreen.h"

#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QWidget>

#include "help/ui/PrintOutput.h"

namespace klv {

QRectF FitPicture(const QSizeF& picture, const QSizeF& page) {
  if (picture.isEmpty() || page.isEmpty())
    return {};
  const QSizeF size = picture.scaled(page, Qt::KeepAspectRatio);
  return {(page.width() - size.width()) / 2, 0, size.width(), size.height()};
}

bool PrintPicture(QPrinter& printer, const QImage& picture) {
  if (picture.isNull())
    return false;
  QPainter painter;
  if (!painter.begin(&printer))
    return false;
  const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(FitPicture(picture.size(), page.size()), picture);
  return painter.end();
}

bool PrintScreen(QWidget* window, TPrintOutput& output) {
  if (window == nullptr)
    return false;
  // Taken before the print dialog covers the window. Without an alpha
  // channel the picture goes into the PDF as one plain image.
  const QImage picture = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
  return output.Print(QStringLiteral("window picture"), window,
                      [&](QPrinter& printer) { return PrintPicture(printer, picture); });
}

}  // namespace klv
