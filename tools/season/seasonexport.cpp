#include "tools/season/seasonexport.h"

#include "conversion/valueconversion.h"
#include "core/bytes.h"
#include "core/oledate.h"
#include "core/patcherror.h"
#include "core/wording.h"
#include "db/seasondatabase.h"
#include "db/sqlite.h"
#include "db/statementerror.h"

#include <QIODevice>

#include <vector>

namespace tolvane {

namespace season {

namespace {

// How much CSV gathers before it goes to the device.
constexpr qsizetype kFlushAt = 256 * 1024;

class CsvWriter {
public:
    CsvWriter(QIODevice& out, const QString& target)
        : m_out(out)
        , m_target(target) {
        m_buffer.reserve(kFlushAt + 4096);
        m_buffer += "\xEF\xBB\xBF";
    }

    // A field: quoted where it holds a comma, a quote or a line break, or is a zero-length
    // text, which an empty field would turn into no value.
    void field(const QString& text, bool isText) {
        if (m_fields++ > 0)
            m_buffer += ',';
        const QByteArray bytes = text.toUtf8();
        const bool quote = (isText && bytes.isEmpty()) || bytes.contains(',') ||
                           bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r');
        if (!quote) {
            m_buffer += bytes;
            return;
        }
        m_buffer += '"';
        for (const char c : bytes) {
            if (c == '"')
                m_buffer += '"';
            m_buffer += c;
        }
        m_buffer += '"';
    }
    void noValue() { field(QString(), false); }

    void endLine() {
        m_buffer += "\r\n";
        m_fields = 0;
        if (m_buffer.size() >= kFlushAt)
            flush();
    }

    void flush() {
        if (!bytes::writeWhole(m_out, m_buffer))
            throw PatchError(QStringLiteral("Cannot write the file"), m_target,
                             m_out.errorString());
        m_buffer.clear();
    }

private:
    QIODevice& m_out;
    const QString& m_target;
    QByteArray m_buffer;
    int m_fields = 0;
};

// The rows in table order. A view or a table without rowids has no rowid to order by;
// there the engine's own order is the table's.
SQLite::Statement selectAll(SeasonDatabase& db, QLatin1String table) {
    const QString all = QStringLiteral("SELECT * FROM %1").arg(seasonschema::quotedName(table));
    try {
        return SQLite::Statement(db.sqlite(),
                                 (all + QStringLiteral(" ORDER BY rowid")).toStdString());
    } catch (const SQLite::Exception&) {
        return db.prepare(all);
    }
}

} // namespace

QStringList exportTable(SeasonDatabase& db, QLatin1String table,
                        std::span<const seasonschema::Column> reference, QIODevice& out,
                        const QString& target) {
    CsvWriter csv(out, target);
    QStringList notes;
    if (!db.hasTable(table)) {
        for (const seasonschema::Column& column : reference)
            csv.field(column.name, true);
        csv.endLine();
        csv.flush();
        notes << QStringLiteral("the season database has no table %1; %2 holds its columns and "
                                "no rows")
                     .arg(table, target);
        return notes;
    }

    SQLite::Statement query = selectAll(db, table);
    const int columns = query.getColumnCount();
    QStringList names;
    for (int c = 0; c < columns; ++c)
        names << QString::fromUtf8(query.getColumnName(c));
    // A date kept as its day number is written as the date, which is how the column is
    // declared in a season the import makes.
    int dateColumn = -1;
    for (int c = 0; c < columns; ++c) {
        csv.field(names[c], true);
        if (table == seasonschema::kRatingsTable &&
            names[c].compare(seasonschema::kRatingsColumns[seasonschema::Dob].name,
                             Qt::CaseInsensitive) == 0)
            dateColumn = c;
    }
    csv.endLine();

    std::vector<qint64> binaryValues(static_cast<std::size_t>(columns));
    const auto next = [&] {
        try {
            return query.executeStep();
        } catch (const SQLite::Exception& e) {
            throw statementerror::rejected(db.path(), QString::fromStdString(query.getQuery()), e);
        }
    };
    while (next()) {
        for (int c = 0; c < columns; ++c) {
            const QVariant v = sqlite::value(query, c);
            if (v.isNull()) {
                csv.noValue();
                continue;
            }
            switch (v.typeId()) {
            case QMetaType::QString:
                csv.field(v.toString(), true);
                continue;
            case QMetaType::QByteArray:
                ++binaryValues[static_cast<std::size_t>(c)];
                csv.field(QStringLiteral("0x") + QString::fromLatin1(v.toByteArray().toHex()),
                          true);
                continue;
            default:
                break;
            }
            if (c == dateColumn) {
                const QString date = oledate::toText(v.toDouble());
                if (!date.isEmpty()) {
                    csv.field(date, true);
                    continue;
                }
            }
            csv.field(values::toText(v), false);
        }
        csv.endLine();
    }
    csv.flush();

    for (int c = 0; c < columns; ++c) {
        if (const qint64 n = binaryValues[static_cast<std::size_t>(c)])
            notes << QStringLiteral("%1, column \"%2\": %3 written as hexadecimal text (0x...), "
                                    "which an import keeps as text")
                         .arg(target, names[c], counted(n, "binary value", "binary values"));
    }
    return notes;
}

} // namespace season

} // namespace tolvane
