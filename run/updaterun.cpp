#include "run/updaterun.h"

#include "run/convertedseason.h"
#include "run/inputcheck.h"
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
            findings.report() +
                QStringLiteral("\n\nWindows protects the game's folder: only a program started "
                               "as administrator may change files in it. Start the patch again "
                               "as administrator?"),
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
    if (!fileops::entryExists(slotFolder())) {
        fileops::createFolder(slotFolder());
        fillNewSlot(db);
        return true;
    }
    const RunUi::Answer answer = m_ui.message(
        QStringLiteral("This will replace your existing player data files with new ones based on "
                       "the SeasonStats.mdb database. Do you wish to continue?"),
        {MessageIcon::None, MessageButtons::OkCancel}, QStringLiteral("Roster Slot Import"));
    // Only a question answered with OK replaces the slot: one that was never shown, or
    // closed some other way, leaves it as it is.
    if (answer != RunUi::Ok)
        return false;
    // The team folders come with the player pass.
    loadTeamNames(db);
    return true;
}

void UpdateRun::fillNewSlot(SeasonDatabase& db) {
    // The slot keeps the database as it was before this run writes its overall ratings.
    fileops::copyFileReplacing(m_game.seasonDatabase(), gamepaths::slotDatabase(slotFolder()));
    loadTeamNames(db);
    for (const QString& team : m_teamNames)
        fileops::createFolder(gamepaths::teamFolder(slotFolder(), team));
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

void UpdateRun::writePlayers(SeasonDatabase& db, const ConvertedSeason& season,
                             double progressStep) {
    WriteBatch batch(db);
    try {
        overallratings::store(db, season.ratings());
        TeamListWriter writer(slotFolder());
        float progress = 0;
        for (const ConvertedSeason::Team& team : season.teams()) {
            writer.writeList(team.name, season.teamList(team));
            // The bar moves one step a player, summed in single precision as it always has;
            // the window draws only the steps it can show.
            for (std::uint32_t i = 0; i < team.players; ++i) {
                progress = static_cast<float>(static_cast<double>(progress) + progressStep);
                m_ui.setProgress(progress);
            }
        }
    } catch (PatchError& e) {
        // A run that stops keeps what it wrote, the overall ratings among it; the user
        // hears when even they could not be saved.
        e.appendCause(batch.keepWrittenSoFar());
        throw;
    } catch (const std::exception& e) {
        PatchError stopped(unexpectedStop(), QString(), exceptionText(e));
        stopped.appendCause(batch.keepWrittenSoFar());
        throw stopped;
    }
    batch.commit();
}

void UpdateRun::runSteps() {
    m_timings = RunTimings();
    QElapsedTimer clock;
    clock.start();
    // Adds the time since the last lap to one of the run's step figures.
    auto lap = [&clock](qint64& figure) {
        figure += clock.nsecsElapsed();
        clock.restart();
    };

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

    writePlayers(db, season, 90.0 / static_cast<double>(season.playerCount()));
    lap(m_timings.playerPassNs);

    teamsheets::sweepStrayFolders(slotFolder(), m_teamNames);
    m_ui.setProgress(90);
    teamsheets::resetTeamSheets(slotFolder(), m_teamNames);
    teamsheets::writeLineupLists(db, slotFolder());
    lap(m_timings.sheetsNs);
    installSchedule(m_game);
    lap(m_timings.fixtureNs);

    m_ui.setProgress(100);
    m_ui.message(QStringLiteral("Import Complete!"), {}, QString());
    m_ui.setProgressVisible(false);
    m_ui.setProgress(0);
}

} // namespace tolvane
