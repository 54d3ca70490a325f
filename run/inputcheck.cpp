#include "run/inputcheck.h"

#include "core/fileops.h"
#include "core/foldername.h"
#include "core/patcherror.h"
#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "players/playermapping.h"
#include "players/playerrecord.h"
#include "players/valueconversion.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <limits>

namespace {

const QStringList kQzColumns = {QStringLiteral("name"), QStringLiteral("b"), QStringLiteral("bf"),
                                QStringLiteral("c"),    QStringLiteral("f"), QStringLiteral("ff"),
                                QStringLiteral("r"),    QStringLiteral("k"), QStringLiteral("nk")};

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
    checkFolders();
    checkDatabase();
    return m_count == 0;
}

void InputCheck::checkFolders() {
    const QString lists = m_programFolder + QStringLiteral("/lists");
    if (!isFolder(lists))
        add(QStringLiteral("The folder %1 does not exist; the roster slots are kept there.")
                .arg(QDir::toNativeSeparators(lists)));
    const QString slot = lists + QLatin1Char('/') + m_slotName;
    if (fileops::entryExists(slot) && !isFolder(slot))
        add(QStringLiteral("%1 is a file, not a roster slot folder.")
                .arg(QDir::toNativeSeparators(slot)));

    const QString schedules = m_programFolder + QStringLiteral("/data/schedules");
    if (!isFolder(schedules))
        add(QStringLiteral("The folder %1 does not exist; the new fixture is installed there.")
                .arg(QDir::toNativeSeparators(schedules)));
    else if (!fileops::isOrdinaryFile(schedules + QStringLiteral("/schedule2008.dat")) &&
             !fileops::isOrdinaryFile(schedules + QStringLiteral("/schedule2008_actual.dat")))
        add(QStringLiteral("The game's fixture %1 does not exist.")
                .arg(QDir::toNativeSeparators(schedules + QStringLiteral("/schedule2008.dat"))));
}

void InputCheck::checkDatabase() {
    const QString dbPath = m_programFolder + QStringLiteral("/seasonStats.mdb");
    try {
        SeasonDatabase db(dbPath);

        // The run writes every overall rating back; find out now if it could not.
        const QFileInfo file(dbPath);
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
                db.exec(QStringLiteral("BEGIN IMMEDIATE"));
                db.exec(QStringLiteral("ROLLBACK"));
            } catch (const PatchError& e) {
                add(QStringLiteral("The season database %1 cannot be written: %2")
                        .arg(QDir::toNativeSeparators(dbPath), e.cause()));
            }
            const QString writeBack = db.writeBackProblem();
            if (!writeBack.isEmpty())
                add(writeBack);
        }

        bool tablesComplete = true;
        auto requireColumns = [&](const QString& table, const std::vector<QString>& columns) {
            const qint64 exists = db.scalar(
                QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type IN ('table', 'view') "
                               "AND name = '%1' COLLATE NOCASE")
                    .arg(table));
            if (exists == 0) {
                add(QStringLiteral("The season database has no table %1.").arg(table));
                tablesComplete = false;
                return;
            }
            Recordset header(db, QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(table));
            for (const QString& column : columns) {
                if (header.columnIndex(column) < 0) {
                    add(QStringLiteral("The table %1 has no column \"%2\".").arg(table, column));
                    tablesComplete = false;
                }
            }
        };
        requireColumns(QStringLiteral("Ratings"), PlayerMapper::ratingsColumns());
        requireColumns(QStringLiteral("qz"),
                       std::vector<QString>(kQzColumns.begin(), kQzColumns.end()));
        if (!tablesComplete)
            return;

        Recordset ratings(db, PlayerMapper::ratingsStatement());
        PlayerMapper mapper(db, ratings);
        const int teamColumn =
            ratings.requireColumn(QStringLiteral("team"), QStringLiteral("Ratings"));
        PlayerRecord scratch;
        QSet<QString> teams;
        QHash<QString, QString> teamsByFoldedName;
        for (; !ratings.eof(); ratings.moveNext()) {
            const QString team = values::toText(ratings.value(teamColumn));
            if (!teams.contains(team)) {
                teams.insert(team);
                const QString problem = folderNameProblem(team);
                if (!problem.isEmpty())
                    add(QStringLiteral("Team \"%1\": %2").arg(team, problem));
                const QString folded = team.toCaseFolded();
                const auto other = teamsByFoldedName.constFind(folded);
                if (other != teamsByFoldedName.constEnd())
                    add(QStringLiteral("The teams \"%1\" and \"%2\" differ only in letter case; "
                                       "they would share one folder.")
                            .arg(*other, team));
                else
                    teamsByFoldedName.insert(folded, team);
            }
            for (const MappingProblem& p : mapper.check(ratings, scratch)) {
                const QString where = playerLabel(p.team, p.name);
                add(p.column.isEmpty()
                        ? QStringLiteral("%1: %2").arg(where, p.reason)
                        : QStringLiteral("%1, column \"%2\": %3").arg(where, p.column, p.reason));
            }
        }
        if (teams.size() > std::numeric_limits<std::int16_t>::max())
            add(QStringLiteral("The season database has %1 teams; at most 32,767 can be "
                               "imported.")
                    .arg(teams.size()));
    } catch (const PatchError& e) {
        add(e.message());
    }
}
