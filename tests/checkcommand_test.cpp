// tolvane-patch --check, run as the real program with no display.

#include "support/foldertree.h"
#include "support/testgame.h"
#include "tools/demo/demofolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolvane;

namespace {

struct Result {
    int status = -1;
    QString out;
    QString err;
};

// Runs the program as from a terminal without a display: the check must open no window.
Result patch(const QStringList& arguments, const QString& workingFolder = QString(),
             const QString& localAppData = QString()) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    if (!localAppData.isEmpty())
        environment.insert(QStringLiteral("LOCALAPPDATA"), localAppData);
    process.setProcessEnvironment(environment);
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    process.start(QStringLiteral(TOLVANE_PATCH_EXE), arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    Result result;
    if (process.exitStatus() == QProcess::NormalExit)
        result.status = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

Result check(const QString& folder, bool json = false) {
    QStringList arguments{QStringLiteral("--check"), QStringLiteral("--program-folder"), folder};
    if (json)
        arguments << QStringLiteral("--json");
    return patch(arguments);
}

QJsonObject parsed(const QString& out) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(out.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return document.object();
}

TEST(CheckCommand, ReportsEveryWarningAndStillImports) {
    TestGame game;
    {
        demo::SeasonBuilder builder(game.dbPath());
        builder.addPlayer(QStringLiteral("Bears"), QStringLiteral("Sam Jones"),
                          {{QStringLiteral("crumbs"), 5}, {QStringLiteral("Speed"), 120.5}});
        builder.addPlayer(QStringLiteral("Cats"), QStringLiteral("Sam Jones"));
        builder.addPlayer(QStringLiteral("Cats"), QStringLiteral("Al Fox"));
        builder.addPlayer(QStringLiteral("Cats"), QStringLiteral("Sam Jones"));
        builder.addQz(QStringLiteral("Sam Jones"), {1, 2, 3, 4, 5, 6, 7, 8});
        // An SQLite file compares exactly: this row is not Al Fox's.
        builder.addQz(QStringLiteral("Al fox"), {1, 2, 3, 4, 5, 6, 7, 8});
        builder.addQz(QStringLiteral("Sam Jones"), {8, 7, 6, 5, 4, 3, 2, 1});
    }
    const FolderTree before = snapshotTree(game.path());

    const Result text = check(game.path());
    EXPECT_EQ(text.status, 0) << text.err.toStdString();
    EXPECT_EQ(text.out.toStdString(),
              "warning: Cats / Al Fox: no qz row has this name, so every position value is 100\n"
              "warning: Cats / Sam Jones / Name: 2 players of this team have this name\n"
              "warning: qz.name: \"Sam Jones\" names 2 rows; the first, row 1, is the one used\n"
              "warning: crumbs: 1 value below 30, the lowest rung of its rating scale (down to "
              "5), converts as 30\n"
              "warning: Speed: 1 value above 99, the highest rung (up to 120.5), converts as 99\n"
              "0 problems, 5 warnings: the season would import.\n");
    EXPECT_TRUE(text.err.isEmpty()) << text.err.toStdString();

    const QJsonObject json = parsed(check(game.path(), true).out);
    EXPECT_TRUE(json[QStringLiteral("imports")].toBool());
    EXPECT_TRUE(json[QStringLiteral("problems")].toArray().isEmpty());
    const QJsonArray warnings = json[QStringLiteral("warnings")].toArray();
    ASSERT_EQ(warnings.size(), 5);
    const QJsonObject repeated = warnings[1].toObject();
    EXPECT_EQ(repeated[QStringLiteral("team")].toString(), QStringLiteral("Cats"));
    EXPECT_EQ(repeated[QStringLiteral("player")].toString(), QStringLiteral("Sam Jones"));
    EXPECT_EQ(repeated[QStringLiteral("column")].toString(), QStringLiteral("Name"));
    EXPECT_EQ(json[QStringLiteral("summary")].toString(),
              QStringLiteral("0 problems, 5 warnings: the season would import."));

    // Nothing is written: not the database, not the slot, not the fixture.
    EXPECT_EQ(snapshotTree(game.path()), before);
}

// A Jet file finds a qz row in another letter case where none is spelled as the player; its
// SQLite twin, comparing exactly, finds none.
// A copy of the game's fixture that Windows keeps for old programs would hide the new one
// from the game: the check warns of it, and the season still imports.
TEST(CheckCommand, WarnsOfVirtualStoreCopies) {
    TestGame game;
    writeSimpleDatabase(game.dbPath(), {{"Cats", "Sam Jones"}});
    QTemporaryDir local;
    QString withoutDrive = QDir::cleanPath(game.path());
    if (withoutDrive.size() > 1 && withoutDrive.at(1) == QLatin1Char(':'))
        withoutDrive.remove(0, 2);
    const QString copy = local.path() + QStringLiteral("/VirtualStore") + withoutDrive +
                         QStringLiteral("/data/schedules/schedule2008.dat");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(copy).path()));
    writeAll(copy, "the game's old fixture");

    const Result result =
        patch({QStringLiteral("--check"), QStringLiteral("--program-folder"), game.path()},
              QString(), QDir::toNativeSeparators(local.path()));
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("warning: %1 is a copy Windows keeps for old "
                                                   "programs in its VirtualStore")
                                        .arg(QDir::toNativeSeparators(copy))))
        << result.out.toStdString();
    EXPECT_EQ(readAll(copy), "the game's old fixture");
}

