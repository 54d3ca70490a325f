#include "db/overallratings.h"

#include "core/patcherror.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "db/sqlite.h"

#include <algorithm>
#include <optional>

namespace tolvane {

namespace overallratings {

namespace {

// Rows per statement: long enough to leave the per-statement cost behind, short enough to
// stay far below SQLite's limit on the length of a statement.
constexpr std::size_t kRowsPerStatement = 1000;

// One statement for a run of rows, with the ratings as literal numbers: both are integers
// of ours, so nothing from the database enters the text. Every row fires its triggers and
// meets its constraints as a statement of its own would.
QString storeStatement(std::span<const Rating> ratings) {
    QString sql = QStringLiteral("UPDATE %1 SET %2 = v.column2 FROM (VALUES ")
                      .arg(seasonschema::kRatingsTable,
                           seasonschema::kRatingsColumns[seasonschema::Overall].name);
    sql.reserve(sql.size() + static_cast<qsizetype>(ratings.size()) * 16 + 64);
    for (std::size_t i = 0; i < ratings.size(); ++i) {
        if (i > 0)
            sql += QLatin1Char(',');
        sql += QLatin1Char('(') + QString::number(ratings[i].rowid) + QLatin1Char(',') +
               QString::number(ratings[i].value) + QLatin1Char(')');
    }
    sql += QStringLiteral(") AS v WHERE %1.rowid = v.column1").arg(seasonschema::kRatingsTable);
    return sql;
}

} // namespace

QString saveOperation() {
    return QStringLiteral("Cannot save the overall ratings in the season database");
}

void store(SeasonDatabase& db, std::span<const Rating> ratings) {
    for (std::size_t start = 0; start < ratings.size(); start += kRowsPerStatement) {
        const auto batch =
            ratings.subspan(start, std::min(kRowsPerStatement, ratings.size() - start));
        const int stored = sqlite::guarded(saveOperation(), db.path(), [&] {
            return db.sqlite().exec(storeStatement(batch).toStdString());
        });
        // A trigger can drop an update without an error; the rating would then be lost.
        if (stored != static_cast<int>(batch.size()))
            throw PatchError(saveOperation(), db.path(),
                             QStringLiteral("The database stored %1 of %2 ratings.")
                                 .arg(stored)
                                 .arg(batch.size()));
    }
}

namespace {

// Whether anything in the database could refuse a whole number in Ratings.overall. An
// ordinary table takes any value into a column without a constraint on it, so only these
// can: a trigger, a CHECK, a STRICT type, an unknown collation, a generated column, a key
// or index that holds the column, a foreign key in force, or a Ratings that is no table.
// Anything unusual counts; the trial then settles it.
bool mayRefuse(SeasonDatabase& db) {
    // The copy of an Access file is the program's own: ordinary tables in the program's
    // collation, nothing that refuses a value. What the Access file itself would refuse is
    // the write-back's to find (SeasonDatabase::writeBackProblem).
    if (isReadableAccess(db.format()))
        return false;
    const QString table = seasonschema::kRatingsTable;
    const QString overall = seasonschema::kRatingsColumns[seasonschema::Overall].name;

    SQLite::Statement definition = db.prepare(
        QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = '%1' "
                       "COLLATE NOCASE")
            .arg(table));
    const QString create = sqlite::guarded(saveOperation(), db.path(), [&] {
        return definition.executeStep() ? sqlite::value(definition, 0).toString() : QString();
    });
    if (create.isEmpty() || !create.startsWith(QLatin1String("CREATE TABLE"), Qt::CaseInsensitive))
        return true;
    for (const char* word : {"CHECK", "STRICT", "COLLATE", "GENERATED", "REFERENCES", "WITHOUT"})
        if (create.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    if (db.scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' AND "
                                 "tbl_name = '%1' COLLATE NOCASE")
                      .arg(table)) != 0)
        return true;
    if (db.scalar(QStringLiteral("SELECT COUNT(*) FROM pragma_table_xinfo('%1') WHERE hidden <> 0 "
                                 "OR (name = '%2' COLLATE NOCASE AND pk <> 0)")
                      .arg(table, overall)) != 0)
        return true;
    // An index on the column or on an expression, unique or not, is left to the trial too.
    if (db.scalar(QStringLiteral("SELECT COUNT(*) FROM pragma_index_list('%1') il, "
                                 "pragma_index_xinfo(il.name) ii WHERE ii.key AND (ii.cid < 0 OR "
                                 "ii.name = '%2' COLLATE NOCASE)")
                      .arg(table, overall)) != 0)
        return true;
    return db.scalar(QStringLiteral("PRAGMA foreign_keys")) != 0;
}

// Tries each rating alone, in a savepoint of its own, so that a refused row is undone alone
// and the rows before it stay in place for the rows after it, as in the real pass. Should a
// trigger end the transaction, the row's savepoint is gone and the search stops there: any
// further update would be committed for real.
std::vector<Refusal> refusalsRowByRow(SeasonDatabase& db, std::span<const Rating> ratings,
                                      std::size_t limit) {
    SQLite::Statement update =
        db.prepare(QStringLiteral("UPDATE %1 SET %2=? WHERE rowid=?")
                       .arg(seasonschema::kRatingsTable,
                            seasonschema::kRatingsColumns[seasonschema::Overall].name));
    std::vector<Refusal> refusals;
    for (const Rating& rating : ratings) {
        if (refusals.size() >= limit)
            break;
        SQLite::Savepoint row(db.sqlite(), "tolvane_row");
        // The step before may have failed; readying the statement again reports that once more.
        update.tryReset();
        update.bind(1, static_cast<int32_t>(rating.value));
        update.bind(2, static_cast<int64_t>(rating.rowid));
        try {
            if (update.exec() == 1) {
                row.release();
                continue;
            }
            refusals.push_back(
                {rating.rowid, QStringLiteral("a trigger drops it without an error.")});
            row.release();
        } catch (const SQLite::Exception& e) {
            refusals.push_back({rating.rowid, QString::fromUtf8(e.what())});
            try {
                row.rollback();
            } catch (const SQLite::Exception&) {
                break;
            }
        }
    }
    return refusals;
}

} // namespace

std::vector<Refusal> findRefusals(SeasonDatabase& db, std::span<const Rating> ratings,
                                  std::size_t limit) {
    if (!mayRefuse(db))
        return {};
    return sqlite::guarded(saveOperation(), db.path(), [&]() -> std::vector<Refusal> {
        const SQLite::Transaction trial(db.sqlite(), SQLite::TransactionBehavior::IMMEDIATE);
        // Everything happens inside this savepoint, so that releasing a row's own savepoint
        // can never commit.
        std::optional<SQLite::Savepoint> all(std::in_place, db.sqlite(), "tolvane_trial");
        std::optional<PatchError> failure;
        try {
            store(db, ratings);
            return {};
        } catch (const PatchError& e) {
            failure = e;
        }
        // Some row refused: find which, one row at a time.
        std::optional<SQLite::Transaction> again;
        try {
            all->rollback();
        } catch (const SQLite::Exception&) {
            // A trigger ended the whole transaction (RAISE(ROLLBACK)): the search needs one
            // of its own.
            again.emplace(db.sqlite(), SQLite::TransactionBehavior::IMMEDIATE);
            all.emplace(db.sqlite(), "tolvane_trial");
        }
        std::vector<Refusal> refusals = refusalsRowByRow(db, ratings, limit);
        // Every row on its own went in, yet all of them together did not: the failure lies
        // with the statement or the database, not with a row.
        if (refusals.empty())
            throw *failure;
        return refusals;
    });
}

} // namespace overallratings

} // namespace tolvane
