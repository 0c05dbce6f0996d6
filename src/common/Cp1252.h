// Text of the stored records and of the serial line is single bytes of the
// Windows-1252 code page. Qt 6 has no codec for it, so these convert by table.
#pragma once

#include <QString>
#include <string_view>

namespace klv {

QChar Cp1252ToUnicode(unsigned char byte);
QString Cp1252ToQString(std::string_view bytes);
// Characters with no Windows-1252 byte become '?'.
std::string QStringToCp1252(const QString& text);

}  // namespace klv
