#include "core/foldername.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "run/updaterun.h"
#include "support/filesizelimit.h"
#include "support/foldertree.h"
#include "support/sqlrows.h"
#include "support/testgame.h"
#include "support/toolrun.h"
#include "tools/demo/demofolder.h"
#include "tools/season/csvreader.h"
#include "tools/season/seasontool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>
#include <functional>

using namespace tolvane;

namespace {

const QString kJetFixtures = QStringLiteral(TOLVANE_JET_FIXTURES);

using Result = ToolResult;

Result season(const QStringList& arguments) {
    return runTool(seasontool::run, arguments);
}

// Runs a command that must succeed.
void expectDone(const QStringList& arguments) {
    const Result result = season(arguments);
    EXPECT_EQ(result.status, 0) << arguments.join(' ').toStdString() << "\n"
                                << result.err.toStdString();
}

// A CSV file as records of fields, to change and write out again in another dialect.
struct Sheet {
    std::vector<std::vector<season::CsvField>> rows;

    static Sheet read(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        season::CsvReader reader(file, path);
        Sheet sheet;
        season::CsvRecord record;
        while (reader.next(record)) {
            EXPECT_TRUE(record.problems.isEmpty()) << record.problems.join(' ').toStdString();
            sheet.rows.push_back(record.fields);
        }
        return sheet;
    }

    int column(const QString& name) const {
        for (std::size_t i = 0; i < rows[0].size(); ++i) {
            if (rows[0][i].text == name)
                return int(i);
        }
        ADD_FAILURE() << "no column " << name.toStdString();
        return 0;
    }
    void set(std::size_t row, const QString& name, const QString& text) {
        rows[row][std::size_t(column(name))] = {text, false};
    }

    // How a spreadsheet might save it.
    struct Dialect {
        char separator = ',';
        QByteArray lineEnd = "\r\n";
        bool byteOrderMark = false;
        bool decimalComma = false;
        // Applied to the header's names.
        std::function<QString(const QString&)> rename = {};
        // The fields' order: the i-th field written is the field order[i]; empty for as is.
        std::vector<std::size_t> order = {};
        int trailingEmptyFields = 0;
        int trailingEmptyRows = 0;
    };

