// The library file: export and import byte for byte, a failed export, refused
// and damaged files.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <random>

#include "strings/LibraryFile.h"

namespace klv {
namespace {

QByteArray Bytes(const TStrngs& library) {
  return {reinterpret_cast<const char*>(&library), sizeof library};
}

class LibraryFileTest : public testing::Test {
 protected:
  LibraryFileTest() {  // every byte random, then brought into range
    std::mt19937 random(7);
    for (auto& byte : std::span(reinterpret_cast<std::uint8_t*>(&library_), sizeof library_))
      byte = static_cast<std::uint8_t>(random());
    ClampLibrary(library_);
  }
  QString Path(const char* name) const { return dir_.filePath(name); }
  void Write(const char* name, const QByteArray& bytes) {
    QFile file(Path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
  }
  QByteArray Read(const char* name) {
    QFile file(Path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  QTemporaryDir dir_;
  TStrngs library_;
  QString error_;
};

// A full disk is simulated with the file size limit.
TEST_F(LibraryFileTest, ExportThenImportRestoresEveryByteAndAFailedExportChangesNothing) {
  Write("a.Str", "old");
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limited{1000, saved.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool ok = ExportLibrary(library_, Path("a.Str"), &error_);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(ok);
  EXPECT_TRUE(error_.contains(Path("a.Str")) && error_.contains(strerror(EFBIG)));
  EXPECT_EQ(Read("a.Str"), "old");
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"a.Str"});

  ASSERT_TRUE(ExportLibrary(library_, Path("a.Str"), &error_)) << error_.toStdString();
  EXPECT_EQ(Read("a.Str"), Bytes(library_));
  Write("long.Str", Bytes(library_) + "extra bytes are ignored");
  for (const char* name : {"a.Str", "long.Str"}) {
    TStrngs imported{};
    ASSERT_TRUE(ImportLibrary(imported, Path(name), &error_)) << error_.toStdString();
    EXPECT_EQ(Bytes(imported), Bytes(library_)) << name;
  }
}

TEST_F(LibraryFileTest, AFileThatIsNoLibraryLeavesTheLibraryAsItWas) {
  Write("short.Str", QByteArray(120, 'x'));
  Write("one.Str", Bytes(library_).chopped(1));
  ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo.Str")).constData(), 0600), 0);
  ASSERT_TRUE(QDir(dir_.path()).mkdir("dir.Str"));
  for (const auto& [name, reason] :
       {std::pair{"short.Str", "holds 120 bytes; a string library has 29502"},
        {"one.Str", "holds 29501 bytes"},
        {"fifo.Str", "named pipe"},  // opening it would block
        {"dir.Str", "directory"},
        {"none.Str", "does not exist"}}) {
    TStrngs imported = library_;
    EXPECT_FALSE(ImportLibrary(imported, Path(name), &error_));
    EXPECT_TRUE(error_.contains(Path(name)) && error_.contains(reason)) << error_.toStdString();
    EXPECT_EQ(Bytes(imported), Bytes(library_));
  }
}

TEST_F(LibraryFileTest, ValuesOutOfRangeAreClampedAndEveryOtherByteKept) {
  constexpr auto kEntry = sizeof(TLibString);
  constexpr auto kCursor = offsetof(TLibString, CursorPos);
  // Offset, the byte in the file, the byte imported. A syntax with no meaning
  // chose no rules, as None (1) does.
  const std::tuple<std::size_t, char, char> bytes[] = {
      {3 * kEntry + offsetof(TLibString, Name), 200, 20},
      {4 * kEntry + 283, 7, 1},
      {offsetof(TStrngs, CurrentNr), 0xF4, 99},
      {29401, 1, 0},
      {offsetof(TStrngs, GlobalSyntax), 9, 1},
      {5 * kEntry + kCursor, 0, 1},
      {5 * kEntry + kCursor + 1, 0, 0},
      {6 * kEntry, 3, 3},
      {6 * kEntry + kCursor, 0x2C, 4},
      {6 * kEntry + kCursor + 1, 1, 0}};
  QByteArray file = Bytes(library_), expected = file;
  for (const auto& [offset, damaged, clamped] : bytes) {
    file[qsizetype(offset)] = damaged;
    expected[qsizetype(offset)] = clamped;
  }
  Write("damaged.Str", file);
  ASSERT_TRUE(ImportLibrary(library_, Path("damaged.Str"), &error_));
  EXPECT_EQ(Bytes(library_), expected);
}

}  // namespace
}  // namespace klv
