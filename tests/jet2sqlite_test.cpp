#include "tools/jetconvert/jet2sqlitetool.h"

#include "db/jet/tabledefinition.h"
#include "support/filesizelimit.h"
#include "support/foldertree.h"
#include "support/jetwriter.h"
#include "support/toolrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolvane;

namespace {

const QString kFixtures = QStringLiteral(TOLVANE_JET_FIXTURES);

ToolResult convert(const QStringList& arguments) {
    return runTool(jet2sqlitetool::run, arguments);
}

class Jet2Sqlite : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

// 1 for an input that is no Access database that can be read, 2 for a usage error or a
// file that cannot be read or written; whatever fails, nothing is written.
TEST_F(Jet2Sqlite, ExitStatusOfEveryFaultAndNothingWritten) {
    const QString season = kFixtures + QStringLiteral("/season-a.mdb");
    ASSERT_TRUE(QFileInfo(season).isFile()) << "the Jet fixtures are missing";
    writeAll(path("text.mdb"), "not a database at all, but long enough to be looked at");
    writeAll(path("sqlite.mdb"), readAll(kFixtures + QStringLiteral("/season-a.sqlite")));
    // The catalogue's page, and every page after it, gone.
    writeAll(path("cut.mdb"), readAll(season).left(2 * 4096));
    writeAll(path("exists.sqlite"), "precious");
    QDir().mkpath(path("folder"));
    const QString out = path("out.sqlite");
    const struct {
        QStringList arguments;
        int status;
    } cases[] = {
        {{}, 2},
        {{season}, 2},
        {{season, out, out}, 2},
        {{"--bogus", season, out}, 2},
        {{path("missing.mdb"), out}, 2},
        {{path("folder"), out}, 2},
        {{season, path("exists.sqlite")}, 2},
        {{season, path("no/such/folder.sqlite")}, 2},
        {{path("text.mdb"), out}, 1},
        {{path("sqlite.mdb"), out}, 1},
        {{path("cut.mdb"), out}, 1},
    };
    const FolderTree before = snapshotTree(m_dir.path());
    for (const auto& c : cases) {
        const std::string what = c.arguments.join(' ').toStdString();
        const ToolResult result = convert(c.arguments);
        EXPECT_EQ(result.status, c.status) << what << "\n" << result.err.toStdString();
        EXPECT_TRUE(result.err.startsWith(QStringLiteral("jet2sqlite: "))) << what;
        EXPECT_TRUE(result.out.isEmpty()) << what;
        EXPECT_EQ(snapshotTree(m_dir.path()), before) << what;
    }

    const ToolResult help = convert({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: jet2sqlite ACCESS_FILE SQLITE_FILE\n")));
    EXPECT_TRUE(help.out.contains(QStringLiteral("Exit status: 0")));
    for (const QString& line : help.out.split(QLatin1Char('\n')))
        EXPECT_LE(line.size(), 80) << line.toStdString();
}

// The columns the copy leaves out are named, one line each, and the copy is made.
TEST_F(Jet2Sqlite, ConvertsAndNamesEachColumnLeftOut) {
    const QString base = kFixtures + QStringLiteral("/season-byte-overall");
    std::vector<jetwriter::TableDef> tables = jetwriter::tablesOf(
        base + QStringLiteral(".sqlite"), jetwriter::columnTypesOf(base + QStringLiteral(".mdb")));
    tables[0].columns.push_back({QStringLiteral("Photos"), jet::Complex});
    for (auto& row : tables[0].rows)
        row.push_back(qint64(row.size()));
    writeAll(path("season.accdb"), jetwriter::writeDatabase(tables, {&jet::kAceFormat, 3}));

    const ToolResult result = convert({path("season.accdb"), path("season.sqlite")});
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.isEmpty());
    const QStringList lines = result.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << result.err.toStdString();
    EXPECT_TRUE(lines[0].startsWith(
        QStringLiteral("jet2sqlite: Left out of table Ratings: column \"Photos\", ")))
        << lines[0].toStdString();
    EXPECT_TRUE(QFileInfo(path("season.sqlite")).isFile());
}

// A disk that fills up while rows are copied is the SQLite file's fault, not the Access
// file's, though it happens as the Access table is read; nothing is left of the copy.
TEST_F(Jet2Sqlite, FullDiskDuringTheCopyIsAFileThatCannotBeWritten) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << kNoFileSizeLimit;
#else
    jetwriter::TableDef table;
    table.name = QStringLiteral("Notes");
    table.columns = {{QStringLiteral("text"), jet::Memo}};
    for (int i = 0; i < 4000; ++i)
        table.rows.push_back({QString(1000, QChar(u'a' + i % 26))});
    writeAll(path("notes.mdb"), jetwriter::writeDatabase({table}, {}));
    const FolderTree before = snapshotTree(m_dir.path());
    ToolResult result{};
    {
        FileSizeLimit full(256 * 1024);
        ASSERT_TRUE(full.ok());
        result = convert({path("notes.mdb"), path("notes.sqlite")});
    }
    EXPECT_EQ(result.status, 2) << result.err.toStdString();
    // One line, though the failure names the Access table's row on a line of its own.
    EXPECT_TRUE(result.err.startsWith(QStringLiteral("jet2sqlite: ") + path("notes.mdb") +
                                      QStringLiteral(" Table Notes, row ")))
        << result.err.toStdString();
    EXPECT_EQ(result.err.count(QLatin1Char('\n')), 1) << result.err.toStdString();
    EXPECT_EQ(snapshotTree(m_dir.path()), before);
#endif
}

} // namespace
