// tolvane-season pack: the players' zip of a season, made only of what the update would take.
#include "core/gamefolder.h"
#include "support/foldertree.h"
#include "support/owntemp.h"
#include "support/toolrun.h"
#include "tools/demo/demofolder.h"
#include "tools/season/seasontool.h"
#include "tools/zip/zipfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>

using namespace tolvane;

namespace {

ToolResult season(const QStringList& arguments) {
    return runTool(seasontool::run, arguments);
}

QStringList names(const std::vector<zipfile::Entry>& entries) {
    QStringList list;
    for (const zipfile::Entry& entry : entries)
        list << entry.name;
    return list;
}

// A demo season, a fixture and a players' zip of stand-ins for the patch program, with a
// file in a folder of its own as a later release might add.
class Pack : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        demo::Options options;
        options.teams = 3;
        options.playersPerTeam = 6;
        demo::writeSeasonDatabase(path("season.mdb"), options);
        writeAll(path("fixture.dat"), QByteArray("fixture of 2009\x00\x01", 17));
        m_program = {
            {"tolvane-patch.exe", "MZ the exe", QDateTime(QDate(2026, 3, 1), QTime(10, 20, 30))},
            {"tolvane-patch.com", "MZ the com", QDateTime(QDate(2026, 3, 2), QTime(11, 0, 2))},
            {"Restore previous roster.cmd", "@echo off\r\n",
             QDateTime(QDate(2026, 3, 2), QTime(10, 59, 58))},
            {"README.txt", "Read me\r\n", QDateTime(QDate(2026, 2, 1), QTime(9, 0))},
            {"extras/later.txt", "added later", QDateTime(QDate(2025, 1, 1), QTime(0, 0))},
        };
        writeAll(path("program.zip"), zipfile::write(m_program, path("program.zip")));
        // The scratch game folder goes into a temporary folder of the test's own, to be
        // seen gone afterwards.
        m_temp.emplace(path("tmp"));
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QStringList pack(const QString& seasonFile, const QString& zip) const {
        return {"pack",    path(seasonFile), path("fixture.dat"),
                path(zip), "--program",      path("program.zip")};
    }

    QTemporaryDir m_dir;
    std::vector<zipfile::Entry> m_program;
    std::optional<OwnTemporaryFolder> m_temp;
};

