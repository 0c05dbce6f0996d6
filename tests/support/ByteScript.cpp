#include "support/ByteScript.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>

#include "conf/ConfDefaults.h"
#include "protocol/ProtocolRules.h"

namespace klv::test {
namespace {

struct TScriptError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
void Require(bool ok, const std::string& complaint) {
  if (!ok)
    throw TScriptError(complaint);
}
using TTokens = std::vector<std::string>;

// Words and "texts" (with their quotes); the marks { } | and a *N stand alone.
TTokens Tokens(std::string_view line) {
  TTokens tokens;
  for (std::size_t i = 0, end = 0; i < line.size(); i = end) {
    end = line[i] == '"' ? line.find('"', i + 1) + 1 : i + 1;
    Require(end != 0, "a text without its closing quote");
    if (std::string_view("{}|\" \t\r").find(line[i]) == std::string_view::npos)
      end = std::min(line.size(), line.find_first_of(" \t\r\"{}|*", i + 1));
    if (std::string_view(" \t\r").find(line[i]) == std::string_view::npos)
      tokens.emplace_back(line.substr(i, end - i));
  }
  return tokens;
}

int Number(const std::string& text, int base = 10) {
  int value = -1;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  Require(error == std::errc() && stop == end && value >= 0 && (base == 10 || text.size() == 2),
          (base == 10 ? "not a number: '" : "not a hex byte: '") + text + "'");
  return value;
}

int Value(const TTokens& values, int highest) {
  const int value = values.size() == 1 ? Number(values[0]) : -1;
  Require(value >= 0 && value <= highest,
          "one value from 0 to " + std::to_string(highest) + " expected");
  return value;
}

// "HH after|before|ignore", for both channels.
void SetNewLine(TConf& conf, TDisplayMode mode, const TTokens& values) {
  static const TTokens kPositions = {"after", "before", "ignore"};  // as TNewLinePos
  const auto pos =
      std::find(kPositions.begin(), kPositions.end(), values.size() == 2 ? values[1] : "");
  Require(pos != kPositions.end(), "a new line is HH after|before|ignore");
  for (auto& channel : conf.NewLine.Entry) {
    channel[static_cast<std::size_t>(mode)] = {static_cast<std::uint8_t>(Number(values[0], 16)),
                                               static_cast<std::uint8_t>(pos - kPositions.begin())};
  }
}

// The settings a script can make, by record field.
using TSetting = std::function<void(TConf&, const TTokens&)>;
const std::map<std::string, TSetting> kSettings = {
    {"MiscBool.TimeStamp", [](TConf& c, const TTokens& v) { c.MiscBool.TimeStamp = Value(v, 1); }},
    {"MiscInt.CtrlCharDisplay",
     [](TConf& c, const TTokens& v) { c.MiscInt.CtrlCharDisplay = std::uint8_t(Value(v, 2)); }},
    {"Log.LogToPrinter", [](TConf& c, const TTokens& v) { c.Log.LogToPrinter = Value(v, 1); }},
    {"NewLine.HexAscii",
     [](TConf& c, const TTokens& v) { SetNewLine(c, TDisplayMode::HexAscii, v); }},
    {"NewLine.Tty", [](TConf& c, const TTokens& v) { SetNewLine(c, TDisplayMode::Tty, v); }},
};

// k black, U blue underlined, b blue, r red (all other styles plain), ? anything else.
char Look(const TFixedFont& font) {
  static const std::map<std::pair<TColor, int>, char> kLooks = {
      {{clBlack, 0}, 'k'},
      {{clBlue, FontStyle::Underline}, 'U'},
      {{clBlue, 0}, 'b'},
      {{clRed, 0}, 'r'}};
  const auto look = kLooks.find({font.Color, font.Style});
  return look == kLooks.end() ? '?' : look->second;
}

class TScript {
 public:
  void Run(std::string_view line);
  void Finish();

 private:
  const std::string& Word() {
    Require(at_ < t_.size(), "a value is missing");
    return t_[at_++];
  }
  int Below(int limit) {
    const int value = Number(Word());
    Require(value < limit, t_[at_ - 1] + " is too large");
    return value;
  }
  int Channel() {
    const int channel = Below(3) - 1;
    Require(channel >= 0, "channel 1 or 2 expected");
    return channel;
  }
  IDisplayRenderer& Renderer() const {
    Require(renderer_ != nullptr, "no mode chosen yet");
    return *renderer_;
  }
  void Check(const std::string& expected, const std::string& actual) {
    ++checks_;
    EXPECT_EQ(expected, actual) << t_[0] << " differs";
  }
  std::string Text(std::string_view stop = {});

