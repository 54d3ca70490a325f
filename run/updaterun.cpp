#include "run/updaterun.h"

#include "run/convertedseason.h"
#include "run/inputcheck.h"
#include "run/patchbackup.h"
#include "run/swap.h"
#include "run/virtualstore.h"

#include "conversion/valueconversion.h"
#include "core/fileops.h"
#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "db/overallratings.h"
#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "db/seasonstatements.h"
#include "records/teamlistwriter.h"
#include "run/runui.h"
#include "schedule/scheduleinstall.h"
#include "teamsheets/teamsheets.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScopedValueRollback>

#include <algorithm>
#include <limits>
#include <utility>

namespace tolvane {

namespace {

QString unexpectedStop() {
    return QStringLiteral("The update stopped unexpectedly");
}

} // namespace

void pauseFor(double seconds, RunUi& ui) {
    // A monotonic clock: the wait cannot be thrown off by midnight or a clock change.
    QElapsedTimer timer;
    timer.start();
    const float wait = static_cast<float>(seconds);
    for (;;) {
        const qint64 elapsedNs = timer.nsecsElapsed();
        const auto elapsed = static_cast<float>(elapsedNs / 1e9);
        if (!(wait > elapsed))
            return;
        ui.processEvents(std::chrono::nanoseconds(
            std::max<qint64>(0, static_cast<qint64>(seconds * 1e9) - elapsedNs)));
    }
}

UpdateRun::UpdateRun(GameFolder game, RunUi& ui)
    : m_game(std::move(game))
    , m_ui(ui) {}

UpdateRun::~UpdateRun() = default;

QString UpdateRun::slotFolder() const {
    return m_game.slotFolder(m_slotName);
}

bool UpdateRun::selectSlot(const QString& slotName) {
    m_slotName = slotName;
    return fileops::isOrdinaryFile(m_game.seasonDatabase());
}

void UpdateRun::run() {
    if (m_running)
        return;
    const QScopedValueRollback<bool> running(m_running, true);
    const MessageStyle error{MessageIcon::Critical};
    try {
        runSteps();
    } catch (const PatchError& e) {
        stopShowingProgress();
        m_ui.message(e.message(), error, QStringLiteral("Update Error"));
    } catch (const std::exception& e) {
        stopShowingProgress();
        m_ui.message(PatchError(unexpectedStop(), QString(), exceptionText(e)).message(), error,
                     QStringLiteral("Update Error"));
    }
}

void UpdateRun::stopShowingProgress() {
    // The next run's bar starts from nothing, as after a completed run.
    m_ui.setProgressVisible(false);
    m_ui.setProgress(0);
}

bool UpdateRun::checkInputFiles() {
    // Only the first missing file is named.
    const QStringList missing = FolderCheck::missingInputFiles(m_game);
    if (missing.isEmpty())
        return true;
    m_ui.message(missing.front(), {MessageIcon::Warning}, QStringLiteral("File Not Found"));
    return false;
}

void reportCheckProblems(const Findings& findings, RunUi& ui) {
    // A folder that refused a write for want of rights is Windows protecting the game's
    // folder (under Program Files): an administrator may write there.
    if (findings.accessDenied() && ui.canRestartAsAdministrator()) {
        const RunUi::Answer answer = ui.message(
            findings.report() + QStringLiteral("\n\n") + QLatin1String(kGameFolderProtected) +
                QStringLiteral(" Start the patch again as administrator?"),
            {MessageIcon::Warning, MessageButtons::YesNo}, QStringLiteral("Update Error"));
        if (answer == RunUi::Yes)
            ui.restartAsAdministrator();
        return;
    }
    ui.message(findings.report(), {MessageIcon::Critical}, QStringLiteral("Update Error"));
}

void UpdateRun::offerToSetAsideVirtualStoreCopies() {
    const QStringList copies = virtualstore::copies(m_game, m_slotName);
    if (copies.isEmpty())
        return;
    QStringList shown;
    for (const QString& copy : copies)
        shown << QDir::toNativeSeparators(copy);
    const RunUi::Answer answer = m_ui.message(
        QStringLiteral("Windows keeps copies of the game's files for old programs, and the game "
                       "reads them instead of the files this update writes:\n\n%1\n\nMove "
                       "them aside, into the folder \"%2\" beside them? Nothing is deleted. If "
                       "you say No, the update goes on, and the game may not see its new "
                       "players and fixture.")
            .arg(shown.join(QLatin1Char('\n')), virtualstore::setAsideFolderName()),
        {MessageIcon::Warning, MessageButtons::YesNo}, QStringLiteral("Old Copies Found"));
    if (answer == RunUi::Yes)
        virtualstore::setAside(m_game, copies);
}

bool UpdateRun::prepareSlot(SeasonDatabase& db) {
    loadTeamNames(db);
    if (!fileops::entryExists(slotFolder()))
        return true;
    const RunUi::Answer answer = m_ui.message(
        QStringLiteral("This will replace your existing player data files with new ones based on "
                       "the SeasonStats.mdb database. Do you wish to continue?"),
        {MessageIcon::None, MessageButtons::OkCancel}, QStringLiteral("Roster Slot Import"));
    // Only a question answered with OK replaces the slot: one that was never shown, or
    // closed some other way, leaves it as it is.
    return answer == RunUi::Ok;
}

void UpdateRun::loadTeamNames(SeasonDatabase& db) {
    Recordset teams(db, seasonstatements::distinctTeams());
    QStringList names;
    for (; !teams.eof(); teams.moveNext()) {
        if (names.size() >= std::numeric_limits<std::int16_t>::max())
            throw PatchError(QStringLiteral("Too many teams in the season database"), db.path(),
                             QStringLiteral("At most 32,767 teams can be imported."));
        try {
            names << values::toText(teams.value(0));
        } catch (const values::ValueError& e) {
            // The check has seen every team; the database changed since.
            throw PatchError(QStringLiteral("Cannot read the teams of the season database"),
                             db.path(), e.reason());
        }
    }
    m_teamNames = names;
}

void UpdateRun::buildSlot(const QString& newSlot, SeasonDatabase& db, const ConvertedSeason& season,
                          double progressStep) {
    fileops::createFolders(newSlot);
    if (QFileInfo(slotFolder()).isDir()) {
        teamsheets::carryOver(slotFolder(), newSlot, m_teamNames);
    } else {
        // A new slot keeps the database as it was before this run writes its overall ratings.
        fileops::copyFile(m_game.seasonDatabase(), gamepaths::slotDatabase(newSlot));
    }
    for (const QString& team : m_teamNames) {
        if (!fileops::entryExists(gamepaths::teamFolder(newSlot, team)))
            fileops::createFolder(gamepaths::teamFolder(newSlot, team));
    }
    TeamListWriter writer(newSlot);
    float progress = 0;
    for (const ConvertedSeason::Team& team : season.teams()) {
        writer.writeList(team.name, season.teamList(team));
        // The bar moves one step a player, summed in single precision; the window draws
        // only the steps it can show.
        for (std::uint32_t i = 0; i < team.players; ++i) {
            progress = static_cast<float>(static_cast<double>(progress) + progressStep);
            m_ui.setProgress(progress);
        }
    }
    m_ui.setProgress(90);
    teamsheets::writeTeamSheets(newSlot, m_teamNames, teamsheets::readLineup(db));
}

// Everything but the season database's ratings goes into the work folder first, the backup of
// what it replaces beside it, and is then put in place in one step: the game sees the old
// slot and fixture or the new ones, never a mix. The ratings are written only once the new
// slot is in place, so that a database whose ratings were written always belongs to a slot
// that was put in place; a run cut short before them leaves the database as it was, and
// the next update writes them.
void UpdateRun::writeUpdate(SeasonDatabase& db, const ConvertedSeason& season) {
    PatchBackup backup(m_game);
    Swap swap(m_game, backup.workFolder());
    std::vector<Swap::Entry> entries;
    try {
        swap.begin(Swap::Operation::Update);
        // First, so that its copy is on its way to the disk while the slot is built.
        keepSeasonDatabase(db, swap.replaced());
        const QString slotPath = gamepaths::slotPath(m_slotName);
        const bool hadSlot = fileops::entryExists(slotFolder());
        buildSlot(swap.staged().slotFolder(m_slotName), db, season,
                  90.0 / static_cast<double>(season.playerCount()));
        lap(m_timings.playerPassNs);
        const FixtureInstall fixture = stageFixtureInstall(m_game, swap.staged(), swap.replaced());
        entries.push_back({Swap::Kind::Folder, slotPath, true});
        entries.push_back({Swap::Kind::File, gamepaths::kGameFixture, true});
        if (fixture.keepsGameFixture)
            entries.push_back({Swap::Kind::File, gamepaths::kKeptFixturePath, true});
        // What a restore puts back: each entry as it was, or removed where the game had none.
        std::vector<Swap::Entry> restorePlan{
            {Swap::Kind::Folder, slotPath, hadSlot},
            {Swap::Kind::File, gamepaths::kGameFixture, fixture.replacesFixture},
            {Swap::Kind::File, gamepaths::kSeasonDatabase, true}};
        if (fixture.keepsGameFixture)
            restorePlan.push_back({Swap::Kind::File, gamepaths::kKeptFixturePath, false});
        PatchBackup::writeRestorePlan(swap.replaced(), restorePlan);
        lap(m_timings.sheetsNs);
        swap.install(entries);
    } catch (const PatchError& e) {
        // A file of the new slot is named where it goes, not where it was being built.
        PatchError failure = e;
        const QString built = QDir::cleanPath(e.target());
        if (built.startsWith(swap.staged().path() + QLatin1Char('/')))
            failure = PatchError(e.operation(),
                                 m_game.at(built.mid(swap.staged().path().size() + 1)), e.cause());
        discard(swap, backup, failure);
        throw failure;
    }
    try {
        writeRatings(db, season);
    } catch (PatchError& e) {
        try {
            swap.undo();
        } catch (const PatchError& undoFailure) {
            e.appendCause(QStringLiteral("Taking the new roster back failed too (%1); the next "
                                         "start of the patch takes it back.")
                              .arg(undoFailure.cause()));
            throw;
        }
        discard(swap, backup, e);
        throw;
    }
    try {
        backup.keep(swap);
        backup.removeIfEmpty();
    } catch (const PatchError&) {
        // The update is in place; the next start of the patch keeps its backup.
    }
    lap(m_timings.fixtureNs);
}

void UpdateRun::keepSeasonDatabase(SeasonDatabase& db, const GameFolder& backup) {
    // SQLite changes its file in place, so the backup is a copy; an Access file is replaced
    // whole by its write, so a second name for it keeps it.
    if (isReadableAccess(db.format()))
        fileops::linkOrCopy(m_game.seasonDatabase(), backup.seasonDatabase());
    else
        fileops::copyFile(m_game.seasonDatabase(), backup.seasonDatabase());
}

void UpdateRun::writeRatings(SeasonDatabase& db, const ConvertedSeason& season) {
    WriteBatch batch(db);
    try {
        overallratings::store(db, season.ratings());
    } catch (const std::exception& e) {
        if (dynamic_cast<const PatchError*>(&e))
            throw;
        throw PatchError(unexpectedStop(), QString(), exceptionText(e));
    }
    batch.commit();
}

void UpdateRun::discard(Swap& swap, PatchBackup& backup, PatchError& failure) {
    try {
        swap.discard();
        backup.removeIfEmpty();
    } catch (const PatchError& e) {
        failure.appendCause(QStringLiteral("Nothing was changed; the files the update prepared "
                                           "could not all be removed (%1), and the next start of "
                                           "the patch removes them.")
                                .arg(e.cause()));
    }
}

void UpdateRun::runSteps() {
    m_timings = RunTimings();
    m_clock.start();

    const GameLock lock(m_game);
    if (!lock.held()) {
        m_ui.message(QStringLiteral("Another copy of the patch is changing the game's folder. "
                                    "Wait until it has finished, then run the update again."),
                     {MessageIcon::Warning}, QStringLiteral("Update Error"));
        return;
    }
    if (const QString settled = PatchBackup(m_game).settle(); !settled.isEmpty())
        m_ui.message(settled, {MessageIcon::Information}, QString());
    if (!checkInputFiles())
        return;
    InputCheck check(m_game, m_slotName);
    if (!check.run()) {
        reportCheckProblems(check.findings(), m_ui);
        return;
    }
    offerToSetAsideVirtualStoreCopies();
    lap(m_timings.checkNs);
    // The check leaves the database open and every player converted.
    SeasonDatabase& db = check.database();
    if (!prepareSlot(db))
        return;
    lap(m_timings.prepareNs);

    m_ui.setProgressVisible(true);
    m_ui.setProgress(0);
    const ConvertedSeason& season = check.season();
    if (season.playerCount() == 0) {
        m_ui.message(QStringLiteral("List empty"), {MessageIcon::Information},
                     QStringLiteral("Error"));
        m_ui.setProgressVisible(false);
        return;
    }
    pauseFor(0.1, m_ui);
    lap(m_timings.pauseNs);

    writeUpdate(db, season);

    m_ui.setProgress(100);
    m_ui.message(QStringLiteral("Import Complete!"), {}, QString());
    m_ui.setProgressVisible(false);
    m_ui.setProgress(0);
}

void UpdateRun::lap(qint64& figure) {
    figure += m_clock.nsecsElapsed();
    m_clock.restart();
}

} // namespace tolvane
