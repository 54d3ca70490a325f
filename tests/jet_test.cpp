#include "conversion/qztable.h"
#include "core/patcherror.h"
#include "db/jetfile.h"
#include "db/jetimport.h"
#include "db/jetwriteback.h"
#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "db/sqliteconnection.h"
#include "run/updaterun.h"
#include "support/foldertree.h"
#include "support/gamefolder.h"
#include "support/jetedit.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>

using namespace tolvane;

namespace {

const QString kFixtures = QStringLiteral(TOLVANE_JET_FIXTURES);

// The fixtures are part of the repository: a missing one is a failure, never a skip.
#define REQUIRE_FIXTURES()                                                                         \
    ASSERT_TRUE(QFileInfo(kFixtures + QStringLiteral("/season-a.mdb")).isFile())                   \
        << "The Jet fixtures are missing from " << kFixtures.toStdString()

QString fixture(const QString& name) {
    return kFixtures + QLatin1Char('/') + name;
}

// The fixtures are read-only; a game folder gets a writable copy.
void install(GameFolder& game, const QString& name) {
    QFile::remove(game.dbPath());
    writeAll(game.dbPath(), readAll(fixture(name)));
}

// A table as text: the column names, then one record per row, NULL as an empty field.
std::vector<QStringList> tableText(const QString& path, const QString& name) {
    const std::optional<jet::Table> table = jet::Reader(path).readTable(name);
    if (!table) {
        ADD_FAILURE() << "no table " << name.toStdString() << " in " << path.toStdString();
        return {};
    }
    std::vector<QStringList> records(1);
    for (const jet::Column& column : table->columns)
        records[0] << column.name;
    for (const std::vector<QVariant>& row : table->rows) {
        QStringList record;
        for (const QVariant& value : row)
            record << value.toString();
        records.push_back(record);
    }
    return records;
}

std::vector<qint64> overallColumn(const QString& path) {
    SeasonDatabase db(path);
    Recordset rows(db, QStringLiteral("SELECT overall FROM Ratings ORDER BY rowid"));
    std::vector<qint64> values;
    for (; !rows.eof(); rows.moveNext())
        values.push_back(rows.value(0).toLongLong());
    return values;
}

FolderTree slotWithoutDatabase(const GameFolder& game) {
    FolderTree tree = snapshotTree(game.slot());
    tree.erase(QStringLiteral("seasonStats.mdb"));
    return tree;
}

struct JetRun {
    const char* jet;  // NAME.mdb
    const char* twin; // NAME.sqlite, whose run it must match
};

void PrintTo(const JetRun& run, std::ostream* out) {
    *out << run.jet << ".mdb against " << run.twin << ".sqlite";
}

class JetRunTest : public testing::TestWithParam<JetRun> {};

TEST_P(JetRunTest, MatchesTheSqliteTwinAndWritesOnlyOverall) {
    REQUIRE_FIXTURES();
    const QString jetFile = QString::fromLatin1(GetParam().jet) + QStringLiteral(".mdb");
    GameFolder jetGame;
    GameFolder twinGame;
    install(jetGame, jetFile);
    install(twinGame, QString::fromLatin1(GetParam().twin) + QStringLiteral(".sqlite"));
    const std::vector<QStringList> before = tableText(jetGame.dbPath(), QStringLiteral("Ratings"));

    ASSERT_EQ(twinGame.runUpdate(), "Import Complete!");
    ASSERT_EQ(jetGame.runUpdate(), "Import Complete!");

    const FolderTree jetSlot = slotWithoutDatabase(jetGame);
    const FolderTree twinSlot = slotWithoutDatabase(twinGame);
    ASSERT_GT(jetSlot.size(), 10u);
    for (const auto& [path, bytes] : twinSlot) {
        const auto found = jetSlot.find(path);
        ASSERT_NE(found, jetSlot.end()) << path.toStdString();
        EXPECT_EQ(found->second, bytes) << path.toStdString();
    }
    EXPECT_EQ(jetSlot.size(), twinSlot.size());
    EXPECT_EQ(readAll(jetGame.slot() + QStringLiteral("/seasonStats.mdb")),
              readAll(fixture(jetFile)));

    const std::vector<qint64> recomputed = overallColumn(twinGame.dbPath());
    const std::vector<QStringList> after = tableText(jetGame.dbPath(), QStringLiteral("Ratings"));
    ASSERT_EQ(after.size(), before.size());
    ASSERT_EQ(after.size(), recomputed.size() + 1);
    const qsizetype overall = after[0].indexOf(QStringLiteral("overall"));
    ASSERT_GE(overall, 0);
    EXPECT_EQ(after[0], before[0]);
    int changed = 0;
    for (std::size_t r = 1; r < after.size(); ++r) {
        ASSERT_EQ(after[r].size(), before[r].size()) << "row " << r;
        for (qsizetype c = 0; c < after[r].size(); ++c) {
            if (c == overall)
                EXPECT_EQ(after[r][c], QString::number(recomputed[r - 1])) << "row " << r;
            else
                EXPECT_EQ(after[r][c], before[r][c]) << "row " << r << ", " << c;
        }
        changed += after[r][overall] != before[r][overall];
    }
    EXPECT_GT(changed, 0);

    // A second run reads back what the first wrote and finds nothing left to change.
    const QByteArray written = readAll(jetGame.dbPath());
    ASSERT_EQ(jetGame.runUpdate(), "Import Complete!");
    EXPECT_EQ(readAll(jetGame.dbPath()), written);
    EXPECT_EQ(slotWithoutDatabase(jetGame), jetSlot);
    EXPECT_EQ(QDir(jetGame.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"schedule2009.dat", "seasonStats.mdb"}));
}