  std::unique_ptr<TRenderRig> rig_ = std::make_unique<TRenderRig>();
  IDisplayRenderer* renderer_ = nullptr;
  TTokens t_;
  std::size_t at_ = 0;
  std::array<bool, 2> sentSaid_{};
  int checks_ = 0;
};

// BYTES or TEXT from the next token up to the end of the line or `stop`.
std::string TScript::Text(std::string_view stop) {
  std::string text;
  while (at_ < t_.size() && t_[at_] != stop) {
    const std::string& token = t_[at_++];
    std::string piece;
    if (token[0] == '"') {
      piece = token.substr(1, token.size() - 2);
    } else if (token == "stamp" || token == "nl") {
      piece = token == "nl" ? "\r\n" : kStamp;
    } else if (token[0] == '@') {
      const auto column = static_cast<std::size_t>(Number(token.substr(1)));
      const std::size_t used = text.size() - (text.find_last_of('\n') + 1);  // npos + 1 is 0
      Require(used <= column, "the text is already past column " + token.substr(1));
      piece.assign(column - used, ' ');
    } else if (token == "{") {
      const std::string frame = Text("}");
      Require(at_++ < t_.size() && frame.size() >= 3, "a frame is {TO FROM TYPE DATA...}");
      piece = RuvoFrame(static_cast<std::uint8_t>(frame[0]), static_cast<std::uint8_t>(frame[1]),
                        static_cast<std::uint8_t>(frame[2]), std::string_view(frame).substr(3));
    } else {
      piece.assign(1, static_cast<char>(Number(token, 16)));
    }
    for (int n = at_ < t_.size() && t_[at_][0] == '*' ? Number(t_[at_++].substr(1)) : 1; n > 0; --n)
      text += piece;
  }
  return text;
}

void TScript::Run(std::string_view line) {
  t_ = line.starts_with('#') ? TTokens() : Tokens(line);
  at_ = 1;
  if (t_.empty())
    return;
  TRenderRig& rig = *rig_;
  const std::map<std::string, std::function<std::string()>> logs = {
      {"log", [&] { return rig.log.Joined(-1, false); }},
      {"log1", [&] { return rig.log.Joined(0, false); }},
      {"log2", [&] { return rig.log.Joined(1, false); }},
      {"rich", [&] { return rig.log.Joined(-1, true); }},
      {"printer", [&] { return rig.log.printer; }},
      {"sent1", [&] { return rig.channels.sent[0]; }},
      {"sent2", [&] { return rig.channels.sent[1]; }}};
  const std::string& command = t_[0];
  if (const auto log = logs.find(command); log != logs.end()) {
    if (command.starts_with("sent"))
      sentSaid_[command == "sent1" ? 0 : 1] = true;
    Check(Text(), log->second());
  } else if (command == "row") {
    const int y = Below(rig.console.Rows());
    Check(Text(), rig.Row(y));
  } else if (command == "look") {
    const int y = Below(rig.console.Rows());
    const std::string expected = Text();
    Require(expected.size() <= static_cast<std::size_t>(rig.console.Cols()), "too long a row");
    std::string actual(expected.size(), ' ');
    for (int x = 0; x < static_cast<int>(expected.size()); ++x) {
      if (expected[static_cast<std::size_t>(x)] != ' ')
        actual[static_cast<std::size_t>(x)] =
            Look(rig.console.Attrs().At(rig.console.AttrAt(x, y)).Font);
    }
    Check(expected, actual);
  } else if (command == "mode") {
    const std::map<std::string, IDisplayRenderer*> modes = {
        {"hex", &rig.hex}, {"tty", &rig.tty}, {"ruvo", &rig.ruvo}};
    const auto mode = modes.find(Word());
    Require(mode != modes.end(), "unknown mode '" + t_[1] + "'");
    renderer_ = mode->second;
    renderer_->Reset();
  } else if (command == "set") {
    const auto setting = kSettings.find(Word());
    Require(setting != kSettings.end(), "unknown setting '" + t_[1] + "'");
    setting->second(rig.conf, TTokens(t_.begin() + 2, t_.end()));
    at_ = t_.size();
  } else if (command == "feed") {
    const int channel = Channel();
    rig.Feed(Renderer(), channel, Text());
  } else if (command == "zip") {
    const std::string one = Text("|");
    Require(at_++ < t_.size(), "zip BYTES | BYTES");
    const std::string two = Text();
    for (std::size_t i = 0; i < std::max(one.size(), two.size()); ++i) {
      rig.Feed(Renderer(), 0, std::string_view(one).substr(std::min(i, one.size()), 1));
      rig.Feed(Renderer(), 1, std::string_view(two).substr(std::min(i, two.size()), 1));
    }
  } else if (command == "modem") {
    static const TTokens kLines = {"RTS", "DTR", "CTS", "DSR", "DCD", "RI"};
    const int channel = Channel();
    TModemStatusRecord record;
    auto* lines = &record.State;
    for (; at_ < t_.size(); ++at_) {
      const auto name = std::find(kLines.begin(), kLines.end(), t_[at_]);
      Require(t_[at_] == "changed" || name != kLines.end(), "not a modem line: '" + t_[at_] + "'");
      if (t_[at_] == "changed")
        lines = &record.Changed;
      else
        (*lines)[static_cast<std::size_t>(name - kLines.begin())] = true;
    }
    Renderer().ModemStatusLine(channel, record);
  } else if (command == "reset") {
    Renderer().Reset();
  } else if (command == "pending") {
    const std::string& where = Word();
    Require(where == "file" || where == "printer", "pending file|printer TEXT");
    Renderer().LogPendingLine(Text(), where == "file");
  } else {
    Require(false, "unknown command '" + command + "'");
  }
  if (at_ < t_.size())
    throw TScriptError("unexpected '" + t_[at_] + "'");
}

void TScript::Finish() {
  if (checks_ == 0)
    ADD_FAILURE() << "the script checks nothing";
  for (int channel : {0, 1}) {
    if (!sentSaid_[static_cast<std::size_t>(channel)]) {
      EXPECT_EQ(rig_->channels.sent[static_cast<std::size_t>(channel)], "")
          << "sent on channel " << channel + 1 << ", not in the script";
    }
  }
}

}  // namespace

TRenderRig::TRenderRig() {
  SetConfDefaults(conf, [](int) { return false; });
  conf.Log.LogToFile = true;
  conf.Log.LogToPrinter = true;
  console.SetSize(94, 60);
  hexTty.SetClock(FixedTime);
  decoder.SetClock(FixedTime);
}

void TRenderRig::Feed(IDisplayRenderer& renderer, int channel, std::string_view bytes) {
  for (char c : bytes)
    renderer.ReceiveByte(channel, static_cast<std::uint8_t>(c));
}

std::string RuvoFrame(std::uint8_t to, std::uint8_t from, std::uint8_t type,
                      std::string_view data) {
  std::string frame = {'\x02', static_cast<char>(to), static_cast<char>(from),
                       static_cast<char>(type), static_cast<char>(data.size() + 3)};
  frame.append(data) += '\x03';
  return frame + static_cast<char>(ComputeChecksum(TChecksumAlg::XorRor, frame));
}

std::vector<std::string> ByteScriptFiles(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(KLV_FIXTURES_DIR) / folder))
    files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::string ByteScriptName(const testing::TestParamInfo<std::string>& info) {
  return std::filesystem::path(info.param).stem().string();
}

void RunByteScript(const std::string& path) {
  std::ifstream in(path);
  ASSERT_TRUE(in.is_open()) << "cannot read " << path;
  TScript script;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    testing::ScopedTrace trace(path.c_str(), ++number, line);
    try {
      Require(number > 1 || line.starts_with('#'), "the first line says what the script checks");
      script.Run(line);
    } catch (const TScriptError& error) {
      ADD_FAILURE_AT(path.c_str(), number) << "malformed script line: " << error.what();
      return;
    }
  }
  testing::ScopedTrace trace(path.c_str(), number, "(end of the script)");
  script.Finish();
}

}  // namespace klv::test
