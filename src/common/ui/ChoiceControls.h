// Stored choices shown in radio groups and drop-down lists, and read back.
#pragma once

#include <cstdint>

class QComboBox;

namespace klv {

class TRadioGroup;

// A stored choice beyond the items shows as the nearest one (the last for a
// value too large), so that OK stores a value the program knows.
void ShowChoice(TRadioGroup* group, int value);
void ShowListIndex(QComboBox* list, int value);
// The chosen item, or `before` when none is.
std::uint8_t ReadChoice(const TRadioGroup* group, std::uint8_t before);
std::uint16_t ReadListIndex(const QComboBox* list, std::uint16_t before);

}  // namespace klv
