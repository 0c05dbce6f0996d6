// Stored log settings.
#pragma once

#include <cstddef>

#include "common/PackedTypes.h"

namespace klv {

// 82 bytes.
struct TLog {
  Boolean8 LogToFile;
  Boolean8 LogToPrinter;
  PascalString<79> LogFileName;
};

static_assert(kIsPackedRecord<TLog>);
static_assert(sizeof(TLog) == 82);
static_assert(offsetof(TLog, LogFileName) == 2);

inline constexpr const char* kDefaultLogFileName = "KLV.Log";

void SetLogDefaults(TLog& log);

}  // namespace klv
