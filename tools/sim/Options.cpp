#include "sim/Options.h"

#include <charconv>
#include <cmath>
#include <set>
#include <string_view>

#include "sim/Pacer.h"

namespace klv::sim {
namespace {

constexpr std::uint64_t kLinePace = 960;  // 9600 baud, 10 bits a byte

// A whole decimal number from `low` to `high`, nothing else in the text.
std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t low,
                                         std::uint64_t high) {
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [rest, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || rest != end || value < low || value > high)
    return std::nullopt;
  return value;
}

std::optional<int> ParseCom(std::string_view text) {
  const auto value = ParseNumber(text, kFirstCom, kLastCom);
  if (!value)
    return std::nullopt;
  return static_cast<int>(*value);
}

std::string ComError(std::string_view text) {
  return "'" + std::string(text) + "' is not a COM number from 1 to 16";
}

class TParser {
 public:
  explicit TParser(const std::vector<std::string>& args) : args_(args) {}

  TParseResult Run() {
    while (result_.Error.empty() && next_ < args_.size())
      Option(args_[next_++]);
    if (result_.Error.empty())
      Check();
    return std::move(result_);
  }

 private:
  TSimOptions& Options() { return result_.Options; }

  void Fail(std::string message) {
    if (result_.Error.empty())
      result_.Error = std::move(message);
  }

  // The value of `name`: after "=" or the next argument.
  std::optional<std::string> Value(const std::string& name,
                                   const std::optional<std::string>& inline_) {
    if (inline_)
      return inline_;
    if (next_ >= args_.size()) {
      Fail(name + " needs a value");
      return std::nullopt;
    }
    return args_[next_++];
  }

  // Single options may be given once only: a second one is likely a typo.
  bool Once(const std::string& name) {
    if (seen_.insert(name).second)
      return true;
    Fail(name + " is given twice");
    return false;
  }

  void Option(const std::string& arg) {
    if (arg == "--help" || arg == "-h") {
      Options().Help = true;
      return;
    }
    if (arg.rfind("--", 0) != 0) {
      Fail("unexpected argument '" + arg + "'");
      return;
    }
    std::string name = arg;
    std::optional<std::string> inline_;
    if (const auto equals = arg.find('='); equals != std::string::npos) {
      name = arg.substr(0, equals);
      inline_ = arg.substr(equals + 1);
    }
    struct TOption {
      void (TParser::*handler)(const std::string& name, const std::string& value);
      bool once;  // a setting, not a device or a port's pace
    };
    static const std::map<std::string, TOption> kOptions = {
        {"--ports-dir", {&TParser::PortsDir, true}},
        {"--ruvo", {&TParser::Ruvo, false}},
        {"--text", {&TParser::Single, false}},
        {"--echo", {&TParser::Single, false}},
        {"--flood", {&TParser::Flood, false}},
        {"--pace", {&TParser::Pace, false}},
        {"--fault-rate", {&TParser::FaultRate, true}},
        {"--frames", {&TParser::Frames, true}},
        {"--seed", {&TParser::Seed, true}},
        {"--transcript", {&TParser::Transcript, true}},
        {"--demo-config", {&TParser::DemoConfig, true}},
    };
    const auto found = kOptions.find(name);
    if (found == kOptions.end()) {
      Fail("unknown option '" + name + "'");
      return;
    }
    const TOption& option = found->second;
    const auto value = Value(name, inline_);
    if (!value || (option.once && !Once(name)))
      return;
    (this->*option.handler)(name, *value);
  }

  void UsePort(const std::string& name, int com) {
    if (!used_.insert(com).second)
      Fail(name + ": COM" + std::to_string(com) + " is already used by another device");
  }

  void PortsDir(const std::string& name, const std::string& value) {
    if (value.empty())
      Fail(name + " needs a directory");
    Options().PortsDir = value;
  }

  void Ruvo(const std::string& name, const std::string& value) {
    const auto comma = value.find(',');
    if (comma == std::string::npos) {
      Fail(name + " needs two COM numbers, polls and answers: A,B");
      return;
    }
    const std::string first = value.substr(0, comma), second = value.substr(comma + 1);
    const auto a = ParseCom(first), b = ParseCom(second);
    if (!a || !b) {
      Fail(name + " " + value + ": " + ComError(a ? second : first));
      return;
    }
    if (*a == *b) {
      Fail(name + " " + value + ": polls and answers need two different COM numbers");
      return;
    }
    UsePort(name, *a);
    UsePort(name, *b);
    Options().Devices.push_back({TDeviceKind::Ruvo, {*a, *b}});
  }

