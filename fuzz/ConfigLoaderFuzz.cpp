// Feeds arbitrary bytes to the configuration loader: as a file on disk, the
// way the program reads it, and to the image check directly.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstring>

#include "app/Config.h"

namespace {

class QuietMessages : public klv::IMessageService {
 public:
  void Information(const QString& text) override { last = text; }
  klv::TMsgButton Confirmation(const QString& text, klv::TMsgButtons) override {
    last = text;
    return klv::TMsgButton::Ok;
  }
  void Error(const QString& text) override { last = text; }
  QString last;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static QTemporaryDir dir;
  // Images of the right size reach the identification and version checks.
  const klv::TConfigImageCheck check = klv::CheckConfigImage({data, size});
  (void)klv::ConfigCheckMessage(QStringLiteral("fuzz.klv"), check);

  const QString path = dir.filePath(QStringLiteral("fuzz.klv"));
  {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
      return 0;
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  QuietMessages messages;
  klv::TDetachedConfigHost host;
  klv::TConfigFile config(messages, host);
  config.SetDefaults();
  config.SetConfigFileName(path);
  const bool loaded = config.LoadConfig();
  // A load succeeds exactly when the image passed the check, and then holds
  // it, the string library's ranges clamped.
  if (loaded != (check.Outcome == klv::TConfigCheck::Ok))
    __builtin_trap();
  if (loaded) {
    static klv::TConf expected;
    std::memcpy(static_cast<void*>(&expected), data, klv::kConfSize);
    klv::ClampLibrary(expected.Strngs);
    if (std::memcmp(&config.Conf(), &expected, klv::kConfSize) != 0)
      __builtin_trap();
  }
  return 0;
}
