#include "tools/roster/rosterformats.h"

#include "core/patcherror.h"
#include "records/recordfields.h"
#include "tools/roster/teamlistfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>

#include <cmath>

namespace tolvane {

namespace rosterformats {
namespace {

using recordfields::Field;
using recordfields::Kind;

// A record whose nested lists are as long as the longest of any record, so that its
// fields name every column the CSV needs.
PlayerRecord csvShape(const std::vector<PlayerRecord>& records) {
    PlayerRecord shape;
    for (const PlayerRecord& record : records) {
        if (record.subListA &&
            (!shape.subListA || record.subListA->size() > shape.subListA->size()))
            shape.subListA.emplace(record.subListA->size());
        if (record.subListB &&
            (!shape.subListB || record.subListB->size() > shape.subListB->size()))
            shape.subListB.emplace(record.subListB->size());
    }
    return shape;
}

void appendCsvField(QString& line, const QString& text) {
    static const QRegularExpression needsQuotes(QStringLiteral("[,\"\r\n]"));
    if (!text.contains(needsQuotes)) {
        line += text;
        return;
    }
    line += QLatin1Char('"');
    line += QString(text).replace(QLatin1Char('"'), QLatin1String("\"\""));
    line += QLatin1Char('"');
}

void appendJsonString(QByteArray& out, const QString& text) {
    out += '"';
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            // Control characters, C0 and C1 alike, escaped: they are invisible otherwise.
            if (u < 0x20 || (u >= 0x7F && u < 0xA0))
                out += "\\u" + QByteArray::number(u, 16).rightJustified(4, '0');
            else
                out += QString(c).toUtf8();
        }
    }
    out += '"';
}

// What a JSON reader makes of a number literal and the text build then gives the field.
QString textOfJsonNumber(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

bool isJsonNumber(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][+-]?[0-9]+)?$"));
    return number.match(text).hasMatch();
}

void appendJsonValue(QByteArray& out, const Field& field) {
    switch (field.kind) {
    case Kind::Text:
    case Kind::Bytes:
        appendJsonString(out, field.text);
        return;
    case Kind::Count:
        out += field.text.isEmpty() ? QByteArray("null") : field.text.toLatin1();
        return;
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Boolean:
        out += field.text.toLatin1();
        return;
    case Kind::Single:
    case Kind::Double:
    case Kind::Date:
        // A number only where reading it back lands on the same bits; "-0", "nan" and
        // dates stay strings.
        if (isJsonNumber(field.text) &&
            recordfields::canonicalText(field.kind, textOfJsonNumber(field.text.toDouble())) ==
                field.text)
            out += field.text.toLatin1();
        else
            appendJsonString(out, field.text);
        return;
    }
}

[[noreturn]] void fail(const QString& where, const QString& cause) {
    throw PatchError(QStringLiteral("Cannot build the team list"), where, cause);
}

QString typeName(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

// The field text a JSON value stands for, by the field's kind. A value of the wrong type
// throws a PatchError whose target is the field.
QString fieldText(const QString& field, Kind kind, const QJsonValue& value) {
    const bool numeric = kind != Kind::Text && kind != Kind::Bytes;
    if (value.isString())
        return value.toString();
    if (value.isDouble() && numeric) {
        const double number = value.toDouble();
        const bool whole = kind == Kind::Byte || kind == Kind::Integer || kind == Kind::Boolean ||
                           kind == Kind::Count;
        if (whole && std::abs(number) < 1e15 && number == std::trunc(number))
            return QString::number(static_cast<qint64>(number));
        return textOfJsonNumber(number);
    }
    if (value.isBool() && kind == Kind::Boolean)
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.isNull() && kind == Kind::Count)
        return QString();
    fail(field,
         QStringLiteral("The value is %1, which this field does not take.").arg(typeName(value)));
}

PlayerRecord recordFromJson(const QJsonObject& object, qsizetype index) {
    const QString record = QStringLiteral("Record %1").arg(index);
    QSet<QString> known;
    PlayerRecord result;
    try {
        result = recordfields::recordFromFields(
            [&](const QString& name, Kind kind) -> std::optional<QString> {
                known.insert(name);
                const auto it = object.constFind(name);
                if (it == object.constEnd())
                    return std::nullopt;
                return fieldText(name, kind, *it);
            });
    } catch (const PatchError& error) {
        fail(record + QStringLiteral(", field ") + error.target(), error.cause());
    }
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (!known.contains(it.key()))
            fail(record, QStringLiteral("%1 is not a field of a player record (or lies beyond "
                                        "the element count of its list).")
                             .arg(it.key()));
    }
    return result;
}

} // namespace

