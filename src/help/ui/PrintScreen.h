// Print Screen: a window's picture, as the window shows it, printed on one
// page, scaled to fit the page and keeping its proportions.
#pragma once

#include <QRectF>
#include <QSizeF>

class QImage;
class QPrinter;
class QWidget;

namespace klv {

class TPrintOutput;

// Where a picture of `picture` size goes on a page of `page` size: as large as
// the page allows with the picture's proportions, at the top, centred across.
// An empty picture or page gives an empty rectangle.
QRectF FitPicture(const QSizeF& picture, const QSizeF& page);
// Prints the picture on one page; false when the printer failed or there is
// no picture.
bool PrintPicture(QPrinter& printer, const QImage& picture);
// Takes the window's picture and prints it through `output` (print dialog,
// or PDF file where no printer is installed). True when printed.
bool PrintScreen(QWidget* window, TPrintOutput& output);

}  // namespace klv
