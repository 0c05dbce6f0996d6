// The script engine on a clock the test moves: what each script sends and
// logs, when, and how each run ends.
#include <gtest/gtest.h>

#include <optional>

#include "strings/ScriptRunner.h"
#include "support/FakeMessageService.h"
#include "support/QuietServices.h"

namespace klv {
namespace {

class FakeClock : public IAutoXmitClock {
 public:
  std::int64_t NowMs() const override { return now; }
  void Start(int ms) override { due = now + ms; }
  void Stop() override { due.reset(); }
  bool FireDue() {
    if (!due)
      return false;
    now = *std::exchange(due, std::nullopt);
    Fire();
    return true;
  }
  std::int64_t now = 0;
  std::optional<std::int64_t> due;
};

// Channel 1 with its lines and a slot that is free; "sent" records each
// transmission as number@time, "lines" each line change.
struct Rig : test::QuietServices, IChannelActivitySlots, IStringTransmitter {
  Rig() {
    engine.TimeStamp = [] { return QString(); };
    engine.Beep = [this] { lines += "B "; };
    engine.TurnAutoTransmitOff = [this] { return std::exchange(autoOn, false); };
    QObject::connect(&engine, &TScriptEngine::Finished, [this](bool c) { closed = c; });
    for (int i = 0; i < kLibraryEntries; ++i)
      library.Strings[static_cast<std::size_t>(i)].Name.assign("S" + std::to_string(i + 1));
  }
  int ChannelOutputRoom(int) const override { return room; }
  void DiscardChannelOutput(int) override { lines += "discard "; }
  bool ChannelCTS(int) const override { return clock->now >= ctsAt; }
  void SetChannelRTS(int, bool on) override { lines += on ? "R " : "r "; }
  void SetChannelDTR(int, bool on) override { lines += on ? "D " : "d "; }
  bool TakeActivity(int, IChannelActivity&) override { return !busy && ++taken > 0; }
  void ReleaseActivity(int, const IChannelActivity&) override { --taken; }
  IChannelActivity* Activity(int) const override { return nullptr; }
  void StopActivity(int) override {}
  void TransmitLibraryString(int index, int) override {
    sent += std::to_string(index + 1) + "@" + std::to_string(clock->now) + " ";
  }
  void RunLibraryScript(int, int) override {}
  void RunLibraryScriptCopy(int, int) override {}

  // The log without its (empty) stamps and first two blanks, joined by '|'.
  std::string Log() const {
    std::string joined;
    for (const QString& line : engine.Log())
      joined += (joined.empty() ? "" : "|") + line.mid(2).toStdString();
    return joined;
  }

