#include "conversion/qztable.h"

#include "core/patcherror.h"
#include "db/caselesscollation.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "db/seasonstatements.h"
#include "db/statementerror.h"

#include <QSqlError>
#include <QSqlRecord>

namespace tolvane {

namespace {

[[noreturn]] void rejected(const SeasonDatabase& db, const QString& sql, const QSqlQuery& query) {
    throw statementerror::rejected(db.path(), sql, query.lastError());
}

static_assert(std::tuple_size_v<QzTable::Values> == seasonschema::kQzPositionCount);

std::array<int, seasonschema::kQzPositionCount> positionColumns(const QSqlRecord& record) {
    std::array<int, seasonschema::kQzPositionCount> columns{};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const QLatin1String name = seasonschema::qzPositionName(i);
        columns[i] = record.indexOf(name);
        if (columns[i] < 0)
            throw statementerror::missingColumn(seasonschema::kQzTable, name);
    }
    return columns;
}

} // namespace

QzTable::QzTable(SeasonDatabase& db)
    : m_db(db)
    , m_lookup(db.connection()) {
    if (const Keys keys = memoryKeys(); keys != Keys::None) {
        load(keys);
        return;
    }
    const QString sql = seasonstatements::qzLookup();
    m_lookup.setForwardOnly(true);
    if (m_db.textComparison() == SeasonDatabase::TextComparison::Caseless) {
        // An Access file's copy is a table of the program's own, without indexes: without one, the
        // statement would read all of qz for every player.
        m_db.exec(
            QStringLiteral("CREATE INDEX IF NOT EXISTS qz_lookup ON %1(%2)")
                .arg(seasonschema::kQzTable, seasonschema::kQzColumns[seasonschema::QzName].name));
        const QString exact = seasonstatements::qzLookupExact();
        m_exactLookup = QSqlQuery(m_db.connection());
        m_exactLookup.setForwardOnly(true);
        if (!m_exactLookup.prepare(exact))
            rejected(m_db, exact, m_exactLookup);
        m_exactFirst = true;
    }
    if (!m_lookup.prepare(sql))
        rejected(m_db, sql, m_lookup);
}

// The statement compares names as text and returns equal names in table order when qz is
// an ordinary table whose name column has text affinity and no index other than a plain
// one on name could change that order. It compares exactly in the default collation, and
// without regard to letter case in a Jet file's copy, whose layout the program made.
QzTable::Keys QzTable::memoryKeys() {
    QSqlQuery query(m_db.connection());
    using namespace seasonschema;
    const QLatin1String nameColumn = kQzColumns[QzName].name;
    if (!query.exec(QStringLiteral("SELECT type FROM pragma_table_info('%1') WHERE name = "
                                   "'%2' COLLATE NOCASE")
                        .arg(kQzTable, nameColumn)) ||
        !query.next())
        return Keys::None;
    const QString type = query.value(0).toString().toUpper();
    const bool textAffinity =
        !type.contains(QLatin1String("INT")) &&
        (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) ||
         type.contains(QLatin1String("TEXT")));
    if (!textAffinity)
        return Keys::None;
    if (m_db.textComparison() == SeasonDatabase::TextComparison::Caseless)
        return Keys::CaselessText;

    if (!query.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND "
                                   "name = '%1' COLLATE NOCASE")
                        .arg(kQzTable)) ||
        !query.next())
        return Keys::None;
    const QString create = query.value(0).toString();
    if (create.contains(QLatin1String("COLLATE"), Qt::CaseInsensitive) ||
        create.contains(QLatin1String("WITHOUT ROWID"), Qt::CaseInsensitive))
        return Keys::None;

    // Every index must be a plain, complete one on name alone.
    if (!query.exec(
            QStringLiteral("SELECT il.partial, (SELECT count(*) FROM pragma_index_info(il.name)), "
                           "(SELECT ii.name FROM pragma_index_info(il.name) ii WHERE ii.seqno = 0) "
                           "FROM pragma_index_list('%1') il")
                .arg(kQzTable)))
        return Keys::None;
    while (query.next()) {
        if (query.value(0).toInt() != 0 || query.value(1).toInt() != 1 ||
            query.value(2).toString().compare(nameColumn, Qt::CaseInsensitive) != 0)
            return Keys::None;
    }
    return Keys::ExactText;
}

void QzTable::load(Keys keys) {
    const QString sql = seasonstatements::qzInTableOrder();
    QSqlQuery rows(m_db.connection());
    rows.setForwardOnly(true);
    if (!rows.exec(sql))
        rejected(m_db, sql, rows);
    const QSqlRecord record = rows.record();
    m_columns = positionColumns(record);
    m_columnsKnown = true;
    const int nameColumn = record.indexOf(seasonschema::kQzColumns[seasonschema::QzName].name);
    while (rows.next()) {
        const QVariant name = rows.value(nameColumn);
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
            values[i] = rows.value(m_columns[i]);
    }
    if (rows.lastError().isValid())
        rejected(m_db, sql, rows);
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
        if (const Values* found = runLookup(m_exactLookup, name))
            return found;
        return runLookup(m_lookup, name, &m_otherSpelling);
    }
    return runLookup(m_lookup, name);
}

const QzTable::Values* QzTable::runLookup(QSqlQuery& lookup, const QString& name,
                                          QString* spelling) {
    lookup.bindValue(0, name);
    if (!lookup.exec())
        throw PatchError(QStringLiteral("Cannot look up the player's qz row"),
                         QStringLiteral("Player \"%1\"").arg(name), lookup.lastError().text());
    if (!lookup.next())
        return nullptr;
    if (!m_columnsKnown) {
        m_columns = positionColumns(lookup.record());
        m_nameColumn = lookup.record().indexOf(seasonschema::kQzColumns[seasonschema::QzName].name);
        m_columnsKnown = true;
    }
    for (std::size_t i = 0; i < m_current.size(); ++i)
        m_current[i] = lookup.value(m_columns[i]);
    if (spelling && m_nameColumn >= 0) {
        const QString stored = lookup.value(m_nameColumn).toString();
        if (stored != name)
            *spelling = stored;
    }
    lookup.finish();
    return &m_current;
}

} // namespace tolvane