// season-qz-case.mdb is season-a.mdb with two qz names retyped in another letter case: the
// Jet file still finds them, so its run gives what season-a.sqlite gives.
INSTANTIATE_TEST_SUITE_P(Fixtures, JetRunTest,
                         testing::Values(JetRun{"season-a", "season-a"},
                                         JetRun{"season-b", "season-b"},
                                         JetRun{"season-byte-overall", "season-byte-overall"},
                                         JetRun{"season-qz-case", "season-a"}),
                         [](const auto& info) {
                             QString name = QString::fromLatin1(info.param.jet);
                             return name.remove(QLatin1Char('-')).toStdString();
                         });

QStringList column(SeasonDatabase& db, const QString& sql) {
    Recordset rows(db, sql);
    QStringList values;
    for (; !rows.eof(); rows.moveNext())
        values << rows.value(0).toString();
    return values;
}

// The same season in both forms: the Jet file's texts compare without regard to letter
// case (accents stay distinct), its SQLite twin's exactly.
TEST(JetText, IgnoresLetterCaseWhereSqliteComparesExactly) {
    REQUIRE_FIXTURES();
    for (const bool jet : {true, false}) {
        SCOPED_TRACE(jet ? "Jet" : "SQLite");
        GameFolder game;
        install(game, jet ? QStringLiteral("season-qz-case.mdb")
                          : QStringLiteral("season-qz-case.sqlite"));
        SeasonDatabase db(game.dbPath());

        // qz holds "ELI JONES", then "sam jones" ahead of two rows "Sam Jones", and
        // "Zoë Łukasz". A Jet file finds a name in any letter case, but prefers the row
        // spelled as the player; an SQLite file finds only that one.
        QzTable qz(db);
        EXPECT_TRUE(qz.inMemory());
        const std::pair<const char*, double> expected[] = {
            {"Eli Jones", jet ? 72.57 : 0},
            {"eli jones", jet ? 72.57 : 0},
            {"Sam Jones", 76.0},
            {"sam jones", 25.0},
            {"SAM JONES", jet ? 25.0 : 0},
            {"ZOË łUKASZ", jet ? 15.6 : 0},
            {"Zoe Łukasz", 0},
            {"Zoë Łukasz", 15.6},
            {"Sam  Jones", 0},
        };
        for (const auto& [name, b] : expected) {
            SCOPED_TRACE(name);
            const QzTable::Values* found = qz.find(QString::fromUtf8(name));
            if (b == 0) {
                EXPECT_EQ(found, nullptr);
                continue;
            }
            ASSERT_NE(found, nullptr);
            EXPECT_EQ((*found)[0].toDouble(), b);
        }

        // The run's list of teams and the player pass's order fold letter case likewise.
        db.exec(QStringLiteral("DELETE FROM Ratings"));
        for (const char* team : {"Zebra", "cats", "apple", "Cats", "ZOË", "Zoe", "zoë"})
            db.exec(QStringLiteral("INSERT INTO Ratings (Team) VALUES ('%1')")
                        .arg(QString::fromUtf8(team)));
        const QStringList teams =
            column(db, QStringLiteral("SELECT Distinct Ratings.Team FROM Ratings"));
        EXPECT_EQ(teams.size(), jet ? 5 : 7) << teams.join(',').toStdString();
        const QStringList order = column(db, QStringLiteral("SELECT team From Ratings order by "
                                                            "team, rowid"));
        EXPECT_EQ(order,
                  jet ? QStringList({"apple", "cats", "Cats", "Zebra", "Zoe", "ZOË", "zoë"})
                      : QStringList({"Cats", "ZOË", "Zebra", "Zoe", "apple", "cats", "zoë"}));
    }
}

