// The simulator's command line: what a good one sets, and a clear message
// for each mistake.
#include "sim/Options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace klv::sim {
namespace {

TEST(SimOptions, AFullCommandLineSetsEverything) {
  const TParseResult parsed = ParseOptions({"--ports-dir",
                                            "/tmp/p",
                                            "--ruvo",
                                            "1,2",
                                            "--text=3",
                                            "--echo",
                                            "4",
                                            "--flood",
                                            "5:7:low",
                                            "--flood",
                                            "6",
                                            "--flood",
                                            "7:0:high",
                                            "--pace",
                                            "1=11520",
                                            "--pace=6=300000",
                                            "--pace",
                                            "3=0",
                                            "--fault-rate",
                                            "0.25",
                                            "--frames",
                                            "20",
                                            "--seed",
                                            "42",
                                            "--transcript",
                                            "/tmp/t",
                                            "--demo-config",
                                            "/tmp/Demo.klv"});
  ASSERT_EQ(parsed.Error, "");
  const TSimOptions& o = parsed.Options;
  EXPECT_FALSE(o.Help);
  EXPECT_EQ(o.PortsDir, "/tmp/p");
  ASSERT_EQ(o.Devices.size(), 6u);
  EXPECT_EQ(o.Devices[0].Kind, TDeviceKind::Ruvo);
  EXPECT_EQ(o.Devices[0].Ports, (std::vector<int>{1, 2}));
  EXPECT_EQ(o.Devices[1].Kind, TDeviceKind::Text);
  EXPECT_EQ(o.Devices[1].Ports, std::vector<int>{3});
  EXPECT_EQ(o.Devices[2].Kind, TDeviceKind::Echo);
  EXPECT_EQ(o.Devices[2].Ports, std::vector<int>{4});
  EXPECT_EQ(o.Devices[3].Kind, TDeviceKind::Flood);
  EXPECT_EQ(o.Devices[3].FloodSeed, 7u);
  EXPECT_EQ(o.Devices[3].FloodSet, TByteSet::Low);
  EXPECT_EQ(o.Devices[4].FloodSeed, 1u) << "default seed";
  EXPECT_EQ(o.Devices[4].FloodSet, TByteSet::All) << "default byte set";
  EXPECT_EQ(o.Devices[5].FloodSeed, 0u);
  EXPECT_EQ(o.Devices[5].FloodSet, TByteSet::High);
  EXPECT_DOUBLE_EQ(o.FaultRate, 0.25);
  EXPECT_EQ(o.Frames, 20u);
  EXPECT_EQ(o.Seed, 42u);
  EXPECT_EQ(o.TranscriptDir, "/tmp/t");
  EXPECT_EQ(o.DemoConfig, "/tmp/Demo.klv");

  // Paces given, and the devices' own: a 9600 baud line for the Ruvo-94
  // link and the text device, unpaced echo and flood.
  EXPECT_EQ(PortPace(o, 1), 11520u);
  EXPECT_EQ(PortPace(o, 2), 960u);
  EXPECT_EQ(PortPace(o, 3), 0u);
  EXPECT_EQ(PortPace(o, 4), 0u);
  EXPECT_EQ(PortPace(o, 5), 0u);
  EXPECT_EQ(PortPace(o, 6), 300000u);
}

TEST(SimOptions, DefaultsOfTheLink) {
  const TParseResult parsed = ParseOptions({"--ports-dir", "p", "--ruvo", "16,1", "--text", "9"});
  ASSERT_EQ(parsed.Error, "");
  EXPECT_DOUBLE_EQ(parsed.Options.FaultRate, 0.05);
  EXPECT_FALSE(parsed.Options.Frames.has_value()) << "endless";
  EXPECT_EQ(parsed.Options.Seed, 1u);
  EXPECT_EQ(PortPace(parsed.Options, 9), 960u);
  EXPECT_TRUE(parsed.Options.TranscriptDir.empty());
  EXPECT_TRUE(parsed.Options.DemoConfig.empty());
}

TEST(SimOptions, HelpNeedsNothingElse) {
  const TParseResult parsed = ParseOptions({"-h"});
  EXPECT_EQ(parsed.Error, "");
  EXPECT_TRUE(parsed.Options.Help);
}

TEST(SimOptions, MistakesAreNamed) {
  const std::vector<std::string> base = {"--ports-dir", "p"};
  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  const std::vector<Case> cases = {
      {{"--ruvo", "1,2"}, "--ports-dir is required"},
      {{"--ports-dir", "p"}, "no device"},
      {{"--ports-dir", "p", "--ports-dir", "q", "--echo", "1"}, "--ports-dir is given twice"},
      {{"--echo", "17"}, "'17' is not a COM number"},
      {{"--text", "x"}, "'x' is not a COM number"},
      {{"--text", "3 "}, "is not a COM number"},
      {{"--text", "3", "--echo", "3"}, "COM3 is already used"},
      {{"--ruvo", "1,2", "--flood", "2"}, "COM2 is already used"},
      {{"--ruvo", "1"}, "needs two COM numbers"},
      {{"--ruvo", "1,1"}, "two different COM numbers"},
      {{"--ruvo", "1,20"}, "'20' is not a COM number"},
      {{"--flood", "5:x"}, "'x' is not a seed"},
      {{"--flood", "5:7:mid"}, "'mid' is not one of all, low, high"},
      {{"--echo", "1", "--pace", "2=960"}, "COM2 has no device"},
      {{"--echo", "1", "--pace", "1:960"}, "expected COM=BYTES_PER_SECOND"},
      {{"--echo", "1", "--pace", "1=fast"}, "the pace is a whole number"},
      {{"--echo", "1", "--pace", "1=100000001"}, "the pace is a whole number"},
      {{"--echo", "1", "--pace", "1=960", "--pace", "1=11520"}, "COM1 is paced twice"},
      {{"--ruvo", "1,2", "--fault-rate", "1.5"}, "from 0 to 1"},
      {{"--ruvo", "1,2", "--fault-rate", "nan"}, "from 0 to 1"},
      {{"--ruvo", "1,2", "--frames", "-1"}, "whole number of poll/answer pairs"},
      {{"--ruvo", "1,2", "--seed", "1e3"}, "expected a whole number"},
      {{"--echo", "1", "--demo-config", "d.klv"}, "--demo-config needs a Ruvo-94 link"},
      {{"--echo", "1", "--verbose"}, "unknown option '--verbose'"},
      {{"--echo", "1", "extra"}, "unexpected argument 'extra'"},
      {{"--echo"}, "--echo needs a value"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    // Most cases take the ports directory from the base.
    if (c.says.find("ports-dir") == std::string::npos &&
        std::find(args.begin(), args.end(), "--ports-dir") == args.end())
      args.insert(args.begin(), base.begin(), base.end());
    const TParseResult parsed = ParseOptions(args);
    EXPECT_NE(parsed.Error.find(c.says), std::string::npos)
        << "args: " << testing::PrintToString(args) << "\nerror: " << parsed.Error;
  }
}

}  // namespace
}  // namespace klv::sim
