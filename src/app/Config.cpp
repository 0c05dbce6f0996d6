#include "app/Config.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/Cp1252.h"
#include "common/RegularFile.h"
#include "common/ReplaceFile.h"
#include "conf/ConfDefaults.h"

namespace klv {
namespace {

// Reads a length-prefixed string at `offset` of the image; a length byte
// beyond the room is clamped to the room.
std::string ReadPascal(std::span<const std::uint8_t> image, std::size_t offset, std::size_t room) {
  const std::size_t length = std::min<std::size_t>(image[offset], room);
  return std::string(reinterpret_cast<const char*>(image.data() + offset + 1), length);
}

QString ToText(std::string_view bytes) {
  return Cp1252ToQString(bytes);
}

}  // namespace

bool VersionIsBelow(std::string_view version, std::string_view oldest) {
  return std::lexicographical_compare(
      version.begin(), version.end(), oldest.begin(), oldest.end(),
      [](char a, char b) { return static_cast<unsigned char>(a) < static_cast<unsigned char>(b); });
}

TConfigImageCheck CheckConfigImage(std::span<const std::uint8_t> image) {
  TConfigImageCheck check;
  if (image.size() != kConfSize)
    return check;  // WrongFile
  constexpr std::size_t kIdentRoom = decltype(TFileHead::Ident)::Capacity();
  constexpr std::size_t kVersionRoom = decltype(TFileHead::Version)::Capacity();
  check.Ident = ReadPascal(image, offsetof(TFileHead, Ident), kIdentRoom);
  check.Version = ReadPascal(image, offsetof(TFileHead, Version), kVersionRoom);
  // The stored length byte must say 3, not only the clamped text.
  const bool identMatches =
      image[offsetof(TFileHead, Ident)] == kConfIdent.size() && check.Ident == kConfIdent;
  if (VersionIsBelow(check.Version, kOldestCompatibleVersion)) {
    check.Outcome = TConfigCheck::IncompatibleVersion;
  } else if (!identMatches) {
    check.Outcome = TConfigCheck::WrongKind;
  } else {
    check.Outcome = TConfigCheck::Ok;
  }
  return check;
}

QString ConfigCheckMessage(const QString& fileName, const TConfigImageCheck& check) {
  const QString ident = ToText(kConfIdent);
  const QString version = ToText(kConfVersion);
  switch (check.Outcome) {
    case TConfigCheck::Ok:
      return {};
    case TConfigCheck::WrongFile:
      return fileName + " is not a correct \n\r" + ident + " " + version + " configuration file";
    case TConfigCheck::WrongKind:
      return fileName + " is not a \n\r" + ident + " configuration file";
    case TConfigCheck::IncompatibleVersion:
      return fileName + " was made by " + ToText(check.Ident) + " " + ToText(check.Version) +
             "\n\r and is not compatible with " + ident + " " + version;
  }
  return {};
}

TConfigFile::TConfigFile(IMessageService& messages, IConfigHost& host)
    : messages_(messages),
      host_(host),
      conf_(std::make_unique<TConf>()),
      savedConf_(std::make_unique<TConf>()) {}

QString TConfigFile::ConfigFullPath() const {
  return QFileInfo(fileName_).absoluteFilePath();
}

void TConfigFile::SetDefaults() {
  SetConfDefaults(*conf_, [this](int n) { return host_.PortPresent(n); });
}

bool TConfigFile::LoadConfig() {
  const QString name = fileName_;
  // One byte more than a record tells a longer file apart without reading it whole.
  QByteArray bytes(static_cast<qsizetype>(kConfSize) + 1, Qt::Uninitialized);
  std::size_t count = 0;
  const QString problem = ReadFileHead(
      name, std::span(reinterpret_cast<std::uint8_t*>(bytes.data()), kConfSize + 1), count);
  if (!problem.isEmpty()) {
    ReportFailedLoad(QString("Cannot open the configuration file %1: %2.")
                         .arg(QFileInfo(name).absoluteFilePath(), problem),
                     false);
    return false;
  }
  bytes.truncate(static_cast<qsizetype>(count));

  const TConfigImageCheck check =
      CheckConfigImage({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                        static_cast<std::size_t>(bytes.size())});
  if (check.Outcome != TConfigCheck::Ok) {
    ReportFailedLoad(ConfigCheckMessage(name, check), true);
    return false;
  }
  std::memcpy(static_cast<void*>(conf_.get()), bytes.constData(), kConfSize);
  ClampLibrary(conf_->Strngs);
  CopyToSaved();
  return true;
}

void TConfigFile::ReportFailedLoad(const QString& firstMessage, bool suggestExport) {
  if (suggestExport) {
    messages_.Information(firstMessage);
  } else {
    messages_.Error(firstMessage);
  }
  messages_.Confirmation(ConfigText::ResetQuestion, TMsgButton::Ok);
  ResetToDefaults();
  if (suggestExport)
    messages_.Information(ConfigText::UpdateHint);
}

bool TConfigFile::SaveConfig() {
  conf_->FileHead.Ident.assign(kConfIdent);
  conf_->FileHead.Version.assign(kConfVersion);

  QString reason;
  const QByteArray image(reinterpret_cast<const char*>(conf_.get()),
                         static_cast<qsizetype>(kConfSize));
  if (!ReplaceFile(fileName_, image, &reason)) {
    messages_.Error(QString("Cannot save the configuration to %1: %2. The file was not changed.")
                        .arg(ConfigFullPath(), reason));
    return false;
  }
  host_.UpdateTitle();
  CopyToSaved();
  return true;
}

void TConfigFile::ResetToDefaults() {
  if (conf_->Log.LogToFile)
    host_.StopFileLog();
  if (conf_->Log.LogToPrinter)
    host_.StopPrinterLog();
  fileName_ = kDefaultConfigFileName;
  SetDefaults();
  host_.ApplyConfig();
  CopyToSaved();
  messages_.Information(ConfigText::ResetDone);
}

bool TConfigFile::ConfigChanged() const {
  return std::memcmp(conf_.get(), savedConf_.get(), kConfSize) != 0;
}

void TConfigFile::CopyToSaved() {
  *savedConf_ = *conf_;
}

void TConfigFile::LoadStartupConfig(const QStringList& parameters) {
  if (!parameters.isEmpty()) {
    const QString& name = parameters.front();
    if (QFileInfo(name).suffix().toUpper() != "KLV") {
      messages_.Confirmation(ConfigText::IllegalParameter, TMsgButton::Ok);
      return;
    }
    if (const QString problem = RegularFileProblem(name); !problem.isEmpty()) {
      messages_.Confirmation(
          QString("Cannot open the configuration file %1 named on the command line: %2. %3")
              .arg(QFileInfo(name).absoluteFilePath(), problem, ConfigText::ResetQuestion),
          TMsgButton::Ok);
      return;
    }
    fileName_ = name;
    LoadConfig();
    return;
  }
  // Config.klv may be absent; anything else under its name is read or reported.
  struct stat entry {};
  if (::lstat(kDefaultConfigFileName, &entry) == 0 || errno != ENOENT)
    LoadConfig();
}

TNewLineEntry TConfigFile::GetNewLine(int channel, TDisplayMode mode) const {
  return conf_->NewLine.Entry.at(static_cast<std::size_t>(channel))
      .at(static_cast<std::size_t>(mode));
}

void TConfigFile::SetNewLine(int channel, TDisplayMode mode, TNewLineEntry entry) {
  conf_->NewLine.Entry.at(static_cast<std::size_t>(channel)).at(static_cast<std::size_t>(mode)) =
      entry;
}

}  // namespace klv
