// Stored settings of the file transmission.
#pragma once

#include <cstddef>

#include "common/PackedTypes.h"

namespace klv {

// 84 bytes.
struct TFileXmission {
  PascalString<79> FileName;  // the file last confirmed
  LeI32 SpareInt;
};

static_assert(kIsPackedRecord<TFileXmission>);
static_assert(sizeof(TFileXmission) == 84);
static_assert(offsetof(TFileXmission, SpareInt) == 80);

void SetFileXmissionDefaults(TFileXmission& settings);

}  // namespace klv
