// The Hex/ASCII and TTY renderer on a console model, with a recording log.
#include "display/P_hextty.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "app/ConfigTestSupport.h"
#include "support/RendererFakes.h"

namespace klv {
namespace {

using test::FakeApp;
using test::FakeTransmitter;
using test::kStamp;
using test::RecordingLogText;
using test::Trimmed;

class CountingView : public IConsoleView {
 public:
  void RowChanged(int, int, int) override {}
  void ScrolledUp() override {}
  void AllChanged() override {}
  void CursorMoved() override {}
  void Beep() override { ++beeps; }
  int beeps = 0;
};

class FakeTrigger : public IHexTTYTrigger {
 public:
  bool CheckTrigger(int, std::uint8_t byte) override {
    checked.push_back(static_cast<char>(byte));
    return byte == fireOn;
  }
  bool OnNoTrigDisplayAll(int) override { return displayAll; }
  std::string TakePreTrigChars(int) override { return std::exchange(pre, {}); }
  std::string TakeTrigString(int) override { return std::exchange(trig, {}); }
  std::string TakePostTrigChars(int) override { return std::exchange(post, {}); }
  bool TakeForceNewLine(int) override { return std::exchange(forceNewLine, false); }
  void ResetTrigBuffers(int channel) override { resets.push_back(channel); }

  std::uint8_t fireOn = 0xFF;
  bool displayAll = false;
  std::string pre, trig, post;
  bool forceNewLine = false;
  std::string checked;
  std::vector<int> resets;
};

class Renderer : public testing::Test {
 protected:
  Renderer() {
    parts.config.SetDefaults();
    console.SetSize(94, 100);
    console.SetView(&view);
    Conf().Log.LogToFile = true;
    Conf().Log.LogToPrinter = true;
    renderer.HexReset();
  }
  void TearDown() override {
    // Every piece of these two modes belongs in the rich-text log too.
    for (const RecordingLogText::Piece& piece : log.filePieces)
      EXPECT_TRUE(piece.toRich) << piece.text;
  }
  TConf& Conf() { return parts.config.Conf(); }
  void SetNewLine(TDisplayMode mode, std::uint8_t code, TNewLinePos pos) {
    for (int channel = 0; channel < 2; ++channel) {
      parts.config.SetNewLine(channel, mode, {code, static_cast<std::uint8_t>(pos)});
    }
  }
  void Hex(std::string_view bytes, int channel = 0) {
    for (char c : bytes)
      renderer.HexReceiveByte(channel, static_cast<std::uint8_t>(c));
  }
  void Tty(std::string_view bytes, int channel = 0) {
    for (char c : bytes)
      renderer.TtyReceiveByte(channel, static_cast<std::uint8_t>(c));
  }
  std::string Row(int y) { return Trimmed(console.RowText(y)); }
  TColor CellColor(int x, int y) { return console.Attrs().At(console.AttrAt(x, y)).Font.Color; }

