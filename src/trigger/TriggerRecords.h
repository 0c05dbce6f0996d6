// Stored settings of the two kinds of trigger, one record per channel.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/PackedTypes.h"

namespace klv {

enum class TTrigMode : std::uint8_t { Disabled = 0, OneShot = 1, Retrig = 2 };
enum class TTrigState : std::uint8_t { Armed = 0, Triggered = 1, Stopped = 2 };
enum class TPostTrigMode : std::uint8_t { PresetCount = 0, All = 1, UntilNewLine = 2 };

// Hex/ASCII and TTY trigger of one channel, 684 bytes.
struct THexTTYTrigChannel {
  std::uint8_t Mode = 0;   // TTrigMode
  std::uint8_t State = 0;  // TTrigState
  Boolean8 UseLocalStr;
  Boolean8 UseLibStr;
  Boolean8 OtherChTrigged;
  Boolean8 DispTrigStr;
  Boolean8 DispPreTrigChars;
  Boolean8 DispPostTrigChars;
  std::uint8_t PostTrigMode = 0;  // TPostTrigMode
  PascalString<255> LocalStr;
  LeU16 LibStrNr;
  LeU16 PreTrigCount;
  LeU16 PostTrigCount;
  Boolean8 OnTrigTrLibStr;
  LeU16 OnTrigTrLibStrNr;
  Boolean8 OnTrigTrLocalStr;
  PascalString<255> OnTrigTrLocalText;
  Boolean8 ForceNL;
  Boolean8 OnNoTrigDisplay;
  Boolean8 OnTrigBeep;
  std::array<std::uint8_t, 50> SpareFlags{};
  std::array<LeU16, 50> SpareWords{};
};

struct TTrigger_HexTTY {
  std::array<THexTTYTrigChannel, 2> Channel;
};

static_assert(kIsPackedRecord<TTrigger_HexTTY>);
static_assert(sizeof(THexTTYTrigChannel) == 684);
static_assert(sizeof(TTrigger_HexTTY) == 1368);
static_assert(offsetof(THexTTYTrigChannel, PostTrigMode) == 8);
static_assert(offsetof(THexTTYTrigChannel, LocalStr) == 9);
static_assert(offsetof(THexTTYTrigChannel, LibStrNr) == 265);
static_assert(offsetof(THexTTYTrigChannel, PreTrigCount) == 267);
static_assert(offsetof(THexTTYTrigChannel, PostTrigCount) == 269);
static_assert(offsetof(THexTTYTrigChannel, OnTrigTrLibStr) == 271);
static_assert(offsetof(THexTTYTrigChannel, OnTrigTrLibStrNr) == 272);
static_assert(offsetof(THexTTYTrigChannel, OnTrigTrLocalStr) == 274);
static_assert(offsetof(THexTTYTrigChannel, OnTrigTrLocalText) == 275);
static_assert(offsetof(THexTTYTrigChannel, ForceNL) == 531);
static_assert(offsetof(THexTTYTrigChannel, OnNoTrigDisplay) == 532);
static_assert(offsetof(THexTTYTrigChannel, OnTrigBeep) == 533);
static_assert(offsetof(THexTTYTrigChannel, SpareFlags) == 534);
static_assert(offsetof(THexTTYTrigChannel, SpareWords) == 584);

// Ruvo-94 frame trigger of one channel, 439 bytes.
struct TRuvo94TrigChannel {
  std::uint8_t Mode = 0;   // TTrigMode
  std::uint8_t State = 0;  // TTrigState (Armed or Triggered)
  Boolean8 UseDest;
  Boolean8 UseSource;
  Boolean8 UseType;
  Boolean8 UseMsg;
  Boolean8 OtherChTrigged;
  LeU16 DestFrom;
  LeU16 DestTo;
  LeU16 DestOR;
  LeU16 SourceFrom;
  LeU16 SourceTo;
  LeU16 SourceOR;
  LeU16 TypeFrom;
  LeU16 TypeTo;
  LeU16 TypeOR;
  PascalString<255> MsgText;
  Boolean8 OnTrigTr;
  LeU16 OnTrigTrStrNr;
  LeU16 OnTrigTrDest;  // 0 as in the string, 1 the frame's sender, n >= 2 the address n + 2
  Boolean8 OnTrigDisplay;
  Boolean8 OnNoTrigDisplay;
  Boolean8 OnTrigBeep;
  std::array<std::uint8_t, 50> SpareFlags{};
  std::array<LeU16, 50> SpareWords{};
};

struct TTrigger_Ruvo94 {
  std::array<TRuvo94TrigChannel, 2> Channel;
};

static_assert(kIsPackedRecord<TTrigger_Ruvo94>);
static_assert(sizeof(TRuvo94TrigChannel) == 439);
static_assert(sizeof(TTrigger_Ruvo94) == 878);
static_assert(offsetof(TRuvo94TrigChannel, DestFrom) == 7);
static_assert(offsetof(TRuvo94TrigChannel, SourceFrom) == 13);
static_assert(offsetof(TRuvo94TrigChannel, TypeFrom) == 19);
static_assert(offsetof(TRuvo94TrigChannel, TypeOR) == 23);
static_assert(offsetof(TRuvo94TrigChannel, MsgText) == 25);
static_assert(offsetof(TRuvo94TrigChannel, OnTrigTr) == 281);
static_assert(offsetof(TRuvo94TrigChannel, OnTrigTrStrNr) == 282);
static_assert(offsetof(TRuvo94TrigChannel, OnTrigTrDest) == 284);
static_assert(offsetof(TRuvo94TrigChannel, OnTrigDisplay) == 286);
static_assert(offsetof(TRuvo94TrigChannel, OnNoTrigDisplay) == 287);
static_assert(offsetof(TRuvo94TrigChannel, OnTrigBeep) == 288);
static_assert(offsetof(TRuvo94TrigChannel, SpareFlags) == 289);
static_assert(offsetof(TRuvo94TrigChannel, SpareWords) == 339);

// Defaults of a new configuration, the same for both channels.
void SetTriggerDefaults(TTrigger_HexTTY& triggers);
void SetTriggerDefaults(TTrigger_Ruvo94& triggers);

}  // namespace klv
