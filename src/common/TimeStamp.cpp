#include "common/TimeStamp.h"

namespace klv {

QString TimeStampText(const QDateTime& time) {
  // The tenths are cut, not rounded, so that the digit belongs to the same
  // second as the rest and the stamps never run backwards.
  const int tenth = time.time().msec() / 100;
  return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + ',' + QString::number(tenth);
}

}  // namespace klv
