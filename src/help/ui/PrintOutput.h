// Where a printout goes: the printer the user confirms in the print dialog,
// or, when no printer is installed, a new PDF file in the user's Documents
// folder (else the home folder), whose place the user is told. The printer
// log follows the same rule.
#pragma once

#include <QString>
#include <functional>

class QPrinter;
class QWidget;

namespace klv {

class IMessageService;

class TPrintOutput {
 public:
  // Shows the print dialog for the printer; true when the user confirmed it.
  using TPrintDialog = std::function<bool(QPrinter& printer, QWidget* parent)>;
  // Draws the printout; false when the printer failed.
  using TPrintJob = std::function<bool(QPrinter& printer)>;

  explicit TPrintOutput(IMessageService& messages);

  // The standard print dialog unless replaced (tests answer without a window).
  void SetPrintDialog(TPrintDialog dialog);
  // Whether a printer is installed; by default the system's default printer.
  void SetPrinterCheck(std::function<bool()> printerInstalled);
  // Print to a PDF file even when a printer is installed.
  void SetAlwaysPdf(bool on) { alwaysPdf_ = on; }
  void SetPdfDirectory(const QString& directory) { pdfDirectory_ = directory; }
  QString PdfDirectory() const;
  bool PrintsToFile() const;

  // Runs one print job named `what` ("help page", "window picture"): after
  // the print dialog on a printer, or into a new PDF file. Failures are shown
  // to the user. True when the job was printed; false when it was cancelled
  // or failed.
  bool Print(const QString& what, QWidget* parent, const TPrintJob& job);
  // The PDF file of the last job that went to a file, else empty.
  QString LastPdfFile() const { return lastPdfFile_; }

 private:
  IMessageService& messages_;
  TPrintDialog dialog_;
  std::function<bool()> printerInstalled_;
  bool alwaysPdf_ = false;
  QString pdfDirectory_;
  QString lastPdfFile_;
};

}  // namespace klv
