#include "db/seasondatabase.h"

#include "core/patcherror.h"
#include "db/accesscopy.h"
#include "db/caselesscollation.h"
#include "db/jet/writeback.h"
#include "db/overallratings.h"
#include "db/seasonschema.h"
#include "db/statementerror.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

namespace tolvane {

namespace {

const QString kRatings = seasonschema::kRatingsTable;
const QString kOverall = seasonschema::kRatingsColumns[seasonschema::Overall].name;
const QString kSaveRatings = overallratings::saveOperation();

// Every Ratings row of the copy with its overall rating, in the order the file stores them.
QString overallInStoredOrder() {
    return QStringLiteral("SELECT rowid, \"%1\" FROM \"%2\" ORDER BY rowid")
        .arg(kOverall, kRatings);
}

} // namespace

struct SeasonDatabase::Jet {
    // Ratings as read from the file: its definition, where its rows lie, and the file's
    // fingerprint, kept up to date with what has been written back since.
    std::optional<jet::Table> ratings;
    // The columns of the two tables whose values are raw bytes of a type the reader does
    // not know, with their tables' names.
    std::vector<std::pair<QString, jet::RawColumn>> rawBytes;
};

namespace {

// Tells the format before anything opens the file: an Access file is read into a private
// database, never opened by SQLite, which would take it for a damaged one.
DatabaseFormat usableFormat(const QString& path) {
    const DatabaseFormat format = detectDatabaseFormat(path);
    if (format != DatabaseFormat::Sqlite && !isReadableAccess(format))
        throw PatchError(openDatabaseOperation(), path, unreadableFormatReason(format));
    return format;
}

} // namespace

SeasonDatabase::SeasonDatabase(const QString& path)
    : m_path(path)
    , m_format(usableFormat(path))
    , m_sqlite(sqlite::open(path, openDatabaseOperation(),
                            isReadableAccess(m_format) ? sqlite::Storage::Scratch
                                                       : sqlite::Storage::File)) {
    if (isReadableAccess(m_format))
        loadJet();
    // SQLite opens lazily; reading the schema proves the file is a database we can use.
    try {
        m_sqlite.exec("SELECT count(*) FROM sqlite_master");
    } catch (const SQLite::Exception& e) {
        throw PatchError(openDatabaseOperation(), path,
                         QStringLiteral("The file is damaged or is not an SQLite database: %1")
                             .arg(QString::fromUtf8(e.what())));
    }
}

SeasonDatabase::~SeasonDatabase() = default;

void SeasonDatabase::loadJet() {
    m_jet = std::make_unique<Jet>();
    const jet::Reader reader(m_path, openDatabaseOperation());
    // The Jet engine ignores letter case where it compares texts: a qz name finds its
    // player whatever the case it was typed in. The copies' text columns do the same.
    caseless::addTo(m_sqlite, m_path, openDatabaseOperation());
    const jet::AccessCopy copy{m_sqlite, m_path, caseless::kCollation};
    // Only the two tables the run uses, each streamed into its copy as it is read; a
    // missing one is left missing, for the checks to name it as they would in an SQLite
    // file.
    m_jet->ratings = jet::copyAccessTable(reader, kRatings, copy);
    std::optional<jet::Table> qz = jet::copyAccessTable(reader, seasonschema::kQzTable, copy);
    for (const std::optional<jet::Table>* table : {&m_jet->ratings, &qz}) {
        if (!*table)
            continue;
        for (const jet::RawColumn& column : (*table)->rawBytes)
            m_jet->rawBytes.push_back({(*table)->name, column});
    }
}

QString SeasonDatabase::unreadableColumn(QLatin1String table, const QString& column) const {
    if (!m_jet)
        return QString();
    for (const auto& [name, raw] : m_jet->rawBytes) {
        if (name.compare(table, Qt::CaseInsensitive) == 0 &&
            raw.name.compare(column, Qt::CaseInsensitive) == 0)
            return QStringLiteral("The column \"%1\" of the table %2 is of the %3, which no "
                                  "documentation of the Access format describes, so its values "
                                  "cannot be read. Change the column to a type of Access's own "
                                  "in the table's Design View.")
                .arg(raw.name, name, jet::columnTypeName(raw.type));
    }
    return QString();
}

QString SeasonDatabase::writeBackProblem() const {
    // A missing table or column is reported by the checks that look for them.
    if (!m_jet || !m_jet->ratings || m_jet->ratings->columnIndex(kOverall) < 0)
        return QString();
    return jet::inPlaceWriteProblem(m_path, *m_jet->ratings, kOverall);
}

void SeasonDatabase::saveJetChanges() {
    if (!m_jet || !m_jet->ratings || m_jet->ratings->columnIndex(kOverall) < 0)
        return;
    jet::Table& ratings = *m_jet->ratings;
    const QString operation = jet::writeOperation();
    // Every rating goes to the write, which changes only the cells that differ. A NULL
    // stays NULL: the read-back of the written file finds any other difference.
    std::vector<jet::CellChange> changes;
    changes.reserve(ratings.locations.size());
    sqlite::guarded(operation, m_path, [&] {
        SQLite::Statement query(m_sqlite, overallInStoredOrder().toStdString());
        while (query.executeStep()) {
            const qint64 rowid = query.getColumn(0).getInt64();
            const SQLite::Column value = query.getColumn(1);
            if (rowid < 1 || rowid > static_cast<qint64>(ratings.locations.size()))
                throw PatchError(operation, m_path,
                                 QStringLiteral("Row %1 was added after reading; only changed "
                                                "values can be written back.")
                                     .arg(rowid));
            if (value.isNull())
                continue;
            if (!value.isInteger())
                throw PatchError(operation, m_path,
                                 QStringLiteral("Row %1: only whole numbers can be written into "
                                                "the column \"%2\".")
                                     .arg(rowid)
                                     .arg(kOverall));
            changes.push_back({static_cast<std::size_t>(rowid - 1), value.getInt64()});
        }
    });

    const std::unique_ptr<jet::ExpectedRows> expected =
        jet::rowsOfAccessCopy(jet::AccessCopy{m_sqlite, m_path}, ratings.name);
    ratings.fileDigest = jet::writeInPlace(m_path, ratings, kOverall, changes, *expected);
}

void SeasonDatabase::exec(const QString& sql) {
    try {
        m_sqlite.exec(sql.toStdString());
    } catch (const SQLite::Exception& e) {
        throw statementerror::rejected(m_path, sql, e);
    }
}

SQLite::Statement SeasonDatabase::prepare(const QString& sql) {
    try {
        return SQLite::Statement(m_sqlite, sql.toStdString());
    } catch (const SQLite::Exception& e) {
        throw statementerror::rejected(m_path, sql, e);
    }
}

bool SeasonDatabase::hasTable(QLatin1String name) {
    return scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type IN ('table', "
                                 "'view') AND name = '%1' COLLATE NOCASE")
                      .arg(name)) > 0;
}

qint64 SeasonDatabase::scalar(const QString& sql) {
    SQLite::Statement query = prepare(sql);
    try {
        if (!query.executeStep())
            throw SQLite::Exception("The statement returned no row.");
        return query.getColumn(0).getInt64();
    } catch (const SQLite::Exception& e) {
        throw statementerror::rejected(m_path, sql, e);
    }
}

WriteBatch::WriteBatch(SeasonDatabase& db)
    : m_db(db) {
    sqlite::guarded(kSaveRatings, db.path(), [&] {
        // Room for every page the pass changes (up to 64 MB, taken only as used), so that
        // SQLite writes each page once at the commit instead of spilling pages it changes
        // again later.
        db.sqlite().exec("PRAGMA cache_size = -65536");
        m_transaction.emplace(db.sqlite());
    });
}

void WriteBatch::commit() {
    sqlite::guarded(kSaveRatings, m_db.path(), [&] { m_transaction->commit(); });
    m_db.saveJetChanges();
}

} // namespace tolvane
