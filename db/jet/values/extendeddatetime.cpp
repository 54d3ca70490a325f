#include "db/jet/values/decoders_p.h"

#include "db/jet/pages.h"

namespace tolvane {

namespace jet {

// An extended date and time (ACE): 42 bytes of ASCII, the days since 0001-01-01 in 19
// digits, a colon, the seconds of the day in 12 digits and their ten-millionths in 7, then
// ":7" and a zero byte. Given as "YYYY-MM-DD HH:MM:SS.fffffff", the time left off at
// midnight and the fraction where it is 0.
QVariant decodeExtendedDateTime(const Field& f) {
    const std::span<const unsigned char> field = f.bytes;
    const auto number = [&](qsizetype from, qsizetype digits) {
        qint64 value = 0;
        for (qsizetype i = from; i < from + digits; ++i) {
            if (field[i] < '0' || field[i] > '9')
                malformed(QStringLiteral("Its extended date is not written in digits."));
            value = value * 10 + (field[i] - '0');
        }
        return value;
    };
    constexpr qsizetype kDays = 0, kSeconds = 20, kTicks = 32, kSize = 42;
    if (static_cast<qsizetype>(field.size()) < kSize)
        malformed(
            QStringLiteral("Its extended date is %1 bytes, too short for one.").arg(field.size()));
    const qint64 days = number(kDays, 19);
    const qint64 seconds = number(kSeconds, 12);
    const qint64 ticks = number(kTicks, 7);
    // 0001-01-01 to 9999-12-31 is 3,652,059 days.
    if (days >= 3652059 || seconds >= 86400)
        malformed(QStringLiteral("Its extended date lies outside the years 1 to 9999."));
    // Days to a civil date in the proleptic Gregorian calendar, counted from 0000-03-01.
    const qint64 z = days + 306;
    const qint64 era = z / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const qint64 day = doy - (153 * mp + 2) / 5 + 1;
    const qint64 month = mp < 10 ? mp + 3 : mp - 9;
    const qint64 year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    QString text = QStringLiteral("%1-%2-%3")
                       .arg(year, 4, 10, QLatin1Char('0'))
                       .arg(month, 2, 10, QLatin1Char('0'))
                       .arg(day, 2, 10, QLatin1Char('0'));
    if (seconds == 0 && ticks == 0)
        return text;
    text += QStringLiteral(" %1:%2:%3")
                .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (ticks != 0) {
        QString fraction = QStringLiteral("%1").arg(ticks, 7, 10, QLatin1Char('0'));
        while (fraction.endsWith(QLatin1Char('0')))
            fraction.chop(1);
        text += QLatin1Char('.') + fraction;
    }
    return text;
}

} // namespace jet

} // namespace tolvane
