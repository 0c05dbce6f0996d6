// Loading, saving, resetting and the choice of the file at start, on real files.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <random>

#include "app/ConfigTestSupport.h"

namespace klv {
namespace {

using test::ConfigFixtureParts;
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

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ConfigFileTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    parts_.config.SetDefaults();
    parts_.config.CopyToSaved();
  }
  QString Path(const QString& name) const { return dir_.filePath(name); }
  bool Load(const QString& path) {
    parts_.config.SetConfigFileName(path);
    return parts_.config.LoadConfig();
  }
  std::uint16_t Interval() const { return parts_.config.Conf().MiscInt.AutoXmitInterval; }

  QTemporaryDir dir_;
  ConfigFixtureParts parts_;
};

TEST_F(ConfigFileTest, AValidFileLoadsWithoutAWord) {
  WriteFile(Path("good.klv"), ValidImage());
  EXPECT_TRUE(Load(Path("good.klv")));
  EXPECT_EQ(Interval(), 4321);
  EXPECT_TRUE(parts_.messages.shown.empty());
  EXPECT_FALSE(parts_.config.ConfigChanged());
  EXPECT_EQ(parts_.config.ConfigFileName(), Path("good.klv"));
}

TEST_F(ConfigFileTest, WrongSizesAreWrongFilesAndResetEverything) {
  for (qsizetype size :
       {qsizetype{0}, qsizetype{1}, qsizetype{35982}, qsizetype{35984}, qsizetype{200000}}) {
    ConfigFixtureParts parts;
    QByteArray bytes = ValidImage();
    bytes.resize(size, 'x');
    const QString name = Path(QString("size%1.klv").arg(size));
    WriteFile(name, bytes);
    parts.config.SetConfigFileName(name);
    EXPECT_FALSE(parts.config.LoadConfig());

    const QString wrongFile = name + " is not a correct \n\rKLV V3.02  configuration file";
    ASSERT_EQ(parts.messages.shown.size(), 4u) << size;
    EXPECT_EQ(parts.messages.shown[0].kind, Kind::Information);
    EXPECT_EQ(parts.messages.shown[0].text, wrongFile);
    EXPECT_EQ(parts.messages.shown[1].kind, Kind::Confirmation);
    EXPECT_EQ(parts.messages.shown[1].text, "KLV will be reset to its default settings?");
    EXPECT_EQ(parts.messages.shown[1].buttons, TMsgButtons(TMsgButton::Ok));
    EXPECT_EQ(parts.messages.shown[2].text, "All settings have been reset to default settings");
    EXPECT_EQ(parts.messages.shown[3].text,
              "If you suspect that this problem was caused by a program update\n\r"
              "then you might want to export your current string library using\n\r"
              "your old KLV, and then import it into the new KLV");
    EXPECT_EQ(parts.config.ConfigFileName(), "Config.klv");
    EXPECT_EQ(parts.host.applies, 1);
    EXPECT_EQ(parts.config.Conf().MiscInt.AutoXmitInterval, 1000);
    EXPECT_FALSE(parts.config.ConfigChanged());
    EXPECT_EQ(ReadFile(name), bytes) << "the rejected file is left untouched";
  }
}

TEST_F(ConfigFileTest, AnotherIdentificationIsTheWrongKind) {
  WriteFile(Path("drl.klv"), ValidImage("DRL", "V3.02 "));
  EXPECT_FALSE(Load(Path("drl.klv")));
  ASSERT_FALSE(parts_.messages.shown.empty());
  EXPECT_EQ(parts_.messages.shown[0].text,
            Path("drl.klv") + " is not a \n\rKLV configuration file");
  EXPECT_EQ(Interval(), 1000);

  // The length byte counts as well as the text: "KLV" with a length of 4 is no KLV file.
  QByteArray longer = ValidImage();
  longer[0] = 4;
  WriteFile(Path("len4.klv"), longer);
  parts_.messages.shown.clear();
  EXPECT_FALSE(Load(Path("len4.klv")));
  EXPECT_TRUE(parts_.messages.shown[0].text.contains("is not a \n\rKLV configuration file"));
}

TEST_F(ConfigFileTest, VersionsFromTheOldestReadableUpwardsLoad) {
  for (std::string_view version : {"V1.16 ", "V3.02 ", "V9.99 ", "V1.2"}) {
    WriteFile(Path("v.klv"), ValidImage("KLV", version));
    parts_.messages.shown.clear();
    EXPECT_TRUE(Load(Path("v.klv"))) << version;
    EXPECT_TRUE(parts_.messages.shown.empty()) << version;
  }
}