TEST(JetRefusal, StopsBeforeAnythingIsWritten) {
    REQUIRE_FIXTURES();
    struct Case {
        const char* file;
        bool lockFile;
        QStringList expected;
        QStringList absent;
    };
    const Case cases[] = {
        {"season-overall-indexed.mdb",
         false,
         {"\"overall\" is part of the index \"ix_ratings_overall\"", "SQLite"},
         {"ix_qz_name"}},
        {"season-no-qz.mdb", false, {"no table qz"}, {}},
        {"season-a.mdb", true, {"seasonStats.ldb", "Access", "SQLite"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        GameFolder game;
        install(game, QString::fromLatin1(c.file));
        if (c.lockFile)
            writeAll(game.file(QStringLiteral("seasonStats.ldb")), "lock");
        const FolderTree before = snapshotTree(game.path());
        const QString message = game.runUpdate();
        for (const QString& fragment : c.expected)
            EXPECT_TRUE(message.contains(fragment)) << message.toStdString();
        for (const QString& fragment : c.absent)
            EXPECT_FALSE(message.contains(fragment)) << message.toStdString();
        EXPECT_EQ(snapshotTree(game.path()), before);
    }
}

// A writable copy of a fixture in a folder of its own, and its Ratings as read.
struct WriteTarget {
    explicit WriteTarget(const QString& name) {
        writeAll(path(), readAll(fixture(name)));
        ratings = *jet::Reader(path()).readTable(QStringLiteral("Ratings"));
    }
    QString path() const { return dir.filePath(QStringLiteral("seasonStats.mdb")); }
    std::vector<jet::CellChange> everyRow(qint64 value) const {
        std::vector<jet::CellChange> changes;
        for (std::size_t r = 0; r < ratings.rows.size(); ++r)
            changes.push_back({r, value});
        return changes;
    }
    QTemporaryDir dir;
    jet::Table ratings;
};

TEST(JetWriteBack, FailuresLeaveTheFileByteIdentical) {
    REQUIRE_FIXTURES();
    const QString overall = QStringLiteral("overall");
    for (const jet::WriteStep step : {jet::WriteStep::CopyWritten, jet::WriteStep::CopyVerified}) {
        WriteTarget target(QStringLiteral("season-a.mdb"));
        const QByteArray original = readAll(target.path());
        const auto fault = [step](jet::WriteStep at) {
            if (at == step)
                throw std::runtime_error("injected fault");
        };
        EXPECT_THROW(
            jet::writeInPlace(target.path(), target.ratings, overall, target.everyRow(77), fault),
            std::runtime_error);
        EXPECT_EQ(readAll(target.path()), original);
        EXPECT_EQ(QDir(target.dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"seasonStats.mdb"});
    }

    // A value the Byte column cannot hold is refused before the copy is made.
    WriteTarget bytes(QStringLiteral("season-byte-overall.mdb"));
    const QByteArray original = readAll(bytes.path());
    for (const qint64 value : {256, -1}) {
        std::vector<jet::CellChange> changes = bytes.everyRow(50);
        changes.back().value = value;
        EXPECT_THROW(jet::writeInPlace(bytes.path(), bytes.ratings, overall, changes), PatchError);
        EXPECT_EQ(readAll(bytes.path()), original);
    }

    // Another program changed the file after it was read: the stale read must not win.
    jet::writeInPlace(bytes.path(), bytes.ratings, overall, bytes.everyRow(99));
    const QByteArray written = readAll(bytes.path());
    EXPECT_NE(written, original);
    EXPECT_THROW(jet::writeInPlace(bytes.path(), bytes.ratings, overall, bytes.everyRow(12)),
                 PatchError);
    EXPECT_EQ(readAll(bytes.path()), written);
}

// Clears a row's null-mask bit of a column, making its value NULL.
void makeNull(QByteArray& file, const jet::Table& table, std::size_t row, std::uint16_t column) {
    const auto u16 = [&](qsizetype at) {
        return static_cast<std::uint16_t>(static_cast<std::uint8_t>(file[at]) |
                                          (static_cast<std::uint8_t>(file[at + 1]) << 8));
    };
    const jet::RowLocation at = table.locations[row];
    const qsizetype page = static_cast<qsizetype>(at.page) * jet::kPageSize;
    const qsizetype start = u16(page + 14 + 2 * at.slot) & 0x1fff;
    const qsizetype end = at.slot == 0 ? jet::kPageSize : u16(page + 12 + 2 * at.slot) & 0x1fff;
    const qsizetype mask = (u16(page + start) + 7) / 8;
    file[page + end - mask + column / 8] =
        static_cast<char>(file[page + end - mask + column / 8] & ~(1 << (column % 8)));
}

TEST(JetWriteBack, NullOverallGetsItsNullBitSet) {
    REQUIRE_FIXTURES();
    WriteTarget target(QStringLiteral("season-b.mdb"));
    const int column = target.ratings.columnIndex(QStringLiteral("overall"));
    QByteArray file = readAll(target.path());
    makeNull(file, target.ratings, 3, target.ratings.columns[column].number);
    writeAll(target.path(), file);
    jet::Table ratings = *jet::Reader(target.path()).readTable(QStringLiteral("Ratings"));
    ASSERT_TRUE(ratings.rows[3][column].isNull());

    jet::writeInPlace(target.path(), ratings, QStringLiteral("overall"), {{3, 42}});
    const std::vector<QStringList> rows = tableText(target.path(), QStringLiteral("Ratings"));
    ASSERT_GT(rows.size(), 4u);
    EXPECT_EQ(rows[4][rows[0].indexOf(QStringLiteral("overall"))], "42");
}

TEST(JetFormat, IsToldByTheFirstBytes) {
    REQUIRE_FIXTURES();
    struct Case {
        const char* label;
        std::function<void(QByteArray&)> patch;
        DatabaseFormat format;
        const char* message; // empty when the file opens
    };
    const Case cases[] = {
        {"Jet4", [](QByteArray&) {}, DatabaseFormat::Jet4, ""},
        {"Jet3", [](QByteArray& b) { b[0x14] = 0; }, DatabaseFormat::Jet3, "Jet 3 database"},
        {"Ace",
         [](QByteArray& b) {
             b.replace(4, 15, "Standard ACE DB");
             b[0x14] = 2;
         },
         DatabaseFormat::Ace, "ACE database"},
        {"Sqlite", [](QByteArray& b) { b = readAll(fixture("season-a.sqlite")); },
         DatabaseFormat::Sqlite, ""},
        {"Encoded", [](QByteArray& b) { b[0x3e] = static_cast<char>(b[0x3e] ^ 0x5a); },
         DatabaseFormat::Jet4Encoded, "encoded (encrypted) Microsoft Jet 4 database"},
        {"OtherJetVersion", [](QByteArray& b) { b[0x14] = 9; }, DatabaseFormat::Unknown,
         "not an SQLite database"},
        {"Empty", [](QByteArray& b) { b.clear(); }, DatabaseFormat::Unknown,
         "not an SQLite database"},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        QByteArray bytes = readAll(fixture("season-a.mdb"));
        c.patch(bytes);
        // The name says nothing: every case is called .mdb.
        const QString path = dir.filePath(QString::fromLatin1(c.label) + ".mdb");
        writeAll(path, bytes);
        EXPECT_EQ(detectDatabaseFormat(path), c.format);
        if (*c.message == '\0') {
            SeasonDatabase db(path);
            EXPECT_EQ(db.scalar(QStringLiteral("SELECT COUNT(*) FROM Ratings")), 80);
            continue;
        }
        try {
            SeasonDatabase db(path);
            ADD_FAILURE() << "opened";
        } catch (const PatchError& e) {
            EXPECT_TRUE(e.cause().contains(QLatin1String(c.message))) << e.message().toStdString();
        }
    }
}

// Every cell of a table as "storage class:value", floating values to all 17 digits.
std::vector<QStringList> typedCells(const QString& path, const QString& table) {
    const QString connection = QStringLiteral("typed-cells");
    std::vector<QStringList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
        QSqlQuery columns(db);
        columns.exec(QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(table));
        QStringList select;
        while (columns.next())
            select << QStringLiteral("typeof(\"%1\"), \"%1\"").arg(columns.value(0).toString());
        QSqlQuery query(db);
        if (!select.isEmpty())
            query.exec(QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY rowid")
                           .arg(select.join(QStringLiteral(", ")), table));
        while (query.isActive() && query.next()) {
            QStringList row;
            for (int i = 0; i + 1 < query.record().count(); i += 2) {
                const QVariant v = query.value(i + 1);
                row << query.value(i).toString() + QLatin1Char(':') +
                           (v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 17)
                                                            : v.toString());
            }
            rows.push_back(row);
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return rows;
}

TEST(JetConversion, GivesTheTwinCellForCell) {
    REQUIRE_FIXTURES();
    QTemporaryDir dir;
    for (const char* name : {"season-a", "season-b", "season-byte-overall", "season-no-qz",
                             "season-overall-indexed"}) {
        SCOPED_TRACE(name);
        const QString converted = dir.filePath(QString::fromLatin1(name) + ".sqlite");
        jet::convertJetToSqlite(fixture(QString::fromLatin1(name) + ".mdb"), converted);
        const QString twin = fixture(QString::fromLatin1(name) + ".sqlite");
        EXPECT_GE(typedCells(converted, QStringLiteral("Ratings")).size(), 15u);
        for (const QString& table : {QStringLiteral("Ratings"), QStringLiteral("qz")})
            EXPECT_EQ(typedCells(converted, table), typedCells(twin, table)) << table.toStdString();
        EXPECT_THROW(
            jet::convertJetToSqlite(fixture(QString::fromLatin1(name) + ".mdb"), converted),
            PatchError);
    }
}

// The Ratings of season-a as stored, and the row whose memo "Notes" is the longest.
struct Season {
    Season()
        : file(readAll(fixture(QStringLiteral("season-a.mdb"))))
        , ratings(*jet::Reader(QStringLiteral("season-a.mdb"), file)
                       .readTable(QStringLiteral("Ratings"))) {
        const int notes = ratings.columnIndex(QStringLiteral("Notes"));
        for (std::size_t r = 0; r < ratings.rows.size(); ++r) {
            if (ratings.rows[r][notes].toString().size() >
                ratings.rows[memoRow][notes].toString().size())
                memoRow = r;
        }
    }
    QByteArray file;
    jet::Table ratings;
    std::size_t memoRow = 0;
};

jet::Table readRatings(const QByteArray& file) {
    return *jet::Reader(QStringLiteral("edited.mdb"), file).readTable(QStringLiteral("Ratings"));
}

TEST(JetReader, ReadsMovedRowsLongValuePagesAndInlineUsageMaps) {
    REQUIRE_FIXTURES();
    const Season season;
    ASSERT_GE(season.ratings.rows[season.memoRow][59].toString().size(), 10);
    const std::pair<const char*, std::function<void(QByteArray&)>> layouts[] = {
        {"moved rows",
         [&](QByteArray& f) {
             for (const std::size_t row : {std::size_t(0), std::size_t(17), season.memoRow})
                 jetedit::moveRow(f, season.ratings, row);
         }},
        {"memo in one long-value row",
         [&](QByteArray& f) {
             jetedit::moveMemo(f, season.ratings, season.memoRow, "Notes", false);
         }},
        {"memo in a chain of long-value rows",
         [&](QByteArray& f) {
             jetedit::moveMemo(f, season.ratings, season.memoRow, "Notes", true);
         }},
        {"inline usage map",
         [&](QByteArray& f) { jetedit::inlineUsageMap(f, season.ratings.definitionPage); }},
    };
    for (const auto& [label, edit] : layouts) {
        SCOPED_TRACE(label);
        QByteArray file = season.file;
        edit(file);
        const jet::Table ratings = readRatings(file);
        EXPECT_EQ(ratings.rows, season.ratings.rows);
        EXPECT_EQ(ratings.locations, season.ratings.locations);
    }

    // A moved row cannot be written in place; the check says so before anything is written.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("seasonStats.mdb"));
    QByteArray moved = season.file;
    jetedit::moveRow(moved, season.ratings, 17);
    writeAll(path, moved);
    const jet::RowLocation at = season.ratings.locations[17];
    EXPECT_TRUE(jet::inPlaceWriteProblem(path, readRatings(moved), QStringLiteral("overall"))
                    .contains(QStringLiteral("row 18 (page %1, slot %2) is stored with row flags "
                                             "0x4000")
                                  .arg(at.page)
                                  .arg(at.slot)));
}

TEST(JetReader, DamagedFilesFailWithAMessageThatNamesWhat) {
    REQUIRE_FIXTURES();
    const Season season;
    const jet::Table& ratings = season.ratings;
    const std::uint32_t definition = ratings.definitionPage;
    const qsizetype definitionAt = qsizetype(definition) * jet::kPageSize;
    struct Case {
        const char* label;
        std::function<void(QByteArray&)> damage;
        QStringList expected;
    };
    const Case cases[] = {
        {"cut inside a page",
         [](QByteArray& f) { f.chop(100); },
         {"not a whole number of 4096-byte pages"}},
        {"cut after a page",
         [&](QByteArray& f) { f.truncate(qsizetype(ratings.locations[0].page) * jet::kPageSize); },
         {"Table Ratings", "lies past the end of the file, which has 26 pages"}},
        {"usage map lists a page past the end",
         [&](QByteArray& f) {
             jetedit::put32(f, jetedit::usageMapOffset(f, definition) + 1, 0xffffff);
         },
         {"Table Ratings", "Page 16777215 lies past the end"}},
        {"usage map lists its bitmap page twice",
         [&](QByteArray& f) {
             const qsizetype map = jetedit::usageMapOffset(f, definition);
             f.replace(map + 5, 4, f.mid(map + 1, 4));
         },
         {"Table Ratings", "usage map lists page 327", "past the end of the file"}},
        {"inline usage map wraps past the last page number",
         [&](QByteArray& f) {
             jetedit::inlineUsageMap(f, definition);
             jetedit::put32(f, jetedit::usageMapOffset(f, definition) + 1, 0xfffffff0u);
         },
         {"Table Ratings", "usage map lists page 4294967306, past the end of the file"}},
        {"definition pages loop",
         [&](QByteArray& f) { jetedit::put32(f, definitionAt + 4, definition); },
         {"Table Ratings", "a second time: its page chain loops"}},
        {"column count does not fit the definition",
         [&](QByteArray& f) { jetedit::put16(f, definitionAt + 45, 250); },
         {"Table Ratings", "ends before its column and index lists"}},
        {"column count does not fit the row",
         [&](QByteArray& f) {
             jetedit::put16(f, jetedit::rowPlace(f, ratings.locations[3]).offset, 0xffff);
         },
         {"Table Ratings, row 4 (page 26, slot 3)", "claims 65535 columns"}},
        {"text length past its row",
         [&](QByteArray& f) {
             const jet::TableDefinition def = jet::parseTableDefinition(f, definition);
             jetedit::put16(f,
                            jetedit::variableOffsetPlace(f, ratings.locations[5],
                                                         def.column("Name")->variableIndex + 1),
                            4000);
         },
         {"Table Ratings, row 6 (page 26, slot 5)", "Column \"Name\"", "to byte 4000"}},
        {"long-value chain loops",
         [&](QByteArray& f) {
             const auto chain = jetedit::moveMemo(f, ratings, season.memoRow, "Notes", true);
             const jet::RowLocation head = jet::rowAt(chain.front());
             jetedit::put32(f, jetedit::rowPlace(f, head).offset, chain.front());
         },
         {"Column \"Notes\"", "loops back to row 0 of page"}},
        {"memo points past the end",
         [&](QByteArray& f) {
             jetedit::moveMemo(f, ratings, season.memoRow, "Notes", false);
             const auto field = jetedit::fieldPlace(f, ratings, season.memoRow, "Notes");
             jetedit::put32(f, field.offset + 4, 0x7fff00);
         },
         {"Column \"Notes\"", "Page 32767 lies past the end"}},
        {"moved row points to itself",
         [&](QByteArray& f) {
             jetedit::moveRow(f, ratings, 2);
             jetedit::put32(f, jetedit::rowPlace(f, ratings.locations[2]).offset, 26u << 8 | 2);
         },
         {"Row 2 of page 26 is moved along pointers that loop"}},
        {"row count of a page larger than the page",
         [&](QByteArray& f) { jetedit::put16(f, 26 * jet::kPageSize + 12, 5000); },
         {"Page 26 claims 5000 rows"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        QByteArray file = season.file;
        c.damage(file);
        try {
            readRatings(file);
            ADD_FAILURE() << "read without complaint";
        } catch (const PatchError& e) {
            for (const QString& fragment : c.expected)
                EXPECT_TRUE(e.message().contains(fragment)) << e.message().toStdString();
        }
    }
}

} // namespace
