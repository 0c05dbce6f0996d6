// The DRL import engine against files built byte by byte from the DRL
// layout, over a configuration of random bytes that shows what changed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "strings/DrlImport.h"

namespace klv {
namespace {

using Image = std::vector<std::uint8_t>;
using Ints = std::vector<int>;

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

bool SameBytes(const auto& a, const auto& b) {
  static_assert(sizeof a == sizeof b);
  return std::memcmp(&a, &b, sizeof a) == 0;
}

class DrlImportTest : public testing::Test {
 protected:
  // Every byte random (unread fields hold noise); entry k holds the string
  // "S<k>" 00 FF and the name "N<k>".
  DrlImportTest() : image_(kDrlImageSize) {
    std::mt19937 random(11);
    for (auto& byte : image_)
      byte = static_cast<std::uint8_t>(random());
    for (int k = 1; k <= kDrlStrings; ++k) {
      const std::string str = "S" + std::to_string(k) + std::string("\0\xFF", 2);
      const std::string name = "N" + std::to_string(k);
      PutString(image_, EntryAt(k) + kDrlEntryStr, static_cast<std::uint8_t>(str.size()), str);
      PutString(image_, EntryAt(k) + kDrlEntryName, static_cast<std::uint8_t>(name.size()), name);
    }
    PutWord(image_, kDrlLengthPos, 5);
    for (auto& byte : std::span(reinterpret_cast<std::uint8_t*>(&conf_), sizeof conf_))
      byte = static_cast<std::uint8_t>(random());
    conf_.Strngs.CurrentNr = 50;
    conf_.Strngs.GlobalSyntax = 3;
    conf_.Protocolparam.NotUsed = 0x5A;
    before_ = conf_;
  }
  bool Import(TDrlImportChoice choice = {}) {
    return ImportDrlImage(conf_, image_, choice, result_);
  }
  QString Write(const char* name, const Image& bytes) {
    const QString path = dir_.filePath(QString::fromLatin1(name));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
  }