TEST_F(ConfigFileTest, OlderVersionsAreIncompatibleEvenUnderAnotherIdentification) {
  struct Case {
    std::string_view ident, version;
  };
  for (Case c : {Case{"KLV", "V1.15 "}, Case{"KLV", "V1.1"}, Case{"DRL", "V1.00 "}}) {
    ConfigFixtureParts parts;
    const QString name = Path("old.klv");
    WriteFile(name, ValidImage(c.ident, c.version));
    parts.config.SetConfigFileName(name);
    EXPECT_FALSE(parts.config.LoadConfig());
    ASSERT_EQ(parts.messages.shown.size(), 4u);
    EXPECT_EQ(parts.messages.shown[0].text,
              name + " was made by " +
                  QString::fromLatin1(c.ident.data(), qsizetype(c.ident.size())) + " " +
                  QString::fromLatin1(c.version.data(), qsizetype(c.version.size())) +
                  "\n\r and is not compatible with KLV V3.02 ");
    EXPECT_EQ(parts.config.Conf().MiscInt.AutoXmitInterval, 1000);
  }
}

TEST_F(ConfigFileTest, DamagedLengthBytesNeverReadPastTheirRoom) {
  QByteArray bytes = ValidImage("KLV", "V1.00 ");
  bytes[0] = char(0xFF);   // identification claims 255 characters in a room of 10
  bytes[11] = char(0xFF);  // so does the version
  WriteFile(Path("damaged.klv"), bytes);
  EXPECT_FALSE(Load(Path("damaged.klv")));
  ASSERT_FALSE(parts_.messages.shown.empty());
  // The clamped texts are shown: "KLV" and ten bytes of room, then the version's ten.
  EXPECT_TRUE(parts_.messages.shown[0].text.contains(" was made by KLV"))
      << parts_.messages.shown[0].text.toStdString();
}

TEST_F(ConfigFileTest, FilesThatCannotBeOpenedAreNamedWithTheReason) {
  EXPECT_FALSE(Load(Path("missing.klv")));
  ASSERT_GE(parts_.messages.shown.size(), 3u);
  EXPECT_EQ(parts_.messages.shown[0].kind, Kind::Error);
  EXPECT_TRUE(parts_.messages.shown[0].text.contains(Path("missing.klv")));
  EXPECT_TRUE(parts_.messages.shown[0].text.contains("No such file", Qt::CaseInsensitive))
      << parts_.messages.shown[0].text.toStdString();
  EXPECT_EQ(parts_.messages.shown.back().text, "All settings have been reset to default settings");

  ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.klv"));
  parts_.messages.shown.clear();
  EXPECT_FALSE(Load(Path("folder.klv")));
  EXPECT_TRUE(parts_.messages.shown[0].text.contains("not a regular file"));
}

TEST_F(ConfigFileTest, SavingWritesTheWholeRecordOverALongerFile) {
  const QString name = Path("over.klv");
  WriteFile(name, QByteArray(100000, 'z'));
  parts_.config.Conf().FileHead.Version.assign("V2.00 ");
  parts_.config.Conf().MiscInt.AutoXmitInterval = 777;
  parts_.config.SetConfigFileName(name);
  EXPECT_TRUE(parts_.config.SaveConfig());

  const QByteArray saved = ReadFile(name);
  ASSERT_EQ(saved.size(), qsizetype(kConfSize));
  EXPECT_EQ(saved.left(4), QByteArray("\x03KLV"));
  EXPECT_EQ(saved.mid(11, 7), QByteArray("\x06V3.02 "));
  EXPECT_EQ(parts_.host.titleUpdates, 1);
  EXPECT_FALSE(parts_.config.ConfigChanged());

  ConfigFixtureParts other;
  other.config.SetConfigFileName(name);
  EXPECT_TRUE(other.config.LoadConfig());
  EXPECT_EQ(other.config.Conf().MiscInt.AutoXmitInterval, 777);
}

TEST_F(ConfigFileTest, EveryByteSurvivesASaveAndLoad) {
  std::mt19937 random(42);
  TConf& conf = parts_.config.Conf();
  auto* raw = reinterpret_cast<std::uint8_t*>(&conf);
  for (std::size_t i = 0; i < kConfSize; ++i)
    raw[i] = static_cast<std::uint8_t>(random());
  const QString name = Path("random.klv");
  parts_.config.SetConfigFileName(name);
  ASSERT_TRUE(parts_.config.SaveConfig());
  const QByteArray written(reinterpret_cast<const char*>(&conf), kConfSize);

  ConfigFixtureParts other;
  other.config.SetConfigFileName(name);
  ASSERT_TRUE(other.config.LoadConfig());
  EXPECT_EQ(std::memcmp(&other.config.Conf(), written.constData(), kConfSize), 0);
}

