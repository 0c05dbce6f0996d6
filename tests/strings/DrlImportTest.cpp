// The DRL import engine against files built byte by byte from the DRL
// layout: strings and names of all 76 entries, the Swedish letters, length
// bytes beyond their room, the protocol parameters, and refused files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "strings/DrlImport.h"

namespace klv {
namespace {

using Image = std::vector<std::uint8_t>;

std::size_t EntryAt(int k) {  // k = 1..76
  return kDrlStringTable + static_cast<std::size_t>(k - 1) * kDrlEntrySize;
}

void PutString(Image& image, std::size_t at, std::uint8_t length, const std::string& bytes) {
  image[at] = length;
  std::memcpy(image.data() + at + 1, bytes.data(), bytes.size());
}

void PutWord(Image& image, std::size_t at, std::uint16_t value) {
  image[at] = static_cast<std::uint8_t>(value & 0xFF);
  image[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Every byte of a DRL file random (so that unread fields hold noise), then
// entry k holds the string "S<k>" followed by a 00 and an FF byte and the
// name "N<k>", and the parameters are set.
Image CraftedImage() {
  Image image(kDrlImageSize);
  std::mt19937 random(11);
  for (auto& byte : image)
    byte = static_cast<std::uint8_t>(random());
  for (int k = 1; k <= kDrlStrings; ++k) {
    const std::string str = "S" + std::to_string(k) + std::string("\0\xFF", 2);
    const std::string name = "N" + std::to_string(k);
    PutString(image, EntryAt(k) + kDrlEntryStr, static_cast<std::uint8_t>(str.size()), str);
    PutString(image, EntryAt(k) + kDrlEntryName, static_cast<std::uint8_t>(name.size()), name);
  }
  PutWord(image, kDrlChecksumStart, 1);
  PutWord(image, kDrlChecksumEnd, 2);
  PutWord(image, kDrlChecksumPos, 0xFFFF);  // -1
  PutWord(image, kDrlLengthPos, 5);
  PutWord(image, kDrlLengthAdjust, 0xFFFD);  // -3
  PutWord(image, kDrlChecksumAlg, 0x0301);   // only the low byte counts
  return image;
}

// A configuration whose library and parameters differ from anything imported.
TConf NoisyConf() {
  TConf conf{};
  std::mt19937 random(5);
  for (auto& byte : std::span(reinterpret_cast<std::uint8_t*>(&conf), sizeof conf))
    byte = static_cast<std::uint8_t>(random());
  ClampLibrary(conf.Strngs);
  conf.Strngs.CurrentNr = 50;
  conf.Strngs.GlobalSyntax = 3;
  return conf;
}

bool SameBytes(const auto& a, const auto& b) {
  static_assert(sizeof a == sizeof b);
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(DrlImportTest, SeventySixStringsAndNamesComeFromTheirPlacesAndTheRestStays) {
  const Image image = CraftedImage();
  TConf conf = NoisyConf();
  const TConf before = conf;
  TDrlImportResult result;
  ASSERT_TRUE(ImportDrlImage(conf, image, {.Parameters = false}, result));
  ASSERT_EQ(result.Names.size(), kDrlStrings);
  EXPECT_EQ(result.Names.front(), QStringLiteral("01 Name:   N1"));
  EXPECT_EQ(result.Names[9], QStringLiteral("10 Name:   N10"));
  EXPECT_EQ(result.Names.back(), QStringLiteral("76 Name:   N76"));
  for (int k = 1; k <= kDrlStrings; ++k) {
    const TLibString& entry = conf.Strngs.Strings[static_cast<std::size_t>(k - 1)];
    EXPECT_EQ(entry.Str.view(), "S" + std::to_string(k) + std::string("\0\xFF", 2)) << k;
    EXPECT_EQ(entry.Name.view(), "N" + std::to_string(k)) << k;
    EXPECT_EQ(entry.CursorPos, 1);
    EXPECT_EQ(entry.InputMode, 1);
    EXPECT_EQ(entry.EditMode, 1);
    EXPECT_EQ(entry.Checksum, 0);
    EXPECT_EQ(entry.Syntax, 0);
    EXPECT_EQ(entry.Spare, decltype(entry.Spare){});
    // Nothing of the room after the string is left from before.
    EXPECT_EQ(entry.Str.chars[entry.Str.size()], 0) << k;
  }
  for (std::size_t i = kDrlStrings; i < kLibraryEntries; ++i)
    EXPECT_TRUE(SameBytes(conf.Strngs.Strings[i], before.Strngs.Strings[i])) << i + 1;
  EXPECT_EQ(conf.Strngs.CurrentNr, 0);
  EXPECT_EQ(conf.Strngs.GlobalSyntax, 2);
  EXPECT_EQ(conf.Strngs.SpareBytes, decltype(conf.Strngs.SpareBytes){});
  EXPECT_TRUE(SameBytes(conf.Protocolparam, before.Protocolparam));
}

TEST(DrlImportTest, NamesTakeTheSwedishLettersInWindowsCodesWhenConverting) {
  struct Case {
    std::string drl;
    std::string converted;  // Windows-1252
    QString shown;          // in the list of names
  };
  const Case cases[] = {
      {"\x84\x86\x8E\x8F\x94\x99", "\xE4\xE5\xC4\xC5\xF6\xD6", QStringLiteral(u"äåÄÅöÖ")},
      {"K\x94r", "K\xF6r", QStringLiteral(u"Kör")},
      {"\x81\x85\x90\xE4", "\x81\x85\x90\xE4", {}},  // other codes stay
      {"\xFF", "", QString()},                       // the mark of no name
      {"\xFF\xFF", "\xFF\xFF", {}},                  // a name that merely holds it
      {"A\xFF", "A\xFF", {}},
  };
  for (const bool convert : {true, false}) {
    for (const Case& c : cases) {
      Image image = CraftedImage();
      PutString(image, EntryAt(3) + kDrlEntryName, static_cast<std::uint8_t>(c.drl.size()), c.drl);
      TStrngs library{};
      const QStringList names = ImportDrlStrings(
          library, std::span<const std::uint8_t, kDrlImageSize>(image.data(), kDrlImageSize),
          convert);
      const std::string expected = convert || c.drl == "\xFF" ? c.converted : c.drl;
      EXPECT_EQ(library.Strings[2].Name.view(), expected) << convert << " " << c.drl;
      if (convert && !c.shown.isNull()) {
        EXPECT_EQ(names[2], QStringLiteral("03 Name:   ") + c.shown);
      }
    }
  }
}

// A length byte may claim more than its room; the field is cut at its room
// and nothing after it is taken (the bytes after the room are marked).
TEST(DrlImportTest, LengthBytesBeyondTheRoomAreCutToTheField) {
  struct Case {
    int k;
    std::uint8_t strLength;
    std::uint8_t nameLength;
    std::size_t strExpected;
    std::size_t nameExpected;
  };
  const Case cases[] = {
      {1, 255, 15, 255, 15},  // both full
      {2, 0, 16, 0, 15},
      {40, 255, 200, 255, 15},
      {76, 255, 255, 255, 15},  // the last entry: the name room ends 43 bytes before the parameters
  };
  for (const Case& c : cases) {
    Image image = CraftedImage();
    const std::size_t str = EntryAt(c.k) + kDrlEntryStr;
    const std::size_t name = EntryAt(c.k) + kDrlEntryName;
    std::memset(image.data() + str + 1, 'a', 255);
    std::memset(image.data() + name + 1, 'b', kDrlNameRoom);
    image[name + 1 + kDrlNameRoom] = 'X';  // just past the name's room
    image[str] = c.strLength;
    image[name] = c.nameLength;
    TConf conf = NoisyConf();
    TDrlImportResult result;
    ASSERT_TRUE(ImportDrlImage(conf, image, {}, result));
    const TLibString& entry = conf.Strngs.Strings[static_cast<std::size_t>(c.k - 1)];
    EXPECT_EQ(entry.Str.view(), std::string(c.strExpected, 'a')) << c.k;
    EXPECT_EQ(entry.Name.view(), std::string(c.nameExpected, 'b')) << c.k;
    EXPECT_EQ(entry.Name.length, c.nameExpected);
    EXPECT_FALSE(result.Names[c.k - 1].contains(QLatin1Char('X')));
  }
}

TEST(DrlImportTest, ParametersAreTakenAsTheyAreAndANegativeLengthPositionIsRefused) {
  struct Case {
    std::uint16_t start, end, pos, lengthPos, adjust, alg;
    bool lengthTaken;
  };
  const Case cases[] = {
      {1, 2, 0xFFFF, 5, 0xFFFD, 0x0301, true},
      {0xFFF0, 0x8000, 7, 0, 0x7FFF, 0xFF02, true},  // signed values as they are
      {9, 9, 9, 0x7FFF, 0, 0x0000, true},            // the largest length position
      {3, 4, 5, 0xFFFF, 2, 0x0002, false},           // -1
      {3, 4, 5, 0x8000, 2, 0x0002, false},           // -32768
  };
  for (const Case& c : cases) {
    Image image = CraftedImage();
    PutWord(image, kDrlChecksumStart, c.start);
    PutWord(image, kDrlChecksumEnd, c.end);
    PutWord(image, kDrlChecksumPos, c.pos);
    PutWord(image, kDrlLengthPos, c.lengthPos);
    PutWord(image, kDrlLengthAdjust, c.adjust);
    PutWord(image, kDrlChecksumAlg, c.alg);
    TConf conf = NoisyConf();
    conf.Protocolparam.NotUsed = 0x5A;
    const TConf before = conf;
    TDrlImportResult result;
    ASSERT_TRUE(ImportDrlImage(conf, image, {.Strings = false}, result));
    const TProtocolparam& p = conf.Protocolparam;
    const TProtocolparam& old = before.Protocolparam;
    EXPECT_EQ(p.NotUsed, 0);
    EXPECT_EQ(p.ChecksumStart, static_cast<std::int16_t>(c.start));
    EXPECT_EQ(p.ChecksumEnd, static_cast<std::int16_t>(c.end));
    EXPECT_EQ(p.ChecksumPos, static_cast<std::int16_t>(c.pos));
    if (c.lengthTaken) {
      EXPECT_TRUE(result.ParameterError.isEmpty());
      EXPECT_EQ(p.LengthPos, c.lengthPos);
      EXPECT_EQ(p.LengthAdjust, static_cast<std::int16_t>(c.adjust));
      EXPECT_EQ(p.ChecksumStyle, 0);
      EXPECT_EQ(p.ChecksumAlg, c.alg & 0xFF);
    } else {
      EXPECT_TRUE(
          result.ParameterError.contains(QString::number(static_cast<std::int16_t>(c.lengthPos))))
          << result.ParameterError.toStdString();
      EXPECT_TRUE(result.ParameterError.contains(QStringLiteral("not imported")));
      EXPECT_EQ(p.LengthPos, old.LengthPos);
      EXPECT_EQ(p.LengthAdjust, old.LengthAdjust);
      EXPECT_EQ(p.ChecksumStyle, old.ChecksumStyle);
      EXPECT_EQ(p.ChecksumAlg, old.ChecksumAlg);
    }
    EXPECT_TRUE(SameBytes(conf.Strngs, before.Strngs));
    EXPECT_TRUE(result.Names.isEmpty());
  }
}

class DrlFileTest : public testing::Test {
 protected:
  QString Write(const char* name, const Image& bytes) {
    const QString path = dir_.filePath(QString::fromLatin1(name));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
  }
  QTemporaryDir dir_;
  TConf conf_ = NoisyConf();
  TDrlImportResult result_;
  QString error_;
};

TEST_F(DrlFileTest, AWholeFileIsImportedAndBytesAfterTheHeadAreIgnored) {
  Image image = CraftedImage();
  TConf fromImage = conf_;
  TDrlImportResult imageResult;
  ASSERT_TRUE(ImportDrlImage(fromImage, image, {}, imageResult));
  image.resize(30000, 0xEE);
  ASSERT_TRUE(ImportDrlFile(conf_, Write("Config.DRL", image), {}, result_, &error_));
  EXPECT_TRUE(SameBytes(conf_, fromImage));
  EXPECT_EQ(result_.Names, imageResult.Names);
  EXPECT_EQ(conf_.Protocolparam.LengthPos, 5);
}

TEST_F(DrlFileTest, ShortMissingAndUnreadableFilesAreRefusedAndChangeNothing) {
  Image shortImage = CraftedImage();
  shortImage.pop_back();
  const struct {
    QString path;
    QString reason;
  } cases[] = {
      {Write("short.DRL", shortImage), QStringLiteral("too short for a DRL configuration")},
      {Write("empty.DRL", {}), QStringLiteral("too short for a DRL configuration")},
      {dir_.filePath(QStringLiteral("missing.DRL")), QStringLiteral("does not exist")},
      {dir_.path(), QStringLiteral("directory")},
  };
  const TConf before = conf_;
  for (const auto& c : cases) {
    result_.Names = QStringList{QStringLiteral("old")};
    error_.clear();
    EXPECT_FALSE(ImportDrlFile(conf_, c.path, {}, result_, &error_)) << c.path.toStdString();
    EXPECT_TRUE(error_.contains(QDir(c.path).absolutePath()) && error_.contains(c.reason))
        << error_.toStdString();
    EXPECT_TRUE(SameBytes(conf_, before));
    EXPECT_TRUE(result_.Names.isEmpty());
  }
  // A short image is refused in the same way.
  EXPECT_FALSE(ImportDrlImage(conf_, shortImage, {}, result_));
  EXPECT_TRUE(SameBytes(conf_, before));
}

TEST_F(DrlFileTest, AFileThatCannotBeOpenedIsRefusedWithTheSystemsReason) {
  if (geteuid() == 0)
    GTEST_SKIP() << "root reads any file";
  const QString path = Write("locked.DRL", CraftedImage());
  ASSERT_TRUE(QFile::setPermissions(path, QFile::WriteOwner));
  const TConf before = conf_;
  EXPECT_FALSE(ImportDrlFile(conf_, path, {}, result_, &error_));
  EXPECT_TRUE(error_.contains(path) && error_.contains(QString::fromLocal8Bit(strerror(EACCES))))
      << error_.toStdString();
  EXPECT_TRUE(SameBytes(conf_, before));
}

}  // namespace
}  // namespace klv
