#include "support/updatescenario.h"

#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "db/databaseformat.h"
#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "run/updaterun.h"
#include "support/fakeui.h"
#include "support/jetwriter.h"
#include "support/sqlrows.h"
#include "tools/demo/demofolder.h"

#include <SQLiteCpp/Database.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <stdexcept>

namespace tolvane {

namespace {

void installSeason(const QString& folder, const QString& sqliteSeason, SeasonKind kind,
                   const QString& jetColumnTypes) {
    const QString database = GameFolder(folder).seasonDatabase();
    QFile::remove(database);
    if (kind == SeasonKind::Sqlite) {
        writeAll(database, readAll(sqliteSeason));
        return;
    }
    const std::vector<jetwriter::TableDef> tables =
        jetwriter::tablesOf(sqliteSeason, jetwriter::columnTypesOf(jetColumnTypes));
    writeAll(database, jetwriter::writeDatabase(tables, {&jet::kJet4Format, 1}));
}

void runUpdate(const QString& folder) {
    FakeUi ui;
    ui.sleepThroughPauses = true;
    UpdateRun run{GameFolder(folder), ui};
    run.selectSlot(QLatin1String(gamepaths::kDefaultSlot));
    run.run();
    if (ui.messages.empty() || ui.messages.back().text != QStringLiteral("Import Complete!"))
        throw std::runtime_error("the earlier update of the test's game folder failed: " +
                                 (ui.messages.empty() ? std::string("no message")
                                                      : ui.messages.back().text.toStdString()));
}

} // namespace

void writeGameBeforeSecondUpdate(const QString& folder, SeasonKind kind,
                                 const QString& jetColumnTypes) {
    const GameFolder game(folder);
    QDir().mkpath(game.listsFolder());
    QDir().mkpath(game.schedulesFolder());
    writeAll(game.gameFixture(), QByteArray("the game's own fixture\0\x01\r\n", 27));
    writeAll(game.newFixture(), "the fixture of the first patch\r\n");

    QTemporaryDir seasons;
    demo::Options options;
    options.teams = 3;
    options.playersPerTeam = 4;
    const QString first = seasons.filePath(QStringLiteral("first.sqlite"));
    demo::writeSeasonDatabase(first, options);
    installSeason(folder, first, kind, jetColumnTypes);
    runUpdate(folder);

    options.seed = 2010;
    const QString second = seasons.filePath(QStringLiteral("second.sqlite"));
    demo::writeSeasonDatabase(second, options);
    {
        SQLite::Database db(second.toStdString(), SQLite::OPEN_READWRITE);
        db.exec("UPDATE Ratings SET overall = 1");
    }
    installSeason(folder, second, kind, jetColumnTypes);
    writeAll(game.newFixture(), "the fixture of a later patch\r\n");
}

std::vector<qint64> overallRatings(const QString& path) {
    SeasonDatabase db(path);
    Recordset rows(db, QStringLiteral("SELECT overall FROM Ratings ORDER BY rowid"));
    std::vector<qint64> values;
    for (; !rows.eof(); rows.moveNext())
        values.push_back(rows.value(0).toLongLong());
    return values;
}

QString unsoundness(const QString& path) {
    try {
        // An Access file is read whole as it is opened.
        SeasonDatabase db(path);
        if (isReadableAccess(db.format()))
            return db.scalar(QStringLiteral("SELECT COUNT(*) FROM Ratings")) > 0
                       ? QString()
                       : QStringLiteral("no players");
        const QString check =
            queryValue(db.sqlite(), QStringLiteral("PRAGMA integrity_check")).toString();
        return check == QStringLiteral("ok") ? QString() : check;
    } catch (const PatchError& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
}

FolderTree subtree(const FolderTree& tree, const QString& prefix) {
    FolderTree part;
    for (auto it = tree.lower_bound(prefix); it != tree.end() && it->first.startsWith(prefix); ++it)
        part.insert(*it);
    return part;
}

FolderTree without(FolderTree tree, const QString& path) {
    tree.erase(path);
    return tree;
}

void copyFolder(const QString& from, const QString& to) {
    if (!QDir().mkpath(to))
        throw std::runtime_error("cannot create " + to.toStdString());
    const QDir base(from);
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + QLatin1Char('/') + base.relativeFilePath(path);
        const bool copied = it.fileInfo().isDir() ? QDir().mkpath(target)
                                                  : QDir().mkpath(QFileInfo(target).path()) &&
                                                        QFile::copy(path, target);
        if (!copied)
            throw std::runtime_error("cannot copy " + path.toStdString());
    }
}

} // namespace tolvane
