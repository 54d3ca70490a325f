#include "run/inputcheck.h"

#include "conversion/playermapping.h"
#include "conversion/valueconversion.h"
#include "core/fileops.h"
#include "core/foldername.h"
#include "core/gamepaths.h"
#include "core/patcherror.h"
#include "db/caselesscollation.h"
#include "db/overallratings.h"
#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "db/seasonstatements.h"
#include "records/playerrecord.h"
#include "records/recordcodec.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSet>
#include <QSqlQuery>

#include <algorithm>
#include <limits>

namespace tolvane {

namespace {

QString playerLabel(const QString& team, const QString& name) {
    return QStringLiteral("Player \"%1\" of team \"%2\"").arg(name, team);
}

// A player's problem with the line the window lists for it.
InputFinding playerProblem(const QString& team, const QString& name, const QString& column,
                           const QString& reason) {
    const QString where = playerLabel(team, name);
    return {team, name, column, reason,
            column.isEmpty() ? QStringLiteral("%1: %2").arg(where, reason)
                             : QStringLiteral("%1, column \"%2\": %3").arg(where, column, reason)};
}

// An error as one line: what failed, where, and why.
QString oneLine(const PatchError& e) {
    QStringList parts{e.operation()};
    if (!e.target().isEmpty())
        parts << e.target();
    if (!e.cause().isEmpty())
        parts << e.cause();
    return parts.join(QStringLiteral(": ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

// A value as the database holds it: 29.9999 must not read as 30.
QString exact(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString counted(qint64 n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

bool isFolder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir();
}

} // namespace

InputCheck::InputCheck(QString programFolder, QString slotName, Scope scope)
    : m_programFolder(std::move(programFolder))
    , m_slotName(std::move(slotName))
    , m_scope(scope) {}

InputCheck::~InputCheck() = default;

void InputCheck::add(InputFinding problem) {
    if (m_scope == Scope::Everything || std::ssize(m_problems) < kListedProblems)
        m_problems.push_back(std::move(problem));
    ++m_count;
}

void InputCheck::add(const QString& problem) {
    add({QString(), QString(), QString(), problem, problem});
}

void InputCheck::warn(QString team, QString player, QString column, QString reason) {
    m_warnings.push_back(
        {std::move(team), std::move(player), std::move(column), std::move(reason), QString()});
}

QString InputCheck::report() const {
    QString text = QStringLiteral("The update cannot start. Nothing has been changed.\n\n");
    const qsizetype listed = std::min<qsizetype>(std::ssize(m_problems), kListedProblems);
    for (qsizetype i = 0; i < listed; ++i) {
        if (i > 0)
            text += QLatin1Char('\n');
        text += m_problems[static_cast<std::size_t>(i)].text;
    }
    if (m_count > listed)
        text += QStringLiteral("\nand %1 more").arg(m_count - listed);
    return text;
}

QStringList InputCheck::missingInputFiles(const QString& programFolder) {
    QStringList messages;
    for (const auto& [path, name] :
         {std::pair{gamepaths::seasonDatabase(programFolder), gamepaths::kSeasonDatabase},
          std::pair{gamepaths::newFixture(programFolder), gamepaths::kNewFixture}}) {
        if (!fileops::isOrdinaryFile(path))
            messages << QStringLiteral("Could not find file %1. Make sure it has been copied to %2")
                            .arg(name, QDir::toNativeSeparators(programFolder));
    }
    return messages;
}

bool InputCheck::run() {
    m_problems.clear();
    m_count = 0;
    m_warnings.clear();
    m_db.reset();
    m_season.clear();
    m_teams.clear();
    m_teamsByFoldedName.clear();
    m_team.clear();
    m_namesInTeam.clear();
    m_repeatedNames.clear();
    bool hasDatabase = true;
    if (m_scope == Scope::Everything) {
        for (const QString& missing : missingInputFiles(m_programFolder))
            add(missing);
        hasDatabase = fileops::isOrdinaryFile(gamepaths::seasonDatabase(m_programFolder));
    }
    checkFolders();
    if (hasDatabase)
        checkDatabase();
    return m_count == 0;
}

void InputCheck::checkFolders() {
    const QString lists = gamepaths::listsFolder(m_programFolder);
    if (!isFolder(lists))
        add(QStringLiteral("The folder %1 does not exist; the roster slots are kept there.")
                .arg(QDir::toNativeSeparators(lists)));
    const QString slot = gamepaths::slotFolder(m_programFolder, m_slotName);
    if (fileops::entryExists(slot) && !isFolder(slot))
        add(QStringLiteral("%1 is a file, not a roster slot folder.")
                .arg(QDir::toNativeSeparators(slot)));

    const QString schedules = gamepaths::schedulesFolder(m_programFolder);
    if (!isFolder(schedules))
        add(QStringLiteral("The folder %1 does not exist; the new fixture is installed there.")
                .arg(QDir::toNativeSeparators(schedules)));
    else if (!fileops::isOrdinaryFile(gamepaths::gameFixture(m_programFolder)) &&
             !fileops::isOrdinaryFile(gamepaths::keptFixture(m_programFolder)))
        add(QStringLiteral("The game's fixture %1 does not exist.")
                .arg(QDir::toNativeSeparators(gamepaths::gameFixture(m_programFolder))));
}

void InputCheck::checkDatabase() {
    const QString dbPath = gamepaths::seasonDatabase(m_programFolder);
    try {
        m_db = std::make_unique<SeasonDatabase>(dbPath);

        // The run writes every overall rating back; find out now if it could not.
        const QFileInfo file(dbPath);
        bool writable = false;
        if (!file.isWritable())
            add(QStringLiteral("The season database %1 is read-only, so the overall ratings "
                               "cannot be written back.")
                    .arg(QDir::toNativeSeparators(dbPath)));
        else if (!QFileInfo(file.absolutePath()).isWritable())
            add(QStringLiteral("The folder %1 is read-only, so the season database cannot be "
                               "written.")
                    .arg(QDir::toNativeSeparators(file.absolutePath())));
        else {
            try {
                // Taking the write lock and letting it go writes nothing.
                const Transaction probe(m_db->sqlite(), QString(), Transaction::Lock::Immediate);
                writable = true;
            } catch (const PatchError& e) {
                add(QStringLiteral("The season database %1 cannot be written: %2")
                        .arg(QDir::toNativeSeparators(dbPath), e.cause()));
            }
            const QString writeBack = m_db->writeBackProblem();
            if (!writeBack.isEmpty())
                add(writeBack);
        }
        if (!checkTables())
            return;

        Recordset ratings(*m_db, PlayerMapper::ratingsStatement());
        PlayerMapper mapper(*m_db, ratings);
        if (m_scope == Scope::Everything)
            mapper.countClampedValues();
        convertPlayers(ratings, mapper);
        if (m_scope == Scope::Everything) {
            checkQzNames();
            warnClamped(mapper);
        }
        if (m_teams.size() > std::numeric_limits<std::int16_t>::max())
            add(QStringLiteral("The season database has %1 teams; at most 32,767 can be "
                               "imported.")
                    .arg(m_teams.size()));
        // Only a season whose every player converted has every new rating to try.
        if (writable && m_count == 0)
            checkWriteBack();
    } catch (const PatchError& e) {
        add({QString(), QString(), QString(), oneLine(e), e.message()});
    }
}

bool InputCheck::checkTables() {
    bool complete = true;
    auto requireColumns = [&](QLatin1String table, const auto& columns) {
        const qint64 exists = m_db->scalar(
            QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type IN ('table', 'view') "
                           "AND name = '%1' COLLATE NOCASE")
                .arg(table));
        if (exists == 0) {
            add(QStringLiteral("The season database has no table %1.").arg(table));
            complete = false;
            return;
        }
        Recordset header(*m_db, QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(table));
        for (const seasonschema::Column& column : columns) {
            if (header.columnIndex(column.name) < 0) {
                add(QStringLiteral("The table %1 has no column \"%2\".").arg(table, column.name));
                complete = false;
            }
        }
    };
    requireColumns(seasonschema::kRatingsTable, seasonschema::kRatingsColumns);
    requireColumns(seasonschema::kQzTable, seasonschema::kQzColumns);
    return complete;
}

void InputCheck::checkTeam(const QString& team) {
    if (m_teams.contains(team))
        return;
    m_teams.insert(team);
    const QString problem = folderNameProblem(team);
    if (!problem.isEmpty())
        add({team, QString(), QString(), problem,
             QStringLiteral("Team \"%1\": %2").arg(team, problem)});
    const QString folded = team.toCaseFolded();
    const auto other = m_teamsByFoldedName.constFind(folded);
    if (other != m_teamsByFoldedName.constEnd()) {
        const QString sameFolder =
            QStringLiteral("The teams \"%1\" and \"%2\" differ only in letter case; they would "
                           "share one folder.")
                .arg(*other, team);
        add({team, QString(), QString(), sameFolder, sameFolder});
    } else {
        m_teamsByFoldedName.insert(folded, team);
    }
}

void InputCheck::convertPlayers(Recordset& ratings, PlayerMapper& mapper) {
    // The working record carries fields from one player to the next, as in the run itself,
    // so the records kept are exactly those the run writes.
    PlayerRecord record;
    QByteArray bytes;
    std::vector<MappingProblem> problems;
    for (; !ratings.eof(); ratings.moveNext()) {
        problems.clear();
        const std::int16_t rating = mapper.map(ratings, record, &problems);
        const QString& team = mapper.team();
        const QString& name = mapper.name();
        const bool teamIsText = std::none_of(problems.begin(), problems.end(), [](const auto& p) {
            return p.column == seasonschema::kRatingsColumns[seasonschema::Team].name;
        });
        if (teamIsText)
            checkTeam(team);
        if (problems.empty()) {
            bytes.clear();
            try {
                recordcodec::serialiseRecord(bytes, record);
            } catch (const PatchError& e) {
                // A text longer than the format can hold.
                problems.push_back({team, name, QString(), e.cause()});
            }
        }
        for (const MappingProblem& p : problems)
            add(playerProblem(p.team, p.name, p.column, p.reason));
        if (m_scope == Scope::Everything)
            notePlayer(mapper);
        // Once anything is wrong, the run will not start: converting goes on only to find
        // every problem, and keeps nothing. An author's check keeps no records at all.
        if (m_count == 0)
            m_season.addPlayer(team, m_scope == Scope::Run ? bytes : QByteArray(),
                               {ratings.value(0).toLongLong(), rating});
        else
            m_season.clear();
    }
    if (m_scope == Scope::Everything)
        warnRepeatedNames();
    m_season.finish();
}

void InputCheck::notePlayer(const PlayerMapper& mapper) {
    const QString& team = mapper.team();
    const QString& name = mapper.name();
    switch (mapper.qzMatch()) {
    case QzMatch::NoRow:
        warn(team, name, QString(),
             QStringLiteral("no qz row has this name, so every position value is 100"));
        break;
    case QzMatch::OtherSpelling:
        warn(team, name, QString(),
             QStringLiteral("the qz row found is spelled \"%1\", in another letter case")
                 .arg(mapper.qzSpelling()));
        break;
    case QzMatch::NotLookedUp:
    case QzMatch::Exact:
        break;
    }

    // The players come grouped by team.
    if (team != m_team) {
        warnRepeatedNames();
        m_team = team;
    }
    if (++m_namesInTeam[name] == 2)
        m_repeatedNames << name;
}

void InputCheck::warnRepeatedNames() {
    for (const QString& name : std::as_const(m_repeatedNames))
        warn(m_team, name, seasonschema::kRatingsColumns[seasonschema::Name].name,
             QStringLiteral("%1 of this team have this name")
                 .arg(counted(m_namesInTeam.value(name), "player", "players")));
    m_namesInTeam.clear();
    m_repeatedNames.clear();
}

// Names on more than one qz row: only the first row in table order is ever used for them.
// A Jet file also finds a name under other letter cases, and prefers the exact spelling.
void InputCheck::checkQzNames() {
    const bool caseless = m_db->textComparison() == SeasonDatabase::TextComparison::Caseless;
    // Every spelling of a name the look-up finds on more than one row (in a Jet file, in
    // any letter case), with its rows, in table order.
    QSqlQuery query(m_db->connection());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
            "SELECT name, count(*), min(rowid) FROM qz WHERE typeof(name) = 'text' AND name IN "
            "(SELECT name FROM qz WHERE typeof(name) = 'text' GROUP BY name HAVING count(*) > 1) "
            "GROUP BY name COLLATE BINARY ORDER BY 3")))
        return; // a table without rowids: its look-up has no order to report on
    struct Spelling {
        QString name;
        qint64 rows;
        qint64 first;
    };
    std::vector<std::vector<Spelling>> groups;
    QHash<QString, std::size_t> groupOf;
    while (query.next()) {
        Spelling spelling{query.value(0).toString(), query.value(1).toLongLong(),
                          query.value(2).toLongLong()};
        const QString key = caseless ? caseless::key(spelling.name) : spelling.name;
        auto group = groupOf.constFind(key);
        if (group == groupOf.constEnd()) {
            group = groupOf.insert(key, groups.size());
            groups.emplace_back();
        }
        groups[*group].push_back(std::move(spelling));
    }
    const QString column = QStringLiteral("qz.name");
    for (const std::vector<Spelling>& group : groups) {
        if (group.size() == 1) {
            // A column declared to compare without regard to letter case groups more than
            // spellings: a spelling on one row alone is no duplicate of its own.
            const Spelling& only = group.front();
            if (only.rows > 1)
                warn(QString(), QString(), column,
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
        warn(QString(), QString(), column,
             QStringLiteral("%1 differ only in letter case: a player spelled as one of them "
                            "gets its first row, any other spelling row %2")
                 .arg(spellings.join(QStringLiteral(", ")), QString::number(group.front().first)));
    }
}

void InputCheck::warnClamped(const PlayerMapper& mapper) {
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
            warn(QString(), QString(), seasonschema::kRatingsColumns[c].name,
                 parts.join(QStringLiteral("; ")));
    }
}

void InputCheck::checkWriteBack() {
    const std::vector<overallratings::Refusal> refusals = overallratings::findRefusals(
        *m_db, m_season.ratings(),
        m_scope == Scope::Run ? static_cast<std::size_t>(kListedProblems)
                              : std::numeric_limits<std::size_t>::max());
    if (refusals.empty())
        return;
    // The refusals name rows, which had their texts read before.
    QSqlQuery player(m_db->connection());
    player.prepare(seasonstatements::playerByRow());
    for (const overallratings::Refusal& refusal : refusals) {
        player.bindValue(0, refusal.rowid);
        QString team;
        QString name;
        if (player.exec() && player.next()) {
            team = values::toText(player.value(0));
            name = values::toText(player.value(1));
        }
        add(playerProblem(team, name, seasonschema::kRatingsColumns[seasonschema::Overall].name,
                          QStringLiteral("The season database refuses the new overall rating: %1")
                              .arg(refusal.reason)));
    }
    m_season.clear();
}

} // namespace tolvane
