#include "strings/DrlImport.h"

#include <QFileInfo>
#include <algorithm>
#include <array>
#include <string>

#include "common/Cp1252.h"
#include "common/RegularFile.h"

namespace klv {
namespace {

using Image = std::span<const std::uint8_t, kDrlImageSize>;

std::uint16_t Word(Image image, std::size_t offset) {
  return static_cast<std::uint16_t>(image[offset] | (image[offset + 1] << 8));
}

// The bytes of the string[room] at `offset`, never more than its room.
std::string PascalAt(Image image, std::size_t offset, std::size_t room) {
  const std::size_t count = std::min<std::size_t>(image[offset], room);
  const auto* first = reinterpret_cast<const char*>(image.data() + offset + 1);
  return {first, count};
}

}  // namespace

std::uint8_t IbmToWindowsSwedish(std::uint8_t code) {
  switch (code) {
    case 132:
      return 228;  // ä
    case 134:
      return 229;  // å
    case 142:
      return 196;  // Ä
    case 143:
      return 197;  // Å
    case 148:
      return 246;  // ö
    case 153:
      return 214;  // Ö
    default:
      return code;
  }
}

QStringList ImportDrlStrings(TStrngs& library, Image image, bool convertNames) {
  QStringList lines;
  for (int k = 1; k <= kDrlStrings; ++k) {
    const std::size_t entry = kDrlStringTable + static_cast<std::size_t>(k - 1) * kDrlEntrySize;
    std::string name = PascalAt(image, entry + kDrlEntryName, kDrlNameRoom);
    if (name == "\xFF")  // the DRL's mark of an unnamed string
      name.clear();
    if (convertNames) {
      for (char& c : name)
        c = static_cast<char>(IbmToWindowsSwedish(static_cast<std::uint8_t>(c)));
    }
    lines.append(
        QStringLiteral("%1 Name:   %2").arg(k, 2, 10, QLatin1Char('0')).arg(Cp1252ToQString(name)));

    TLibString& target = library.Strings[static_cast<std::size_t>(k - 1)];
    target.Str.assign(PascalAt(image, entry + kDrlEntryStr, 255));
    target.Name.assign(name);  // cut to the room of 20
    target.CursorPos = 1;
    target.InputMode = 1;
    target.EditMode = 1;
    target.Checksum = 0;  // renewed when the string editor shows the string
    target.Syntax = static_cast<std::uint8_t>(TStringSyntax::Global);
    target.Spare.fill(0);
  }
  library.CurrentNr = 0;
  library.GlobalSyntax = static_cast<std::uint8_t>(TStringSyntax::DisplayMode);
  library.SpareBytes.fill(0);
  return lines;
}

bool ImportDrlParameters(TProtocolparam& params, Image image, QString* error) {
  params.NotUsed = 0;
  params.ChecksumStart = static_cast<std::int16_t>(Word(image, kDrlChecksumStart));
  params.ChecksumEnd = static_cast<std::int16_t>(Word(image, kDrlChecksumEnd));
  params.ChecksumPos = static_cast<std::int16_t>(Word(image, kDrlChecksumPos));
  const auto lengthPos = static_cast<std::int16_t>(Word(image, kDrlLengthPos));
  if (lengthPos < 0) {
    if (error != nullptr) {
      *error = QStringLiteral(
                   "The length position in the DRL configuration is %1; it cannot be negative.\n"
                   "The length position, length adjustment, checksum style and checksum "
                   "algorithm are not imported.")
                   .arg(lengthPos);
    }
    return false;
  }
  params.LengthPos = static_cast<std::uint16_t>(lengthPos);
  params.LengthAdjust = static_cast<std::int16_t>(Word(image, kDrlLengthAdjust));
  params.ChecksumStyle = static_cast<std::uint8_t>(TChecksumStyle::OneByteBinary);
  params.ChecksumAlg = image[kDrlChecksumAlg];  // the low byte of the word
  return true;
}

bool ImportDrlImage(TConf& conf, std::span<const std::uint8_t> image,
                    const TDrlImportChoice& choice, TDrlImportResult& result) {
  result = {};
  if (image.size() < kDrlImageSize)
    return false;
  const Image head = image.first<kDrlImageSize>();
  if (choice.Strings)
    result.Names = ImportDrlStrings(conf.Strngs, head, choice.ConvertNames);
  if (choice.Parameters)
    ImportDrlParameters(conf.Protocolparam, head, &result.ParameterError);
  return true;
}

bool ImportDrlFile(TConf& conf, const QString& file, const TDrlImportChoice& choice,
                   TDrlImportResult& result, QString* error) {
  result = {};
  std::array<std::uint8_t, kDrlImageSize> buffer{};
  std::size_t count = 0;
  QString problem = ReadFileHead(file, buffer, count);
  if (problem.isEmpty() && count < kDrlImageSize) {
    problem = QStringLiteral(
                  "the file holds %1 bytes, too short for a DRL configuration of at "
                  "least %2 bytes")
                  .arg(count)
                  .arg(kDrlImageSize);
  }
  if (!problem.isEmpty()) {
    if (error != nullptr) {
      *error =
          QStringLiteral("Cannot import %1: %2.").arg(QFileInfo(file).absoluteFilePath(), problem);
    }
    return false;
  }
  return ImportDrlImage(conf, buffer, choice, result);
}

}  // namespace klv
