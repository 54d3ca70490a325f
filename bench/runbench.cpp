// Times the core update run on a generated game folder against the floor for the same data:
// reading every Ratings and qz row once, writing every overall back in one transaction, and
// writing the run's output bytes in one go per file.

#include "core/gamefolder.h"
#include "core/wording.h"
#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "run/runui.h"
#include "run/updaterun.h"
#include "tools/demo/demofolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

using namespace tolvane;

namespace {

// Answers every question with OK and records nothing but failures.
class ScriptedUi : public RunUi {
public:
    Answer message(const QString& text, MessageStyle style, const QString& title) override {
        if (style.icon == MessageIcon::Critical || title == QLatin1String("Error"))
            failure = title + QLatin1String(": ") + text;
        return Ok;
    }
    void setProgressVisible(bool) override {}
    void setProgress(float) override {}
    void processEvents(std::chrono::nanoseconds) override {}
    bool canRestartAsAdministrator() const override { return false; }
    void restartAsAdministrator() override {}

    QString failure;
};

double ms(qint64 ns) {
    return double(ns) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void copyFile(const QString& from, const QString& to) {
    QFile::remove(to);
    if (!QFile::copy(from, to))
        qFatal("cannot copy %s", qPrintable(from));
}

// Puts the game folder back as it was before the first run.
void restore(const QString& game, const QString& pristine) {
    QDir(GameFolder(game).slotFolder(gamepaths::kDefaultSlot)).removeRecursively();
    copyFile(GameFolder(pristine).seasonDatabase(), GameFolder(game).seasonDatabase());
    QFile::remove(GameFolder(game).keptFixture());
    copyFile(pristine + "/schedule2008.dat", GameFolder(game).gameFixture());
}

// One update run on the game folder as it was first made; nullopt (and a message) when
// the run did not complete.
std::optional<RunTimings> runFromPristine(const QString& game, const QString& pristine) {
    restore(game, pristine);
    ScriptedUi ui;
    UpdateRun run(GameFolder(game), ui);
    run.selectSlot(gamepaths::kDefaultSlot);
    run.run();
    if (!ui.failure.isEmpty()) {
        std::fprintf(stderr, "run failed: %s\n", qPrintable(ui.failure));
        return std::nullopt;
    }
    return run.lastTimings();
}

std::map<QString, QByteArray> readTree(const QString& root) {
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        files[QDir(root).relativeFilePath(path)] = file.readAll();
    }
    return files;
}

// The least any run must do with this data.
qint64 floorNs(const QString& dbPath, const std::map<QString, QByteArray>& output,
               const QString& target) {
    QElapsedTimer timer;
    timer.start();
    {
        SeasonDatabase db(dbPath);
        std::vector<qint64> rowids;
        qint64 sink = 0;
        for (const bool ratingsTable : {true, false}) {
            using namespace seasonschema;
            Recordset rows(db, QStringLiteral("SELECT rowid, * FROM %1")
                                   .arg(ratingsTable ? kRatingsTable : kQzTable));
            // The rowid, then every column.
            const int columns = 1 + (ratingsTable ? int(RatingsColumnCount) : int(QzColumnCount));
            for (; !rows.eof(); rows.moveNext()) {
                for (int c = 0; c < columns; ++c)
                    sink += rows.value(c).isNull();
                if (ratingsTable)
                    rowids.push_back(rows.value(0).toLongLong());
            }
        }
        WriteBatch batch(db);
        SQLite::Statement update = db.prepare("UPDATE Ratings SET overall=? WHERE rowid=?");
        for (qint64 rowid : rowids) {
            update.reset();
            update.bind(1, int32_t(rowid % 90 + 10));
            update.bind(2, int64_t(rowid));
            update.exec();
        }
        batch.commit();
        if (sink < 0)
            std::puts("");
    }
    for (const auto& [relative, bytes] : output) {
        const QString path = target + "/" + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }
    return timer.nsecsElapsed();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Times the update run against its floor.");
    parser.addHelpOption();
    parser.addOption({"players", "Players in all.", "n", "1000"});
    parser.addOption({"teams", "Teams.", "n", "18"});
    parser.addOption({"runs", "Timed runs (the median is reported).", "n", "5"});
    parser.addOption({"no-qz-index", "Leave qz(name) without an index."});
    parser.addOption({"game",
                      "Use a copy of this game folder (made by make-demo-folder) "
                      "instead of generating one here; peak memory then counts the "
                      "run alone.",
                      "folder"});
    parser.process(app);

    const int players = parser.value("players").toInt();
    const int teams = parser.value("teams").toInt();
    const int runs = std::max(1, parser.value("runs").toInt());

    QTemporaryDir work;
    const QString game = work.filePath("game");
    const QString pristine = work.filePath("pristine");
    demo::Options options;
    options.teams = teams;
    options.playersPerTeam = (players + teams - 1) / teams;
    options.qzIndex = !parser.isSet("no-qz-index");
    if (parser.isSet("game")) {
        const QString source = parser.value("game");
        QDir().mkpath(GameFolder(game).listsFolder());
        QDir().mkpath(GameFolder(game).schedulesFolder());
        for (const auto path :
             {&GameFolder::seasonDatabase, &GameFolder::newFixture, &GameFolder::gameFixture})
            copyFile((GameFolder(source).*path)(), (GameFolder(game).*path)());
    } else {
        demo::writeProgramFolder(game, options);
    }
    QDir().mkpath(pristine);
    copyFile(GameFolder(game).seasonDatabase(), GameFolder(pristine).seasonDatabase());
    copyFile(GameFolder(game).gameFixture(), pristine + "/schedule2008.dat");
    const long baseKiB = peakKiB();

    // One untimed run gives the output bytes the floor writes.
    if (!runFromPristine(game, pristine))
        return 1;
    // The run's own peak, before the floor's output bytes are held in memory.
    const long runPeakKiB = peakKiB();
    const auto output = readTree(GameFolder(game).listsFolder());

    // Runs and floors alternate, so that a slow spell of the machine weighs on both.
    std::vector<double> total, check, prepare, pass, sheets, fixture, floor, ratio;
    for (int i = 0; i < runs; ++i) {
        const std::optional<RunTimings> timings = runFromPristine(game, pristine);
        if (!timings)
            return 1;
        const RunTimings& t = *timings;
        check.push_back(ms(t.checkNs));
        prepare.push_back(ms(t.prepareNs));
        pass.push_back(ms(t.playerPassNs));
        sheets.push_back(ms(t.sheetsNs));
        fixture.push_back(ms(t.fixtureNs));
        total.push_back(ms(t.checkNs + t.prepareNs + t.playerPassNs + t.sheetsNs + t.fixtureNs));

        restore(game, pristine);
        QTemporaryDir target;
        floor.push_back(ms(floorNs(GameFolder(game).seasonDatabase(), output, target.path())));
        ratio.push_back(total.back() / floor.back());
    }

    SeasonDatabase counted(GameFolder(game).seasonDatabase());
    const auto n = static_cast<int>(counted.scalar("SELECT COUNT(*) FROM Ratings"));
    const auto teamCount =
        static_cast<int>(counted.scalar("SELECT COUNT(DISTINCT team) FROM Ratings"));
    const bool qzIndexed =
        counted.scalar(
            "SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'qz'") > 0;
    const double run = median(total);
    std::printf("players %d, teams %d, qz index %s, %d runs (medians, ms; the 100 ms pause "
                "for the window is left out)\n",
                n, teamCount, qzIndexed ? "yes" : "no", runs);
    std::printf("  run %.1f  (check %.1f, slot %.1f, player pass %.1f, sheets+lineups %.1f, "
                "fixture %.1f)\n",
                run, median(check), median(prepare), median(pass), median(sheets), median(fixture));
    std::printf("  floor %.1f  ratio %.2f (median of the pairs' ratios)  per player %.1f us\n",
                median(floor), median(ratio), run * 1000 / n);
    std::printf("  peak memory %.1f MB (%.1f MB before the runs)\n", runPeakKiB / 1024.0,
                baseKiB / 1024.0);
    return 0;
}
