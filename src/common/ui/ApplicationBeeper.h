// The desktop's bell, for the engines that beep.
#pragma once

#include <QApplication>

#include "common/Beeper.h"

namespace klv {

class TApplicationBeeper final : public IBeeper {
 public:
  void Beep() override { QApplication::beep(); }
};

}  // namespace klv
