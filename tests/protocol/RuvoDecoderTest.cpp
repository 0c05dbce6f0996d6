// The Ruvo-94 decoder on a console model, with a recording log and fake
// trigger and script engines.
#include "protocol/P_ruvo94.h"

#include <gtest/gtest.h>

#include <string>

#include "app/ConfigTestSupport.h"
#include "support/RendererFakes.h"

namespace klv {
namespace {

using test::kStamp;
using test::Trimmed;

// A frame with its length byte and check byte.
std::string Frame(std::uint8_t to, std::uint8_t from, char type, std::string_view data) {
  std::string frame = {'\x02', static_cast<char>(to), static_cast<char>(from), type,
                       static_cast<char>(data.size() + 3)};
  frame += data;
  frame += '\x03';
  frame += static_cast<char>(TProtocol_Ruvo94::Checksum(frame));
  return frame;
}

class FakeRuvoTrigger : public IRuvoTrigger {
 public:
  bool CheckRuvoTrigger(int channel, std::uint8_t to, std::uint8_t from, std::uint8_t type,
                        std::string_view message) override {
    checked.push_back({channel, to, from, type, std::string(message)});
    return fire;
  }
  bool OnTrigDisplayFrame(int) override { return displayOnTrig; }
  bool OnNoTrigDisplayFrames(int) override { return displayOthers; }

  struct Check {
    int channel;
    std::uint8_t to, from, type;
    std::string message;
  };
  std::vector<Check> checked;
  bool fire = false;
  bool displayOnTrig = true;
  bool displayOthers = true;
};

class RuvoDecoder : public testing::Test {
 protected:
  RuvoDecoder() {
    parts.config.SetDefaults();
    console.SetSize(94, 50);
    decoder.RuvoReset();
  }
  TConf& Conf() { return parts.config.Conf(); }
  void Feed(std::string_view bytes, int channel = 0) {
    for (char c : bytes)
      decoder.RuvoReceiveByte(channel, static_cast<std::uint8_t>(c));
  }
  std::string Row(int y) { return Trimmed(console.RowText(y)); }
  TFixedFont Cell(int x, int y) { return console.Attrs().At(console.AttrAt(x, y)).Font; }
  void ExpectChannelLook(int x, int y, int channel) {
    EXPECT_EQ(Cell(x, y).Color, channel == 1 ? clBlue : clBlack) << x << "," << y;
    EXPECT_EQ(Cell(x, y).Style, channel == 1 ? FontStyle::Underline : 0) << x << "," << y;
  }
  TRuvo94TrigChannel& Trigger(int channel) {
    return Conf().Trigger_Ruvo94.Channel[static_cast<std::size_t>(channel)];
  }

