#pragma once
// Time texts shared by the lists, the position display and the request list.
#include <QString>
#include <QTime>

namespace tracks {

// "nn:ss": whole seconds (rounded toward zero), minutes within the hour; hours are dropped.
QString FormatMinSec(qint64 milliseconds);

// Wall clock "hh:mm:ss", 24-hour.
QString FormatClock(const QTime& time);

// Request time "hh:mm.ss".
QString FormatRequestTime(const QTime& time);

}  // namespace tracks
