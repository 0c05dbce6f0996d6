// Feeds arbitrary bytes to the string library import, as a file on disk and
// as an image, then works with every entry: whatever a file holds, the
// library it leaves has every value in range, and no entry sends more than
// its string and checksum. Bytes past the library choose the rules. Run with
// -max_len=29600 so that inputs reach the size of a library.
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "conf/ConfRecord.h"
#include "strings/LibraryFile.h"
#include "strings/StringRules.h"
#include "strings/StringTransmitter.h"

namespace {

// Both channels open; counts the calls and bytes of one transmission.
class CountingChannels : public klv::IChannelServices {
 public:
  bool ChannelAvailable(int channel) const override { return channel == 0 || channel == 1; }
  void OutputString(int, std::string_view bytes) override {
    ++calls;
    sent += bytes.size();
  }
  int ChannelOutputRoom(int) const override { return 4096; }
  void DiscardChannelOutput(int) override {}
  bool ChannelCTS(int) const override { return false; }
  void SetChannelRTS(int, bool) override {}
  void SetChannelDTR(int, bool) override {}
  int calls = 0;
  std::size_t sent = 0;
};

// Script strings reach the runner with an entry of the table current.
class CountingRunner : public klv::IScriptRunner {
 public:
  void RunScript(const klv::TStrngs& library, int, bool, bool) override {
    if (library.CurrentNr >= klv::kLibraryEntries)
      __builtin_trap();
  }
};

bool InRange(const klv::TStrngs& library) {
  for (const klv::TLibString& entry : library.Strings) {
    if (entry.Name.length > entry.Name.Capacity() || entry.CursorPos < 1 ||
        entry.CursorPos > entry.Str.size() + 1 || entry.Syntax > 4)
      return false;
  }
  return library.CurrentNr < klv::kLibraryEntries && library.GlobalSyntax >= 1 &&
         library.GlobalSyntax <= 3;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static QTemporaryDir dir;
  static klv::TConf conf;
  static klv::TStrngs fromImage;
  const QString path = dir.filePath(QStringLiteral("fuzz.Str"));
  {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
      return 0;
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  klv::SetLibraryDefaults(conf.Strngs);
  klv::SetLibraryDefaults(fromImage);
  const bool whole = size >= klv::kLibraryFileSize;
  QString error;
  // The file and the image agree; a short one changes nothing and says why.
  if (klv::ImportLibrary(conf.Strngs, path, &error) != whole ||
      klv::ImportLibraryImage(fromImage, {data, size}) != whole ||
      std::memcmp(&conf.Strngs, &fromImage, sizeof fromImage) != 0 ||
      (!whole && !error.contains(path)) || !InRange(conf.Strngs))
    __builtin_trap();

  const std::size_t rest = whole ? size - klv::kLibraryFileSize : 0;
  const std::uint8_t* extra = data + (whole ? klv::kLibraryFileSize : 0);
  if (rest >= sizeof(klv::TProtocolparam) + 2) {
    std::memcpy(static_cast<void*>(&conf.Protocolparam), extra, sizeof(klv::TProtocolparam));
    conf.DisplayMode = extra[sizeof(klv::TProtocolparam)];
    conf.Protocol.Selected = extra[sizeof(klv::TProtocolparam) + 1];
  }
  CountingChannels channels;
  CountingRunner runner;
  klv::TStringTransmitter transmitter(conf, channels);
  transmitter.SetScriptRunner(&runner);
  for (int index = -1; index <= klv::kLibraryEntries; ++index) {
    for (int channel = 0; channel < 2; ++channel) {
      channels.calls = 0;
      channels.sent = 0;
      transmitter.TransmitLibraryString(index, channel);
      if (channels.calls > 2 || channels.sent > 255 + 2)
        __builtin_trap();
    }
    const klv::TProtocolparam rules = klv::GetStringRules(conf, conf.Strngs, index);
    // What the editor does on showing the entry, on a copy.
    const auto at = static_cast<std::size_t>(std::clamp(index, 0, klv::kLibraryEntries - 1));
    klv::TLibString entry = conf.Strngs.Strings[at];
    klv::ApplyLengthByte(entry, rules);
    klv::ApplyChecksum(entry, rules);
  }
  transmitter.TransmitCurrentString(0);
  return 0;
}
