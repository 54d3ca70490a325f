#include "run/updaterun.h"

#include "run/inputcheck.h"

#include "core/fileops.h"
#include "core/patcherror.h"
#include "core/runui.h"
#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "players/playermapping.h"
#include "players/playerrecord.h"
#include "players/teamlistwriter.h"
#include "players/valueconversion.h"
#include "schedule/scheduleinstall.h"
#include "teamsheets/teamsheets.h"

#include <QDir>
#include <QElapsedTimer>

#include <limits>

namespace {

const QString kSeasonDatabase = QStringLiteral("seasonStats.mdb");
const QString kNewFixture = QStringLiteral("schedule2009.dat");

// Ends a run's "running" state however the run ends.
class RunningFlag {
public:
    explicit RunningFlag(bool& flag)
        : m_flag(flag) {
        m_flag = true;
    }
    ~RunningFlag() { m_flag = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

private:
    bool& m_flag;
};

} // namespace

void pauseFor(double seconds, bool stop, RunUi& ui) {
    // A monotonic clock: the wait cannot be thrown off by midnight or a clock change.
    QElapsedTimer timer;
    timer.start();
    const float wait = static_cast<float>(seconds);
    for (;;) {
        const auto elapsed = static_cast<float>(timer.nsecsElapsed() / 1e9);
        if (!(wait > elapsed) || stop)
            return;
        ui.processEvents();
    }
}

UpdateRun::UpdateRun(QString programFolder, RunUi& ui)
    : m_programFolder(std::move(programFolder))
    , m_ui(ui) {}

UpdateRun::~UpdateRun() = default;

QString UpdateRun::slotFolder() const {
    return m_programFolder + QStringLiteral("/lists/") + m_slotName;
}

bool UpdateRun::selectSlot(const QString& slotName) {
    m_dbPath = m_programFolder + QLatin1Char('/') + kSeasonDatabase;
    m_slotName = slotName;
    return fileops::isOrdinaryFile(m_dbPath);
}

void UpdateRun::run() {
    if (m_running)
        return;
    RunningFlag running(m_running);
    try {
        runSteps();
    } catch (const PatchError& e) {
        m_ui.setProgressVisible(false);
        m_ui.message(e.message(), RunUi::Critical, QStringLiteral("Update Error"));
    } catch (const std::exception& e) {
        m_ui.setProgressVisible(false);
        m_ui.message(QStringLiteral("The update stopped unexpectedly:\n%1")
                         .arg(QString::fromLocal8Bit(e.what())),
                     RunUi::Critical, QStringLiteral("Update Error"));
    }
}

bool UpdateRun::chkValid() {
    if (!fileops::isOrdinaryFile(m_programFolder + QLatin1Char('/') + kSeasonDatabase)) {
        m_ui.message(QStringLiteral("Could not find file seasonStats.mdb. Make sure it has been "
                                    "copied to ") +
                         QDir::toNativeSeparators(m_programFolder),
                     RunUi::Exclamation, QStringLiteral("File Not Found"));
        return false;
    }
    if (fileops::isOrdinaryFile(m_programFolder + QLatin1Char('/') + kNewFixture))
        return true;
    m_ui.message(QStringLiteral("Could not find file schedule2009.dat. Make sure it has been "
                                "copied to ") +
                     QDir::toNativeSeparators(m_programFolder),
                 RunUi::Exclamation, QStringLiteral("File Not Found"));
    return false;
}

bool UpdateRun::prepareSlot() {
    const QString slot = slotFolder();
    if (!fileops::entryExists(slot)) {
        fileops::createFolder(slot);
        copyListFilesImport();
        return true;
    }
    const int answer = m_ui.message(
        QStringLiteral("This will replace your existing player data files with new ones based on "
                       "the SeasonStats.mdb database. Do you wish to continue?"),
        RunUi::OkCancel, QStringLiteral("Roster Slot Import"));
    if (answer == RunUi::Cancel)
        return false;
    copyListFilesImport2();
    return true;
}

void UpdateRun::copyListFilesImport() {
    // The slot keeps the database as it was before this run writes its overall ratings.
    fileops::copyFileReplacing(m_dbPath, slotFolder() + QLatin1Char('/') + kSeasonDatabase);
    loadTeamNames();
    for (qsizetype i = 1; i <= m_teamCount; ++i)
        fileops::createFolder(slotFolder() + QLatin1Char('/') + m_teamNames[i]);
}

void UpdateRun::copyListFilesImport2() {
    loadTeamNames();
}

void UpdateRun::loadTeamNames() {
    SeasonDatabase db(m_dbPath);
    Recordset teams(db, QStringLiteral("SELECT Distinct Ratings.Team FROM Ratings"));
    QStringList names{QString()};
    for (; !teams.eof(); teams.moveNext()) {
        if (names.size() > std::numeric_limits<std::int16_t>::max())
            throw PatchError(QStringLiteral("Too many teams in the season database"), m_dbPath,
                             QStringLiteral("At most 32,767 teams can be imported."));
        names << values::toText(teams.value(0));
    }
    // An empty table leaves the names of an earlier preparation in place.
    if (names.size() > 1)
        m_teamNames = names;
    m_teamCount = static_cast<std::int16_t>(names.size() - 1);
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

    if (!chkValid())
        return;
    InputCheck check(m_programFolder, m_slotName);
    if (!check.run()) {
        m_ui.message(check.report(), RunUi::Critical, QStringLiteral("Update Error"));
        return;
    }
    lap(m_timings.checkNs);
    if (!prepareSlot())
        return;
    lap(m_timings.prepareNs);

    SeasonDatabase db(m_dbPath);
    m_ui.setProgressVisible(true);
    float progress = 0;
    m_ui.setProgress(progress);

    const qint64 rowCount = db.scalar(QStringLiteral("SELECT COUNT(*) FROM Ratings"));
    if (rowCount == 0) {
        m_ui.message(QStringLiteral("List empty"), RunUi::Information, QStringLiteral("Error"));
        m_ui.setProgressVisible(false);
        return;
    }
    const double step = 90.0 / static_cast<double>(rowCount);
    lap(m_timings.playerPassNs);
    pauseFor(0.1, false, m_ui);
    lap(m_timings.pauseNs);

    {
        Recordset ratings(db, PlayerMapper::ratingsStatement());
        PlayerMapper mapper(db, ratings);
        TeamListWriter writer(slotFolder());
        WriteBatch batch(db);
        const int teamColumn =
            ratings.requireColumn(QStringLiteral("team"), QStringLiteral("Ratings"));
        PlayerRecord record;
        for (; !ratings.eof(); ratings.moveNext()) {
            const QString team = values::toText(ratings.value(teamColumn));
            writer.prepareTeam(team);
            mapper.map(ratings, record);
            writer.appendPlayer(team, record);
            progress = static_cast<float>(static_cast<double>(progress) + step);
            m_ui.setProgress(progress);
        }
        batch.commit();
    }
    lap(m_timings.playerPassNs);

    teamsheets::resetTeamSheets(slotFolder(), m_teamNames.mid(0, m_teamCount + 1), m_ui);
    teamsheets::writeLineupLists(db, slotFolder());
    lap(m_timings.sheetsNs);
    installSchedule(m_programFolder);
    lap(m_timings.fixtureNs);

    m_ui.setProgress(100);
    m_ui.message(QStringLiteral("Import Complete!"), RunUi::OkOnly, QString());
    m_ui.setProgressVisible(false);
    m_ui.setProgress(0);
}