// A full disk is simulated with the file size limit: writes beyond it fail
// with EFBIG, just as they would with ENOSPC.
TEST_F(ConfigFileTest, AFailedSaveLeavesTheOldFileWhole) {
  const QString name = Path("keep.klv");
  const QByteArray old = ValidImage();
  WriteFile(name, old);
  parts_.config.SetConfigFileName(name);
  parts_.config.Conf().MiscInt.AutoXmitInterval = 5;

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool ok = parts_.config.SaveConfig();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(ok);
  EXPECT_EQ(ReadFile(name), old);
  ASSERT_EQ(parts_.messages.shown.size(), 1u);
  EXPECT_EQ(parts_.messages.shown[0].kind, Kind::Error);
  EXPECT_TRUE(parts_.messages.shown[0].text.contains(name));
  EXPECT_TRUE(parts_.config.ConfigChanged()) << "nothing was saved";
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"keep.klv"})
      << "no temporary file is left behind";
}

TEST_F(ConfigFileTest, ResetStopsOnlyTheLogsThatAreOn) {
  TConf& conf = parts_.config.Conf();
  conf.Log.LogToFile = true;
  parts_.config.SetConfigFileName(Path("elsewhere.klv"));
  parts_.config.ResetToDefaults();
  EXPECT_EQ(parts_.host.fileLogStops, 1);
  EXPECT_EQ(parts_.host.printerLogStops, 0);
  EXPECT_EQ(parts_.host.applies, 1);
  EXPECT_EQ(parts_.config.ConfigFileName(), "Config.klv");
  EXPECT_FALSE(parts_.config.Conf().Log.LogToFile);
  EXPECT_FALSE(parts_.config.ConfigChanged());
  EXPECT_EQ(parts_.messages.Texts(),
            std::vector<QString>{"All settings have been reset to default settings"});

  parts_.config.Conf().Log.LogToPrinter = true;
  parts_.config.ResetToDefaults();
  EXPECT_EQ(parts_.host.fileLogStops, 1);
  EXPECT_EQ(parts_.host.printerLogStops, 1);
}

class StartupConfigTest : public ConfigFileTest {
 protected:
  void SetUp() override {
    ConfigFileTest::SetUp();
    previous_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
  }
  void TearDown() override { QDir::setCurrent(previous_); }
  QString previous_;
};

TEST_F(StartupConfigTest, ACommandLineKlvFileIsLoadedWhateverTheCaseOfItsExtension) {
  WriteFile(Path("Bench.KlV"), ValidImage());
  WriteFile(Path("Config.klv"), QByteArray("not this one"));
  parts_.config.LoadStartupConfig({Path("Bench.KlV")});
  EXPECT_EQ(Interval(), 4321);
  EXPECT_EQ(parts_.config.ConfigFileName(), Path("Bench.KlV"));
  EXPECT_TRUE(parts_.messages.shown.empty());
}

TEST_F(StartupConfigTest, AnIllegalParameterKeepsTheDefaultsAndDoesNotTryConfigKlv) {
  WriteFile(Path("Config.klv"), ValidImage());
  WriteFile(Path("notes.txt"), ValidImage());
  for (const QString& parameter : {Path("notes.txt"), Path("absent.klv"), dir_.path()}) {
    ConfigFixtureParts parts;
    parts.config.SetDefaults();
    parts.config.LoadStartupConfig({parameter});
    ASSERT_EQ(parts.messages.shown.size(), 1u) << parameter.toStdString();
    EXPECT_EQ(parts.messages.shown[0].kind, Kind::Confirmation);
    EXPECT_EQ(parts.messages.shown[0].text,
              "Illegal command line parameter. KLV will be reset to its default settings?");
    EXPECT_EQ(parts.messages.shown[0].buttons, TMsgButtons(TMsgButton::Ok));
    EXPECT_EQ(parts.config.Conf().MiscInt.AutoXmitInterval, 1000);
    EXPECT_EQ(parts.config.ConfigFileName(), "Config.klv");
  }
}

TEST_F(StartupConfigTest, WithoutParametersConfigKlvIsLoadedWhenItExists) {
  parts_.config.LoadStartupConfig({});
  EXPECT_EQ(Interval(), 1000);
  EXPECT_TRUE(parts_.messages.shown.empty());

  WriteFile(Path("Config.klv"), ValidImage());
  parts_.config.LoadStartupConfig({});
  EXPECT_EQ(Interval(), 4321);
  EXPECT_EQ(parts_.config.ConfigFullPath(), Path("Config.klv"));
}

}  // namespace
}  // namespace klv