  void Single(const std::string& name, const std::string& value) {
    const auto com = ParseCom(value);
    if (!com) {
      Fail(name + ": " + ComError(value));
      return;
    }
    UsePort(name, *com);
    Options().Devices.push_back({name == "--text" ? TDeviceKind::Text : TDeviceKind::Echo, {*com}});
  }

  // N[:SEED[:all|low|high]]
  void Flood(const std::string& name, const std::string& value) {
    const auto colon = value.find(':');
    const std::string comText = value.substr(0, colon);
    const auto com = ParseCom(comText);
    if (!com) {
      Fail(name + ": " + ComError(comText));
      return;
    }
    TDeviceOption flood{TDeviceKind::Flood, {*com}};
    if (colon != std::string::npos) {
      const std::string rest = value.substr(colon + 1);
      const auto colon2 = rest.find(':');
      const std::string seedText = rest.substr(0, colon2);
      const auto seed = ParseNumber(seedText, 0, UINT64_MAX);
      if (!seed) {
        Fail(name + " " + value + ": '" + seedText + "' is not a seed (a whole number)");
        return;
      }
      flood.FloodSeed = *seed;
      if (colon2 != std::string::npos) {
        const std::string set = rest.substr(colon2 + 1);
        if (set == "all") {
          flood.FloodSet = TByteSet::All;
        } else if (set == "low") {
          flood.FloodSet = TByteSet::Low;
        } else if (set == "high") {
          flood.FloodSet = TByteSet::High;
        } else {
          Fail(name + " " + value + ": '" + set + "' is not one of all, low, high");
          return;
        }
      }
    }
    UsePort(name, *com);
    Options().Devices.push_back(flood);
  }

  // N=BYTES_PER_SECOND
  void Pace(const std::string& name, const std::string& value) {
    const auto equals = value.find('=');
    const auto com = ParseCom(value.substr(0, equals));
    if (equals == std::string::npos || !com) {
      Fail(name + " " + value + ": expected COM=BYTES_PER_SECOND, such as 1=11520");
      return;
    }
    const auto rate = ParseNumber(value.substr(equals + 1), 0, TPacer::kMaxRate);
    if (!rate) {
      Fail(name + " " + value + ": the pace is a whole number of bytes per second from 0 to " +
           std::to_string(TPacer::kMaxRate));
      return;
    }
    if (!Options().Pace.emplace(*com, *rate).second)
      Fail(name + ": COM" + std::to_string(*com) + " is paced twice");
  }

  void FaultRate(const std::string& name, const std::string& value) {
    double rate = -1;
    const char* end = value.data() + value.size();
    const auto [rest, error] = std::from_chars(value.data(), end, rate);
    if (value.empty() || error != std::errc() || rest != end || !(rate >= 0 && rate <= 1)) {
      Fail(name + " " + value + ": expected a number from 0 to 1");
      return;
    }
    Options().FaultRate = rate;
  }

  void Frames(const std::string& name, const std::string& value) {
    const auto frames = ParseNumber(value, 0, UINT64_MAX);
    if (!frames) {
      Fail(name + " " + value + ": expected a whole number of poll/answer pairs");
      return;
    }
    Options().Frames = frames;
  }

  void Seed(const std::string& name, const std::string& value) {
    const auto seed = ParseNumber(value, 0, UINT64_MAX);
    if (!seed) {
      Fail(name + " " + value + ": expected a whole number");
      return;
    }
    Options().Seed = *seed;
  }

  void Transcript(const std::string& name, const std::string& value) {
    if (value.empty())
      Fail(name + " needs a directory");
    Options().TranscriptDir = value;
  }

  void DemoConfig(const std::string& name, const std::string& value) {
    if (value.empty())
      Fail(name + " needs a file name");
    Options().DemoConfig = value;
  }

