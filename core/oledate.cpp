#include "core/oledate.h"

#include <QDate>

#include <cmath>
#include <optional>

namespace tolvane {

namespace oledate {

namespace {

const QDate kDayZero(1899, 12, 30);

std::optional<int> digitsAt(QStringView text, qsizetype pos, qsizetype count) {
    int value = 0;
    for (qsizetype i = pos; i < pos + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    return value;
}

} // namespace

Parsed fromText(QStringView original) {
    const QStringView text = original.trimmed();
    if (text.size() != 10 && text.size() != 19)
        return {0, TextFault::NotDateForm};
    const auto year = digitsAt(text, 0, 4);
    const auto month = digitsAt(text, 5, 2);
    const auto day = digitsAt(text, 8, 2);
    if (!year || !month || !day || text[4] != u'-' || text[7] != u'-')
        return {0, TextFault::NotDateForm};
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (text.size() == 19) {
        const auto h = digitsAt(text, 11, 2);
        const auto m = digitsAt(text, 14, 2);
        const auto s = digitsAt(text, 17, 2);
        if (!h || !m || !s || text[10] != u' ' || text[13] != u':' || text[16] != u':')
            return {0, TextFault::NotDateForm};
        hour = *h;
        minute = *m;
        second = *s;
    }
    const QDate date(*year, *month, *day);
    if (!date.isValid() || *year < 100)
        return {0, TextFault::NoSuchDate};
    if (hour > 23 || minute > 59 || second > 59)
        return {0, TextFault::NoSuchTime};

    const auto days = static_cast<double>(kDayZero.daysTo(date));
    const double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
    // Before day 0 the time still counts forward from midnight: 1899-12-29 06:00 is -1.25.
    return {days < 0 ? days - fraction : days + fraction, TextFault::None};
}

QString toText(double day) {
    if (!std::isfinite(day) || !inRange(day))
        return {};
    const double whole = std::trunc(day);
    const auto seconds = std::llround(std::fabs(day - whole) * 86400.0);
    if (seconds >= 86400)
        return {};
    const QDate date = kDayZero.addDays(static_cast<qint64>(whole));
    if (!date.isValid() || date.year() < 100 || date.year() > 9999)
        return {};
    QString text = QString::asprintf("%04d-%02d-%02d", date.year(), date.month(), date.day());
    if (seconds != 0)
        text +=
            QString::asprintf(" %02d:%02d:%02d", static_cast<int>(seconds / 3600),
                              static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    // Rounding to whole seconds may have moved the instant; only an exact round trip counts.
    const Parsed back = fromText(text);
    if (back.fault != TextFault::None || back.day != day)
        return {};
    return text;
}

} // namespace oledate

} // namespace tolvane
