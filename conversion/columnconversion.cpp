#include "conversion/columnconversion.h"

#include "conversion/valueconversion.h"

namespace tolvane {

namespace values {

void check(Conversion conversion, const QVariant& v) {
    switch (conversion) {
    case Conversion::Text:
        toText(v);
        return;
    case Conversion::Name:
        toFirstAndLastName(toText(v));
        return;
    case Conversion::Int16:
        toInt16(v);
        return;
    case Conversion::Boolean:
        toBoolean(v);
        return;
    case Conversion::Single:
        toSingle(v);
        return;
    case Conversion::Double:
        toDouble(v);
        return;
    case Conversion::Date:
        toOleDate(v);
        return;
    case Conversion::Rating:
        toRating(v);
        return;
    case Conversion::Unread:
        return;
    }
}

} // namespace values

} // namespace tolvane
