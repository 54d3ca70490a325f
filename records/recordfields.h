#pragma once

#include <QLatin1String>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace tolvane {

struct PlayerRecord;

// The fields of a player record by name, for tools that show, compare or edit records.
// Every value of a record has a flat name ("overall", "typeProfileA[3]",
// "subListB[0].text2") and a text form that is exact: reading the text back gives the
// same bits, so NaN payloads and negative zero survive, and texts keep every byte.
namespace recordfields {

enum class Kind {
    Byte,    // 0 to 255
    Integer, // 16-bit signed
    Boolean, // 16-bit: "true" (-1) and "false" (0); any other value as an integer
    Single,  // shortest decimal, or "-0", "inf", "-inf", "nan", "-nan", "nan:0x7fc00001"
    Double,  // as Single, with 16 hex digits after "nan:"
    Date,    // an OLE Automation day number; whole days but 0 in years 1 to 9999 as "1980-01-01"
    Text,    // the Windows-1252 text, decoded
    Bytes,   // lower-case hex, two digits a byte
    Count,   // the element count of a nested list; empty for a list never created
};

struct Field {
    QString name;
    Kind kind;
    QString text;
};

// Every field of record in disk order. A nested list gives its Count field first (named
// after the list), then the fields of each element.
std::vector<Field> fieldsOf(const PlayerRecord& record);
// The same for the fields whose name wanted picks (a nested list or array with its
// elements), and only those are written out: for a report of a few fields of many records.
std::vector<Field> fieldsOf(const PlayerRecord& record,
                            const std::function<bool(QLatin1String name)>& wanted);

// The text of the named field, or nullopt when the source does not give it.
using FieldSource = std::function<std::optional<QString>(const QString& name, Kind kind)>;

// Builds a record from field texts. A field the source does not give keeps its zero value;
// a list not given is never created. A text that is no value of its field (out of range,
// a character without a Windows-1252 form, hex of the wrong length) throws a PatchError
// naming the field.
PlayerRecord recordFromFields(const FieldSource& source);

// The text form fieldsOf gives for the value that text stands for, e.g. "72" for "72.0"
// in a Single field; throws a PatchError when text is no value of that kind. For Count,
// an empty text stays empty.
QString canonicalText(Kind kind, const QString& text);

} // namespace recordfields

} // namespace tolvane
