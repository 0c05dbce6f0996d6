// Byte scripts: text fixtures that feed received bytes to a display renderer
// and say what the console, the logs and the channels must then hold. One
// command a line; '#' starts a comment line, and the first line is one saying
// what the script checks. Channels are 1 and 2, rows and columns count from 0.
//   mode hex|tty|ruvo          the renderer, reset as after clearing the console
//   set FIELD VALUE...         a setting, by its record field (listed at `set`)
//   feed CH BYTES              bytes received on channel CH
//   zip BYTES | BYTES          channel 1's and 2's bytes, one from each in turn
//   modem CH LINE... [changed LINE...]   lines on, lines changed (RTS ... RI)
//   reset                      the renderer's reset
//   pending file|printer TEXT  the line in progress logged with TEXT as its tail
// The trigger, a fake one put in by the first `trigger` line:
//   trigger CH on|off          channel CH's trigger armed (one-shot) or disabled
//   fire BYTES                 it fires on these bytes (Ruvo-94: frame types)
//   show [others] [fired]      what it shows (at first nothing): what does not
//                              fire it, what does
//   release PRE | TRIG | POST  the texts it releases when it next fires
//   newline                    it forces a new line when it next fires
//   local CH TEXT              the Hex/TTY trigger's own text sent when it fires
//   library N SYNTAX TEXT      library entry N (SYNTAX global, none, ... script)
//   answer CH N [DEST]         entry N sent (or run) when it fires, to DEST
// or the real trigger engines, put in by `engines` (the library's transmitter
// stays the recording one, and `answer` and `local` still set the actions):
//   trig CH FIELD VALUE...     Hex/TTY trigger fields: Mode off|1shot|retrig,
//                              State armed|triggered|stopped, PostTrigMode
//                              count|all|newline, LocalStr TEXT, flags 0|1,
//                              LibStrNr, PreTrigCount, PostTrigCount
//   rtrig CH FIELD VALUE...    Ruvo-94 trigger fields: Mode, State, MsgText,
//                              flags, Dest|Source|Type FROM TO OR (hex bytes)
// Checks (a script needs one):
//   row Y TEXT                 console row Y, trailing blanks ignored
//   look Y TEXT                the look of row Y's cells where TEXT is not blank:
//                              k black, U blue underlined, b blue, r red
//   log|log1|log2 TEXT         the file log so far, or only one channel's pieces
//   rich TEXT                  the file log's pieces bound for the rich-text log
//   printer TEXT               the printer log so far
// and, each since its last check (sent and transmitted must end up checked):
//   sent1|sent2 BYTES          the bytes sent on the channel
//   checked TEXT               what the trigger was given: bytes, "[reset CH]",
//                              and CH then the frame for a Ruvo-94 frame
//   transmitted TEXT           library entries sent or run: "string N on CH, ..."
//   beeps N                    the engines' beeps
// and at any time:
//   state1|state2 STATE        the channel's trigger state (the mode's kind)
//   held1|held2 N              the bytes the channel's Hex/TTY trigger holds
// BYTES and TEXT: "text" (no escapes), hex bytes (0D), {TO FROM TYPE DATA...}
// (a Ruvo-94 frame with its length and check byte), stamp (the fixed clock's
// time stamp), nl (CR LF), @N (blanks up to column N of the current line);
// "text", a byte or a frame followed by *N is repeated N times.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace klv::test {

// The scripts in tests/fixtures/<folder>; a script's test is named after its
// file, so file names hold only letters, digits and underscores.
std::vector<std::string> ByteScriptFiles(const std::string& folder);
std::string ByteScriptName(const testing::TestParamInfo<std::string>& info);
// Runs one script; each mismatch fails at the script's line, and a malformed
// line ends the script with a failure naming it. Bytes go to the renderer one
// at a time or, `whole`, each feed's bytes as one piece.
void RunByteScript(const std::string& path, bool whole = false);

}  // namespace klv::test