    QByteArray write() const { return write(Dialect()); }
    QByteArray write(const Dialect& d) const {
        QByteArray out = d.byteOrderMark ? "\xEF\xBB\xBF" : "";
        std::vector<bool> numeric(rows[0].size());
        for (std::size_t i = 0; i < numeric.size(); ++i) {
            const int r = seasonschema::columnIndex(seasonschema::kRatingsColumns, rows[0][i].text);
            const int q = seasonschema::columnIndex(seasonschema::kQzColumns, rows[0][i].text);
            numeric[i] = (r >= 0 && seasonschema::kRatingsColumns[std::size_t(r)].type !=
                                        seasonschema::ColumnType::Text) ||
                         (q > 0);
        }
        for (std::size_t r = 0; r < rows.size(); ++r) {
            for (std::size_t n = 0; n < rows[r].size(); ++n) {
                const std::size_t i = d.order.empty() ? n : d.order[n];
                if (n > 0)
                    out += d.separator;
                QString text = rows[r][i].text;
                if (r == 0 && d.rename)
                    text = d.rename(text);
                if (r > 0 && d.decimalComma && numeric[i])
                    text.replace(QLatin1Char('.'), QLatin1Char(','));
                const QByteArray bytes = text.toUtf8();
                if (rows[r][i].quoted || bytes.contains(d.separator) || bytes.contains('"') ||
                    bytes.contains('\n') || bytes.contains('\r')) {
                    out += '"' + QByteArray(bytes).replace("\"", "\"\"") + '"';
                } else {
                    out += bytes;
                }
            }
            out += QByteArray(d.trailingEmptyFields, d.separator) + d.lineEnd;
        }
        for (int i = 0; i < d.trailingEmptyRows; ++i)
            out += QByteArray(i % 2 ? 0 : int(rows[0].size()), d.separator) + d.lineEnd;
        return out;
    }
};

// Every value of a table, typed as the database holds it, row by row in table order, by
// the given columns' names: what a season's rows are, whatever the order of its columns.
std::vector<QStringList> values(const QString& path, QLatin1String table,
                                const QStringList& columns) {
    SeasonDatabase db(path);
    QStringList quoted;
    for (const QString& column : columns)
        quoted << seasonschema::quotedName(column);
    std::vector<QStringList> rows;
    for (const QVariantList& values :
         queryRows(db.sqlite(), QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                                    .arg(quoted.join(QLatin1Char(',')), table))) {
        QStringList row;
        for (int c = 0; c < columns.size(); ++c) {
            const QVariant& v = values[c];
            if (v.isNull())
                row << QStringLiteral("NULL");
            else if (v.typeId() == QMetaType::Double)
                row << QStringLiteral("real %1").arg(std::bit_cast<quint64>(v.toDouble()), 0, 16);
            else
                row << QStringLiteral("%1 %2").arg(QLatin1String(v.typeName()), v.toString());
        }
        rows.push_back(row);
    }
    return rows;
}

QStringList names(std::span<const seasonschema::Column> columns) {
    QStringList list;
    for (const seasonschema::Column& column : columns)
        list << column.name;
    return list;
}

// The roster slot an update run makes from a season, but for its copy of the database.
FolderTree slotOf(const QString& seasonPath) {
    TestGame game;
    QFile::remove(game.dbPath());
    writeAll(game.dbPath(), readAll(seasonPath));
    EXPECT_EQ(game.runUpdate(), "Import Complete!") << seasonPath.toStdString();
    FolderTree slot = snapshotTree(game.slot());
    slot.erase(QStringLiteral("seasonStats.mdb"));
    return slot;
}

// A season with what spreadsheets trip over: texts with commas, quotes and line breaks, a
// zero-length text, no value, reals, a time of day, and a column of its own.
void writeAwkwardSeason(const QString& path) {
    demo::SeasonBuilder builder(path);
    builder.exec(QStringLiteral("ALTER TABLE Ratings ADD COLUMN Notes TEXT"));
    QVariantMap sam{{"Town", "Port\nLincoln"}, {"State", QStringLiteral("")},
                    {"crumbs", QVariant()},    {"DOB", "1985-06-15 12:30:00"},
                    {"Height", 180.5},         {"kickMax", 0.1},
                    {"Salary", 1e15}};
    builder.addPlayer("Cats", "Sam O'Brien, Jr", sam);
    builder.addPlayer("Cats", "Ann \"Red\" Lee", {{"Town", "Saint-Étienne\r\nNord"}});
    builder.addPlayer("Dogs", "Eli Jones");
    builder.exec(QStringLiteral("UPDATE Ratings SET Notes = 'said \"hi\"; left' WHERE rowid = 1"));
    builder.addQz("Sam O'Brien, Jr", {84.2, 66.5, 81.7, 89.7, 95.9, 77.7, 60.5, 81});
    builder.addQz("Eli Jones", {0.1, 1e-7, 3.140000104904175, 90, 90, 90, 90, 90});
}

class Season : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

// Export, import and export again: the same bytes; and the imported season makes the same
// roster slot as the one it was exported from, for generated seasons and Access files.
TEST_F(Season, RoundTripGivesTheSameBytesAndTheSameSlot) {
    demo::Options options;
    options.teams = 3;
    options.playersPerTeam = 12;
    demo::writeSeasonDatabase(path("demo.mdb"), options);
    writeAwkwardSeason(path("awkward.mdb"));
    for (const QString& original :
         {path("demo.mdb"), path("awkward.mdb"), kJetFixtures + QStringLiteral("/season-a.mdb"),
          kJetFixtures + QStringLiteral("/season-b.mdb")}) {
        SCOPED_TRACE(original.toStdString());
        const QString name = QFileInfo(original).baseName();
        expectDone({"export", original, path(name + "-1")});
        expectDone({"import", path(name + "-1"), path(name + ".sqlite")});
        expectDone({"export", path(name + ".sqlite"), path(name + "-2")});
        for (const QString csv : {"/Ratings.csv", "/qz.csv"})
            EXPECT_EQ(readAll(path(name + "-2") + csv), readAll(path(name + "-1") + csv))
                << csv.toStdString();
        EXPECT_EQ(slotOf(path(name + ".sqlite")), slotOf(original));
    }
    const QByteArray awkward = readAll(path("awkward-1/Ratings.csv"));
    EXPECT_TRUE(awkward.startsWith("\xEF\xBB\xBF"
                                   "team,Name,Height"));
    EXPECT_TRUE(awkward.contains("\r\nCats,\"Sam O'Brien, Jr\",180.5,85,1985-06-15 12:30:00,"));
    EXPECT_TRUE(awkward.contains(",1e+15,"));
    EXPECT_TRUE(awkward.contains(",0.1,60,")) << "kickMax, then an empty crumbs";
    EXPECT_TRUE(awkward.contains(",\"\",\"Port\nLincoln\","));
    EXPECT_TRUE(awkward.contains(",\"said \"\"hi\"\"; left\"\r\n"));
    EXPECT_TRUE(readAll(path("awkward-1/qz.csv"))
                    .contains("\r\nEli Jones,0.1,1e-07,3.140000104904175,90,"));
}

// What spreadsheets write: a byte-order mark or none, ';' with decimal commas, LF or CR
// line ends, columns reordered and renamed in other letter cases, empty columns and rows at
// the end. Each gives the season's values, typed as they were.
TEST_F(Season, SpreadsheetDialectsGiveTheSameValues) {
    writeAwkwardSeason(path("awkward.mdb"));
    expectDone({"export", path("awkward.mdb"), path("csv")});
    const Sheet ratings = Sheet::read(path("csv/Ratings.csv"));
    const Sheet qz = Sheet::read(path("csv/qz.csv"));
    const auto reversed = [](const Sheet& sheet) {
        std::vector<std::size_t> order(sheet.rows[0].size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = order.size() - 1 - i;
        return order;
    };
    const auto upper = [](const QString& s) { return s.toUpper(); };
    const struct {
        const char* name;
        Sheet::Dialect ratings;
        Sheet::Dialect qz;
    } dialects[] = {
        {"European",
         {.separator = ';',
          .byteOrderMark = true,
          .decimalComma = true,
          .trailingEmptyFields = 3,
          .trailingEmptyRows = 2},
         {.separator = ';', .byteOrderMark = true, .decimalComma = true, .trailingEmptyRows = 1}},
        {"reordered",
         {.lineEnd = "\n", .rename = upper, .order = reversed(ratings), .trailingEmptyRows = 1},
         {.lineEnd = "\n", .rename = upper, .order = reversed(qz)}},
        {"old Mac", {.lineEnd = "\r"}, {.lineEnd = "\r", .trailingEmptyFields = 2}},
    };
    const QStringList ratingsColumns = names(seasonschema::kRatingsColumns) << "Notes";
    const QStringList qzColumns = names(seasonschema::kQzColumns);
    for (const auto& dialect : dialects) {
        SCOPED_TRACE(dialect.name);
        const QString folder = path(dialect.name);
        QDir().mkpath(folder);
        writeAll(folder + "/Ratings.csv", ratings.write(dialect.ratings));
        writeAll(folder + "/qz.csv", qz.write(dialect.qz));
        const QString imported = folder + ".sqlite";
        expectDone({"import", folder, imported});
        EXPECT_EQ(values(imported, seasonschema::kRatingsTable, ratingsColumns),
                  values(path("awkward.mdb"), seasonschema::kRatingsTable, ratingsColumns));
        EXPECT_EQ(values(imported, seasonschema::kQzTable, qzColumns),
                  values(path("awkward.mdb"), seasonschema::kQzTable, qzColumns));
    }
}

// Every problem by file, line and column, as the update's check words it; and nothing is
// written, not even a temporary file.
TEST_F(Season, ProblemsAreListedByFileLineAndColumnAndNothingIsWritten) {
    writeAwkwardSeason(path("awkward.mdb"));
    expectDone({"export", path("awkward.mdb"), path("csv")});
    Sheet ratings = Sheet::read(path("csv/Ratings.csv"));
    Sheet qz = Sheet::read(path("csv/qz.csv"));
    // Line 2: Sam, whose Town's line break puts Ann on line 4; Ann on 4 and 5; Eli on 6.
    ratings.set(1, "DOB", "15/06/1985");
    ratings.set(1, "Speed", "fast");
    ratings.rows[2][std::size_t(ratings.column("Height"))] = {"180,5", true};
    ratings.set(3, "Name", "Madonna");
    ratings.set(3, "team", "a/b");
    // Line 7: ratings that sum beyond a 16-bit integer; line 8: a short row.
    ratings.rows.push_back(ratings.rows[3]);
    ratings.set(4, "Name", "Big Sum");
    ratings.set(4, "team", "Dogs");
    for (const seasonschema::RatingsColumn c : seasonschema::kOverallPointColumns)
        ratings.set(4, seasonschema::kRatingsColumns[c].name, "2000");
    ratings.rows.push_back({{"Dogs", false}, {"Short Row", false}, {"180", false}});
    // qz: a row no player has and a second row of Sam's name may hold anything, as the
    // update never reads them; the row Sam's name finds may not. A note with a line break
    // moves Sam's row to line 4.
    qz.rows[0].push_back({"note", false});
    qz.rows.insert(qz.rows.begin() + 1, qz.rows[1]);
    qz.rows[1][0].text = "Nobody Here";
    qz.rows.push_back(qz.rows[2]);
    for (auto row = qz.rows.begin() + 1; row != qz.rows.end(); ++row)
        row->push_back({QString(), false});
    qz.rows[1].back().text = "two\nlines";
    qz.set(1, "b", "x");
    qz.set(2, "c", "");
    qz.set(4, "c", "y");
    QDir().mkpath(path("bad"));
    writeAll(path("bad/Ratings.csv"), ratings.write());
    writeAll(path("bad/qz.csv"), qz.write() + "Zed,\"1");

    const QString target = path("season.mdb");
    const FolderTree before = snapshotTree(m_dir.path());
    const Result result = season({"import", path("bad"), target});
    EXPECT_EQ(result.status, 1);
    const QString r = QDir::toNativeSeparators(path("bad/Ratings.csv"));
    const QString q = QDir::toNativeSeparators(path("bad/qz.csv"));
    const QStringList expected{
        r + ":2: DOB: '15/06/1985' is not a date of the form YYYY-MM-DD or YYYY-MM-DD HH:MM:SS",
        r + ":2: Speed: 'fast' is not a number",
        r + ":4: Height: '180,5' has a decimal comma; in a file separated by commas a number "
            "takes a decimal point (180.5)",
        r + ":6: Name: The name has no blank after its first character, so it cannot be split "
            "into first and last name.",
        r + ":6: team: " + folderNameProblem("a/b"),
        r + ":7: overall points (the sum of 22 ratings): 44000 is outside the range -32768 to "
            "32767",
        r + ":8: the row has 3 fields, but the first line names 60 columns",
        q + ":7: the quoted field that starts on line 7 has no closing quote",
        q + ":7: the row has 2 fields, but the first line names 10 columns",
        q + ":4: c: holds no value",
        "tolvane-season: 10 problems; " + QDir::toNativeSeparators(target) + " was not written",
        "",
    };
    EXPECT_EQ(result.err.split('\n'), expected);
    EXPECT_EQ(snapshotTree(m_dir.path()), before);

    // A first line that lacks a column or names one twice, and a file in UTF-16.
    ratings.rows[0][std::size_t(ratings.column("Speed"))].text = "NAME";
    writeAll(path("bad/Ratings.csv"), ratings.write());
    writeAll(path("bad/qz.csv"), QByteArray("\xFF\xFEn\0a\0m\0e\0", 10));
    const QStringList err = season({"import", path("bad"), target}).err.split('\n');
    for (const QString& line :
         {r + ":1: NAME: the first line names this column twice (fields 2 and 19)",
          r + ":1: Speed: the first line names no such column",
          q + ":1: the file is in UTF-16; save it as CSV in UTF-8"})
        EXPECT_TRUE(err.contains(line)) << line.toStdString();
}

// new, then export: the two files of header rows alone, with every column of the reference
// schema typed as the update reads it.
TEST_F(Season, NewSeasonHasEveryColumnTypedAndNoRows) {
    expectDone({"new", path("new.mdb")});
    {
        SeasonDatabase db(path("new.mdb"));
        const SqlRows types =
            queryRows(db.sqlite(), "SELECT type FROM pragma_table_info('Ratings') ORDER BY cid");
        ASSERT_EQ(types.size(), qsizetype(seasonschema::kRatingsColumns.size()));
        for (std::size_t c = 0; c < seasonschema::kRatingsColumns.size(); ++c) {
            const seasonschema::Column& column = seasonschema::kRatingsColumns[c];
            EXPECT_EQ(types[qsizetype(c)].front().toString(),
                      column.type == seasonschema::ColumnType::Text      ? "TEXT"
                      : column.type == seasonschema::ColumnType::Integer ? "INTEGER"
                                                                         : "REAL")
                << column.name.data();
        }
        EXPECT_EQ(db.scalar("SELECT count(*) FROM Ratings") + db.scalar("SELECT count(*) FROM qz"),
                  0);
    }
    expectDone({"export", path("new.mdb"), path("csv")});
    EXPECT_EQ(readAll(path("csv/qz.csv")), "\xEF\xBB\xBF"
                                           "name,b,bf,c,f,ff,r,k,nk\r\n");
    EXPECT_EQ(readAll(path("csv/Ratings.csv")),
              "\xEF\xBB\xBF" + names(seasonschema::kRatingsColumns).join(',').toUtf8() + "\r\n");
}

TEST_F(Season, ExitStatusOfEveryCommandAndNoFileReplaced) {
    writeAll(path("exists.mdb"), "precious");
    writeAll(path("text.mdb"), "not a database at all, but long enough to be looked at");
    expectDone({"new", path("good.mdb")});
    QDir().mkpath(path("half"));
    writeAll(path("half/qz.csv"), "precious");
    QDir().mkpath(path("noqz"));
    writeAll(path("noqz/Ratings.csv"), "team\r\n");
    const struct {
        QStringList arguments;
        int status;
    } cases[] = {
        {{}, 2},
        {{"frob"}, 2},
        {{"new"}, 2},
        {{"new", path("exists.mdb")}, 2},
        {{"new", path("no/such/folder.mdb")}, 2},
        {{"export", path("good.mdb")}, 2},
        {{"export", path("missing.mdb"), path("out")}, 2},
        {{"export", m_dir.path(), path("out")}, 2},
        {{"export", path("good.mdb"), path("exists.mdb")}, 2},
        {{"export", path("good.mdb"), path("half")}, 2},
        {{"export", path("text.mdb"), path("out")}, 1},
        {{"import", path("half")}, 2},
        {{"import", path("nothere"), path("x.mdb")}, 2},
        {{"import", path("noqz"), path("x.mdb")}, 2},
        {{"import", path("half"), path("exists.mdb")}, 2},
        {{"import", "--bogus", path("half"), path("x.mdb")}, 2},
    };
    const FolderTree before = snapshotTree(m_dir.path());
    for (const auto& c : cases) {
        const Result result = season(c.arguments);
        const std::string what = c.arguments.join(' ').toStdString();
        EXPECT_EQ(result.status, c.status) << what << "\n" << result.err.toStdString();
        EXPECT_FALSE(result.err.isEmpty()) << what;
        EXPECT_TRUE(result.out.isEmpty()) << what;
        EXPECT_EQ(snapshotTree(m_dir.path()), before) << what;
    }
    // In lines that a terminal of 80 columns shows whole.
    for (const QString& line : expectHelp(seasontool::run, "tolvane-season",
                                          {"new", "export", "import", "pack", "report"}))
        EXPECT_LE(line.size(), 80) << line.toStdString();
}

// A disk that fills up on the way: an export leaves no file and not the folder it made, an
// import no season, and neither a temporary file.
TEST_F(Season, FullDiskLeavesNothingBehind) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << kNoFileSizeLimit;
#else
    demo::Options options;
    options.teams = 2;
    options.playersPerTeam = 40;
    demo::writeSeasonDatabase(path("demo.mdb"), options);
    expectDone({"export", path("demo.mdb"), path("csv")});
    const FolderTree before = snapshotTree(m_dir.path());
    const auto limit = static_cast<rlim_t>(QFileInfo(path("csv/Ratings.csv")).size() / 2);
    for (const QStringList& arguments : {QStringList{"export", path("demo.mdb"), path("out")},
                                         QStringList{"import", path("csv"), path("season.mdb")}}) {
        Result result{};
        {
            FileSizeLimit full(limit);
            ASSERT_TRUE(full.ok());
            result = season(arguments);
        }
        EXPECT_EQ(result.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(result.err.contains("File too large") || result.err.contains("disk"))
            << result.err.toStdString();
        EXPECT_EQ(snapshotTree(m_dir.path()), before) << arguments.join(' ').toStdString();
    }
#endif
}

// The executable itself: problems on standard error, one a line, and the exit status.
TEST_F(Season, ExecutableReportsAndExits) {
    expectDone({"export", kJetFixtures + QStringLiteral("/season-a.mdb"), path("csv")});
    QByteArray qz = readAll(path("csv/qz.csv"));
    writeAll(path("csv/qz.csv"), qz.replace("\r\nEli Jones,", "\r\nEli Jones,x"));
    QProcess process;
    process.start(TOLVANE_SEASON_EXE, {"import", path("csv"), path("season.mdb")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(err.contains(QRegularExpression("qz.csv:\\d+: b: 'x[0-9.]+' is not a number\n")))
        << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path("season.mdb")));
}

} // namespace
