// The desktop's warning sound, as triggers and scripts ask for it.
#pragma once

namespace klv {

class IBeeper {
 public:
  virtual ~IBeeper() = default;
  virtual void Beep() = 0;
};

}  // namespace klv
