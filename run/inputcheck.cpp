#include "run/inputcheck.h"

#include "core/fileops.h"
#include "core/foldername.h"
#include "core/gamepaths.h"
#include "core/patcherror.h"
#include "db/overallratings.h"
#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "players/playermapping.h"
#include "players/playerrecord.h"
#include "players/recordcodec.h"
#include "players/valueconversion.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlQuery>

#include <algorithm>
#include <limits>

namespace {

QString playerLabel(const QString& team, const QString& name) {
    return QStringLiteral("Player \"%1\" of team \"%2\"").arg(name, team);
}

bool isFolder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir();
}

} // namespace

InputCheck::InputCheck(QString programFolder, QString slotName)
    : m_programFolder(std::move(programFolder))
    , m_slotName(std::move(slotName)) {}

InputCheck::~InputCheck() = default;

void InputCheck::add(const QString& problem) {
    if (m_listed.size() < kListedProblems)
        m_listed << problem;
    ++m_count;
}

QString InputCheck::report() const {
    QString text = QStringLiteral("The update cannot start. Nothing has been changed.\n\n");
    text += m_listed.join(QLatin1Char('\n'));
    if (m_count > m_listed.size())
        text += QStringLiteral("\nand %1 more").arg(m_count - m_listed.size());
    return text;
}

bool InputCheck::run() {
    m_listed.clear();
    m_count = 0;
    m_db.reset();
    m_season.clear();
    m_teams.clear();
    m_teamsByFoldedName.clear();
    checkFolders();
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
        convertPlayers(ratings, mapper);
        if (m_teams.size() > std::numeric_limits<std::int16_t>::max())
            add(QStringLiteral("The season database has %1 teams; at most 32,767 can be "
                               "imported.")
                    .arg(m_teams.size()));
        // Only a season whose every player converted has every new rating to try.
        if (writable && m_count == 0)
            checkWriteBack();
    } catch (const PatchError& e) {
        add(e.message());
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
        add(QStringLiteral("Team \"%1\": %2").arg(team, problem));
    const QString folded = team.toCaseFolded();
    const auto other = m_teamsByFoldedName.constFind(folded);
    if (other != m_teamsByFoldedName.constEnd())
        add(QStringLiteral("The teams \"%1\" and \"%2\" differ only in letter case; they would "
                           "share one folder.")
                .arg(*other, team));
    else
        m_teamsByFoldedName.insert(folded, team);
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
        for (const MappingProblem& p : problems) {
            const QString where = playerLabel(p.team, p.name);
            add(p.column.isEmpty()
                    ? QStringLiteral("%1: %2").arg(where, p.reason)
                    : QStringLiteral("%1, column \"%2\": %3").arg(where, p.column, p.reason));
        }
        // Once anything is wrong, the run will not start: converting goes on only to find
        // every problem, and keeps nothing.
        if (m_count == 0)
            m_season.addPlayer(team, bytes, {ratings.value(0).toLongLong(), rating});
        else
            m_season.clear();
    }
    m_season.finish();
}

void InputCheck::checkWriteBack() {
    const std::vector<overallratings::Refusal> refusals =
        overallratings::findRefusals(*m_db, m_season.ratings(), kListedProblems);
    if (refusals.empty())
        return;
    // The refusals name rows, which had their texts read before.
    QSqlQuery player(m_db->connection());
    player.prepare(QStringLiteral("SELECT team, Name FROM Ratings WHERE rowid=?"));
    for (const overallratings::Refusal& refusal : refusals) {
        player.bindValue(0, refusal.rowid);
        QString team;
        QString name;
        if (player.exec() && player.next()) {
            team = values::toText(player.value(0));
            name = values::toText(player.value(1));
        }
        add(QStringLiteral("%1, column \"%2\": The season database refuses the new overall "
                           "rating: %3")
                .arg(playerLabel(team, name),
                     seasonschema::kRatingsColumns[seasonschema::Overall].name, refusal.reason));
    }
    m_season.clear();
}
