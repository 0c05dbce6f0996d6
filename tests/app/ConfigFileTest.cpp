// Loading, saving, resetting and the choice of the file at start, on real files.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <csignal>
#include <cstring>
#include <random>
#include <tuple>

#include "app/ConfigTestSupport.h"

namespace klv {
namespace {

using test::ConfigFixtureParts;
using test::ReadFile;
using test::WriteFile;
using Kind = test::FakeMessageService::Kind;

QByteArray ValidImage(std::string_view ident = "KLV", std::string_view version = "V3.02 ") {
  ConfigFixtureParts parts;
  parts.config.SetDefaults();
  TConf& conf = parts.config.Conf();
  conf.FileHead.Ident.assign(ident);
  conf.FileHead.Version.assign(version);
  conf.MiscInt.AutoXmitInterval = 4321;  // tells a loaded record from the defaults
  return QByteArray(reinterpret_cast<const char*>(&conf), kConfSize);
}

class ConfigFileTest : public testing::Test {
 protected:
  QString Path(const QString& name) const { return dir_.Path(name); }
  test::TempCurrentDir dir_;
};

// What loading makes of each kind of file: loaded without a word, or refused
// with its reason first and the record reset to the defaults.
TEST_F(ConfigFileTest, EachFileIsLoadedOrRefusedWithItsReason) {
  QByteArray longIdent = ValidImage();
  longIdent[0] = 4;  // "KLV" with a length of 4 is no KLV file
  QByteArray damaged = ValidImage("KLV", "V1.00 ");
  damaged[0] = char(0xFF);  // lengths far beyond their room of 10
  damaged[11] = char(0xFF);
  ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.klv"));
  struct Case {
    const char* name;
    QByteArray bytes;  // null: the test does not write the file
    const char* firstMessage;
  };
  const Case cases[] = {
      {"good.klv", ValidImage(), nullptr},
      {"oldest.klv", ValidImage("KLV", "V1.16 "), nullptr},
      {"longer.klv", ValidImage("KLV", "V1.16 x"), nullptr},  // longer sorts above its prefix
      {"high.klv", ValidImage("KLV", "\xFF"), nullptr},       // bytes compare unsigned
      {"short.klv", ValidImage().left(35982),
       " is not a correct \n\rKLV V3.02  configuration file"},
      {"long.klv", ValidImage() + 'x', " is not a correct \n\rKLV V3.02  configuration file"},
      {"drl.klv", ValidImage("DRL"), " is not a \n\rKLV configuration file"},
      {"len4.klv", longIdent, " is not a \n\rKLV configuration file"},
      {"old.klv", ValidImage("KLV", "V1.15 "),
       " was made by KLV V1.15 \n\r and is not compatible with KLV V3.02 "},
      {"prefix.klv", ValidImage("DRL", "V1.1"),
       " was made by DRL V1.1\n\r and is not compatible with KLV V3.02 "},
      {"damaged.klv", damaged, " was made by KLV"},
      {"missing.klv", QByteArray(), "Cannot open the configuration file "},
      {"folder.klv", QByteArray(), "it is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = Path(QString::fromLatin1(c.name));
    if (!c.bytes.isNull())
      WriteFile(path, c.bytes);
    ConfigFixtureParts parts;
    parts.config.SetConfigFileName(path);
    const bool loaded = parts.config.LoadConfig();
    EXPECT_EQ(loaded, c.firstMessage == nullptr);
    EXPECT_EQ(parts.config.Conf().MiscInt.AutoXmitInterval, loaded ? 4321 : 1000);
    EXPECT_FALSE(parts.config.ConfigChanged());
    if (loaded) {
      EXPECT_TRUE(parts.messages.shown.empty());
      EXPECT_EQ(parts.config.ConfigFileName(), path);
      continue;
    }
    // The reason, the reset question and its answer, and for a file that was read the hints.
    const std::vector<QString> texts = parts.messages.Texts();
    ASSERT_EQ(texts.size(), c.bytes.isNull() ? 3u : 4u);
    EXPECT_TRUE(texts[0].contains(QString::fromLatin1(c.firstMessage))) << texts[0].toStdString();
    EXPECT_EQ(texts[1] + texts[2],
              "KLV will be reset to its default settings?"
              "All settings have been reset to default settings");
    EXPECT_TRUE(texts.size() == 3 ||
                texts[3].startsWith("If you suspect that this problem was caused by a program"));
    EXPECT_EQ(parts.config.ConfigFileName(), "Config.klv");
    EXPECT_EQ(parts.host.applies, 1);
    EXPECT_TRUE(c.bytes.isNull() || ReadFile(path) == c.bytes) << "the refused file is untouched";
  }
}

TEST_F(ConfigFileTest, EveryByteSurvivesASaveOverALongerFileAndALoad) {
  const QString name = Path("random.klv");
  WriteFile(name, QByteArray(100000, 'z'));
  ConfigFixtureParts parts;
  std::mt19937 random(42);
  auto* raw = reinterpret_cast<std::uint8_t*>(&parts.config.Conf());
  for (std::size_t i = 0; i < kConfSize; ++i)
    raw[i] = static_cast<std::uint8_t>(random());
  parts.config.Conf().Strngs.CurrentNr = 500;
  parts.config.SetConfigFileName(name);
  ASSERT_TRUE(parts.config.SaveConfig());
  auto expected = std::make_unique<TConf>(parts.config.Conf());  // the library's ranges clamped
  ClampLibrary(expected->Strngs);
  EXPECT_TRUE(parts.host.titleUpdates == 1 && !parts.config.ConfigChanged());

  const QByteArray saved = ReadFile(name);
  ASSERT_EQ(saved.size(), qsizetype(kConfSize));
  EXPECT_EQ(saved.left(4), QByteArray("\x03KLV"));  // saving stamps the file head
  EXPECT_EQ(saved.mid(11, 7), QByteArray("\x06V3.02 "));
  ConfigFixtureParts other;
  other.config.SetConfigFileName(name);
  ASSERT_TRUE(other.config.LoadConfig());
  EXPECT_EQ(std::memcmp(&other.config.Conf(), expected.get(), kConfSize), 0);
  EXPECT_EQ(other.config.Conf().Strngs.CurrentNr, 99);
}

// A full disk is simulated with the file size limit: writes beyond it fail
// with EFBIG, just as they would with ENOSPC.
TEST_F(ConfigFileTest, AFailedSaveLeavesTheOldFileWhole) {
  const QString name = Path("keep.klv");
  const QByteArray old = ValidImage();
  WriteFile(name, old);
  ConfigFixtureParts parts;
  parts.config.SetDefaults();
  parts.config.CopyToSaved();
  parts.config.SetConfigFileName(name);
  parts.config.Conf().MiscInt.AutoXmitInterval = 5;

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limited{1000, saved.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool ok = parts.config.SaveConfig();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(ok);
  EXPECT_EQ(ReadFile(name), old);
  const auto& shown = parts.messages.shown;
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, Kind::Error);
  EXPECT_TRUE(shown[0].text.contains(name) &&
              shown[0].text.contains(QString::fromLocal8Bit(strerror(EFBIG))))
      << "the file and the system's reason: " << shown[0].text.toStdString();
  EXPECT_TRUE(parts.config.ConfigChanged()) << "nothing was saved";
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"keep.klv"})
      << "no temporary file is left behind";
}

// The one command-line parameter, else Config.klv when anything stands under that name. A file
// that cannot be used is named with the reason, and never opened when it is no regular file.
TEST_F(ConfigFileTest, TheStartChoosesTheCommandLineFileOrConfigKlv) {
  QDir dir(dir_.path());
  for (const char* folder : {"good", "fifo", "dir", "none", "locked", "dir.klv", "dir/Config.klv"})
    ASSERT_TRUE(dir.mkdir(folder));
  WriteFile(Path("Bench.KlV"), ValidImage());
  WriteFile(Path("notes.txt"), ValidImage());
  WriteFile(Path("good/Config.klv"), ValidImage("KLV", "V2.00 "));
  WriteFile(Path("locked/inner.klv"), ValidImage());
  for (const char* fifo : {"fifo.klv", "fifo/Config.klv"})
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path(fifo)), 0600), 0);
  ASSERT_TRUE(QFile::link(Path("gone.klv"), Path("dangling.klv")));
  ASSERT_TRUE(QFile::setPermissions(Path("locked"), {}));
  const QString illegal =
      "Illegal command line parameter. KLV will be reset to its default settings?";
  // In `folder`, the parameter (none when empty): loaded, or the reason the message gives.
  const std::tuple<QString, QString, bool, QString> cases[] = {
      {"", "Bench.KlV", true, ""},
      {"good", "", true, ""},
      {"none", "", false, ""},
      {"", "notes.txt", false, illegal},
      {"", "absent.klv", false, "it does not exist. KLV will be reset to its default settings?"},
      {"", "dir.klv", false, "it is a directory"},
      {"", "fifo.klv", false, "it is a named pipe (FIFO)"},
      {"", "dangling.klv", false, "it is a link to " + Path("gone.klv") + ", which does not exist"},
      {"", "locked/inner.klv", false, "it cannot be reached: Permission denied"},
      {"fifo", "", false, "it is a named pipe (FIFO)."},
      {"dir", "", false, "it is a directory."},
  };
  for (const auto& [folder, parameter, loaded, reason] : cases) {
    SCOPED_TRACE((folder + " " + parameter).toStdString());
    if (reason.contains("Permission") && ::geteuid() == 0)
      continue;  // root reads through any permission
    ASSERT_TRUE(QDir::setCurrent(Path(folder)));
    ConfigFixtureParts parts;
    parts.config.SetDefaults();
    parts.config.LoadStartupConfig(parameter.isEmpty() ? QStringList() : QStringList{parameter});
    EXPECT_EQ(parts.config.Conf().MiscInt.AutoXmitInterval, loaded ? 4321 : 1000);
    EXPECT_EQ(parts.config.ConfigFileName(),
              loaded && !parameter.isEmpty() ? parameter : "Config.klv");
    // Config.klv goes through the load, with the reset question and its answer after the reason.
    ASSERT_EQ(parts.messages.shown.size(), reason.isEmpty() ? 0u : parameter.isEmpty() ? 3u : 1u);
    if (reason.isEmpty())
      continue;
    const QString file =
        QDir(Path(folder)).filePath(parameter.isEmpty() ? "Config.klv" : parameter);
    const QString& text = parts.messages.shown[0].text;
    EXPECT_TRUE(reason == illegal
                    ? text == illegal
                    : text.contains(file +
                                    (parameter.isEmpty() ? ": " : " named on the command line: ") +
                                    reason))
        << text.toStdString();
    EXPECT_EQ(parts.messages.shown[0].buttons, TMsgButtons(TMsgButton::Ok));
  }
  QFile::setPermissions(Path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

}  // namespace
}  // namespace klv
