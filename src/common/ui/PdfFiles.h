// Where printouts go when no printer is installed: a new PDF file in the
// user's Documents folder, or the home folder where there is none.
#pragma once

#include <QString>

namespace klv {

QString DefaultPdfDirectory();
// "Kelvora32 <what> 2026-12-06 120501.pdf" in `directory`, numbered " (2)",
// " (3)", ... when that name exists.
QString NewPdfFileName(const QString& directory, const QString& what);

}  // namespace klv
