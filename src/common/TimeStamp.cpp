#include "common/TimeStamp.h"

namespace klv {

QString TimeStampText(const QDateTime& time) {
  // Tenths of the day, rounded half to even, in integer arithmetic so that no
  // floating-point error moves a boundary.
  const qint64 ms = time.time().msecsSinceStartOfDay();
  qint64 tenths = ms / 100;
  const qint64 rest = ms % 100;
  if (rest > 50 || (rest == 50 && tenths % 2 == 1))
    ++tenths;
  const qint64 digit = tenths % 10;
  return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + ',' + QString::number(digit);
}

}  // namespace klv