  Image image_;
  TConf conf_{};
  TConf before_{};
  TDrlImportResult result_;
  QTemporaryDir dir_;
  QString error_;
};

TEST_F(DrlImportTest, SeventySixStringsAndNamesComeFromTheirPlacesAndTheRestStays) {
  ASSERT_TRUE(Import({.Parameters = false}));
  ASSERT_EQ(result_.Names.size(), kDrlStrings);
  for (int k = 1; k <= kDrlStrings; ++k) {
    EXPECT_EQ(result_.Names[k - 1], QString::asprintf("%02d Name:   N%d", k, k));
    const TLibString& e = conf_.Strngs.Strings[static_cast<std::size_t>(k - 1)];
    EXPECT_EQ(e.Str.view(), "S" + std::to_string(k) + std::string("\0\xFF", 2)) << k;
    EXPECT_EQ(e.Name.view(), "N" + std::to_string(k)) << k;
    // The room after the string holds nothing left from before.
    EXPECT_EQ((Ints{e.CursorPos, e.InputMode, e.EditMode, e.Checksum, e.Syntax,
                    e.Str.chars[e.Str.size()]}),
              (Ints{1, 1, 1, 0, 0, 0}))
        << k;
    EXPECT_EQ(e.Spare, decltype(e.Spare){});
  }
  for (std::size_t i = kDrlStrings; i < kLibraryEntries; ++i)
    EXPECT_TRUE(SameBytes(conf_.Strngs.Strings[i], before_.Strngs.Strings[i])) << i + 1;
  EXPECT_EQ((Ints{conf_.Strngs.CurrentNr, conf_.Strngs.GlobalSyntax}), (Ints{0, 2}));
  EXPECT_EQ(conf_.Strngs.SpareBytes, decltype(conf_.Strngs.SpareBytes){});
  EXPECT_TRUE(SameBytes(conf_.Protocolparam, before_.Protocolparam));
}

TEST_F(DrlImportTest, NamesTakeTheSwedishLettersInWindowsCodesWhenConverting) {
  const struct {
    std::string drl, converted;  // converted: Windows-1252
    QString shown;               // in the list of names
  } cases[] = {
      {"\x84\x86\x8E\x8F\x94\x99", "\xE4\xE5\xC4\xC5\xF6\xD6", QStringLiteral(u"äåÄÅöÖ")},
      {"\x81\x85\x90\xE4", "\x81\x85\x90\xE4", {}},  // other codes stay
      {"\xFF", "", QStringLiteral("")},              // the mark of no name
      {"\xFF\xFF", "\xFF\xFF", {}},                  // a name that merely holds it
  };
  for (const bool convert : {true, false}) {
    for (const auto& c : cases) {
      PutString(image_, EntryAt(3) + kDrlEntryName, static_cast<std::uint8_t>(c.drl.size()), c.drl);
      TStrngs library{};
      const QStringList names = ImportDrlStrings(
          library, std::span<const std::uint8_t, kDrlImageSize>(image_.data(), kDrlImageSize),
          convert);
      const std::string expected = convert || c.drl == "\xFF" ? c.converted : c.drl;
      EXPECT_EQ(library.Strings[2].Name.view(), expected) << convert << " " << c.drl;
      EXPECT_TRUE(!convert || c.shown.isNull() || names[2] == "03 Name:   " + c.shown)
          << names[2].toStdString();
    }
  }
}

// A length byte may claim more than its room; the field is cut at its room
// and the marked byte just past the name's room is never taken.
TEST_F(DrlImportTest, LengthBytesBeyondTheRoomAreCutToTheField) {
  // entry, string length, name length; the last entry lies next to the parameters
  const std::array<int, 3> cases[] = {{1, 255, 15}, {2, 0, 16}, {76, 255, 255}};
  for (const auto& [k, strLength, nameLength] : cases) {
    const std::size_t str = EntryAt(k) + kDrlEntryStr;
    const std::size_t name = EntryAt(k) + kDrlEntryName;
    std::memset(image_.data() + str + 1, 'a', 255);
    std::memset(image_.data() + name + 1, 'b', kDrlNameRoom);
    image_[name + 1 + kDrlNameRoom] = 'X';
    image_[str] = static_cast<std::uint8_t>(strLength);
    image_[name] = static_cast<std::uint8_t>(nameLength);
    ASSERT_TRUE(Import());
    const TLibString& entry = conf_.Strngs.Strings[static_cast<std::size_t>(k - 1)];
    EXPECT_EQ(entry.Str.view(), std::string(static_cast<std::size_t>(strLength), 'a')) << k;
    EXPECT_EQ(entry.Name.view(), std::string(15, 'b')) << k;
    EXPECT_FALSE(result_.Names[k - 1].contains(QLatin1Char('X')));
  }
}

// Signed values are taken as they are, the algorithm from the low byte; a
// negative length position keeps the four fields that depend on it.
TEST_F(DrlImportTest, ParametersAreTakenAsTheyAreAndANegativeLengthPositionIsRefused) {
  const std::size_t at[] = {kDrlChecksumStart, kDrlChecksumEnd,  kDrlChecksumPos,
                            kDrlLengthPos,     kDrlLengthAdjust, kDrlChecksumAlg};
  // start, end, checksum position, length position, adjustment, algorithm
  const std::array<int, 6> cases[] = {{1, 2, -1, 5, -3, 0x0301},
                                      {-16, -32768, 7, 0, 32767, 0xFF02},
                                      {3, 4, 5, -1, 2, 2},
                                      {3, 4, 5, -32768, 2, 2}};
  for (const auto& c : cases) {
    for (std::size_t i = 0; i < 6; ++i)
      PutWord(image_, at[i], static_cast<std::uint16_t>(c[i]));
    ASSERT_TRUE(Import({.Strings = false}));
    const TProtocolparam& p = conf_.Protocolparam;
    const TProtocolparam& o = before_.Protocolparam;
    EXPECT_EQ((Ints{p.NotUsed, p.ChecksumStart, p.ChecksumEnd, p.ChecksumPos}),
              (Ints{0, c[0], c[1], c[2]}));
    const bool taken = c[3] >= 0;
    const Ints expected = taken ? Ints{c[3], c[4], 0, c[5] & 0xFF}
                                : Ints{o.LengthPos, o.LengthAdjust, o.ChecksumStyle, o.ChecksumAlg};
    EXPECT_EQ((Ints{p.LengthPos, p.LengthAdjust, p.ChecksumStyle, p.ChecksumAlg}), expected)
        << c[3];
    EXPECT_TRUE(taken ? result_.ParameterError.isEmpty()
                      : result_.ParameterError.contains(QString::number(c[3])) &&
                            result_.ParameterError.contains("not imported"));
    EXPECT_TRUE(SameBytes(conf_.Strngs, before_.Strngs) && result_.Names.isEmpty());
    conf_ = before_;
  }
}

// A whole file imports as its image does, whatever follows the head; short,
// missing and unreadable files are refused and change nothing.
TEST_F(DrlImportTest, AWholeFileIsImportedAndOthersAreRefused) {
  ASSERT_TRUE(Import());
  const TConf fromImage = conf_;
  const QStringList names = result_.Names;
  conf_ = before_;
  Image longer = image_;
  longer.resize(30000, 0xEE);
  ASSERT_TRUE(ImportDrlFile(conf_, Write("Config.DRL", longer), {}, result_, &error_));
  EXPECT_TRUE(SameBytes(conf_, fromImage) && result_.Names == names);
  conf_ = before_;
  image_.pop_back();
  const QString tooShort = QStringLiteral("too short for a DRL configuration");
  std::vector<std::pair<QString, QString>> cases = {
      {Write("short.DRL", image_), tooShort},
      {Write("empty.DRL", {}), tooShort},
      {dir_.filePath(QStringLiteral("missing.DRL")), QStringLiteral("does not exist")},
      {dir_.path(), QStringLiteral("directory")}};
  if (geteuid() != 0) {  // root reads any file
    cases.emplace_back(Write("locked.DRL", Image(kDrlImageSize)),
                       QString::fromLocal8Bit(strerror(EACCES)));
    ASSERT_TRUE(QFile::setPermissions(cases.back().first, QFile::WriteOwner));
  }
  for (const auto& [path, reason] : cases) {
    result_.Names = QStringList{QStringLiteral("old")};
    EXPECT_FALSE(ImportDrlFile(conf_, path, {}, result_, &error_)) << path.toStdString();
    EXPECT_TRUE(error_.contains(QDir(path).absolutePath()) && error_.contains(reason))
        << error_.toStdString();
    EXPECT_TRUE(SameBytes(conf_, before_) && result_.Names.isEmpty());
  }
  EXPECT_FALSE(Import());  // a short image in the same way
  EXPECT_TRUE(SameBytes(conf_, before_));
}

}  // namespace
}  // namespace klv
