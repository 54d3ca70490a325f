#include "db/seasonstatements.h"

#include "db/seasonschema.h"

namespace tolvane::seasonstatements {

namespace {

using namespace seasonschema;

QString ratings(RatingsColumn column) {
    return kRatingsColumns[column].name;
}

} // namespace

QString distinctTeams() {
    return QStringLiteral("SELECT Distinct %1.%2 FROM %1").arg(kRatingsTable, ratings(Team));
}

QString playersByTeam() {
    return QStringLiteral("SELECT rowid, * From %1 order by %2, rowid")
        .arg(kRatingsTable, ratings(Team));
}

QString lineupNames() {
    return QStringLiteral("SELECT %2, %3, rowid From %1 ORDER BY rowid")
        .arg(kRatingsTable, ratings(Team), ratings(Name));
}

QString playerByRow() {
    return QStringLiteral("SELECT %2, %3 FROM %1 WHERE rowid=?")
        .arg(kRatingsTable, ratings(Team), ratings(Name));
}

QString qzLookup() {
    return QStringLiteral("SELECT rowid, * From %1 where %2=?")
        .arg(kQzTable, kQzColumns[QzName].name);
}

QString qzLookupExact() {
    return qzLookup() + QStringLiteral(" COLLATE BINARY");
}

QString qzInTableOrder() {
    return QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(kQzTable);
}

QString createQzNameIndex() {
    return QStringLiteral("CREATE INDEX IF NOT EXISTS qz_name ON %1(%2)")
        .arg(kQzTable, kQzColumns[QzName].name);
}

} // namespace tolvane::seasonstatements