QByteArray toCsv(const TeamListFile& file) {
    const std::vector<Field> columns = recordfields::fieldsOf(csvShape(file.records));
    QString text = QStringLiteral("record");
    for (const Field& column : columns) {
        text += QLatin1Char(',');
        appendCsvField(text, column.name);
    }
    text += QLatin1String("\r\n");
    for (std::size_t i = 0; i < file.records.size(); ++i) {
        // A record's fields are the shape's columns in the same order, less the list
        // elements it does not have.
        const std::vector<Field> fields = recordfields::fieldsOf(file.records[i]);
        text += QString::number(i);
        std::size_t next = 0;
        for (const Field& column : columns) {
            text += QLatin1Char(',');
            if (next < fields.size() && fields[next].name == column.name)
                appendCsvField(text, fields[next++].text);
        }
        text += QLatin1String("\r\n");
    }
    return text.toUtf8();
}

QByteArray toJson(const TeamListFile& file) {
    QByteArray out = "{\n    \"records\": ";
    if (file.start != TeamListFile::Start::Header) {
        out += "null";
    } else {
        out += '[';
        for (std::size_t i = 0; i < file.records.size(); ++i) {
            out += i == 0 ? "\n        {" : ",\n        {";
            bool first = true;
            for (const Field& field : recordfields::fieldsOf(file.records[i])) {
                out += first ? "\n            " : ",\n            ";
                first = false;
                appendJsonString(out, field.name);
                out += ": ";
                appendJsonValue(out, field);
            }
            out += "\n        }";
        }
        out += file.records.empty() ? "]" : "\n    ]";
    }
    if (file.start == TeamListFile::Start::EmptyFile)
        out += ",\n    \"emptyFile\": true";
    if (!file.trailing.isEmpty())
        out += ",\n    \"trailingBytes\": \"" + file.trailing.toHex() + '"';
    out += "\n}\n";
    return out;
}

TeamListFile fromJson(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        fail(QStringLiteral("Byte %1").arg(error.offset),
             QStringLiteral("This is not JSON: %1.").arg(error.errorString()));
    if (!document.isObject())
        fail(QString(), QStringLiteral("The JSON is not an object with \"records\"."));
    const QJsonObject top = document.object();
    for (auto it = top.constBegin(); it != top.constEnd(); ++it) {
        static const QStringList keys = {QStringLiteral("records"), QStringLiteral("emptyFile"),
                                         QStringLiteral("trailingBytes")};
        if (!keys.contains(it.key()))
            fail(it.key(), QStringLiteral("This key has no meaning in a team list; the keys are "
                                          "records, emptyFile and trailingBytes."));
    }

    TeamListFile file;
    const QJsonValue records = top.value(QStringLiteral("records"));
    if (records.isArray()) {
        const QJsonArray array = records.toArray();
        file.records.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            if (!array[i].isObject())
                fail(QStringLiteral("Record %1").arg(i),
                     QStringLiteral("The record is %1, not an object.").arg(typeName(array[i])));
            file.records.push_back(recordFromJson(array[i].toObject(), i));
        }
    } else if (records.isNull()) {
        file.start = TeamListFile::Start::NeverCreated;
    } else {
        fail(QStringLiteral("records"),
             QStringLiteral("The value is %1; it must be an array of records, or null for a "
                            "list never created.")
                 .arg(typeName(records)));
    }

    const QJsonValue emptyFile = top.value(QStringLiteral("emptyFile"));
    if (!emptyFile.isUndefined() && !emptyFile.isBool())
        fail(QStringLiteral("emptyFile"), QStringLiteral("The value must be true or false."));
    if (emptyFile.toBool()) {
        if (!records.isNull())
            fail(QStringLiteral("emptyFile"),
                 QStringLiteral("An empty file holds no records; give \"records\": null."));
        file.start = TeamListFile::Start::EmptyFile;
    }

    const QJsonValue trailing = top.value(QStringLiteral("trailingBytes"));
    if (!trailing.isUndefined()) {
        const auto refuse = [] {
            fail(QStringLiteral("trailingBytes"),
                 QStringLiteral("The value must be a string of hex digits, two a byte."));
        };
        if (!trailing.isString())
            refuse();
        try {
            file.trailing = QByteArray::fromHex(
                recordfields::canonicalText(Kind::Bytes, trailing.toString()).toLatin1());
        } catch (const PatchError&) {
            refuse();
        }
        if (file.start == TeamListFile::Start::EmptyFile && !file.trailing.isEmpty())
            fail(QStringLiteral("trailingBytes"),
                 QStringLiteral("An empty file has no bytes after its records."));
    }
    return file;
}

} // namespace rosterformats

} // namespace tolvane
