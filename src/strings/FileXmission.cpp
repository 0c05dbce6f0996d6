#include "strings/FileXmission.h"

namespace klv {

void SetFileXmissionDefaults(TFileXmission& settings) {
  settings = TFileXmission{};
  settings.SpareInt = 1;
}

}  // namespace klv
