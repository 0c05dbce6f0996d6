// The time stamp of displayed and logged lines.
#pragma once

#include <QDateTime>
#include <QString>

namespace klv {

// "yyyy-mm-dd hh:mm:ss,t": the tenths digit comes from the time rounded to
// the nearest tenth of a second, the rest from the time itself.
QString TimeStampText(const QDateTime& time);

}  // namespace klv
