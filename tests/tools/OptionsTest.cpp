// The simulator's command line: what a good one sets, and a clear message for each mistake.
#include "sim/Options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace klv::sim {
namespace {

// The arguments of a command line without quoting: split at spaces.
TParseResult Parse(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> args;
  for (std::string arg; in >> arg;)
    args.push_back(arg);
  return ParseOptions(args);
}

TEST(SimOptions, AFullCommandLineSetsEverything) {
  const TParseResult parsed = Parse(
      "--ports-dir /tmp/p --ruvo 1,2 --text=3 --echo 4 --flood 5:7:low --flood 6 --flood 7:0:high "
      "--pace 1=11520 --pace=6=300000 --pace 3=0 --fault-rate 0.25 --frames 20 --seed 42 "
      "--transcript /tmp/t --demo-config /tmp/Demo.klv");
  ASSERT_EQ(parsed.Error, "");
  const TSimOptions& o = parsed.Options;
  std::vector<std::tuple<TDeviceKind, std::vector<int>, std::uint64_t, TByteSet>> devices;
  for (const TDeviceOption& d : o.Devices)
    devices.emplace_back(d.Kind, d.Ports, d.FloodSeed, d.FloodSet);
  using enum TDeviceKind;
  using enum TByteSet;  // a flood is of seed 1 and all bytes unless given
  EXPECT_EQ(devices, (decltype(devices){{Ruvo, {1, 2}, 1, All},
                                        {Text, {3}, 1, All},
                                        {Echo, {4}, 1, All},
                                        {Flood, {5}, 7, Low},
                                        {Flood, {6}, 1, All},
                                        {Flood, {7}, 0, High}}));
  // Paces given, else the devices' own: 960 (9600 baud) for Ruvo-94 and text, none for the rest.
  const std::pair<int, std::uint64_t> paces[] = {{1, 11520}, {2, 960}, {3, 0},
                                                 {4, 0},     {5, 0},   {6, 300000}};
  for (const auto& [com, pace] : paces)
    EXPECT_EQ(PortPace(o, com), pace) << "COM" << com;
  const auto rest = [](const TSimOptions& r) {
    return std::tuple(r.PortsDir, r.FaultRate, r.Frames, r.Seed, r.TranscriptDir, r.DemoConfig);
  };
  EXPECT_EQ(rest(o), std::tuple("/tmp/p", 0.25, 20u, 42u, "/tmp/t", "/tmp/Demo.klv"));
  // An endless link with a few faults, on the default seed.
  const TSimOptions defaults = Parse("--ports-dir p --ruvo 16,1 --text 9").Options;
  EXPECT_EQ(rest(defaults), std::tuple("p", 0.05, std::nullopt, 1u, "", ""));
  EXPECT_EQ(PortPace(defaults, 9), 960u);
  EXPECT_TRUE(Parse("-h").Options.Help) << "help needs nothing else";
}

TEST(SimOptions, MistakesAreNamed) {
  const std::pair<std::string, std::string> cases[] = {
      {"--ruvo 1,2", "--ports-dir is required"},
      {"--ports-dir p", "no device"},
      {"--ports-dir p --ports-dir q --echo 1", "--ports-dir is given twice"},
      {"--ports-dir p --echo 17", "'17' is not a COM number"},
      {"--ports-dir p --ruvo 1,2 --flood 2", "COM2 is already used"},
      {"--ports-dir p --ruvo 1", "needs two COM numbers"},
      {"--ports-dir p --ruvo 1,1", "two different COM numbers"},
      {"--ports-dir p --ruvo 1,20", "'20' is not a COM number"},
      {"--ports-dir p --flood 5:x", "'x' is not a seed"},
      {"--ports-dir p --flood 5:7:mid", "'mid' is not one of all, low, high"},
      {"--ports-dir p --echo 1 --pace 2=960", "COM2 has no device"},
      {"--ports-dir p --echo 1 --pace 1:960", "expected COM=BYTES_PER_SECOND"},
      {"--ports-dir p --echo 1 --pace 1=fast", "the pace is a whole number"},
      {"--ports-dir p --echo 1 --pace 1=100000001", "the pace is a whole number"},
      {"--ports-dir p --echo 1 --pace 1=960 --pace 1=11520", "COM1 is paced twice"},
      {"--ports-dir p --ruvo 1,2 --fault-rate 1.5", "from 0 to 1"},
      {"--ports-dir p --ruvo 1,2 --fault-rate nan", "from 0 to 1"},
      {"--ports-dir p --ruvo 1,2 --frames -1", "whole number of poll/answer pairs"},
      {"--ports-dir p --ruvo 1,2 --seed 1e3", "expected a whole number"},
      {"--ports-dir p --echo 1 --demo-config d.klv", "--demo-config needs a Ruvo-94 link"},
      {"--ports-dir p --echo 1 --verbose", "unknown option '--verbose'"},
      {"--ports-dir p --echo 1 extra", "unexpected argument 'extra'"},
      {"--ports-dir p --echo", "--echo needs a value"},
  };
  for (const auto& [line, says] : cases) {
    const std::string error = Parse(line).Error;
    EXPECT_NE(error.find(says), std::string::npos) << line << "\nerror: " << error;
  }
  // A number with anything after it is no number.
  EXPECT_NE(ParseOptions({"--ports-dir", "p", "--text", "3 "}).Error.find("not a COM number"),
            std::string::npos);
}

}  // namespace
}  // namespace klv::sim
