// The configuration file: defaults, loading, saving and resetting of the
// record, and the copy it is compared with for unsaved changes.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "common/MessageService.h"
#include "conf/ConfRecord.h"

namespace klv {

// What checking a configuration image found.
enum class TConfigCheck { Ok, WrongFile, WrongKind, IncompatibleVersion };

struct TConfigImageCheck {
  TConfigCheck Outcome = TConfigCheck::WrongFile;
  // Identification and version as the file gives them (for the message).
  std::string Ident;
  std::string Version;
};

// Checks a file image: its size, identification and version. Never reads
// outside `image`, whatever its bytes say.
TConfigImageCheck CheckConfigImage(std::span<const std::uint8_t> image);
// True when `version` sorts below the oldest readable version, in the byte
// order of length-prefixed strings (a proper prefix is smaller).
bool VersionIsBelow(std::string_view version, std::string_view oldest);
// The message that reports a failed check of file `fileName`.
QString ConfigCheckMessage(const QString& fileName, const TConfigImageCheck& check);

// What the configuration needs from the rest of the program.
class IConfigHost {
 public:
  virtual ~IConfigHost() = default;
  // Whether a device exists on COM n, also when another program holds it.
  virtual bool PortPresent(int comNumber) = 0;
  virtual void StopFileLog() = 0;
  virtual void StopPrinterLog() = 0;
  // Brings windows, logs, ports and timers in line with the record.
  virtual void ApplyConfig() = 0;
  // The window title shows the configuration file.
  virtual void UpdateTitle() = 0;
};

// A configuration with no window, ports or logs behind it: for programs that
// only read or write configuration files.
class TDetachedConfigHost : public IConfigHost {
 public:
  bool PortPresent(int) override { return false; }
  void StopFileLog() override {}
  void StopPrinterLog() override {}
  void ApplyConfig() override {}
  void UpdateTitle() override {}
};

// The live record, the copy it is compared with for unsaved changes, and the
// file they belong to.
class TConfigFile {
 public:
  TConfigFile(IMessageService& messages, IConfigHost& host);

  TConf& Conf() { return *conf_; }
  const TConf& Conf() const { return *conf_; }
  const TConf& SavedConf() const { return *savedConf_; }

  const QString& ConfigFileName() const { return fileName_; }
  void SetConfigFileName(const QString& name) { fileName_ = name; }
  // The file name expanded to a full path, as the window title shows it.
  QString ConfigFullPath() const;

  void SetDefaults();
  // Reads ConfigFileName into the record. On any failure the user is told
  // why, the defaults are restored (ResetToDefaults) and false is returned.
  bool LoadConfig();
  // Writes the record as the whole file, atomically: a failed save leaves
  // the old file as it was. Reports a failure and returns false.
  bool SaveConfig();
  void ResetToDefaults();
  bool ConfigChanged() const;
  void CopyToSaved();

  // Chooses and loads the file at start: the one command-line parameter
  // (without the program name), or Config.klv when there is none.
  void LoadStartupConfig(const QStringList& parameters);

  TNewLineEntry GetNewLine(int channel, TDisplayMode mode) const;
  void SetNewLine(int channel, TDisplayMode mode, TNewLineEntry entry);

 private:
  void ReportFailedLoad(const QString& firstMessage, bool suggestExport);

  IMessageService& messages_;
  IConfigHost& host_;
  std::unique_ptr<TConf> conf_;
  std::unique_ptr<TConf> savedConf_;
  QString fileName_ = kDefaultConfigFileName;
};

// Message texts the user sees.
namespace ConfigText {
inline constexpr const char* ResetQuestion = "KLV will be reset to its default settings?";
inline constexpr const char* IllegalParameter =
    "Illegal command line parameter. KLV will be reset to its default settings?";
inline constexpr const char* ResetDone = "All settings have been reset to default settings";
inline constexpr const char* UpdateHint =
    "If you suspect that this problem was caused by a program update\n\r"
    "then you might want to export your current string library using\n\r"
    "your old KLV, and then import it into the new KLV";
}  // namespace ConfigText

}  // namespace klv