TEST(CheckCommand, JetLookUpInAnotherLetterCase) {
    const QString fixtures = QStringLiteral(TOLVANE_JET_FIXTURES);
    const QString eli = QStringLiteral("North Side / Eli Jones: ");
    for (const char* file : {"season-qz-case.mdb", "season-qz-case.sqlite"}) {
        SCOPED_TRACE(file);
        TestGame game;
        ASSERT_TRUE(QFile::copy(fixtures + QLatin1Char('/') + QLatin1String(file), game.dbPath()));
        const Result result = check(game.path());
        EXPECT_EQ(result.status, 0) << result.err.toStdString();
        const bool jet = QLatin1String(file).endsWith(QLatin1String(".mdb"));
        EXPECT_EQ(
            result.out.contains(
                eli + QStringLiteral(
                          "the qz row found is spelled \"ELI JONES\", in another letter case\n")),
            jet);
        EXPECT_EQ(
            result.out.contains(
                eli + QStringLiteral("no qz row has this name, so every position value is 100\n")),
            !jet);
        // Spellings of one name in a Jet file: a player spelled otherwise gets the first.
        EXPECT_EQ(result.out.contains(QStringLiteral(
                      "warning: qz.name: \"sam jones\" (1 row from row 31), \"Sam Jones\" (2 "
                      "rows from row 32) differ only in letter case: a player spelled as one of "
                      "them gets its first row, any other spelling row 31\n")),
                  jet);
        EXPECT_EQ(result.out.contains(QStringLiteral(
                      "warning: qz.name: \"Sam Jones\" names 2 rows; the first, row 32, is the "
                      "one used\n")),
                  !jet);
    }
}

// Every problem is listed, not only the first the window shows, one line each.
TEST(CheckCommand, ListsEveryProblemOnALineOfItsOwn) {
    TestGame game;
    {
        demo::SeasonBuilder builder(game.dbPath());
        for (int i = 0; i < 25; ++i) {
            const QString name = QStringLiteral("P %1").arg(i);
            builder.addPlayer(QStringLiteral("Cats"), name,
                              {{QStringLiteral("Height"), QStringLiteral("tall")}});
            builder.addQz(name, {1, 2, 3, 4, 5, 6, 7, 8});
        }
        // A line break in a team name must not break the report's lines.
        builder.addPlayer(QStringLiteral("Bad\nTeam"), QStringLiteral("Al Fox"));
        builder.addQz(QStringLiteral("Al Fox"), {1, 2, 3, 4, 5, 6, 7, 8});
    }
    const Result text = check(game.path());
    EXPECT_EQ(text.status, 1);
    QStringList lines = text.out.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.takeLast(), QString());
    ASSERT_EQ(lines.size(), 27) << text.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Bad Team: The team name holds")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Cats / P 0 / Height: ")))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[25].startsWith(QStringLiteral("Cats / P 24 / Height: ")));
    EXPECT_EQ(lines[26], QStringLiteral("26 problems, 0 warnings: the season would not import."));

    const Result jsonRun = check(game.path(), true);
    EXPECT_EQ(jsonRun.status, 1);
    const QJsonObject json = parsed(jsonRun.out);
    EXPECT_FALSE(json[QStringLiteral("imports")].toBool());
    const QJsonArray problems = json[QStringLiteral("problems")].toArray();
    ASSERT_EQ(problems.size(), 26);
    EXPECT_EQ(problems[0].toObject()[QStringLiteral("team")].toString(),
              QStringLiteral("Bad\nTeam"));
    const QJsonObject height = problems[1].toObject();
    EXPECT_EQ(height[QStringLiteral("team")].toString(), QStringLiteral("Cats"));
    EXPECT_EQ(height[QStringLiteral("player")].toString(), QStringLiteral("P 0"));
    EXPECT_EQ(height[QStringLiteral("column")].toString(), QStringLiteral("Height"));
    EXPECT_FALSE(height[QStringLiteral("reason")].toString().isEmpty());
}

TEST(CheckCommand, ExitStatusAndFolders) {
    TestGame game;
    game.writeDemo(2, 3);

    // Without --program-folder the check looks at the current folder.
    const Result here = patch({QStringLiteral("--check")}, game.path());
    EXPECT_EQ(here.status, 0) << here.err.toStdString();
    EXPECT_TRUE(here.out.endsWith(QStringLiteral(": the season would import.\n")));

    // A season that is not there would not import; the report says why.
    QFile::remove(game.dbPath());
    const Result missing = check(game.path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.out.startsWith(
        QStringLiteral("Could not find file seasonStats.mdb. Make sure it has been copied to ")))
        << missing.out.toStdString();
    EXPECT_EQ(parsed(check(game.path(), true).out)[QStringLiteral("problems")].toArray().size(), 1);

    // A folder that cannot be read, or a command line that is wrong: a message on standard
    // error, nothing on standard output.
    const QString file = game.file(QStringLiteral("schedule2009.dat"));
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("--check"), QStringLiteral("--program-folder"),
                      game.file(QStringLiteral("no such folder"))},
          QStringList{QStringLiteral("--check"), QStringLiteral("--program-folder"), file},
          QStringList{QStringLiteral("--check"), QStringLiteral("--jsn")},
          QStringList{QStringLiteral("--check"), game.path()}}) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        const Result result = patch(arguments);
        EXPECT_EQ(result.status, 2);
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_TRUE(result.err.startsWith(QStringLiteral("tolvane-patch: ")));
    }

    const Result help = patch({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("--check")));
}

} // namespace
