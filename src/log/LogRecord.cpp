#include "log/LogRecord.h"

namespace klv {

void SetLogDefaults(TLog& log) {
  log = TLog{};
  log.LogFileName.assign(kDefaultLogFileName);
}

}  // namespace klv
