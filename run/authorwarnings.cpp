#include "run/authorwarnings.h"

#include "conversion/playermapping.h"
#include "core/wording.h"
#include "db/caselesscollation.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "db/sqlite.h"
#include "run/findings.h"

#include <QLocale>

#include <vector>

namespace tolvane {

namespace {

// A value as the database holds it: 29.9999 must not read as 30.
QString exact(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

AuthorWarnings::AuthorWarnings(Findings& findings)
    : m_findings(findings) {}

void AuthorWarnings::notePlayer(const PlayerMapper& mapper) {
    const QString& team = mapper.team();
    const QString& name = mapper.name();
    switch (mapper.qzMatch()) {
    case QzMatch::NoRow:
        m_findings.addWarning(
            team, name, QString(),
            QStringLiteral("no qz row has this name, so every position value is 100"));
        break;
    case QzMatch::OtherSpelling:
        m_findings.addWarning(
            team, name, QString(),
            QStringLiteral("the qz row found is spelled \"%1\", in another letter case")
                .arg(mapper.qzSpelling()));
        break;
    case QzMatch::NotLookedUp:
    case QzMatch::Exact:
        break;
    }

    if (team != m_team) {
        warnRepeatedNames();
        m_team = team;
    }
    if (++m_namesInTeam[name] == 2)
        m_repeatedNames << name;
}

void AuthorWarnings::finish(SeasonDatabase& db, const PlayerMapper& mapper) {
    warnRepeatedNames();
    warnRepeatedQzNames(db);
    warnClamped(mapper);
}

void AuthorWarnings::warnRepeatedNames() {
    for (const QString& name : std::as_const(m_repeatedNames))
        m_findings.addWarning(m_team, name, seasonschema::kRatingsColumns[seasonschema::Name].name,
                              QStringLiteral("%1 of this team have this name")
                                  .arg(counted(m_namesInTeam.value(name), "player", "players")));
    m_namesInTeam.clear();
    m_repeatedNames.clear();
}

// Names on more than one qz row: only the first row in table order is ever used for them.
// A Jet file also finds a name under other letter cases, and prefers the exact spelling.
void AuthorWarnings::warnRepeatedQzNames(SeasonDatabase& db) {
    using namespace seasonschema;
    const bool caseless = db.textComparison() == SeasonDatabase::TextComparison::Caseless;
    // Every spelling of a name the look-up finds on more than one row (in a Jet file, in
    // any letter case), with its rows, in table order.
    struct Spelling {
        QString name;
        qint64 rows;
        qint64 first;
    };
    std::vector<std::vector<Spelling>> groups;
    QHash<QString, std::size_t> groupOf;
    try {
        SQLite::Statement query(
            db.sqlite(),
            QStringLiteral("SELECT %2, count(*), min(rowid) FROM %1 WHERE typeof(%2) = 'text' AND "
                           "%2 IN (SELECT %2 FROM %1 WHERE typeof(%2) = 'text' GROUP BY %2 HAVING "
                           "count(*) > 1) GROUP BY %2 COLLATE BINARY ORDER BY 3")
                .arg(kQzTable, kQzColumns[QzName].name)
                .toStdString());
        while (query.executeStep()) {
            Spelling spelling{sqlite::value(query, 0).toString(), query.getColumn(1).getInt64(),
                              query.getColumn(2).getInt64()};
            const QString key = caseless ? caseless::key(spelling.name) : spelling.name;
            auto group = groupOf.constFind(key);
            if (group == groupOf.constEnd()) {
                group = groupOf.insert(key, groups.size());
                groups.emplace_back();
            }
            groups[*group].push_back(std::move(spelling));
        }
    } catch (const SQLite::Exception&) {
        return; // a table without rowids: its look-up has no order to report on
    }
    const QString column = QStringLiteral("%1.%2").arg(kQzTable, kQzColumns[QzName].name);
    for (const std::vector<Spelling>& group : groups) {
        if (group.size() == 1) {
            // A column declared to compare without regard to letter case groups more than
            // spellings: a spelling on one row alone is no duplicate of its own.
            const Spelling& only = group.front();
            if (only.rows > 1)
                m_findings.addWarning(
                    QString(), QString(), column,
                    QStringLiteral("\"%1\" names %2; the first, row %3, is the one used")
                        .arg(only.name, counted(only.rows, "row", "rows"),
                             QString::number(only.first)));
            continue;
        }
        QStringList spellings;
        for (const Spelling& spelling : group)
            spellings << QStringLiteral("\"%1\" (%2 from row %3)")
                             .arg(spelling.name, counted(spelling.rows, "row", "rows"),
                                  QString::number(spelling.first));
        m_findings.addWarning(
            QString(), QString(), column,
            QStringLiteral("%1 differ only in letter case: a player spelled as one of them "
                           "gets its first row, any other spelling row %2")
                .arg(spellings.join(QStringLiteral(", ")), QString::number(group.front().first)));
    }
}

void AuthorWarnings::warnClamped(const PlayerMapper& mapper) {
    // "1 value below 30 ... converts as 30", "2 values above 99 ... convert as 99".
    const auto part = [](qint64 n, const QString& where, double rung, const QString& extreme) {
        return QStringLiteral("%1 %2 %3, %4, %5 as %3")
            .arg(counted(n, "value", "values"), where, QString::number(rung), extreme,
                 QLatin1String(n == 1 ? "converts" : "convert"));
    };
    const std::vector<ClampedValues>& clamped = mapper.clampedValues();
    for (std::size_t c = 0; c < clamped.size(); ++c) {
        const ClampedValues& values = clamped[c];
        QStringList parts;
        if (values.below > 0)
            parts << part(values.below, QStringLiteral("below"), values.lowestRung,
                          QStringLiteral("the lowest rung of its rating scale (down to %1)")
                              .arg(exact(values.lowestValue)));
        if (values.above > 0)
            parts << part(
                values.above, QStringLiteral("above"), values.highestRung,
                QStringLiteral("the highest rung (up to %1)").arg(exact(values.highestValue)));
        if (!parts.isEmpty())
            m_findings.addWarning(QString(), QString(), seasonschema::kRatingsColumns[c].name,
                                  parts.join(QStringLiteral("; ")));
    }
}

} // namespace tolvane
