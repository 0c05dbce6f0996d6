#include "common/Cp1252.h"

#include <array>
#include <string>

namespace klv {
namespace {

// 0x80..0x9F; the rest of the upper half is Latin-1. The five codes that
// Windows-1252 leaves undefined map to the C1 control of the same number.
constexpr std::array<char16_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

QChar Cp1252ToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F)
    return QChar(kHighTable[byte - 0x80]);
  return QChar(static_cast<char16_t>(byte));
}

QString Cp1252ToQString(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (char c : bytes)
    text.append(Cp1252ToUnicode(static_cast<unsigned char>(c)));
  return text;
}

std::string QStringToCp1252(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (QChar ch : text) {
    const char16_t code = ch.unicode();
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
      bytes.push_back(static_cast<char>(code));
      continue;
    }
    char mapped = '?';
    for (std::size_t i = 0; i < kHighTable.size(); ++i) {
      if (kHighTable[i] == code) {
        mapped = static_cast<char>(0x80 + i);
        break;
      }
    }
    bytes.push_back(mapped);
  }
  return bytes;
}

}  // namespace klv
