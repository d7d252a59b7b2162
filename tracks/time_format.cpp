#include "tracks/time_format.h"

namespace tracks {

namespace {
QString TwoDigits(qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }
}  // namespace

QString FormatMinSec(qint64 milliseconds) {
    // Negative lengths come only from a deck that is not ready; show them as zero.
    const qint64 s = milliseconds > 0 ? milliseconds / 1000 : 0;
    return TwoDigits((s / 60) % 60) + QLatin1Char(':') + TwoDigits(s % 60);
}

QString FormatClock(const QTime& time) { return time.toString(QStringLiteral("HH:mm:ss")); }

QString FormatRequestTime(const QTime& time) { return time.toString(QStringLiteral("HH:mm.ss")); }

}  // namespace tracks
