#include "help/ui/PrintOutput.h"

#include <QFile>
#include <QFileInfo>
#include <QMarginsF>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "common/MessageService.h"
#include "common/ui/PdfFiles.h"

namespace klv {

TPrintOutput::TPrintOutput(IMessageService& messages) : messages_(messages) {
  dialog_ = [](QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
  };
  printerInstalled_ = [] { return !QPrinterInfo::defaultPrinter().isNull(); };
}

void TPrintOutput::SetPrintDialog(TPrintDialog dialog) {
  dialog_ = std::move(dialog);
}

void TPrintOutput::SetPrinterCheck(std::function<bool()> printerInstalled) {
  printerInstalled_ = std::move(printerInstalled);
}

QString TPrintOutput::PdfDirectory() const {
  if (!pdfDirectory_.isEmpty())
    return pdfDirectory_;
  return DefaultPdfDirectory();
}

bool TPrintOutput::PrintsToFile() const {
  return alwaysPdf_ || !printerInstalled_();
}

bool TPrintOutput::Print(const QString& what, QWidget* parent, const TPrintJob& job) {
  lastPdfFile_.clear();
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QStringLiteral("Kelvora 32 ") + what);
  printer.setCreator(QStringLiteral("Kelvora 32"));
  printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
  const bool toFile = PrintsToFile();
  QString pdfFile;
  if (toFile) {
    if (!QFileInfo(PdfDirectory()).isDir()) {
      messages_.Error(QStringLiteral("The ") + what +
                      QStringLiteral(" could not be printed: the folder <") + PdfDirectory() +
                      QStringLiteral("> does not exist."));
      return false;
    }
    pdfFile = NewPdfFileName(PdfDirectory(), what);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfFile);
  } else if (!dialog_(printer, parent)) {
    return false;
  }

  if (!job(printer) || printer.printerState() == QPrinter::Error) {
    if (!pdfFile.isEmpty())
      QFile::remove(pdfFile);  // a partial file would pass for the printout
    const QString where = toFile ? QStringLiteral("the PDF file <") + pdfFile + QLatin1Char('>')
                                 : QStringLiteral("the printer ") + printer.printerName();
    messages_.Error(QStringLiteral("The ") + what + QStringLiteral(" could not be printed on ") +
                    where + QLatin1Char('.'));
    return false;
  }
  if (toFile) {
    lastPdfFile_ = pdfFile;
    const QString reason =
        printerInstalled_() ? QString() : QStringLiteral("No printer is installed. ");
    messages_.Information(reason + QStringLiteral("The ") + what +
                          QStringLiteral(" is printed to the PDF file <") + pdfFile +
                          QStringLiteral(">."));
  }
  return true;
}

}  // namespace klv
