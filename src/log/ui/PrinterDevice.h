// The printer log's device: a print job on the default printer, or a PDF
// file when no printer is installed. Text is drawn line by line in a
// fixed-pitch font of at most 10 pt, small enough that a full console line
// (94 columns) fits the page's width; longer lines wrap and full pages are
// turned. CR, LF and CR LF each end a line.
#pragma once

#include <QFont>
#include <QPageSize>
#include <QString>
#include <memory>

#include "log/PrinterDevice.h"

class QPainter;
class QPrinter;

namespace klv {

class TQtPrinterDevice : public IPrinterDevice {
 public:
  TQtPrinterDevice();
  ~TQtPrinterDevice() override;
  TQtPrinterDevice(const TQtPrinterDevice&) = delete;
  TQtPrinterDevice& operator=(const TQtPrinterDevice&) = delete;

  // The folder for PDF files; by default the user's Documents folder if it
  // exists, else the home folder.
  void SetPdfDirectory(const QString& directory);
  QString PdfDirectory() const;
  // Print to a PDF file even when a printer is installed.
  void SetAlwaysPdf(bool on) { alwaysPdf_ = on; }
  // The paper of PDF files; an invalid size leaves Qt's default.
  void SetPdfPageSize(const QPageSize& size) { pdfPageSize_ = size; }
  // The font's point size in the running job.
  double PointSize() const { return font_.pointSizeF(); }

  bool Begin(QString* error) override;
  void SetFont(bool bold, bool underline) override;
  bool Write(const QString& text) override;
  void End() override;
  QString Destination() const override { return destination_; }
  bool PrintsToFile() const override;
  QString ErrorString() const override { return error_; }

 private:
  bool DrawRun(const QString& run);
  void NewLine();

  std::unique_ptr<QPrinter> printer_;
  std::unique_ptr<QPainter> painter_;
  QFont font_;
  QString pdfDirectory_;
  QPageSize pdfPageSize_;
  bool alwaysPdf_ = false;
  bool toFile_ = false;
  QString destination_;
  QString error_;

  // Layout in device pixels; y_ is the baseline of the current line.
  double x_ = 0;
  double y_ = 0;
  double ascent_ = 0;
  double descent_ = 0;
  double lineHeight_ = 0;
  double pageWidth_ = 0;
  double pageHeight_ = 0;
  double tabWidth_ = 0;
  bool afterCr_ = false;  // the last character was a CR: an LF now ends no further line
};

}  // namespace klv