  test::ConfigFixtureParts parts;
  TColorConsoleBuffer console;
  TBufferConsoleOutput output{console};
  test::FakeApp app;
  test::RecordingLogText log;
  TProtocol_Ruvo94 decoder{parts.config.Conf(), output, app, log};
};

TEST_F(RuvoDecoder, CheckByteRotatesRightAfterEachXor) {
  EXPECT_EQ(TProtocol_Ruvo94::Checksum("\x01\x02"), 0x41);
  EXPECT_EQ(TProtocol_Ruvo94::Checksum(std::string_view("\x02\x01\x20\x41\x03\x03", 6)), 0x6B);
}

TEST_F(RuvoDecoder, EmptyFrameShowsItsHeaderAndTheEndMark) {
  Conf().MiscBool.TimeStamp = true;
  Feed(std::string_view("\x02\x01\x20\x41\x03\x03\x6B", 7));
  const std::string header = "To:01H From:20H Type:A Msg:";
  ASSERT_EQ(header.size(), 27u);
  const std::string line = header + "\\" + std::string(69 - 28, ' ') + kStamp;
  EXPECT_EQ(Row(0), line);
  EXPECT_EQ(console.CursorY(), 1);
  EXPECT_EQ(Row(1), "");
  EXPECT_EQ(log.file, line + "\r\n");
  EXPECT_EQ(log.printer, line + "\r\n");
  // The text goes to the rich-text log as well; the line end goes only as a new line.
  ASSERT_EQ(log.filePieces.size(), 2u);
  EXPECT_TRUE(log.filePieces[0].toRich);
  EXPECT_FALSE(log.filePieces[1].toRich);
  EXPECT_GT(app.carets, 0);
}

TEST_F(RuvoDecoder, StructuralFaultsShowTheirLineAndTheSearchGoesOn) {
  const std::string good = Frame(0x01, 0x20, 'A', "OK");
  // A length of 2: the next byte is looked at as a possible STX.
  Feed(std::string("\x02\x01\x20\x41\x02", 5) + good);
  // STX among the data: the next byte starts a new search.
  Feed(std::string("\x02\x01\x20\x41\x05\x41\x02", 7) + good);
  // No ETX where it belongs, a wrong check byte, and two stray bytes.
  Feed(std::string_view("\x02\x01\x20\x41\x04\x41\x41", 7));
  std::string badCheck = good;
  badCheck.back() = static_cast<char>(badCheck.back() ^ 0x01);
  Feed(badCheck);
  Feed("xy");
  Feed(good);

  const std::vector<std::string> expected = {
      "-----FRAME ERROR: Illegal length parameter",
      "To:01H From:20H Type:A Msg:OK\\",
      "-----FRAME ERROR: Illegal character in message",
      "To:01H From:20H Type:A Msg:OK\\",
      "-----FRAME ERROR: Missing ETX",
      "-----FRAME ERROR: Checksum error",
      "-----FRAME ERROR: Missing STX",
      "-----FRAME ERROR: Missing STX",
      "To:01H From:20H Type:A Msg:OK\\",
  };
  for (std::size_t y = 0; y < expected.size(); ++y)
    EXPECT_EQ(Row(static_cast<int>(y)), expected[y]) << y;
  EXPECT_EQ(Row(static_cast<int>(expected.size())), "");
  std::string text;
  for (const std::string& line : expected)
    text += line + "\r\n";
  EXPECT_EQ(log.file, text);
}

TEST_F(RuvoDecoder, LongMessageGoesOnIndentedLinesWithOneTimeStamp) {
  Conf().MiscBool.TimeStamp = true;
  std::string message;
  for (int i = 0; i < 80; ++i)
    message += static_cast<char>('a' + i % 26);
  message[37] = '\x0D';  // the first character of the second line
  Feed(Frame(0x7F, 0x10, 'Q', message));

  const std::string header = "To:7FH From:10H Type:Q Msg:";
  const std::string indent(header.size(), ' ');
  EXPECT_EQ(Row(0), header + message.substr(0, 37) + std::string(69 - 64, ' ') + kStamp);
  // A line holds 37 characters as shown: "[0DH]" takes five of them.
  EXPECT_EQ(Row(1), indent + "[0DH]" + message.substr(38, 32));
  EXPECT_EQ(Row(2), indent + message.substr(70) + "\\");
  EXPECT_EQ(Row(3), "");
  EXPECT_EQ(log.file, Row(0) + "\r\n" + Row(1) + "\r\n" + Row(2) + "\r\n");
}

TEST_F(RuvoDecoder, ControlCodesShowAsBracketedHexAndMayEndALongerPiece) {
  std::string message(36, 'm');
  message += '\x0D';
  message += "tail";
  Feed(Frame(0x01, 0x02, 'T', message));
  EXPECT_EQ(Row(0), "To:01H From:02H Type:T Msg:" + std::string(36, 'm') + "[0DH]");
  EXPECT_EQ(Row(1), std::string(27, ' ') + "tail\\");

  // A message that only just needs a second line is indented too, so that
  // no continuation ever starts in the header's columns.
  Feed(Frame(0x01, 0x02, 'T', std::string(38, 'n')));
  EXPECT_EQ(Row(2), "To:01H From:02H Type:T Msg:" + std::string(37, 'n'));
  EXPECT_EQ(Row(3), std::string(27, ' ') + "n\\");
}

TEST_F(RuvoDecoder, ChannelTwoIsBlueAndUnderlinedAndErrorsAreRed) {
  Feed(Frame(0x01, 0x02, 'T', std::string(40, 'x')), 1);
  Feed("?", 1);
  Feed(Frame(0x03, 0x04, 'U', "one"), 0);

  ExpectChannelLook(0, 0, 1);
  ExpectChannelLook(40, 0, 1);
  // The indent of a continued line is blue but not underlined.
  EXPECT_EQ(Cell(0, 1).Color, clBlue);
  EXPECT_EQ(Cell(0, 1).Style, 0);
  ExpectChannelLook(27, 1, 1);
  // "-----FRAME ERROR: " in red regular, the fault in the channel's look.
  EXPECT_EQ(Row(2), "-----FRAME ERROR: Missing STX");
  EXPECT_EQ(Cell(0, 2).Color, clRed);
  EXPECT_EQ(Cell(0, 2).Style, 0);
  ExpectChannelLook(18, 2, 1);
  // After channel 2's error, channel 1's frame is black and plain.
  EXPECT_EQ(Row(3), "To:03H From:04H Type:U Msg:one\\");
  ExpectChannelLook(0, 3, 0);
  ExpectChannelLook(30, 3, 0);
  for (const auto& piece : log.filePieces) {
    const bool channelOne = piece.text.find("U Msg") != std::string::npos;
    const bool channelTwo =
        piece.text.find("T Msg") != std::string::npos || piece.text.find("FRAME") == 0;
    if (channelOne || channelTwo) {
      EXPECT_EQ(piece.channel, channelTwo ? 1 : 0) << piece.text;
    }
  }
}

TEST_F(RuvoDecoder, ChannelsInterleavedByteByByteKeepTheirOwnFrames) {
  const std::string one = Frame(0x01, 0x11, 'A', "first channel");
  const std::string two = Frame(0x02, 0x22, 'B', "second channel, longer message");
  for (std::size_t i = 0; i < two.size(); ++i) {
    if (i < one.size())
      Feed(one.substr(i, 1), 0);
    Feed(two.substr(i, 1), 1);
  }
  EXPECT_EQ(Row(0), "To:01H From:11H Type:A Msg:first channel\\");
  EXPECT_EQ(Row(1), "To:02H From:22H Type:B Msg:second channel, longer message\\");
  ExpectChannelLook(0, 0, 0);
  ExpectChannelLook(0, 1, 1);

  // A reset forgets a frame in progress on both channels.
  Feed(one.substr(0, 6), 0);
  decoder.RuvoReset();
  Feed(one, 0);
  EXPECT_EQ(Row(2), Row(0));
}

// ---- trigger hook -------------------------------------------------------------

class RuvoTriggerHook : public RuvoDecoder {
 protected:
  RuvoTriggerHook() {
    decoder.SetTrigger(&trigger);
    decoder.SetStringTransmitter(&transmitter);
    Trigger(1).Mode = static_cast<std::uint8_t>(TTrigMode::OneShot);
  }
  void SetEntry(int index, std::string_view text, TStringSyntax syntax = TStringSyntax::Global) {
    TLibString& entry = Conf().Strngs.Strings[static_cast<std::size_t>(index)];
    entry.Str.assign(text);
    entry.Syntax = static_cast<std::uint8_t>(syntax);
  }
  void Answer(int index, int destination) {
    Trigger(1).OnTrigTr = true;
    Trigger(1).OnTrigTrStrNr = static_cast<std::uint16_t>(index);
    Trigger(1).OnTrigTrDest = static_cast<std::uint16_t>(destination);
  }

