#include "db/seasondatabase.h"

#include "core/patcherror.h"
#include "db/caselesscollation.h"
#include "db/jetimport.h"
#include "db/jetwriteback.h"
#include "db/seasonschema.h"
#include "db/statementerror.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <optional>

namespace tolvane {

namespace {

const QString kRatings = seasonschema::kRatingsTable;
const QString kOverall = seasonschema::kRatingsColumns[seasonschema::Overall].name;

} // namespace

struct SeasonDatabase::Jet {
    // Ratings as read from the file, its overall column kept up to date with what has
    // been written back since.
    std::optional<jet::Table> ratings;
};

SeasonDatabase::SeasonDatabase(const QString& path)
    : m_path(path) {
    const QString operation = openDatabaseOperation();
    if (!QFileInfo(path).isFile())
        throw PatchError(operation, path, QStringLiteral("The file does not exist."));
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        throw PatchError(operation, path, probe.errorString());
    m_format = detectDatabaseFormat(probe.read(kDatabaseHeadSize));
    probe.close();
    if (m_format != DatabaseFormat::Sqlite && m_format != DatabaseFormat::Jet4)
        throw PatchError(operation, path, unreadableFormatReason(m_format));

    m_sqlite = std::make_unique<SqliteConnection>(path, operation,
                                                  m_format == DatabaseFormat::Jet4
                                                      ? SqliteConnection::Storage::Memory
                                                      : SqliteConnection::Storage::File);
    if (m_format == DatabaseFormat::Jet4)
        loadJet();
    // SQLite opens lazily; reading the schema proves the file is a database we can use.
    QSqlQuery schema(connection());
    if (!schema.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        throw PatchError(operation, path,
                         QStringLiteral("The file is damaged or is not an SQLite database: %1")
                             .arg(schema.lastError().text()));
}

SeasonDatabase::~SeasonDatabase() = default;

void SeasonDatabase::loadJet() {
    m_jet = std::make_unique<Jet>();
    jet::Reader reader(m_path);
    // The Jet engine ignores letter case where it compares texts: a qz name finds its
    // player whatever the case it was typed in. The copies' text columns do the same.
    caseless::addTo(connection(), openDatabaseOperation(), m_path);
    const QString collation = caseless::kCollation;
    // Only the two tables the run uses; a missing one is left missing, for the checks to
    // name it as they would in an SQLite file.
    m_jet->ratings = reader.readTable(kRatings);
    if (m_jet->ratings)
        jet::copyTableToSqlite(*m_jet->ratings, connection(), collation);
    if (const std::optional<jet::Table> qz = reader.readTable(seasonschema::kQzTable))
        jet::copyTableToSqlite(*qz, connection(), collation);
}

QString SeasonDatabase::writeBackProblem() const {
    // A missing table or column is reported by the checks that look for them.
    if (!m_jet || !m_jet->ratings || m_jet->ratings->columnIndex(kOverall) < 0)
        return QString();
    return jet::inPlaceWriteProblem(m_path, *m_jet->ratings, kOverall);
}

void SeasonDatabase::saveJetChanges() {
    if (!m_jet || !m_jet->ratings)
        return;
    jet::Table& ratings = *m_jet->ratings;
    const int column = ratings.columnIndex(kOverall);
    if (column < 0)
        return;
    const QString operation = jet::writeOperation();
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT rowid, overall FROM Ratings ORDER BY rowid")))
        throw PatchError(operation, m_path, query.lastError().text());
    std::vector<jet::CellChange> changes;
    while (query.next()) {
        const qint64 rowid = query.value(0).toLongLong();
        const QVariant value = query.value(1);
        if (rowid < 1 || rowid > static_cast<qint64>(ratings.rows.size()))
            throw PatchError(operation, m_path,
                             QStringLiteral("Row %1 was added after reading; only changed "
                                            "values can be written back.")
                                 .arg(rowid));
        const std::size_t row = static_cast<std::size_t>(rowid - 1);
        const QVariant& before = ratings.rows[row][static_cast<std::size_t>(column)];
        if (value.isNull() && before.isNull())
            continue;
        if (value.isNull() || value.typeId() != QMetaType::LongLong)
            throw PatchError(operation, m_path,
                             QStringLiteral("Row %1: only whole numbers can be written into the "
                                            "column \"overall\".")
                                 .arg(rowid));
        if (!before.isNull() && before.toLongLong() == value.toLongLong())
            continue;
        changes.push_back({row, value.toLongLong()});
    }
    if (query.lastError().isValid())
        throw PatchError(operation, m_path, query.lastError().text());
    jet::writeInPlace(m_path, ratings, kOverall, changes);
    for (const jet::CellChange& change : changes)
        ratings.rows[change.row][static_cast<std::size_t>(column)] = change.value;
}

void SeasonDatabase::exec(const QString& sql) {
    QSqlQuery query(connection());
    if (!query.exec(sql))
        throw statementerror::rejected(m_path, sql, query.lastError());
}

qint64 SeasonDatabase::scalar(const QString& sql) {
    QSqlQuery query(connection());
    if (!query.exec(sql) || !query.next())
        throw statementerror::rejected(m_path, sql, query.lastError());
    return query.value(0).toLongLong();
}

WriteBatch::WriteBatch(SeasonDatabase& db)
    : m_db(db)
    , m_transaction(db.sqlite(),
                    QStringLiteral("Cannot save the overall ratings in the season database")) {}

void WriteBatch::commit() {
    m_transaction.commit();
    m_db.saveJetChanges();
}

QString WriteBatch::keepWrittenSoFar() noexcept {
    try {
        commit();
        return QString();
    } catch (const PatchError& e) {
        // A Jet write-back that fails leaves the file exactly as it was.
        return QStringLiteral("The overall ratings written before the stop were not saved "
                              "either: %1")
            .arg(e.cause().isEmpty() ? e.operation() : e.cause());
    } catch (const std::exception& e) {
        return QStringLiteral("The overall ratings written before the stop were not saved "
                              "either: %1")
            .arg(QString::fromLocal8Bit(e.what()));
    }
}

} // namespace tolvane