  // What can only be judged once every option is read.
  void Check() {
    if (Options().Help)
      return;
    if (Options().PortsDir.empty()) {
      Fail("--ports-dir is required");
      return;
    }
    if (Options().Devices.empty()) {
      Fail("no device given (--ruvo, --text, --echo or --flood)");
      return;
    }
    for (const auto& [com, rate] : Options().Pace) {
      if (used_.count(com) == 0) {
        Fail("--pace: COM" + std::to_string(com) + " has no device");
        return;
      }
    }
    if (!Options().DemoConfig.empty()) {
      bool ruvo = false;
      for (const TDeviceOption& device : Options().Devices)
        ruvo = ruvo || device.Kind == TDeviceKind::Ruvo;
      if (!ruvo)
        Fail("--demo-config needs a Ruvo-94 link (--ruvo A,B)");
    }
  }

  const std::vector<std::string>& args_;
  std::size_t next_ = 0;
  TParseResult result_;
  std::set<std::string> seen_;
  std::set<int> used_;
};

}  // namespace

TParseResult ParseOptions(const std::vector<std::string>& args) {
  return TParser(args).Run();
}

std::uint64_t PortPace(const TSimOptions& options, int com) {
  if (const auto found = options.Pace.find(com); found != options.Pace.end())
    return found->second;
  for (const TDeviceOption& device : options.Devices) {
    for (int port : device.Ports) {
      if (port != com)
        continue;
      const bool line = device.Kind == TDeviceKind::Ruvo || device.Kind == TDeviceKind::Text;
      return line ? kLinePace : 0;
    }
  }
  return 0;
}

std::string UsageText() {
  return R"(Usage: kelvora32-sim --ports-dir DIR DEVICE... [OPTION...]

Plays serial devices for the Kelvora 32 analyser on pseudo-terminals, each
registered as a COM number: DIR/COMn becomes a link to its pseudo-terminal.
The analyser finds its ports in $XDG_CONFIG_HOME/kelvora32/ports, so give
that directory (or start the analyser with XDG_CONFIG_HOME pointing to a
folder whose kelvora32/ports is DIR).

  --ports-dir DIR       where the COMn links go (required); created if
                        missing. An existing COMn entry is never replaced,
                        except a link to a /dev/pts/N that no longer exists
                        (left by a simulator that was killed)

Devices, each on its own COM numbers 1..16 (any number of them):
  --ruvo A,B            a tapped Ruvo-94 link: on COM A a master (01H)
                        polling its slaves 10H..17H in turn (type 'P'), on
                        COM B the slaves' answers (type 'R', 0..60 data
                        bytes); 960 bytes/s unless paced
  --text N              a text device: a line (CR LF) about once a second,
                        and "Received: <line>" for every line it receives
                        (ended by CR or LF); 960 bytes/s unless paced
  --echo N              sends back whatever it receives; unpaced
  --flood N[:SEED[:all|low|high]]
                        a seeded pseudo-random stream as fast as the port
                        takes it (default seed 1, all bytes; low: 00H..7FH,
                        high: 80H..FFH); unpaced

Options:
  --pace N=BYTES_PER_SECOND
                        pace of COM N's output, such as 960, 11520 or 300000
                        for a 9600, 115200 or 3 Mbaud line; 0: unpaced
  --fault-rate R        share of Ruvo-94 frames with a fault, 0..1 (default
                        0.05): a bad check byte, a missing ETX or a stray
                        byte before the frame
  --frames N            stop each Ruvo-94 link after N poll/answer pairs and
                        stay idle (default: endless)
  --seed S              seed of the Ruvo-94 links' choices (default 1); a
                        second link uses S+1 and so on
  --transcript DIR      also write every byte sent on COM n to DIR/COMn.bin
                        (complete on disk within half a second, and at exit)
  --demo-config FILE    write an analyser configuration for the first Ruvo-94
                        link: channel 1 on COM A, channel 2 on COM B, both at
                        115200 baud, Protocol display of Ruvo-94 frames, time
                        stamps on
  -h, --help            show this text

When every port is up, one line per port is printed ("COMn /dev/pts/X
device") and then "ready". SIGTERM, SIGINT and SIGHUP end the program: it
removes the links it made (if they still lead to its pseudo-terminals) and
exits with status 0. Errors exit with status 2.

Example:
  mkdir -p /tmp/demo/kelvora32/ports
  kelvora32-sim --ports-dir /tmp/demo/kelvora32/ports --ruvo 1,2 --echo 3 \
      --demo-config /tmp/demo/Demo.klv &
  XDG_CONFIG_HOME=/tmp/demo kelvora32 /tmp/demo/Demo.klv
)";
}

}  // namespace klv::sim