  TStrngs library{};
  int room = 4096, taken = 0;
  bool busy = false, autoOn = true;
  std::optional<bool> closed;
  std::int64_t ctsAt = 1 << 30;
  std::string sent, lines;
  test::FakeMessageService messages;
  FakeClock* clock = new FakeClock;
  TScriptEngine engine{*this, *this, *this, messages, std::unique_ptr<FakeClock>(clock)};
};

TEST(ScriptEngine, RunsEachScriptToItsEnding) {
  const std::string illegalX =
      "Illegal string number after transmitt command in script string "
      "at position ";
  const std::string overflow =
      "The transmission buffer has overflowed.\r\nIncrease the delay "
      "between string transmissions or increase the baudrate";
  const std::string off = "Automatic string transmission has been turned off";
  const std::string start = "Starting script on channel 1";
  const struct {
    std::string script;
    int fires, stopAtFire, room;  // stopAtFire: stop requested before that tick (-1 never)
    std::int64_t ctsAt;
    std::string sent, lines, log, messages;  // messages joined by '|'
    bool running;
  } cases[] = {
      {"X1S", 40, -1, 4096, 0, "1@0 ", "", start + "|  Transmitting string 001:S1|End of script",
       "", false},
      {"x1", 3, -1, 4096, 0, "1@0 1@0 1@0 ", "", "", "", true},
      {"X1WX2WWS", 40, -1, 4096, 0, "1@0 2@500 ", "", "", "", false},
      {"WWwX3", 17, -1, 4096, 0, "3@1500 ", "", start + "|  Waiting 1500 mS", "", true},
      {"X1W", 30, -1, 4096, 0, "1@0 1@500 1@1000 1@1500 1@2000 ", "", "", "", true},
      {"RrDdbS", 40, -1, 4096, 0, "", "R r D d B ", "", "", false},
      {"X0", 40, -1, 4096, 0, "", "", "", illegalX + "2|" + off, false},
      {"X1X101", 40, -1, 4096, 0, "1@0 ", "", "", illegalX + "6|" + off, false},
      {"X", 40, -1, 4096, 0, "", "", "", illegalX + "1|" + off, false},
      {"XA", 40, -1, 4096, 0, "", "", "", illegalX + "1|" + off, false},
      {"X99999999999", 40, -1, 4096, 0, "", "", "", illegalX + "1|" + off, false},
      {"Q", 40, -1, 4096, 0, "", "", "",
       "Illegal script command in script string at position 0|" + off, false},
      {"X1", 40, -1, 300, 0, "", "discard ", start + "|  Transmission buffer overflow",
       overflow + "|" + off, false},
      {"CX1S", 40, -1, 4096, 30, "1@30 ", "",
       start + "|  Waiting for asserted CTS|  --CTS Asserted|"
               "  Transmitting string 001:S1|End of script",
       "", false},
      {"cX1S", 40, -1, 4096, 1 << 30, "1@0 ", "", "", "", false},
      // A stop inside a wait ends it at that very tick; otherwise the pass ends.
      {"C", 3, 2, 4096, 1 << 30, "", "",
       start + "|  Waiting for asserted CTS|Script transmission aborted by user", off, false},
      {"X1WX2", 40, 2, 4096, 0, "1@0 ", "", "", off, false},
      {"X1RX2", 40, 2, 4096, 0, "1@0 2@0 ", "R ", "", off, false},
      {"", 40, -1, 4096, 0, "", "", start + "|End of script", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    Rig rig;
    rig.room = c.room;
    rig.ctsAt = c.ctsAt;
    const auto current = rig.library.CurrentNr.get();
    rig.library.Strings[current].Str.assign(c.script);
    rig.library.Strings[current].Syntax = static_cast<std::uint8_t>(TStringSyntax::Script);
    ASSERT_TRUE(rig.engine.HandOver(rig.library, true));
    rig.engine.Start(0);
    for (int fire = 0; fire < c.fires; ++fire) {
      if (fire == c.stopAtFire)
        rig.engine.RequestStop();
      if (!rig.clock->FireDue())
        break;
    }
    EXPECT_EQ(rig.sent, c.sent);
    EXPECT_EQ(rig.lines, c.lines);
    EXPECT_EQ(rig.Log().substr(0, c.log.size()), c.log);
    std::string shown;
    for (const QString& text : rig.messages.Texts())
      shown += (shown.empty() ? "" : "|") + text.toStdString();
    EXPECT_EQ(shown, c.messages);
    EXPECT_EQ(rig.engine.Running(), c.running);
    EXPECT_EQ(rig.taken, c.running ? 1 : 0);
    // Closes when done unless an error or a stop ended it.
    EXPECT_EQ(rig.closed, c.running ? std::nullopt : std::optional(c.messages.empty()));
  }
}

// The hand-overs that do not run: a second script while one runs, a
// non-script entry, a channel another activity holds; and the log's trim.
TEST(ScriptEngine, RefusesWhatCannotRunAndTrimsItsLog) {
  Rig rig;
  rig.library.Strings[0].Str.assign("Rr");
  rig.library.Strings[0].Syntax = static_cast<std::uint8_t>(TStringSyntax::Script);
  rig.busy = true;
  rig.engine.HandOver(rig.library, true);
  rig.engine.Start(0);
  rig.busy = false;
  EXPECT_FALSE(rig.engine.Running());
  rig.engine.Start(0);
  EXPECT_FALSE(rig.engine.HandOver(rig.library, true));
  std::vector<qsizetype> sizes;
  QObject::connect(&rig.engine, &TScriptEngine::LogAppended,
                   [&](const QString&, int) { sizes.push_back(rig.engine.Log().size()); });
  while (sizes.size() < 302)
    rig.clock->FireDue();
  EXPECT_EQ(sizes[298], 300);  // sizes[k] follows line k + 2
  EXPECT_EQ(sizes[299], 201);
  rig.library.Strings[0].Syntax = 0;
  rig.engine.RequestStop();
  while (rig.clock->FireDue()) {
  }
  ASSERT_TRUE(rig.engine.HandOver(rig.library, true));
  rig.engine.Start(0);
  EXPECT_EQ(rig.Log(), "  NOT A SCRIPT STRING|Starting script on channel 1");
  EXPECT_EQ(rig.messages.Texts(),
            (std::vector<QString>{
                "Channel 1 is busy with auto transmission or a file transmission.\nThe script "
                "has not been started.",
                "A script is already running, and must be turned off before this script may run.",
                "Automatic string transmission has been turned off",
                "Attempt to run a script on non-script string. Canceled"}));
  EXPECT_EQ(rig.closed, true);  // a non-script entry still closes when done
}

}  // namespace
}  // namespace klv
