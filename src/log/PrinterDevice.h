// The printer as the printer log sees it: a stream of text in one fixed-pitch
// font (Courier New, 10 pt) that can switch to bold and underline.
#pragma once

#include <QString>

namespace klv {

class IPrinterDevice {
 public:
  virtual ~IPrinterDevice() = default;
  // Starts a print job; on failure returns false with the reason in `error`.
  virtual bool Begin(QString* error) = 0;
  virtual void SetFont(bool bold, bool underline) = 0;
  // Prints text whose lines end with CR LF. False when the printer failed;
  // ErrorString() then tells why.
  virtual bool Write(const QString& text) = 0;
  // Ends the job (the pages go to the printer or file).
  virtual void End() = 0;
  // The printer's name, or the path of the file the job goes to.
  virtual QString Destination() const = 0;
  // True when the job goes to a file (no printer installed), not to paper.
  virtual bool PrintsToFile() const = 0;
  virtual QString ErrorString() const = 0;
};

}  // namespace klv
