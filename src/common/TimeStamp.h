// The time stamp of displayed and logged lines.
#pragma once

#include <QDateTime>
#include <QString>

namespace klv {

// "yyyy-mm-dd hh:mm:ss,t": t is the tenth of the second the stamp shows.
QString TimeStampText(const QDateTime& time);

}  // namespace klv
