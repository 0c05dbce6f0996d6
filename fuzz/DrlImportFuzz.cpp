// Feeds arbitrary bytes to the DRL import, as an image and as a file on disk,
// with every choice of what to take (chosen by the first byte). Whatever the
// file holds: entries 77..100 and everything outside the library and the
// protocol parameters stay byte for byte, every imported string and name
// fits its field, a negative length position leaves the length fields, and
// file and image agree. Run with -max_len=21100 so that inputs reach the
// size of the read head.
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstring>
#include <random>

#include "strings/DrlImport.h"

namespace {

void Check(bool condition) {
  if (!condition)
    __builtin_trap();
}

// A configuration of noise, the same for every input.
const klv::TConf& Noise() {
  static const klv::TConf noise = [] {
    klv::TConf conf{};
    std::mt19937 random(3);
    for (auto& byte : std::span(reinterpret_cast<std::uint8_t*>(&conf), sizeof conf))
      byte = static_cast<std::uint8_t>(random());
    return conf;
  }();
  return noise;
}

bool Same(const void* a, const void* b, std::size_t size) {
  return std::memcmp(a, b, size) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static QTemporaryDir dir;
  static klv::TConf fromImage;
  static klv::TConf fromFile;
  const klv::TConf& before = Noise();
  const std::uint8_t mode = size > 0 ? data[0] : 0;
  const klv::TDrlImportChoice choice{(mode & 1) != 0, (mode & 2) != 0, (mode & 4) != 0};

  fromImage = before;
  klv::TDrlImportResult result;
  const bool whole = size >= klv::kDrlImageSize;
  Check(klv::ImportDrlImage(fromImage, {data, size}, choice, result) == whole);
  if (!whole) {
    Check(Same(&fromImage, &before, sizeof before) && result.Names.isEmpty());
  } else {
    const auto& lib = fromImage.Strngs;
    const auto& old = before.Strngs;
    // Entries 77..100 and the rest of the record are untouched.
    Check(Same(&lib.Strings[klv::kDrlStrings], &old.Strings[klv::kDrlStrings],
               sizeof(klv::TLibString) * (klv::kLibraryEntries - klv::kDrlStrings)));
    Check(Same(&fromImage, &before, offsetof(klv::TConf, Strngs)));
    const std::size_t after = offsetof(klv::TConf, Protocolparam) + sizeof(klv::TProtocolparam);
    Check(Same(reinterpret_cast<const char*>(&fromImage) + after,
               reinterpret_cast<const char*>(&before) + after, sizeof before - after));
    if (choice.Strings) {
      Check(result.Names.size() == klv::kDrlStrings);
      Check(lib.CurrentNr == 0 && lib.GlobalSyntax == 2);
      for (int k = 0; k < klv::kDrlStrings; ++k) {
        const klv::TLibString& entry = lib.Strings[static_cast<std::size_t>(k)];
        const std::size_t at =
            klv::kDrlStringTable + static_cast<std::size_t>(k) * klv::kDrlEntrySize;
        // Each field holds no more than its room in the DRL file, and what
        // it holds is the file's bytes.
        Check(entry.Name.length <= klv::kDrlNameRoom && entry.Str.length <= 255);
        Check(entry.Str.length == data[at + klv::kDrlEntryStr]);
        Check(Same(entry.Str.chars.data(), data + at + klv::kDrlEntryStr + 1, entry.Str.size()));
        Check(entry.CursorPos == 1 && entry.Syntax == 0 && entry.Checksum == 0);
        Check(result.Names[k].startsWith(QString::asprintf("%02d Name:   ", k + 1)));
      }
    } else {
      Check(Same(&lib, &old, sizeof lib) && result.Names.isEmpty());
    }
    const klv::TProtocolparam& p = fromImage.Protocolparam;
    const klv::TProtocolparam& q = before.Protocolparam;
    if (!choice.Parameters) {
      Check(Same(&p, &q, sizeof p) && result.ParameterError.isEmpty());
    } else {
      const auto lengthPos =
          static_cast<std::int16_t>(data[klv::kDrlLengthPos] | (data[klv::kDrlLengthPos + 1] << 8));
      Check(p.NotUsed == 0);
      Check(result.ParameterError.isEmpty() == (lengthPos >= 0));
      if (lengthPos < 0)
        Check(p.LengthPos == q.LengthPos && p.LengthAdjust == q.LengthAdjust &&
              p.ChecksumStyle == q.ChecksumStyle && p.ChecksumAlg == q.ChecksumAlg);
      else
        Check(p.LengthPos == static_cast<std::uint16_t>(lengthPos) && p.ChecksumStyle == 0);
    }
  }

  // The file gives what the image gives, or refuses and changes nothing.
  const QString path = dir.filePath(QStringLiteral("fuzz.DRL"));
  {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
      return 0;
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  fromFile = before;
  klv::TDrlImportResult fileResult;
  QString error;
  Check(klv::ImportDrlFile(fromFile, path, choice, fileResult, &error) == whole);
  Check(Same(&fromFile, &fromImage, sizeof fromFile) && fileResult.Names == result.Names);
  Check(whole ? error.isEmpty() : error.contains(path));
  return 0;
}