// The zip holds the season and the fixture under the names the update reads, then every
// file of the program's zip in its order, all dated as the program's newest file; made
// again from the same files, in another time zone, it is the same bytes.
TEST_F(Pack, ZipHoldsSeasonFixtureAndEveryProgramFileTheSameBytesEachTime) {
    const ToolResult first = season(pack("season.mdb", "first.zip"));
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_EQ(first.out.trimmed(),
              QDir::toNativeSeparators(path("first.zip")) +
                  ": seasonStats.mdb, schedule2009.dat, tolvane-patch.exe, tolvane-patch.com, "
                  "Restore previous roster.cmd, README.txt, extras/later.txt");
    // The demo season's players have no qz rows.
    EXPECT_TRUE(first.err.contains(
        QRegularExpression("note: \\d+ warnings?; 'tolvane-patch --check' lists them")))
        << first.err.toStdString();

    const std::vector<zipfile::Entry> entries = zipfile::readFile(path("first.zip"));
    ASSERT_EQ(names(entries),
              (QStringList{"seasonStats.mdb", "schedule2009.dat", "tolvane-patch.exe",
                           "tolvane-patch.com", "Restore previous roster.cmd", "README.txt",
                           "extras/later.txt"}));
    EXPECT_EQ(entries[0].data, readAll(path("season.mdb")));
    EXPECT_EQ(entries[1].data, readAll(path("fixture.dat")));
    for (std::size_t i = 0; i < m_program.size(); ++i)
        EXPECT_EQ(entries[i + 2].data, m_program[i].data) << m_program[i].name.toStdString();
    for (const zipfile::Entry& entry : entries)
        EXPECT_EQ(entry.modified, m_program[1].modified) << entry.name.toStdString();

#ifndef Q_OS_WIN
    // A zip keeps the local time of day, whatever the zone.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Pacific/Kiritimati");
    tzset();
#endif
    const ToolResult second = season(pack("season.mdb", "second.zip"));
#ifndef Q_OS_WIN
    qputenv("TZ", zone);
    tzset();
#endif
    ASSERT_EQ(second.status, 0) << second.err.toStdString();
    EXPECT_EQ(readAll(path("second.zip")), readAll(path("first.zip")));
    EXPECT_EQ(QDir(path("tmp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList());
}

// A season the update would refuse: the check's problems as tolvane-patch --check words
// them, on standard error, exit status 1, and nothing written anywhere, the scratch game
// folder gone too.
TEST_F(Pack, RefusesASeasonTheUpdateWouldRefuseAndWritesNothing) {
    demo::SeasonBuilder builder(path("spoiled.mdb"));
    builder.addPlayer("Ashford", "Zoë Müller", {{"Speed", "fast"}});
    builder.addPlayer("Ashford", "Sam Jones");
    builder.addPlayer("Bad/Team", "Pat Kerr");
    builder.close();
    const FolderTree before = snapshotTree(m_dir.path());

    const ToolResult result = season(pack("spoiled.mdb", "season.zip"));
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out.isEmpty()) << result.out.toStdString();
    EXPECT_TRUE(result.err.contains("Ashford / Zoë Müller / Speed: 'fast' is not a number\n"))
        << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("Bad/Team")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(
        QRegularExpression("\n[0-9]+ problems, [0-9]+ warnings?: the season would not import.\n$")))
        << result.err.toStdString();
    EXPECT_EQ(snapshotTree(m_dir.path()), before);
}

// What pack cannot use or would replace: exit status 2, a message, nothing written.
TEST_F(Pack, RefusesFilesItCannotUseAndNeverReplacesAZip) {
    writeAll(path("taken.zip"), "an older zip");
    writeAll(path("notazip.zip"), "PK but no zip");
    writeAll(path("noexe.zip"), zipfile::write({{"README.txt", "x", {}}}, "noexe.zip"));
    writeAll(path("withseason.zip"),
             zipfile::write({{"tolvane-patch.exe", "x", {}}, {"SeasonStats.mdb", "x", {}}},
                            "withseason.zip"));
    QDir().mkpath(path("folder"));
    const QString fixture = path("fixture.dat");
    const struct {
        QStringList arguments;
        const char* says;
    } cases[] = {
        {pack("season.mdb", "taken.zip"), "exists already"},
        {pack("missing.mdb", "out.zip"), "no such file"},
        {{"pack", path("season.mdb"), path("folder"), path("out.zip"), "--program",
          path("program.zip")},
         "is a folder"},
        {pack("season.mdb", "nofolder/out.zip"), "Its folder does not exist"},
        {{"pack", path("season.mdb"), fixture, path("out.zip"), "--program", path("notazip.zip")},
         "Not a zip archive"},
        {{"pack", path("season.mdb"), fixture, path("out.zip"), "--program", path("noexe.zip")},
         "holds no tolvane-patch.exe"},
        {{"pack", path("season.mdb"), fixture, path("out.zip"), "--program",
          path("withseason.zip")},
         "holds a seasonStats.mdb already"},
        {{"pack", path("season.mdb"), fixture}, "a season database, a fixture and a zip file"},
#ifndef Q_OS_WIN
        {{"pack", path("season.mdb"), fixture, path("out.zip")}, "--program"},
#endif
    };
    const FolderTree before = snapshotTree(m_dir.path());
    for (const auto& c : cases) {
        const ToolResult result = season(c.arguments);
        const std::string what = c.arguments.join(' ').toStdString();
        EXPECT_EQ(result.status, 2) << what << "\n" << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(QLatin1String(c.says))) << what << "\n"
                                                                << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty()) << what;
        EXPECT_EQ(snapshotTree(m_dir.path()), before) << what;
    }
}

#ifdef Q_OS_WIN
// The Windows program, run from a folder of its own beside the players' files, as the
// authors' zip leaves it: takes the program from there, and takes paths with a drive letter
// and backslashes, names with accents and paths beyond 260 characters.
TEST_F(Pack, WindowsExecutableTakesTheProgramBesideItAndAnyPath) {
    const QString tools = path("Outils Ærø");
    ASSERT_TRUE(QDir().mkpath(tools));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TOLVANE_SEASON_EXE), tools + "/tolvane-season.exe"));
    for (const zipfile::Entry& entry : m_program) {
        if (!entry.name.contains('/'))
            writeAll(tools + '/' + entry.name, entry.data);
    }
    QString deep = path("Saison Zoë");
    while (deep.size() < 300)
        deep += QStringLiteral("/Ordner mit einem langen Namen für Müller");
    ASSERT_TRUE(QDir().mkpath(deep));
    ASSERT_TRUE(QFile::copy(path("season.mdb"), deep + "/Sæson 2009.mdb"));

    QProcess process;
    process.start(tools + "/tolvane-season.exe",
                  {"pack", QDir::toNativeSeparators(deep + "/Sæson 2009.mdb"),
                   QDir::toNativeSeparators(path("fixture.dat")),
                   QDir::toNativeSeparators(deep + "/Sæson für Spieler.zip")});
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_TRUE(out.startsWith(QDir::toNativeSeparators(deep + "/Sæson für Spieler.zip: ")))
        << out.toStdString();
    EXPECT_EQ(names(zipfile::readFile(deep + "/Sæson für Spieler.zip")),
              (QStringList{"seasonStats.mdb", "schedule2009.dat", "tolvane-patch.exe",
                           "tolvane-patch.com", "Restore previous roster.cmd", "README.txt"}));
}
#endif

} // namespace
