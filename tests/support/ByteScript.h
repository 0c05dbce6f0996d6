// Byte scripts: text fixtures that feed received bytes to a display renderer
// and say what the console, the logs and the channels must then hold. One
// command a line; '#' starts a comment line, and the first line is one saying
// what the script checks. Channels are 1 and 2, rows and columns count from 0.
//   mode hex|tty|ruvo          the renderer, reset as after clearing the console
//   set FIELD VALUE...         a setting, by its record field (kSettings)
//   feed CH BYTES              bytes received on channel CH
//   zip BYTES | BYTES          channel 1's and 2's bytes, one from each in turn
//   modem CH LINE... [changed LINE...]   lines on, lines changed (RTS ... RI)
//   reset                      the renderer's reset
//   pending file|printer TEXT  the line in progress logged with TEXT as its tail
// Checks (a script needs one; bytes sent and not checked fail it):
//   row Y TEXT                 console row Y, trailing blanks ignored
//   look Y TEXT                the look of row Y's cells where TEXT is not blank:
//                              k black, U blue underlined, b blue, r red
//   log|log1|log2 TEXT         the file log so far, or only one channel's pieces
//   rich TEXT                  the file log's pieces bound for the rich-text log
//   printer TEXT               the printer log so far
//   sent1|sent2 BYTES          all bytes sent on the channel so far
// BYTES and TEXT: "text" (no escapes), hex bytes (0D), {TO FROM TYPE DATA...}
// (a Ruvo-94 frame with its length and check byte), stamp (the fixed clock's
// time stamp), nl (CR LF), @N (blanks up to column N of the current line);
// "text", a byte or a frame followed by *N is repeated N times.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "conf/ConfRecord.h"
#include "display/P_hextty.h"
#include "protocol/P_ruvo94.h"
#include "support/RendererFakes.h"

namespace klv::test {

// Every renderer on one 94 x 60 console model, with recording channels and
// log, the default settings with both logs on, and the fixed clock.
struct TRenderRig {
  TRenderRig();
  std::string Row(int y) const { return Trimmed(console.RowText(y)); }
  void Feed(IDisplayRenderer& renderer, int channel, std::string_view bytes);

  TConf conf;
  TColorConsoleBuffer console;
  TBufferConsoleOutput output{console};
  RecordingChannels channels;
  RecordingLogText log;
  TProtocol_HexTTY hexTty{conf, output, channels, log};
  TProtocol_Ruvo94 decoder{conf, output, channels, log};
  THexAsciiRenderer hex{hexTty};
  TTtyRenderer tty{hexTty};
  TRuvo94Renderer ruvo{decoder, hexTty};
};

// STX, the addresses, the type, the length byte, the data, ETX and the check byte.
std::string RuvoFrame(std::uint8_t to, std::uint8_t from, std::uint8_t type, std::string_view data);

// The scripts in tests/fixtures/<folder>; a script's test is named after its
// file, so file names hold only letters, digits and underscores.
std::vector<std::string> ByteScriptFiles(const std::string& folder);
std::string ByteScriptName(const testing::TestParamInfo<std::string>& info);
// Runs one script; each mismatch and a malformed line fail at the script's line.
void RunByteScript(const std::string& path);

}  // namespace klv::test
