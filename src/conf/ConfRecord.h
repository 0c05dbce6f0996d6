// The configuration record: every setting of the program, the string library
// included, in one fixed 35983-byte record whose byte image is the
// configuration file. Shared by every subsystem that reads or writes settings.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/PackedTypes.h"
#include "log/LogRecord.h"
#include "protocol/ProtocolParam.h"
#include "strings/FileXmission.h"
#include "strings/StringLibrary.h"
#include "trigger/TriggerRecords.h"

namespace klv {

inline constexpr std::size_t kConfSize = 35983;
inline constexpr std::string_view kConfIdent = "KLV";
inline constexpr std::string_view kConfVersion = "V3.02 ";
// Files written by older programs than this cannot be read.
inline constexpr std::string_view kOldestCompatibleVersion = "V1.16 ";
inline constexpr const char* kDefaultConfigFileName = "Config.klv";

inline constexpr std::array<std::int32_t, 16> BaudTable = {
    110,   150,   300,   600,   1200,  2400,  4800,   9600,
    14400, 19200, 28800, 38400, 57600, 76800, 115200, 1001};
inline constexpr std::array<char, 5> ParityChars = {'N', 'O', 'E', 'M', 'S'};
inline constexpr std::array<const char*, 4> ProtocolNames = {"No protocol", "Ruvo-94", "Profibus",
                                                             "Modbus"};

enum class TDisplayMode : std::uint8_t { HexAscii = 0, Tty = 1, Protocol = 2 };
enum class TProtocolId : std::uint8_t { None = 0, Ruvo94 = 1, Profibus = 2, Modbus = 3 };
enum class TNewLinePos : std::uint8_t { After = 0, Before = 1, Ignore = 2 };

struct TFileHead {
  PascalString<10> Ident;
  PascalString<10> Version;
};

// Line parameters of one channel, 9 bytes.
struct TComEntry {
  Boolean8 Enabled;
  std::uint8_t Port = 0;    // 1..16
  LeU16 BaudIndex;          // into BaudTable
  LeU16 DataBits;           // 5..8
  std::uint8_t Parity = 0;  // into ParityChars
  LeU16 StopBits;           // 1 or 2
};

struct TComparam {
  std::array<TComEntry, 2> Channel;
};

struct TModemLines {
  Boolean8 RTS;
  Boolean8 DTR;
};

struct TModemControl {
  std::array<TModemLines, 2> Channel;
};

struct TNewLineEntry {
  std::uint8_t NLChar = 0;
  std::uint8_t NLPos = 0;  // TNewLinePos
  friend bool operator==(const TNewLineEntry&, const TNewLineEntry&) = default;
};

// [channel][display mode]
struct TNewLine {
  std::array<std::array<TNewLineEntry, 3>, 2> Entry;
};

struct TProtocol {
  std::uint8_t Selected = 0;  // TProtocolId
  std::array<LeU16, 99> Reserved{};
};

struct TMiscBool {
  Boolean8 AutoTransmit;
  Boolean8 TimeStamp;
  Boolean8 LogModemP;
  Boolean8 LogModemS;
  Boolean8 LocalEchoP;
  Boolean8 LocalEchoS;
  std::array<std::uint8_t, 994> Reserved{};
};

struct TMiscInt {
  LeU16 AutoXmitInterval;            // milliseconds, 0..60000
  std::uint8_t CtrlCharDisplay = 0;  // 0 ignore, 1 "^C", 2 "[stx]"
  std::array<LeU16, 898> Reserved{};
};

struct TMisc {
  std::uint8_t LogViewer = 0;
  std::uint8_t LogDataFormat = 0;  // 0 displayed text; 1 hex, 2 decimal, 3 binary raw bytes
  std::array<std::uint8_t, 998> Reserved{};
};

struct TConf {
  TFileHead FileHead;
  TComparam Comparam;
  TModemControl ModemControl;
  TNewLine NewLine;
  std::uint8_t DisplayMode = 0;  // TDisplayMode
  Boolean8 Paused;
  TStrngs Strngs;
  TProtocolparam Protocolparam;
  TProtocol Protocol;
  TMiscBool MiscBool;
  TMiscInt MiscInt;
  TMisc Misc;
  TLog Log;
  TTrigger_Ruvo94 Trigger_Ruvo94;
  TTrigger_HexTTY Trigger_HexTTY;
  TFileXmission FileXmission;
};

static_assert(kIsPackedRecord<TConf>);
static_assert(sizeof(TConf) == kConfSize);
static_assert(sizeof(TFileHead) == 22 && offsetof(TConf, FileHead) == 0);
static_assert(offsetof(TFileHead, Version) == 11);
static_assert(sizeof(TComEntry) == 9 && sizeof(TComparam) == 18 && offsetof(TConf, Comparam) == 22);
static_assert(offsetof(TComEntry, Port) == 1 && offsetof(TComEntry, BaudIndex) == 2 &&
              offsetof(TComEntry, DataBits) == 4 && offsetof(TComEntry, Parity) == 6 &&
              offsetof(TComEntry, StopBits) == 7);
static_assert(sizeof(TModemControl) == 4 && offsetof(TConf, ModemControl) == 40);
static_assert(sizeof(TNewLine) == 12 && offsetof(TConf, NewLine) == 44);
static_assert(offsetof(TConf, DisplayMode) == 56);
static_assert(offsetof(TConf, Paused) == 57);
static_assert(sizeof(TStrngs) == 29502 && offsetof(TConf, Strngs) == 58);
static_assert(sizeof(TProtocolparam) == 13 && offsetof(TConf, Protocolparam) == 29560);
static_assert(sizeof(TProtocol) == 199 && offsetof(TConf, Protocol) == 29573);
static_assert(sizeof(TMiscBool) == 1000 && offsetof(TConf, MiscBool) == 29772);
static_assert(sizeof(TMiscInt) == 1799 && offsetof(TConf, MiscInt) == 30772);
static_assert(offsetof(TMiscInt, CtrlCharDisplay) == 2);
static_assert(sizeof(TMisc) == 1000 && offsetof(TConf, Misc) == 32571);
static_assert(sizeof(TLog) == 82 && offsetof(TConf, Log) == 33571);
static_assert(sizeof(TTrigger_Ruvo94) == 878 && offsetof(TConf, Trigger_Ruvo94) == 33653);
static_assert(sizeof(TTrigger_HexTTY) == 1368 && offsetof(TConf, Trigger_HexTTY) == 34531);
static_assert(sizeof(TFileXmission) == 84 && offsetof(TConf, FileXmission) == 35899);

}  // namespace klv
