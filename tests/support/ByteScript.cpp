#include "support/ByteScript.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "conf/ConfDefaults.h"
#include "display/P_hextty.h"
#include "protocol/P_ruvo94.h"
#include "protocol/ProtocolRules.h"
#include "support/RendererFakes.h"
#include "trigger/T_hextty.h"
#include "trigger/T_ruvo94.h"

namespace klv::test {
namespace {

constexpr const char* kStamp = "2026-12-06 10:11:12,3";  // the time stamp of the scripts' clock

struct TScriptError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
void Require(bool ok, const std::string& complaint) {
  if (!ok)
    throw TScriptError(complaint);
}

// Words and "texts" (with their quotes); the marks { } | and a *N stand alone.
std::vector<std::string> Tokens(std::string_view line) {
  std::vector<std::string> tokens;
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

// A decimal number from lowest to highest or, in base 16, a byte as two digits.
int Parse(const std::string& text, int lowest, int highest, int base = 10) {
  int value = -1;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  Require(error == std::errc() && stop == end && value >= lowest && value <= highest &&
              (base == 10 || text.size() == 2),
          "'" + text + "' is not " +
              (base == 16
                   ? "a hex byte"
                   : "a number from " + std::to_string(lowest) + " to " + std::to_string(highest)));
  return value;
}

// STX, the addresses, the type, the length byte, the data, ETX and the check byte.
std::string RuvoFrame(std::uint8_t to, std::uint8_t from, std::uint8_t type,
                      std::string_view data) {
  std::string frame = {'\x02', static_cast<char>(to), static_cast<char>(from),
                       static_cast<char>(type), static_cast<char>(data.size() + 3)};
  frame.append(data) += '\x03';
  return frame + static_cast<char>(ComputeChecksum(TChecksumAlg::XorRor, frame));
}

// k black, U blue underlined, b blue, r red (all other styles plain), ? anything else.
char Look(const TFixedFont& font) {
  const std::pair<TColor, int> looks[] = {
      {clBlack, 0}, {clBlue, FontStyle::Underline}, {clBlue, 0}, {clRed, 0}};
  return "kUbr?"[std::find(looks, looks + 4, std::pair<TColor, int>(font.Color, font.Style)) -
                 looks];
}

// The trigger and the library's transmitter as a script sets them up, noting
// what they are given and asked to send.
struct TFakeTrigger : IHexTTYTrigger, IRuvoTrigger, IStringTransmitter {
  bool Fires(std::uint8_t byte) const { return fires.find(static_cast<char>(byte)) != fires.npos; }
  bool CheckTrigger(int, std::uint8_t byte) override {
    checked += static_cast<char>(byte);
    return Fires(byte);
  }
  bool OnNoTrigDisplayAll(int) override { return showOthers; }
  std::string TakePreTrigChars(int) override { return std::exchange(pre, {}); }
  std::string TakeTrigString(int) override { return std::exchange(trig, {}); }
  std::string TakePostTrigChars(int) override { return std::exchange(post, {}); }
  bool TakeForceNewLine(int) override { return std::exchange(newLine, false); }
  void ResetTrigBuffers(int channel) override {
    checked += "[reset " + std::to_string(channel + 1) + "]";
  }
  bool CheckRuvoTrigger(int channel, std::uint8_t to, std::uint8_t from, std::uint8_t type,
                        std::string_view message) override {
    checked += std::to_string(channel + 1) + RuvoFrame(to, from, type, message);
    return Fires(type);
  }
  bool OnTrigDisplayFrame(int) override { return showFired; }
  bool OnNoTrigDisplayFrames(int) override { return showOthers; }
  void TransmitLibraryString(int index, int channel) override { Asked("string", index, channel); }
  void RunLibraryScript(int index, int channel) override { Asked("script", index, channel); }
  void RunLibraryScriptCopy(int index, int channel) override {
    Asked("script copy", index, channel);
  }
  void Asked(const std::string& what, int index, int channel) {
    transmitted += (transmitted.empty() ? "" : ", ") + what + " " + std::to_string(index) + " on " +
                   std::to_string(channel + 1);
  }

  std::string fires, pre, trig, post, checked, transmitted;
  bool showOthers = false, showFired = false, newLine = false;
};

struct TCountingBeeper : IBeeper {
  void Beep() override { ++beeps; }
  int beeps = 0;
};

// A script run line by line: every renderer on one 94 x 60 console model, with
// recording channels and log, the default settings with both logs on, a fixed
// clock and the fake trigger.
class TScript {
 public:
  explicit TScript(bool whole) : whole_(whole) {
    SetConfDefaults(conf_, [](int) { return false; });
    conf_.Log.LogToFile = conf_.Log.LogToPrinter = true;
    console_.SetSize(94, 60);
    const auto clock = [] { return QDateTime(QDate(2026, 12, 6), QTime(10, 11, 12, 300)); };
    hexTty_.SetClock(clock);
    decoder_.SetClock(clock);
  }

  void Run(std::string_view line) {
    t_ = line.starts_with('#') ? std::vector<std::string>() : Tokens(line);
    at_ = 1;
    if (t_.empty())
      return;
    const std::string& command = t_[0];
    if (const auto check = actual_.find(command); check != actual_.end()) {
      Check(Text(), check->second());
    } else if (command == "row") {
      const int y = Number(0, console_.Rows() - 1);
      Check(Text(), Trimmed(console_.RowText(y)));
    } else if (command == "look") {
      const int y = Number(0, console_.Rows() - 1);
      const std::string expected = Text();
      Require(expected.size() <= static_cast<std::size_t>(console_.Cols()), "too long a row");
      std::string actual(expected.size(), ' ');
      for (std::size_t x = 0; x < expected.size(); ++x) {
        if (expected[x] != ' ')
          actual[x] = Look(console_.Attrs().At(console_.AttrAt(static_cast<int>(x), y)).Font);
      }
      Check(expected, actual);
    } else if (command == "mode") {
      renderer_ =
          std::array<IDisplayRenderer*, 3>{&hex_, &tty_, &ruvo_}[Choice({"hex", "tty", "ruvo"})];
      renderer_->Reset();
    } else if (command == "set") {
      const std::size_t field = Choice({"MiscBool.TimeStamp", "MiscInt.CtrlCharDisplay",
                                        "Log.LogToPrinter", "NewLine.HexAscii", "NewLine.Tty"});
      if (field == 0) {
        conf_.MiscBool.TimeStamp = Number(0, 1) == 1;
      } else if (field == 1) {
        conf_.MiscInt.CtrlCharDisplay = static_cast<std::uint8_t>(Number(0, 2));
      } else if (field == 2) {
        conf_.Log.LogToPrinter = Number(0, 1) == 1;
      } else {  // HH after|before|ignore, for both channels
        const TNewLineEntry entry = {
            static_cast<std::uint8_t>(Parse(Word(), 0, 255, 16)),
            static_cast<std::uint8_t>(Choice({"after", "before", "ignore"}))};  // TNewLinePos
        for (auto& channel : conf_.NewLine.Entry)
          channel[static_cast<std::size_t>(field == 3 ? TDisplayMode::HexAscii
                                                      : TDisplayMode::Tty)] = entry;
      }
    } else if (command == "feed") {
      const std::size_t channel = Channel();
      Feed(channel, Text());
    } else if (command == "zip") {
      const std::string one = Part(), two = Text();
      for (std::size_t i = 0; i < std::max(one.size(), two.size()); ++i) {
        Feed(0, std::string_view(one).substr(std::min(i, one.size()), 1));
        Feed(1, std::string_view(two).substr(std::min(i, two.size()), 1));
      }
    } else if (command == "modem") {
      const std::size_t channel = Channel();
      TModemStatusRecord record;
      auto* lines = &record.State;
      while (at_ < t_.size()) {
        const std::size_t name = Choice({"RTS", "DTR", "CTS", "DSR", "DCD", "RI", "changed"});
        if (name == 6)  // changed
          lines = &record.Changed;
        else
          (*lines)[name] = true;
      }
      Renderer().ModemStatusLine(static_cast<int>(channel), record);
    } else if (command == "reset") {
      Renderer().Reset();
    } else if (command == "pending") {
      const bool toFile = Choice({"printer", "file"}) == 1;
      Renderer().LogPendingLine(Text(), toFile);
    } else if (command == "trigger") {
      const std::size_t channel = Channel();
      const auto mode = static_cast<std::uint8_t>(Choice({"off", "on"}));  // Disabled, OneShot
      conf_.Trigger_HexTTY.Channel[channel].Mode = conf_.Trigger_Ruvo94.Channel[channel].Mode =
          mode;
      hexTty_.SetTrigger(&trigger_);
      hexTty_.SetStringTransmitter(&trigger_);
      decoder_.SetTrigger(&trigger_);
      decoder_.SetStringTransmitter(&trigger_);
    } else if (command == "fire") {
      trigger_.fires = Text();
    } else if (command == "show") {
      trigger_.showOthers = trigger_.showFired = false;
      while (at_ < t_.size())
        (Choice({"others", "fired"}) == 0 ? trigger_.showOthers : trigger_.showFired) = true;
    } else if (command == "release") {
      trigger_.pre = Part();
      trigger_.trig = Part();
      trigger_.post = Text();
    } else if (command == "newline") {
      trigger_.newLine = true;
    } else if (command == "local") {
      THexTTYTrigChannel& settings = conf_.Trigger_HexTTY.Channel[Channel()];
      settings.OnTrigTrLocalStr = true;
      settings.OnTrigTrLocalText.assign(Text());
    } else if (command == "library") {
      TLibString& entry = conf_.Strngs.Strings[static_cast<std::size_t>(Number(0, 99))];
      entry.Syntax = static_cast<std::uint8_t>(
          Choice({"global", "none", "displaymode", "protocol", "script"}));  // TStringSyntax
      entry.Str.assign(Text());
    } else if (command == "engines") {
      hexTty_.SetTrigger(&hexTtyEngine_);
      hexTty_.SetStringTransmitter(&trigger_);
      decoder_.SetTrigger(&ruvoEngine_);
      decoder_.SetStringTransmitter(&trigger_);
    } else if (command == "trig" || command == "rtrig") {
      const std::size_t channel = Channel();
      while (at_ < t_.size()) {
        if (command == "trig")
          SetHexTtyField(conf_.Trigger_HexTTY.Channel[channel], Word());
        else
          SetRuvoField(conf_.Trigger_Ruvo94.Channel[channel], Word());
      }
    } else if (command == "answer") {
      const std::size_t channel = Channel();
      THexTTYTrigChannel& hexTty = conf_.Trigger_HexTTY.Channel[channel];
      TRuvo94TrigChannel& ruvo = conf_.Trigger_Ruvo94.Channel[channel];
      hexTty.OnTrigTrLibStr = ruvo.OnTrigTr = true;
      hexTty.OnTrigTrLibStrNr = ruvo.OnTrigTrStrNr = static_cast<std::uint16_t>(Number(0, 65535));
      ruvo.OnTrigTrDest = static_cast<std::uint16_t>(at_ < t_.size() ? Number(0, 65535) : 0);
    } else {
      Require(false, "unknown command '" + command + "'");
    }
    if (at_ < t_.size())
      throw TScriptError("unexpected '" + t_[at_] + "'");
  }

  void Finish() {
    if (checks_ == 0)
      ADD_FAILURE() << "the script checks nothing";
    for (const char* name : {"sent1", "sent2", "transmitted"})
      EXPECT_EQ(actual_.at(name)(), "") << name << " holds more than the script checked";
  }

 private:
  const std::string& Word() {
    Require(at_ < t_.size(), "a value is missing");
    return t_[at_++];
  }
  int Number(int lowest, int highest) { return Parse(Word(), lowest, highest); }
  std::size_t Channel() { return static_cast<std::size_t>(Number(1, 2) - 1); }
  // The next word's place among `words`.
  std::size_t Choice(std::initializer_list<std::string_view> words) {
    const std::string& word = Word();
    const auto it = std::find(words.begin(), words.end(), word);
    std::string all;
    for (std::string_view w : words)
      all += (all.empty() ? "" : "|") + std::string(w);
    Require(it != words.end(), "'" + word + "' is not one of " + all);
    return static_cast<std::size_t>(it - words.begin());
  }
  // BYTES or TEXT from the next token up to the end of the line or `stop`.
  std::string Text(std::string_view stop = {}) {
    std::string text;
    while (at_ < t_.size() && t_[at_] != stop) {
      const std::string& token = t_[at_++];
      std::string piece;
      if (token[0] == '"') {
        piece = token.substr(1, token.size() - 2);
      } else if (token == "stamp" || token == "nl") {
        piece = token == "nl" ? "\r\n" : kStamp;
      } else if (token[0] == '@') {
        const auto column = static_cast<std::size_t>(Parse(token.substr(1), 0, 1000));
        const std::size_t used = text.size() - (text.find_last_of('\n') + 1);  // npos + 1 is 0
        Require(used <= column, "the text is already past column " + token.substr(1));
        piece.assign(column - used, ' ');
      } else if (token == "{") {
        const std::string frame = Part("}");
        Require(frame.size() >= 3, "a frame is {TO FROM TYPE DATA...}");
        piece = RuvoFrame(static_cast<std::uint8_t>(frame[0]), static_cast<std::uint8_t>(frame[1]),
                          static_cast<std::uint8_t>(frame[2]), std::string_view(frame).substr(3));
      } else {
        piece.assign(1, static_cast<char>(Parse(token, 0, 255, 16)));
      }
      const bool repeated = at_ < t_.size() && t_[at_][0] == '*';
      for (int n = repeated ? Parse(t_[at_++].substr(1), 0, 1000000) : 1; n > 0; --n)
        text += piece;
    }
    return text;
  }

  // One "text" or hex byte.
  std::string Value() {
    const std::string& token = Word();
    return token[0] == '"' ? token.substr(1, token.size() - 2)
                           : std::string(1, static_cast<char>(Parse(token, 0, 255, 16)));
  }
  std::uint8_t Choose(std::initializer_list<std::string_view> words) {
    return static_cast<std::uint8_t>(Choice(words));
  }
  bool Flag() { return Number(0, 1) == 1; }

  // FIELD VALUE of a Hex/ASCII-TTY trigger: modes and states by name, flags
  // 0 or 1, counts in decimal, texts as one "text".
  void SetHexTtyField(THexTTYTrigChannel& t, const std::string& field) {
    using T = THexTTYTrigChannel;
    static const std::map<std::string, Boolean8 T::*> flags = {
        {"UseLocalStr", &T::UseLocalStr},
        {"UseLibStr", &T::UseLibStr},
        {"OtherChTrigged", &T::OtherChTrigged},
        {"DispTrigStr", &T::DispTrigStr},
        {"DispPreTrigChars", &T::DispPreTrigChars},
        {"DispPostTrigChars", &T::DispPostTrigChars},
        {"ForceNL", &T::ForceNL},
        {"OnNoTrigDisplay", &T::OnNoTrigDisplay},
        {"OnTrigBeep", &T::OnTrigBeep}};
    static const std::map<std::string, LeU16 T::*> counts = {{"LibStrNr", &T::LibStrNr},
                                                             {"PreTrigCount", &T::PreTrigCount},
                                                             {"PostTrigCount", &T::PostTrigCount}};
    if (field == "Mode") {
      t.Mode = Choose({"off", "1shot", "retrig"});
    } else if (field == "State") {
      t.State = Choose({"armed", "triggered", "stopped"});
    } else if (field == "PostTrigMode") {
      t.PostTrigMode = Choose({"count", "all", "newline"});
    } else if (field == "LocalStr") {
      t.LocalStr.assign(Value());
    } else if (flags.contains(field)) {
      t.*flags.at(field) = Flag();
    } else {
      Require(counts.contains(field), "'" + field + "' is no Hex/ASCII-TTY trigger field");
      t.*counts.at(field) = static_cast<std::uint16_t>(Number(0, 65535));
    }
  }

  // FIELD VALUE of a Ruvo-94 trigger; Dest, Source and Type take FROM TO OR
  // as hex bytes.
  void SetRuvoField(TRuvo94TrigChannel& t, const std::string& field) {
    using T = TRuvo94TrigChannel;
    static const std::map<std::string, Boolean8 T::*> flags = {
        {"UseDest", &T::UseDest},
        {"UseSource", &T::UseSource},
        {"UseType", &T::UseType},
        {"UseMsg", &T::UseMsg},
        {"OtherChTrigged", &T::OtherChTrigged},
        {"OnTrigDisplay", &T::OnTrigDisplay},
        {"OnNoTrigDisplay", &T::OnNoTrigDisplay},
        {"OnTrigBeep", &T::OnTrigBeep}};
    static const std::map<std::string, std::array<LeU16 T::*, 3>> ranges = {
        {"Dest", {&T::DestFrom, &T::DestTo, &T::DestOR}},
        {"Source", {&T::SourceFrom, &T::SourceTo, &T::SourceOR}},
        {"Type", {&T::TypeFrom, &T::TypeTo, &T::TypeOR}}};
    if (field == "Mode") {
      t.Mode = Choose({"off", "1shot", "retrig"});
    } else if (field == "State") {
      t.State = Choose({"armed", "triggered"});
    } else if (field == "MsgText") {
      t.MsgText.assign(Value());
    } else if (flags.contains(field)) {
      t.*flags.at(field) = Flag();
    } else {
      Require(ranges.contains(field), "'" + field + "' is no Ruvo-94 trigger field");
      for (LeU16 T::*bound : ranges.at(field))
        t.*bound = static_cast<std::uint8_t>(Parse(Word(), 0, 255, 16));
    }
  }

  // The state of channel `channel`'s trigger of the kind the mode uses.
  std::string State(std::size_t channel) const {
    const std::uint8_t state = renderer_ == &ruvo_ ? conf_.Trigger_Ruvo94.Channel[channel].State
                                                   : conf_.Trigger_HexTTY.Channel[channel].State;
    return state < 3 ? std::array<std::string, 3>{"armed", "triggered", "stopped"}[state] : "?";
  }

  // The text up to `end`, which is passed over.
  std::string Part(std::string_view end = "|") {
    std::string text = Text(end);
    Require(at_++ < t_.size(), "'" + std::string(end) + "' expected");
    return text;
  }
  IDisplayRenderer& Renderer() const {
    Require(renderer_ != nullptr, "no mode chosen yet");
    return *renderer_;
  }
  void Feed(std::size_t channel, std::string_view bytes) {
    while (whole_ && !bytes.empty())
      bytes.remove_prefix(Renderer().ReceiveBytes(static_cast<int>(channel), bytes));
    for (char c : bytes)
      Renderer().ReceiveByte(static_cast<int>(channel), static_cast<std::uint8_t>(c));
  }
  void Check(const std::string& expected, const std::string& actual) {
    ++checks_;
    EXPECT_EQ(expected, actual) << t_[0] << " differs";
  }

  TConf conf_;
  TColorConsoleBuffer console_;
  TBufferConsoleOutput output_{console_};
  RecordingChannels channels_;
  RecordingLogText log_;
  TProtocol_HexTTY hexTty_{conf_, output_, channels_, log_};
  TProtocol_Ruvo94 decoder_{conf_, output_, channels_, log_};
  THexAsciiRenderer hex_{hexTty_};
  TTtyRenderer tty_{hexTty_};
  TRuvo94Renderer ruvo_{decoder_, hexTty_};
  TFakeTrigger trigger_;
  TCountingBeeper beeper_;
  TTrigHexTTY hexTtyEngine_{conf_, beeper_};
  TTrigRuvo94 ruvoEngine_{conf_, beeper_};
  // What the checks compare with; sent1, sent2, checked and transmitted are
  // emptied by their check.
  const std::map<std::string, std::function<std::string()>> actual_ = {
      {"log", [this] { return log_.Joined(-1, false); }},
      {"log1", [this] { return log_.Joined(0, false); }},
      {"log2", [this] { return log_.Joined(1, false); }},
      {"rich", [this] { return log_.Joined(-1, true); }},
      {"printer", [this] { return log_.printer; }},
      {"sent1", [this] { return std::exchange(channels_.sent[0], {}); }},
      {"sent2", [this] { return std::exchange(channels_.sent[1], {}); }},
      {"checked", [this] { return std::exchange(trigger_.checked, {}); }},
      {"transmitted", [this] { return std::exchange(trigger_.transmitted, {}); }},
      {"state1", [this] { return State(0); }},
      {"state2", [this] { return State(1); }},
      {"held1", [this] { return std::to_string(hexTtyEngine_.HeldBytes(0)); }},
      {"held2", [this] { return std::to_string(hexTtyEngine_.HeldBytes(1)); }},
      {"beeps", [this] { return std::to_string(std::exchange(beeper_.beeps, 0)); }}};
  IDisplayRenderer* renderer_ = nullptr;
  std::vector<std::string> t_;
  std::size_t at_ = 0;
  int checks_ = 0;
  const bool whole_;
};

}  // namespace

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

void RunByteScript(const std::string& path, bool whole) {
  std::ifstream in(path);
  ASSERT_TRUE(in.is_open()) << "cannot read " << path;
  TScript script(whole);
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