  FakeRuvoTrigger trigger;
  test::FakeTransmitter transmitter;
};

TEST_F(RuvoTriggerHook, ADisabledTriggerIsNotAskedAndTheFrameIsShown) {
  Feed(Frame(1, 2, 'A', "m"), 0);  // channel 1's trigger is disabled
  EXPECT_TRUE(trigger.checked.empty());
  EXPECT_EQ(Row(0), "To:01H From:02H Type:A Msg:m\\");
}

TEST_F(RuvoTriggerHook, TheTriggerSeesTheFrameAndDecidesWhatIsShown) {
  trigger.displayOthers = false;
  Feed(Frame(0x31, 0x32, 'Z', "data\x0D"), 1);
  ASSERT_EQ(trigger.checked.size(), 1u);
  EXPECT_EQ(trigger.checked[0].channel, 1);
  EXPECT_EQ(trigger.checked[0].to, 0x31);
  EXPECT_EQ(trigger.checked[0].from, 0x32);
  EXPECT_EQ(trigger.checked[0].type, 'Z');
  EXPECT_EQ(trigger.checked[0].message, "data\x0D");  // as received, no end mark
  EXPECT_EQ(Row(0), "");
  EXPECT_TRUE(log.file.empty());

  trigger.fire = true;
  trigger.displayOnTrig = false;
  Feed(Frame(0x31, 0x32, 'Z', "x"), 1);
  EXPECT_EQ(Row(0), "");
  trigger.displayOnTrig = true;
  Feed(Frame(0x31, 0x32, 'Z', "y"), 1);
  EXPECT_EQ(Row(0), "To:31H From:32H Type:Z Msg:y\\");
  EXPECT_TRUE(app.sent.empty()) << "no answer is set";
}

TEST_F(RuvoTriggerHook, AnswersGoAsStoredToTheSenderOrToAFixedAddress) {
  trigger.fire = true;
  SetEntry(7, std::string_view("\x02\x09\x01\x41\x03", 5));
  const auto answer = [&](int destination) {
    Answer(7, destination);
    app.sent.clear();
    Feed(Frame(0x01, 0x55, 'A', ""), 1);
    EXPECT_EQ(app.sent.size(), 1u);
    return app.sent.empty() ? std::string() : app.sent[0].second;
  };
  const auto withCheck = [](std::string text) {
    text += static_cast<char>(TProtocol_Ruvo94::Checksum(text));
    return text;
  };
  EXPECT_EQ(answer(0), withCheck(std::string("\x02\x09\x01\x41\x03", 5)));
  const std::string toSender = answer(1);
  EXPECT_EQ(toSender.size(), 6u);
  EXPECT_EQ(toSender, withCheck(std::string("\x02\x55\x01\x41\x03", 5)));
  EXPECT_EQ(answer(7), withCheck(std::string("\x02\x09\x01\x41\x03", 5)));  // address 7 + 2
  EXPECT_EQ(answer(254).substr(0, 2), std::string("\x02\x00", 2));  // the address wraps in a byte
  EXPECT_EQ(app.sent[0].first, 1);
}

TEST_F(RuvoTriggerHook, ShortStringsAreNotSentAndScriptsAreRun) {
  trigger.fire = true;
  SetEntry(3, "\x02");
  Answer(3, 0);
  Feed(Frame(1, 2, 'A', ""), 1);
  EXPECT_TRUE(app.sent.empty());

  SetEntry(4, "W 100", TStringSyntax::Script);
  Answer(4, 0);
  Feed(Frame(1, 2, 'A', ""), 1);
  EXPECT_EQ(transmitter.scripts, (std::vector<std::pair<int, int>>{{4, 1}}));
  EXPECT_TRUE(app.sent.empty());

  // Readdressed, a script entry's bytes are sent like any string's.
  Answer(4, 1);
  Feed(Frame(1, 2, 'A', ""), 1);
  ASSERT_EQ(app.sent.size(), 1u);
  EXPECT_EQ(app.sent[0].second.substr(0, 2), "W\x02");

  // An entry number beyond the library is taken as the last entry.
  SetEntry(99, "AB");
  Answer(500, 0);
  app.sent.clear();
  Feed(Frame(1, 2, 'A', ""), 1);
  ASSERT_EQ(app.sent.size(), 1u);
  EXPECT_EQ(app.sent[0].second.substr(0, 2), "AB");
}

}  // namespace
}  // namespace klv
