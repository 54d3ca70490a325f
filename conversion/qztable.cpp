#include "conversion/qztable.h"

#include "core/patcherror.h"
#include "db/caselesscollation.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "db/seasonstatements.h"
#include "db/sqlite.h"
#include "db/statementerror.h"

namespace tolvane {

namespace {

static_assert(std::tuple_size_v<QzTable::Values> == seasonschema::kQzPositionCount);

std::array<int, seasonschema::kQzPositionCount> positionColumns(const SQLite::Statement& rows) {
    std::array<int, seasonschema::kQzPositionCount> columns{};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const QLatin1String name = seasonschema::qzPositionName(i);
        columns[i] = sqlite::columnIndex(rows, name);
        if (columns[i] < 0)
            throw statementerror::missingColumn(seasonschema::kQzTable, name);
    }
    return columns;
}

} // namespace

QzTable::QzTable(SeasonDatabase& db)
    : m_db(db) {
    if (const Keys keys = memoryKeys(); keys != Keys::None) {
        load(keys);
        return;
    }
    if (m_db.textComparison() == SeasonDatabase::TextComparison::Caseless) {
        // An Access file's copy is a table of the program's own, without indexes: without one,
        // the statement would read all of qz for every player.
        m_db.exec(seasonstatements::createQzNameIndex());
        m_exactLookup.emplace(m_db.prepare(seasonstatements::qzLookupExact()));
        m_exactFirst = true;
    }
    m_lookup.emplace(m_db.prepare(seasonstatements::qzLookup()));
}

// The statement compares names as text and returns equal names in table order when qz is
// an ordinary table whose name column has text affinity and no index other than a plain
// one on name could change that order. It compares exactly in the default collation, and
// without regard to letter case in a Jet file's copy, whose layout the program made.
QzTable::Keys QzTable::memoryKeys() {
    using namespace seasonschema;
    const QLatin1String nameColumn = kQzColumns[QzName].name;
    // The first column of the first row, or a null value when there is none or the statement
    // fails: the answer is then that only the statement can tell.
    const auto first = [&](const QString& sql) {
        try {
            SQLite::Statement query(m_db.sqlite(), sql.toStdString());
            return query.executeStep() ? sqlite::value(query, 0) : QVariant();
        } catch (const SQLite::Exception&) {
            return QVariant();
        }
    };
    const QVariant declared = first(QStringLiteral("SELECT type FROM pragma_table_info('%1') "
                                                   "WHERE name = '%2' COLLATE NOCASE")
                                        .arg(kQzTable, nameColumn));
    if (declared.isNull())
        return Keys::None;
    const QString type = declared.toString().toUpper();
    const bool textAffinity =
        !type.contains(QLatin1String("INT")) &&
        (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) ||
         type.contains(QLatin1String("TEXT")));
    if (!textAffinity)
        return Keys::None;
    if (m_db.textComparison() == SeasonDatabase::TextComparison::Caseless)
        return Keys::CaselessText;

    const QString create = first(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = "
                                                "'table' AND name = '%1' COLLATE NOCASE")
                                     .arg(kQzTable))
                               .toString();
    if (create.isEmpty() || create.contains(QLatin1String("COLLATE"), Qt::CaseInsensitive) ||
        create.contains(QLatin1String("WITHOUT ROWID"), Qt::CaseInsensitive))
        return Keys::None;

    // Every index must be a plain, complete one on name alone.
    try {
        SQLite::Statement indexes(
            m_db.sqlite(),
            QStringLiteral("SELECT il.partial, (SELECT count(*) FROM pragma_index_info(il.name)), "
                           "(SELECT ii.name FROM pragma_index_info(il.name) ii WHERE ii.seqno = 0) "
                           "FROM pragma_index_list('%1') il")
                .arg(kQzTable)
                .toStdString());
        while (indexes.executeStep()) {
            if (indexes.getColumn(0).getInt() != 0 || indexes.getColumn(1).getInt() != 1 ||
                QString::fromUtf8(indexes.getColumn(2).getText())
                        .compare(nameColumn, Qt::CaseInsensitive) != 0)
                return Keys::None;
        }
    } catch (const SQLite::Exception&) {
        return Keys::None;
    }
    return Keys::ExactText;
}

void QzTable::load(Keys keys) {
    const QString sql = seasonstatements::qzInTableOrder();
    SQLite::Statement rows = m_db.prepare(sql);
    m_columns = positionColumns(rows);
    m_columnsKnown = true;
    const int nameColumn =
        sqlite::columnIndex(rows, seasonschema::kQzColumns[seasonschema::QzName].name);
    try {
        while (rows.executeStep()) {
            const QVariant name = sqlite::value(rows, nameColumn);
            // Only a stored text can equal the text of a player's name.
            if (name.isNull() || name.typeId() != QMetaType::QString)
                continue;
            const QString text = name.toString();
            if (keys == Keys::CaselessText) {
                const QString key = caseless::key(text);
                if (!m_caselessNames.contains(key))
                    m_caselessNames.insert(key, text);
            }
            if (m_rows.contains(text))
                continue;
            Values& values = m_rows[text];
            for (std::size_t i = 0; i < values.size(); ++i)
                values[i] = sqlite::value(rows, m_columns[i]);
        }
    } catch (const SQLite::Exception& e) {
        throw statementerror::rejected(m_db.path(), sql, e);
    }
    m_keys = keys;
}

const QzTable::Values* QzTable::find(const QString& name) {
    if (!m_otherSpelling.isNull())
        m_otherSpelling = QString();
    if (inMemory()) {
        auto it = m_rows.constFind(name);
        if (it == m_rows.constEnd() && m_keys == Keys::CaselessText) {
            const auto spelled = m_caselessNames.constFind(caseless::key(name));
            if (spelled != m_caselessNames.constEnd()) {
                it = m_rows.constFind(*spelled);
                m_otherSpelling = *spelled;
            }
        }
        return it == m_rows.constEnd() ? nullptr : &*it;
    }
    if (m_exactFirst) {
        if (const Values* found = runLookup(*m_exactLookup, name))
            return found;
        return runLookup(*m_lookup, name, &m_otherSpelling);
    }
    return runLookup(*m_lookup, name);
}

const QzTable::Values* QzTable::runLookup(SQLite::Statement& lookup, const QString& name,
                                          QString* spelling) {
    return sqlite::guarded(QStringLiteral("Cannot look up the player's qz row"),
                           QStringLiteral("Player \"%1\"").arg(name), [&]() -> const Values* {
                               lookup.tryReset();
                               sqlite::bind(lookup, 1, name);
                               if (!lookup.executeStep())
                                   return nullptr;
                               if (!m_columnsKnown) {
                                   m_columns = positionColumns(lookup);
                                   m_nameColumn = sqlite::columnIndex(
                                       lookup, seasonschema::kQzColumns[seasonschema::QzName].name);
                                   m_columnsKnown = true;
                               }
                               for (std::size_t i = 0; i < m_current.size(); ++i)
                                   m_current[i] = sqlite::value(lookup, m_columns[i]);
                               if (spelling && m_nameColumn >= 0) {
                                   const QString stored =
                                       sqlite::value(lookup, m_nameColumn).toString();
                                   if (stored != name)
                                       *spelling = stored;
                               }
                               lookup.tryReset();
                               return &m_current;
                           });
}

} // namespace tolvane