  test::ConfigFixtureParts parts;
  TColorConsoleBuffer console;
  CountingView view;
  TBufferConsoleOutput output{console};
  FakeApp app;
  RecordingLogText log;
  TProtocol_HexTTY renderer{parts.config.Conf(), output, app, log};
};

TEST_F(Renderer, HexLineEndsAfterTheNewLineCharacter) {
  SetNewLine(TDisplayMode::HexAscii, 0x0D, TNewLinePos::After);
  Hex("AB\r");
  EXPECT_EQ(Row(0), "41 42 0D" + std::string(43, ' ') + "AB.");
  EXPECT_EQ(console.CursorY(), 1);
  EXPECT_EQ(console.CursorX(), 51);
  Hex("C");
  EXPECT_EQ(console.RowText(1).substr(0, 3), "43 ");
  EXPECT_EQ(console.CharAt(51, 1), 'C');
}

TEST_F(Renderer, HexLineEndsBeforeTheNewLineCharacter) {
  SetNewLine(TDisplayMode::HexAscii, 0x0D, TNewLinePos::Before);
  Hex("\r");  // the first byte of a line ends nothing
  Hex("A\rB");
  EXPECT_EQ(Row(0), "0D 41" + std::string(46, ' ') + ".A");
  EXPECT_EQ(Row(1), "0D 42" + std::string(46, ' ') + ".B");
}

TEST_F(Renderer, SixteenBytesFillAHexLine) {
  Hex("0123456789ABCDEFG");
  EXPECT_EQ(Row(0).substr(0, 47), "30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46");
  EXPECT_EQ(Row(0).substr(51), "0123456789ABCDEF");
  EXPECT_EQ(Row(1), "47" + std::string(49, ' ') + "G");
  EXPECT_EQ(renderer.HexCount(), 1);
}

TEST_F(Renderer, HexTimeStampsStartAtColumn69WhateverTheCount) {
  Conf().MiscBool.TimeStamp = true;
  SetNewLine(TDisplayMode::HexAscii, 0x0D, TNewLinePos::After);
  Hex("ab\r");
  Hex("0123456789abcdef");
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(console.RowText(row).substr(67, 23), std::string("  ") + kStamp) << row;
  }
  // The logged line has the console's columns, and a line end.
  const std::string firstLine = std::string(console.RowText(0).substr(0, 90)) + "\r\n";
  EXPECT_EQ(log.file.substr(0, firstLine.size()), firstLine);
  EXPECT_EQ(log.printer.substr(0, firstLine.size()), firstLine);
}

TEST_F(Renderer, AlternatingChannelsShareAHexLineEachInItsColour) {
  Hex("a", 0);
  Hex("b", 1);
  Hex("c", 0);
  EXPECT_EQ(CellColor(0, 0), clBlack);
  EXPECT_EQ(CellColor(3, 0), clBlue);
  EXPECT_EQ(CellColor(4, 0), clBlue);
  EXPECT_EQ(CellColor(6, 0), clBlack);
  EXPECT_EQ(CellColor(51, 0), clBlack);
  EXPECT_EQ(CellColor(52, 0), clBlue);
  EXPECT_EQ(console.Attrs().At(console.AttrAt(52, 0)).Font.Style, FontStyle::Underline);
  EXPECT_EQ(console.Font.Color, clBlack) << "channel 1's appearance is back after each byte";

  Hex(std::string(13, 'x'));  // completes the line: it is logged field by field
  ASSERT_EQ(log.filePieces.size(), 16u + 1u + 16u + 1u);
  EXPECT_EQ(log.filePieces[0].text, "61 ");
  EXPECT_EQ(log.filePieces[0].channel, 0);
  EXPECT_EQ(log.filePieces[1].text, "62 ");
  EXPECT_EQ(log.filePieces[1].channel, 1);
  EXPECT_EQ(log.filePieces[16].text, "   ");
  EXPECT_EQ(log.filePieces[18].text, "b");
  EXPECT_EQ(log.filePieces[18].channel, 1);
  EXPECT_EQ(log.filePieces[33].text, "  ");
}

TEST_F(Renderer, HexLogsOnlyWhereLoggingIsOnAndPendingLinesKeepTheirState) {
  Conf().Log.LogToPrinter = false;
  Hex(std::string(16, 'z'));
  EXPECT_TRUE(log.printer.empty());
  EXPECT_FALSE(log.file.empty());

  log.file.clear();
  Hex("AB");
  renderer.HexLogPendingLine(std::string("  ") + kStamp, true);
  EXPECT_EQ(log.file, "41 42" + std::string(46, ' ') + "AB" + std::string(14, ' ') + "    " +
                          kStamp + "\r\n");
  EXPECT_EQ(renderer.HexCount(), 2) << "the line goes on";
}

TEST_F(Renderer, ModemStatusText) {
  TModemStatusRecord record;
  record.State[TModemStatusRecord::RTS] = true;
  record.State[TModemStatusRecord::DTR] = true;
  record.Changed[TModemStatusRecord::CTS] = true;
  EXPECT_EQ(TProtocol_HexTTY::ModemStatusText(record),
            "MODEM STATUS: RTS=0 DTR=0 CTS>1 DSR=1 DCD=1 RI=1 ");
}

TEST_F(Renderer, HexModemStatusLineEndsTheLineAndIsLoggedLikeData) {
  Conf().MiscBool.TimeStamp = true;
  Hex("Q");
  TModemStatusRecord record;
  record.Changed[TModemStatusRecord::DCD] = true;
  renderer.HexModemStatusLine(1, record);
  EXPECT_EQ(Row(1),
            "MODEM STATUS: RTS=1 DTR=1 CTS=1 DSR=1 DCD>1 RI=1" + std::string(21, ' ') + kStamp);
  EXPECT_EQ(CellColor(0, 1), clBlue);
  EXPECT_EQ(console.CursorY(), 2);
  EXPECT_NE(log.file.find("MODEM STATUS: RTS=1"), std::string::npos);
  EXPECT_EQ(log.file.substr(log.file.size() - 23), kStamp + std::string("\r\n"));
}

TEST_F(Renderer, TtyStxDisplayWithCrAfter) {
  SetNewLine(TDisplayMode::Tty, 0x0D, TNewLinePos::After);
  Conf().MiscInt.CtrlCharDisplay = 2;
  Tty("AB\r\n");
  EXPECT_EQ(Row(0).substr(51), "AB[cr]");  // the Hex reset left the cursor at 51
  EXPECT_EQ(Row(1), "[lf]");
  EXPECT_EQ(console.CursorX(), 4) << "the raw CR and LF are not performed";
  EXPECT_EQ(log.file, "AB[cr]\r\n[lf]");
}

TEST_F(Renderer, TtyIgnorePerformsCrLfWithTimeStampsBeforeEachCr) {
  console.GotoXY(0, 0);
  SetNewLine(TDisplayMode::Tty, 0x0A, TNewLinePos::Ignore);
  Conf().MiscBool.TimeStamp = true;
  Tty("AB\r\n\r\n");
  EXPECT_EQ(Row(0), "AB" + std::string(67, ' ') + kStamp);
  EXPECT_EQ(Row(1), std::string(69, ' ') + kStamp) << "also on an empty row";
  EXPECT_EQ(console.CursorY(), 2);
  EXPECT_EQ(console.CursorX(), 0);
  EXPECT_EQ(log.file,
            "AB" + std::string(67, ' ') + kStamp + "\r\n" + std::string(69, ' ') + kStamp + "\r\n");
}

TEST_F(Renderer, TtyNewLinePastColumn68HasNoTimeStampAndColumnZeroNoNewLine) {
  console.GotoXY(0, 0);
  SetNewLine(TDisplayMode::Tty, 0x0A, TNewLinePos::After);
  Conf().MiscBool.TimeStamp = true;
  Tty(std::string(70, 'x') + "\n");
  EXPECT_EQ(Row(0), std::string(70, 'x'));
  Tty("\n\n");  // at column 0 new lines do nothing
  EXPECT_EQ(console.CursorY(), 1);
  Tty("y\n");
  EXPECT_EQ(Row(1), "y" + std::string(68, ' ') + kStamp);
}

TEST_F(Renderer, TtyBelShownAsCaretGAndBeeps) {
  console.GotoXY(0, 0);
  Conf().MiscInt.CtrlCharDisplay = 1;
  Tty("\a\x01");
  EXPECT_EQ(Row(0), "^G^A");
  EXPECT_EQ(view.beeps, 1);
  EXPECT_EQ(log.file, "^G\a^A\x01") << "both logs receive the raw code as well";
  Conf().MiscInt.CtrlCharDisplay = 0;
  Tty("\x02Z");
  EXPECT_EQ(Row(0), "^G^AZ");
}

TEST_F(Renderer, TtyChannelTwoIsBlueAndItsModemLineStandsAlone) {
  console.GotoXY(0, 0);
  Tty("ab", 1);
  EXPECT_EQ(CellColor(0, 0), clBlue);
  TModemStatusRecord record;
  renderer.TtyModemStatusLine(1, record);
  EXPECT_EQ(Row(1), "MODEM STATUS: RTS=1 DTR=1 CTS=1 DSR=1 DCD=1 RI=1");
  EXPECT_EQ(CellColor(0, 1), clBlue);
  EXPECT_EQ(console.CursorY(), 2);
  EXPECT_EQ(console.CursorX(), 0);
}

TEST_F(Renderer, TheTriggerDecidesWhatIsShownAndWhatIsSent) {
  FakeTrigger trigger;
  FakeTransmitter transmitter;
  renderer.SetTrigger(&trigger);
  renderer.SetStringTransmitter(&transmitter);
  console.GotoXY(0, 0);
  THexTTYTrigChannel& settings = Conf().Trigger_HexTTY.Channel[0];
  settings.Mode = 1;
  Tty("abc");
  EXPECT_EQ(Row(0), "") << "an armed trigger shows nothing";
  EXPECT_EQ(trigger.checked, "abc");
  trigger.displayAll = true;
  Tty("d");
  EXPECT_EQ(Row(0), "d");

  trigger.fireOn = '!';
  trigger.pre = "zy";  // newest first
  trigger.trig = "!";
  trigger.post = "P";
  trigger.forceNewLine = true;
  settings.OnTrigTrLocalStr = true;
  settings.OnTrigTrLocalText.assign("ACK");
  settings.OnTrigTrLibStr = true;
  settings.OnTrigTrLibStrNr = 7;
  Tty("!");
  EXPECT_EQ(Row(0), "dyz!P");
  EXPECT_EQ(console.CursorY(), 1) << "forced new line";
  ASSERT_EQ(app.sent.size(), 1u);
  EXPECT_EQ(app.sent[0], (std::pair<int, std::string>{0, "ACK"}));
  EXPECT_EQ(transmitter.sent, (std::vector<std::pair<int, int>>{{7, 0}}));

  Conf().Strngs.Strings[7].Syntax = static_cast<std::uint8_t>(TStringSyntax::Script);
  trigger.trig = "!";
  Tty("!");
  EXPECT_EQ(transmitter.scripts, (std::vector<std::pair<int, int>>{{7, 0}}));

  settings.Mode = 0;  // disabled: straight through
  Tty("q");
  EXPECT_EQ(trigger.checked.back(), '!');
  renderer.HexReset();
  EXPECT_EQ(trigger.resets, (std::vector<int>{0, 1}));
}

}  // namespace
}  // namespace klv
