#include "run/databasecheck.h"

#include "conversion/valueconversion.h"
#include "core/fileops.h"
#include "core/patcherror.h"
#include "db/overallratings.h"
#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "db/seasonstatements.h"
#include "db/sqlite.h"
#include "run/convertedseason.h"
#include "run/findings.h"

#include <QDir>
#include <QFileInfo>

#include <limits>

namespace tolvane {

DatabaseCheck::DatabaseCheck(QString path)
    : m_path(std::move(path)) {}

DatabaseCheck::~DatabaseCheck() = default;

bool DatabaseCheck::run(Findings& findings) {
    m_db.reset();
    m_writable = false;
    try {
        m_db = std::make_unique<SeasonDatabase>(m_path);
        checkWritable(findings);
        return checkTables(findings);
    } catch (const PatchError& e) {
        findings.addProblem(e);
        return false;
    }
}

void DatabaseCheck::checkWritable(Findings& findings) {
    // The run writes every overall rating back; find out now if it could not.
    const QFileInfo file(m_path);
    if (!file.isWritable()) {
        findings.addProblem(QStringLiteral("The season database %1 is read-only, so the overall "
                                           "ratings cannot be written back.")
                                .arg(QDir::toNativeSeparators(m_path)));
        return;
    }
    // The database's journal, or for an Access file its new copy, is written beside it.
    if (const auto refusal = fileops::probeWritable(file.absolutePath())) {
        findings.addUnwritableFolder(file.absolutePath(), *refusal,
                                     QStringLiteral("where the season database is"));
        return;
    }
    if (isReadableAccess(m_db->format())) {
        // The ratings go into a copy that is renamed over the file, which another program
        // holding the file open (Access itself) keeps from happening.
        if (const auto refusal = fileops::probeReplaceable(m_path))
            findings.addProblem(QStringLiteral("The season database %1 cannot be replaced: %2")
                                    .arg(QDir::toNativeSeparators(m_path), refusal->reason));
        else
            m_writable = true;
    } else {
        try {
            // Taking the write lock and letting it go writes nothing.
            const SQLite::Transaction probe(m_db->sqlite(), SQLite::TransactionBehavior::IMMEDIATE);
            m_writable = true;
        } catch (const SQLite::Exception& e) {
            findings.addProblem(
                QStringLiteral("The season database %1 cannot be written: %2")
                    .arg(QDir::toNativeSeparators(m_path), QString::fromUtf8(e.what())));
        }
    }
    const QString writeBack = m_db->writeBackProblem();
    if (!writeBack.isEmpty())
        findings.addProblem(writeBack);
}

bool DatabaseCheck::checkTables(Findings& findings) {
    bool complete = true;
    auto requireColumns = [&](QLatin1String table, const auto& columns) {
        if (!m_db->hasTable(table)) {
            findings.addProblem(QStringLiteral("The season database has no table %1.").arg(table));
            complete = false;
            return;
        }
        Recordset header(*m_db, QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(table));
        for (const seasonschema::Column& column : columns) {
            if (header.columnIndex(column.name) < 0) {
                findings.addProblem(
                    QStringLiteral("The table %1 has no column \"%2\".").arg(table, column.name));
                complete = false;
            } else if (const QString why = m_db->unreadableColumn(table, column.name);
                       !why.isEmpty()) {
                findings.addProblem(why);
                complete = false;
            }
        }
    };
    requireColumns(seasonschema::kRatingsTable, seasonschema::kRatingsColumns);
    requireColumns(seasonschema::kQzTable, seasonschema::kQzColumns);
    return complete;
}

void DatabaseCheck::checkWriteBack(const ConvertedSeason& season, Findings& findings) {
    if (!m_writable)
        return;
    try {
        const std::vector<overallratings::Refusal> refusals = overallratings::findRefusals(
            *m_db, season.ratings(),
            findings.keepsEverything() ? std::numeric_limits<std::size_t>::max()
                                       : static_cast<std::size_t>(Findings::kListedProblems));
        // The refusals name rows, which had their texts read before.
        SQLite::Statement player = m_db->prepare(seasonstatements::playerByRow());
        for (const overallratings::Refusal& refusal : refusals) {
            QString team;
            QString name;
            sqlite::guarded(overallratings::saveOperation(), m_db->path(), [&] {
                player.reset();
                player.bind(1, static_cast<int64_t>(refusal.rowid));
                if (player.executeStep()) {
                    team = values::toText(sqlite::value(player, 0));
                    name = values::toText(sqlite::value(player, 1));
                }
            });
            findings.addPlayerProblem(
                team, name, seasonschema::kRatingsColumns[seasonschema::Overall].name,
                QStringLiteral("The season database refuses the new overall rating: %1")
                    .arg(refusal.reason));
        }
    } catch (const PatchError& e) {
        findings.addProblem(e);
    }
}

} // namespace tolvane
