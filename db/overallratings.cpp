#include "db/overallratings.h"

#include "core/patcherror.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <optional>

namespace tolvane {

namespace overallratings {

namespace {

const QString kStoreFailed =
    QStringLiteral("Cannot save the overall ratings in the season database");

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

void store(SeasonDatabase& db, std::span<const Rating> ratings) {
    QSqlQuery query(db.connection());
    for (std::size_t start = 0; start < ratings.size(); start += kRowsPerStatement) {
        const auto batch =
            ratings.subspan(start, std::min(kRowsPerStatement, ratings.size() - start));
        if (!query.exec(storeStatement(batch)))
            throw PatchError(kStoreFailed, db.path(), query.lastError().text());
        // A trigger can drop an update without an error; the rating would then be lost.
        if (query.numRowsAffected() != static_cast<int>(batch.size()))
            throw PatchError(kStoreFailed, db.path(),
                             QStringLiteral("The database stored %1 of %2 ratings.")
                                 .arg(query.numRowsAffected())
                                 .arg(batch.size()));
    }
}

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
    QSqlQuery query(db.connection());
    const auto single = [&](const QString& sql) {
        return query.exec(sql) && query.next() ? query.value(0) : QVariant();
    };
    const QString table = seasonschema::kRatingsTable;
    const QString overall = seasonschema::kRatingsColumns[seasonschema::Overall].name;

    const QString create = single(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = "
                                                 "'table' AND name = '%1' COLLATE NOCASE")
                                      .arg(table))
                               .toString();
    if (create.isEmpty() || !create.startsWith(QLatin1String("CREATE TABLE"), Qt::CaseInsensitive))
        return true;
    for (const char* word : {"CHECK", "STRICT", "COLLATE", "GENERATED", "REFERENCES", "WITHOUT"})
        if (create.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    const auto count = [&](const QString& sql) { return single(sql).toLongLong(); };
    if (count(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' AND "
                             "tbl_name = '%1' COLLATE NOCASE")
                  .arg(table)) != 0)
        return true;
    if (count(QStringLiteral("SELECT COUNT(*) FROM pragma_table_xinfo('%1') WHERE hidden <> 0 "
                             "OR (name = '%2' COLLATE NOCASE AND pk <> 0)")
                  .arg(table, overall)) != 0)
        return true;
    // An index on the column or on an expression, unique or not, is left to the trial too.
    if (count(QStringLiteral("SELECT COUNT(*) FROM pragma_index_list('%1') il, "
                             "pragma_index_xinfo(il.name) ii WHERE ii.key AND (ii.cid < 0 OR "
                             "ii.name = '%2' COLLATE NOCASE)")
                  .arg(table, overall)) != 0)
        return true;
    return count(QStringLiteral("PRAGMA foreign_keys")) != 0;
}

std::vector<Refusal> findRefusals(SeasonDatabase& db, std::span<const Rating> ratings,
                                  std::size_t limit) {
    if (!mayRefuse(db))
        return {};
    const Transaction trial(db.sqlite(), kStoreFailed, Transaction::Lock::Immediate);
    QSqlQuery control(db.connection());
    const auto run = [&](const QString& sql) {
        if (!control.exec(sql))
            throw PatchError(kStoreFailed, db.path(), control.lastError().text());
    };
    // Everything below happens inside this savepoint, so that releasing a row's own
    // savepoint can never commit.
    run(QStringLiteral("SAVEPOINT tolvane_trial"));
    std::optional<PatchError> failure;
    try {
        store(db, ratings);
        return {};
    } catch (const PatchError& e) {
        failure = e;
    }
    // Some row refused: find which, one row at a time. A trigger may have ended the whole
    // transaction (RAISE(ROLLBACK)); the search then needs one of its own.
    if (!control.exec(QStringLiteral("ROLLBACK TO tolvane_trial"))) {
        run(QStringLiteral("BEGIN IMMEDIATE"));
        run(QStringLiteral("SAVEPOINT tolvane_trial"));
    }

    // Each row gets a savepoint of its own, so that a refused row is undone alone and the
    // rows before it stay in place for the rows after it, as in the real pass. Should a
    // trigger end the transaction, the row's savepoint is gone and the search stops there:
    // any further update would be committed for real.
    QSqlQuery update(db.connection());
    if (!update.prepare(QStringLiteral("UPDATE %1 SET %2=? WHERE rowid=?")
                            .arg(seasonschema::kRatingsTable,
                                 seasonschema::kRatingsColumns[seasonschema::Overall].name)))
        throw PatchError(kStoreFailed, db.path(), update.lastError().text());
    std::vector<Refusal> refusals;
    for (const Rating& rating : ratings) {
        if (refusals.size() >= limit)
            break;
        run(QStringLiteral("SAVEPOINT tolvane_row"));
        update.bindValue(0, static_cast<int>(rating.value));
        update.bindValue(1, rating.rowid);
        if (!update.exec()) {
            refusals.push_back({rating.rowid, update.lastError().databaseText()});
            if (!control.exec(QStringLiteral("ROLLBACK TO tolvane_row")))
                break;
        } else if (update.numRowsAffected() != 1) {
            refusals.push_back(
                {rating.rowid, QStringLiteral("a trigger drops it without an error.")});
        }
        control.exec(QStringLiteral("RELEASE tolvane_row"));
    }
    // Every row on its own went in, yet all of them together did not: the failure lies
    // with the statement or the database, not with a row.
    if (refusals.empty())
        throw *failure;
    return refusals;
}

} // namespace overallratings

} // namespace tolvane
