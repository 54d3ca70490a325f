#pragma once

#include <QString>
#include <QStringView>

namespace tolvane {

// OLE Automation dates: days since 1899-12-30 as a double, the time of day as the
// fraction. Jet files store dates so, and the game's records hold them so.
namespace oledate {

// The first moment an OLE date can hold and the end of the last day: 100-01-01 and
// 9999-12-31 24:00.
inline constexpr double kFirstDay = -657434.0;
inline constexpr double kEndDay = 2958466.0;

inline bool inRange(double day) {
    return day >= kFirstDay && day < kEndDay;
}

enum class TextFault {
    None,
    NotDateForm, // not "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS"
    NoSuchDate,  // e.g. 2009-02-30, or a year before 100
    NoSuchTime,  // e.g. 24:00:00
};

struct Parsed {
    double day = 0;
    TextFault fault = TextFault::None;
};

// The day number of a text "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS"; blanks around it are
// ignored.
Parsed fromText(QStringView text);

// The text that fromText turns back into exactly day, midnight written as the date
// alone; empty when there is none (outside the range, or a fraction of a second).
QString toText(double day);

} // namespace oledate

} // namespace tolvane
