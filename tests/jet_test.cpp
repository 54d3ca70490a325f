#include "conversion/qztable.h"
#include "core/bytes.h"
#include "core/cp1252.h"
#include "core/patcherror.h"
#include "db/accesscopy.h"
#include "db/jet/reader.h"
#include "db/jet/writeback.h"
#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "db/sqlite.h"
#include "run/updaterun.h"
#include "support/foldertree.h"
#include "support/jetedit.h"
#include "support/jettable.h"
#include "support/jetwriter.h"
#include "support/sqlrows.h"
#include "support/testgame.h"
#include "support/updatescenario.h"

#ifdef TOLVANE_HAVE_FAULTFS
#include "support/faultfs/faultfs.h"

#include <algorithm>
#include <cerrno>
#endif

#include <QDir>
#include <QFileInfo>
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
void install(TestGame& game, const QString& name) {
    QFile::remove(game.dbPath());
    writeAll(game.dbPath(), readAll(fixture(name)));
}

// A table as text: the column names, then one record per row, NULL as an empty field.
std::vector<QStringList> tableText(const QString& path, const QString& name) {
    const std::optional<jettable::WholeTable> table = jettable::read(jet::Reader(path), name);
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

FolderTree slotWithoutDatabase(const TestGame& game) {
    FolderTree tree = snapshotTree(game.slot());
    tree.erase(QStringLiteral("seasonStats.mdb"));
    return tree;
}

const jetwriter::SeasonLayout& layout(const char* label) {
    for (const jetwriter::SeasonLayout& l : jetwriter::kSeasonLayouts) {
        if (std::string_view(l.label) == label)
            return l;
    }
    throw std::invalid_argument(label);
}

// An Access season: a fixture NAME.mdb, or the twin NAME.sqlite written by the test writer
// in one of its layouts.
struct JetRun {
    const char* name;
    const char* layout; // null for the fixture
    const char* twin;   // NAME.sqlite, whose run it must match
};

void PrintTo(const JetRun& run, std::ostream* out) {
    *out << run.name << (run.layout ? std::string(" in ") + run.layout : std::string(".mdb"))
         << " against " << run.twin << ".sqlite";
}

QByteArray seasonBytes(const JetRun& run) {
    const QString name = QString::fromLatin1(run.name);
    if (!run.layout)
        return readAll(fixture(name + QStringLiteral(".mdb")));
    return jetwriter::seasonFile(kFixtures, name, layout(run.layout));
}

class JetRunTest : public testing::TestWithParam<JetRun> {};

TEST_P(JetRunTest, MatchesTheSqliteTwinAndWritesOnlyOverall) {
    REQUIRE_FIXTURES();
    const QByteArray season = seasonBytes(GetParam());
    TestGame jetGame;
    TestGame twinGame;
    writeAll(jetGame.dbPath(), season);
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
    EXPECT_EQ(readAll(jetGame.slot() + QStringLiteral("/seasonStats.mdb")), season);

    const std::vector<qint64> recomputed = overallRatings(twinGame.dbPath());
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
// Jet file still finds them, so its run gives what season-a.sqlite gives. In Jet 3 the
// name "Zoë Łukasz" is "Zoë ?ukasz" in both tables, as Access 97 stores it; the game's
// files hold it so from either form.
INSTANTIATE_TEST_SUITE_P(
    Fixtures, JetRunTest,
    testing::Values(
        JetRun{"season-a", nullptr, "season-a"}, JetRun{"season-b", nullptr, "season-b"},
        JetRun{"season-byte-overall", nullptr, "season-byte-overall"},
        JetRun{"season-qz-case", nullptr, "season-a"}, JetRun{"season-a", "Jet3", "season-a"},
        JetRun{"season-b", "Jet3", "season-b"}, JetRun{"season-a", "Jet4MovedRows", "season-a"},
        JetRun{"season-b", "Jet4MovedRows", "season-b"},
        JetRun{"season-a", "Jet4Decimal", "season-a"},
        JetRun{"season-b", "Jet4Decimal", "season-b"}, JetRun{"season-a", "Ace", "season-a"},
        JetRun{"season-byte-overall", "Ace", "season-byte-overall"}),
    [](const auto& info) {
        QString name = QString::fromLatin1(info.param.name) +
                       QString::fromLatin1(info.param.layout ? info.param.layout : "");
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
        TestGame game;
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
        TestGame game;
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
        ratings = *jettable::read(jet::Reader(path()), QStringLiteral("Ratings"));
    }
    QString path() const { return dir.filePath(QStringLiteral("seasonStats.mdb")); }
    std::vector<jet::CellChange> everyRow(qint64 value) const {
        std::vector<jet::CellChange> changes;
        for (std::size_t r = 0; r < ratings.rows.size(); ++r)
            changes.push_back({r, value});
        return changes;
    }
    QTemporaryDir dir;
    jettable::WholeTable ratings;
};

TEST(JetWriteBack, FailuresLeaveTheFileByteIdentical) {
    REQUIRE_FIXTURES();
    const QString overall = QStringLiteral("overall");
#ifdef TOLVANE_HAVE_FAULTFS
    // Every file operation of the write fails in its turn, the copy's creation, bytes and
    // link, its rename over the file and all around them.
    const auto folderOf = [](const WriteTarget& target) {
        return QFile::encodeName(target.dir.path()).toStdString();
    };
    WriteTarget rehearsal(QStringLiteral("season-a.mdb"));
    std::vector<std::string> steps;
    {
        const faultfs::Scope scope(folderOf(rehearsal));
        jettable::writeInPlace(rehearsal.path(), rehearsal.ratings, overall,
                               rehearsal.everyRow(77));
        steps = faultfs::log();
    }
    const QByteArray rewritten = readAll(rehearsal.path());
    // The write goes on past a stale copy that is not there to remove, permissions that
    // cannot be copied and a folder that cannot be flushed after the rename; the copy's
    // creation, its bytes, their flush and the rename stop it.
    const auto stops = [](const std::string& line) {
        for (const char* function : {"\topen\t", "\twrite\t", "\trename\t"}) {
            if (line.find(function) != std::string::npos)
                return true;
        }
        return line.find("\tfsync\t") != std::string::npos &&
               line.find(".writing") != std::string::npos;
    };
    EXPECT_EQ(std::count_if(steps.begin(), steps.end(), stops), 4);
    for (std::size_t step = 1; step <= steps.size(); ++step) {
        SCOPED_TRACE(steps[step - 1]);
        WriteTarget target(QStringLiteral("season-a.mdb"));
        const QByteArray original = readAll(target.path());
        bool failed = false;
        {
            const faultfs::Scope scope(folderOf(target));
            faultfs::failAt(static_cast<std::int64_t>(step), EIO);
            try {
                jettable::writeInPlace(target.path(), target.ratings, overall, target.everyRow(77));
            } catch (const PatchError& e) {
                failed = true;
                EXPECT_EQ(e.operation(), jet::writeOperation());
            }
        }
        EXPECT_EQ(readAll(target.path()), failed ? original : rewritten);
        EXPECT_EQ(QDir(target.dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"seasonStats.mdb"});
        if (stops(steps[step - 1])) {
            EXPECT_TRUE(failed);
        }
    }
#endif

    // A value the Byte column cannot hold is refused before the copy is made.
    WriteTarget bytes(QStringLiteral("season-byte-overall.mdb"));
    const QByteArray original = readAll(bytes.path());
    for (const qint64 value : {256, -1}) {
        std::vector<jet::CellChange> changes = bytes.everyRow(50);
        changes.back().value = value;
        EXPECT_THROW(jettable::writeInPlace(bytes.path(), bytes.ratings, overall, changes),
                     PatchError);
        EXPECT_EQ(readAll(bytes.path()), original);
    }

    // Another program changed the file after it was read: the stale read must not win.
    jettable::writeInPlace(bytes.path(), bytes.ratings, overall, bytes.everyRow(99));
    const QByteArray written = readAll(bytes.path());
    EXPECT_NE(written, original);
    EXPECT_THROW(jettable::writeInPlace(bytes.path(), bytes.ratings, overall, bytes.everyRow(12)),
                 PatchError);
    EXPECT_EQ(readAll(bytes.path()), written);
#ifndef TOLVANE_HAVE_FAULTFS
    GTEST_SKIP() << "The failures of the write are made with faultfs, which is Linux's alone; "
                    "only the refusals were tried";
#endif
}

// Clears a row's null-mask bit of a column, making its value NULL.
void makeNull(QByteArray& file, const jet::Table& table, std::size_t row, std::uint16_t column) {
    const jetedit::Place place = jetedit::rowPlace(file, table.locations[row]);
    const auto count = bytes::loadLittleEndian<std::uint16_t>(file.constData() + place.offset);
    const qsizetype at = place.offset + place.size - (count + 7) / 8 + column / 8;
    file[at] = static_cast<char>(file[at] & ~(1 << (column % 8)));
}

TEST(JetWriteBack, NullOverallGetsItsNullBitSet) {
    REQUIRE_FIXTURES();
    WriteTarget target(QStringLiteral("season-b.mdb"));
    const int column = target.ratings.columnIndex(QStringLiteral("overall"));
    QByteArray file = readAll(target.path());
    makeNull(file, target.ratings, 3, target.ratings.columns[column].number);
    writeAll(target.path(), file);
    jettable::WholeTable ratings =
        *jettable::read(jet::Reader(target.path()), QStringLiteral("Ratings"));
    ASSERT_TRUE(ratings.rows[3][column].isNull());

    jettable::writeInPlace(target.path(), ratings, QStringLiteral("overall"), {{3, 42}});
    const std::vector<QStringList> rows = tableText(target.path(), QStringLiteral("Ratings"));
    ASSERT_GT(rows.size(), 4u);
    EXPECT_EQ(rows[4][rows[0].indexOf(QStringLiteral("overall"))], "42");
}

// The write checks the copy against the rows the program holds, not against a second
// reading of the same bytes: a copy that reads back otherwise stays a copy, and the file
// is left as it was.
TEST(JetWriteBack, ACopyThatReadsBackOtherwiseIsNotUsed) {
    REQUIRE_FIXTURES();
    WriteTarget target(QStringLiteral("season-a.mdb"));
    const QByteArray original = readAll(target.path());
    jettable::WholeTable believed = target.ratings;
    believed.rows[40][believed.columnIndex(QStringLiteral("Name"))] = QStringLiteral("Someone");
    try {
        jettable::writeInPlace(target.path(), believed, QStringLiteral("overall"),
                               target.everyRow(77));
        ADD_FAILURE() << "written";
    } catch (const PatchError& e) {
        EXPECT_TRUE(e.cause().contains(QLatin1String("row 41, column \"Name\"")))
            << e.message().toStdString();
    }
    EXPECT_EQ(readAll(target.path()), original);
    EXPECT_EQ(QDir(target.dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"seasonStats.mdb"});
}

// The guards of the write hold in every format and where a moved row's data lies.
TEST(JetWriteBack, RefusesWhatItCannotWriteSafelyInEveryLayout) {
    REQUIRE_FIXTURES();
    for (const jetwriter::SeasonLayout& layout : jetwriter::kSeasonLayouts) {
        SCOPED_TRACE(layout.label);
        const QString base = fixture(QStringLiteral("season-overall-indexed"));
        std::vector<jetwriter::TableDef> tables =
            jetwriter::tablesOf(base + QStringLiteral(".sqlite"),
                                jetwriter::columnTypesOf(base + QStringLiteral(".mdb")));
        tables[0].indexes = {{QStringLiteral("ix_overall"), {QStringLiteral("overall")}}};
        tables[0].movedRows = {1, 4};
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("seasonStats.mdb"));
        writeAll(path, jetwriter::writeDatabase(tables, layout.options));
        const jettable::WholeTable ratings =
            *jettable::read(jet::Reader(path), QStringLiteral("Ratings"));
        EXPECT_TRUE(jet::inPlaceWriteProblem(path, ratings, QStringLiteral("overall"))
                        .contains(QLatin1String("part of the index \"ix_overall\"")));

        // A moved row whose pointer leads to a row in use is a stale pointer.
        tables[0].indexes.clear();
        QByteArray file = jetwriter::writeDatabase(tables, layout.options);
        writeAll(path, file);
        const jettable::WholeTable moved =
            *jettable::read(jet::Reader(path), QStringLiteral("Ratings"));
        EXPECT_TRUE(jet::inPlaceWriteProblem(path, moved, QStringLiteral("overall")).isEmpty());
        const jetedit::Place pointer = jetedit::rowPlace(file, moved.locations[1]);
        jetedit::put32(file, pointer.offset, jetwriter::pointerTo(moved.locations[2]));
        writeAll(path, file);
        try {
            jettable::read(jet::Reader(path), QStringLiteral("Ratings"));
            ADD_FAILURE() << "read a stale pointer";
        } catch (const PatchError& e) {
            EXPECT_TRUE(e.cause().contains(QLatin1String("does not hold a moved row's data")))
                << e.message().toStdString();
        }
        EXPECT_TRUE(jet::inPlaceWriteProblem(path, moved, QStringLiteral("overall"))
                        .contains(QLatin1String("changed by another program")));
    }
}

TEST(JetFormat, IsToldByTheFirstBytes) {
    REQUIRE_FIXTURES();
    struct Case {
        const char* label;
        std::function<void(QByteArray&)> patch;
        DatabaseFormat format;
        const char* message; // empty when the file opens
    };
    const auto header = [](QByteArray& b, const jet::Format& format, std::uint8_t version,
                           std::uint16_t codePage) {
        const QByteArray head = jetwriter::fileHeader(format, version, codePage);
        b.replace(0, head.size(), head);
    };
    // The database key lies in the masked part of the header: flipping its bits there
    // gives a key that is not 0.
    const auto encode = [](QByteArray& b) { b[0x3e] = static_cast<char>(b[0x3e] ^ 0x5a); };
    const Case cases[] = {
        {"Jet4", [](QByteArray&) {}, DatabaseFormat::Jet4, ""},
        {"Ace", [&](QByteArray& b) { header(b, jet::kAceFormat, 5, 1252); }, DatabaseFormat::Ace,
         ""},
        {"Sqlite", [](QByteArray& b) { b = readAll(fixture("season-a.sqlite")); },
         DatabaseFormat::Sqlite, ""},
        {"Encoded", encode, DatabaseFormat::Jet4Encoded,
         "encoded (encrypted) Microsoft Jet 4 database"},
        {"EncryptedAce",
         [&](QByteArray& b) {
             header(b, jet::kAceFormat, 3, 1252);
             encode(b);
         },
         DatabaseFormat::AceEncrypted, "File > Info > Decrypt Database"},
        {"Jet3OfAnotherCodePage",
         [&](QByteArray& b) {
             b = jetwriter::seasonFile(kFixtures, QStringLiteral("season-a"), layout("Jet3"));
             header(b, jet::kJet3Format, 0, 1251);
         },
         DatabaseFormat::Jet3, "code page 1251 (Cyrillic)"},
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

// Every cell of a table as "storage class:value", floating values to all 17 digits. Where
// decimal is given, cells of those columns are compared as the numbers they hold.
std::vector<QStringList> typedCells(const QString& path, const QString& table,
                                    const QStringList& decimal = {}) {
    std::vector<QStringList> rows;
    SQLite::Database db(path.toStdString());
    QStringList select;
    QStringList names;
    for (const QVariantList& column :
         queryRows(db, QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(table))) {
        names << column.front().toString();
        select << QStringLiteral("typeof(\"%1\"), \"%1\"").arg(names.back());
    }
    if (select.isEmpty())
        return rows;
    for (const QVariantList& cells :
         queryRows(db, QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY rowid")
                           .arg(select.join(QStringLiteral(", ")), table))) {
        QStringList row;
        for (int i = 0; i + 1 < cells.size(); i += 2) {
            const QVariant& v = cells[i + 1];
            if (decimal.contains(names[i / 2]) && !v.isNull()) {
                row << QStringLiteral("number:") + QString::number(v.toDouble(), 'g', 17);
                continue;
            }
            row << cells[i].toString() + QLatin1Char(':') +
                       (v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 17)
                                                        : v.toString());
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(JetConversion, GivesTheTwinCellForCell) {
    REQUIRE_FIXTURES();
    QTemporaryDir dir;
    for (const char* name : {"season-a", "season-b", "season-byte-overall", "season-no-qz",
                             "season-overall-indexed"}) {
        SCOPED_TRACE(name);
        const QString converted = dir.filePath(QString::fromLatin1(name) + ".sqlite");
        EXPECT_TRUE(
            jet::convertToSqlite(fixture(QString::fromLatin1(name) + ".mdb"), converted).empty());
        const QString twin = fixture(QString::fromLatin1(name) + ".sqlite");
        EXPECT_GE(typedCells(converted, QStringLiteral("Ratings")).size(), 15u);
        for (const QString& table : {QStringLiteral("Ratings"), QStringLiteral("qz")})
            EXPECT_EQ(typedCells(converted, table), typedCells(twin, table)) << table.toStdString();
        EXPECT_THROW(jet::convertToSqlite(fixture(QString::fromLatin1(name) + ".mdb"), converted),
                     PatchError);
    }
}

// What the test writer writes reads back as its twin in every layout: Decimal values as
// the numbers the twin holds, Jet 3 texts as Windows-1252 holds them.
TEST(JetConversion, WrittenSeasonsReadAsTheirTwins) {
    REQUIRE_FIXTURES();
    for (const char* name : {"season-a", "season-b"}) {
        const QString twin = fixture(QString::fromLatin1(name) + ".sqlite");
        for (const jetwriter::SeasonLayout& layout : jetwriter::kSeasonLayouts) {
            SCOPED_TRACE(std::string(name) + " " + layout.label);
            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("season.mdb"));
            writeAll(path, jetwriter::seasonFile(kFixtures, QString::fromLatin1(name), layout));
            const QString converted = dir.filePath(QStringLiteral("season.sqlite"));
            jet::convertToSqlite(path, converted);
            for (const QString& table : {QStringLiteral("Ratings"), QStringLiteral("qz")}) {
                QStringList decimal;
                const std::optional<jettable::WholeTable> read =
                    jettable::read(jet::Reader(path), table);
                for (const jet::Column& c : read->columns) {
                    if (c.type == jet::Numeric)
                        decimal << c.name;
                }
                EXPECT_EQ(layout.decimal, !decimal.isEmpty());
                std::vector<QStringList> expected = typedCells(twin, table, decimal);
                if (layout.options.format->text == jet::TextEncoding::CodePage) {
                    for (QStringList& row : expected) {
                        for (QString& cell : row) {
                            if (cell.startsWith(QLatin1String("text:")))
                                cell = fromCp1252(toCp1252(cell));
                        }
                    }
                }
                EXPECT_EQ(typedCells(converted, table, decimal), expected) << table.toStdString();
            }
        }
    }
}

// Columns the converter cannot give a value of are left out, each named once with why.
TEST(JetConversion, LeavesOutAttachmentsAndSaysSo) {
    REQUIRE_FIXTURES();
    const QString base = fixture(QStringLiteral("season-byte-overall"));
    std::vector<jetwriter::TableDef> tables = jetwriter::tablesOf(
        base + QStringLiteral(".sqlite"), jetwriter::columnTypesOf(base + QStringLiteral(".mdb")));
    tables[0].columns.push_back({QStringLiteral("Photos"), jet::Complex});
    for (auto& row : tables[0].rows)
        row.push_back(qint64(row.size()));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("season.accdb"));
    writeAll(path, jetwriter::writeDatabase(tables, {&jet::kAceFormat, 3}));
    const std::vector<jet::LeftOutOfTable> leftOut =
        jet::convertToSqlite(path, dir.filePath(QStringLiteral("season.sqlite")));
    ASSERT_EQ(leftOut.size(), 1u);
    EXPECT_EQ(leftOut[0].table, "Ratings");
    EXPECT_EQ(leftOut[0].column.name, "Photos");
    EXPECT_TRUE(leftOut[0].column.reason.contains(QLatin1String("attachment")));
    EXPECT_EQ(typedCells(dir.filePath(QStringLiteral("season.sqlite")), QStringLiteral("Ratings")),
              typedCells(base + QStringLiteral(".sqlite"), QStringLiteral("Ratings")));
}

// The Ratings of season-a as stored, and the row whose memo "Notes" is the longest.
struct Season {
    Season()
        : file(readAll(fixture(QStringLiteral("season-a.mdb"))))
        , ratings(*jettable::read(jet::Reader(QStringLiteral("season-a.mdb"), file),
                                  QStringLiteral("Ratings"))) {
        const int notes = ratings.columnIndex(QStringLiteral("Notes"));
        for (std::size_t r = 0; r < ratings.rows.size(); ++r) {
            if (ratings.rows[r][notes].toString().size() >
                ratings.rows[memoRow][notes].toString().size())
                memoRow = r;
        }
    }
    QByteArray file;
    jettable::WholeTable ratings;
    std::size_t memoRow = 0;
};

jettable::WholeTable readRatings(const QByteArray& file) {
    return *jettable::read(jet::Reader(QStringLiteral("edited.mdb"), file),
                           QStringLiteral("Ratings"));
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
        const jettable::WholeTable ratings = readRatings(file);
        EXPECT_EQ(ratings.rows, season.ratings.rows);
        EXPECT_EQ(ratings.locations, season.ratings.locations);
    }
}

// Values of the types Access 2000 and later can create that the seasons lack, read as the
// SQLite copy holds them.
TEST(JetReader, ReadsDecimalReplicationIdLargeNumberAndExtendedDateValues) {
    jetwriter::TableDef table;
    table.name = QStringLiteral("Kinds");
    table.columns = {{QStringLiteral("d"), jet::Numeric, 0, 28, 4},
                     {QStringLiteral("id"), jet::Guid},
                     {QStringLiteral("big"), jet::BigInt},
                     {QStringLiteral("blob"), jet::Ole},
                     {QStringLiteral("when"), jet::ExtendedDateTime}};
    const QByteArray blob(5000, 'x'); // longer than a long-value row: a chain
    table.rows = {
        {QStringLiteral("1.5"), QStringLiteral("{12345678-9ABC-DEF0-1122-334455667788}"),
         qint64(-9007199254740993), blob, QStringLiteral("0001-01-01")},
        {QStringLiteral("0.1"), QVariant(), qint64(9223372036854775807), QByteArray(),
         QStringLiteral("2000-02-29 23:59:58.0000001")},
        {QStringLiteral("-123456789012345678901234.5678"), QVariant(), QVariant(), QVariant(),
         QStringLiteral("9999-12-31 12:00:00")},
        {QStringLiteral("-2.25"), QVariant(), QVariant(), QVariant(),
         QStringLiteral("1600-03-01 00:00:00.5")},
        {QStringLiteral("0"), QVariant(), QVariant(), QVariant(), QVariant()},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kinds.accdb"));
    writeAll(path, jetwriter::writeDatabase({table}, {&jet::kAceFormat, 5}));
    const jettable::WholeTable read = *jettable::read(jet::Reader(path), QStringLiteral("Kinds"));
    ASSERT_EQ(read.rows.size(), 5u);
    EXPECT_EQ(read.rows[0][0], QVariant(1.5));
    EXPECT_EQ(read.rows[1][0], QVariant(QStringLiteral("0.1")));
    EXPECT_EQ(read.rows[2][0], QVariant(QStringLiteral("-123456789012345678901234.5678")));
    EXPECT_EQ(read.rows[3][0], QVariant(-2.25));
    EXPECT_EQ(read.rows[4][0], QVariant(0.0));
    EXPECT_EQ(read.rows[0][1], QVariant(QStringLiteral("{12345678-9ABC-DEF0-1122-334455667788}")));
    EXPECT_EQ(read.rows[0][2], QVariant(qint64(-9007199254740993)));
    EXPECT_EQ(read.rows[1][2], QVariant(qint64(9223372036854775807)));
    EXPECT_EQ(read.rows[0][3], QVariant(blob));
    const char* dates[] = {"0001-01-01", "2000-02-29 23:59:58.0000001", "9999-12-31 12:00:00",
                           "1600-03-01 00:00:00.5"};
    for (std::size_t r = 0; r < 4; ++r)
        EXPECT_EQ(read.rows[r][4], QVariant(QString::fromLatin1(dates[r])));
    EXPECT_TRUE(read.rows[4][4].isNull());
}

TEST(JetReader, DamagedFilesFailWithAMessageThatNamesWhat) {
    REQUIRE_FIXTURES();
    const Season season;
    const jet::Table& ratings = season.ratings;
    const std::uint32_t definition = ratings.definitionPage;
    constexpr qsizetype kPage = jet::kJet4Format.pageSize;
    const qsizetype definitionAt = qsizetype(definition) * kPage;
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
         [&](QByteArray& f) { f.truncate(qsizetype(ratings.locations[0].page) * kPage); },
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
             const jet::TableDefinition def =
                 jet::parseTableDefinition(jetedit::pagesOf(f), definition);
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
        {"moved row points into another table",
         [&](QByteArray& f) {
             jetedit::moveRow(f, ratings, 2);
             jetedit::put32(f, jetedit::rowPlace(f, ratings.locations[2]).offset, 2u << 8);
         },
         {"Row 2 of page 26 is moved to page 2, which is not a data page of its table"}},
        {"row count of a page larger than the page",
         [&](QByteArray& f) { jetedit::put16(f, 26 * kPage + 12, 5000); },
         {"Page 26 claims 5000 rows"}},
        {"Decimal scale beyond 38 places",
         [&](QByteArray& f) {
             // The Notes memo's entry, made a Decimal of 40 places.
             const jet::TableDefinition def =
                 jet::parseTableDefinition(jetedit::pagesOf(f), definition);
             const jet::Column* notes = def.column("Notes");
             const qsizetype entry = definitionAt + 63 + 25 * (notes - def.columns.data());
             f[entry] = static_cast<char>(jet::Numeric);
             f[entry + 12] = 40;
         },
         {"Column \"Notes\"", "scale of 40 decimal places"}},
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

// Jet 3's rows have one-byte offsets and a jump table past byte 255; damage there is met
// where it lies too.
TEST(JetReader, DamagedJet3RowsFailWithAMessageThatNamesWhat) {
    REQUIRE_FIXTURES();
    const QByteArray season =
        jetwriter::seasonFile(kFixtures, QStringLiteral("season-a"), layout("Jet3"));
    const jet::Table ratings = readRatings(season);
    const jetedit::Place row = jetedit::rowPlace(season, ratings.locations[4]);
    ASSERT_GT(row.size, 256) << "the row needs a jump table";
    const qsizetype count = static_cast<std::uint8_t>(season[row.offset]);
    const qsizetype mask = (count + 7) / 8;
    const qsizetype jump = row.offset + row.size - mask - 2; // the first jump entry
    const struct {
        const char* label;
        std::function<void(QByteArray&)> damage;
        const char* expected;
    } cases[] = {
        {"cut inside a page", [](QByteArray& f) { f.chop(100); },
         "not a whole number of 2048-byte pages"},
        {"jump table sends every offset past the row", [&](QByteArray& f) { f[jump] = 0; },
         "outside its"},
        {"variable column count past the row",
         [&](QByteArray& f) { f[row.offset + row.size - mask - 1] = static_cast<char>(250); },
         "variable columns"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        QByteArray file = season;
        c.damage(file);
        try {
            readRatings(file);
            ADD_FAILURE() << "read without complaint";
        } catch (const PatchError& e) {
            EXPECT_TRUE(e.message().contains(QLatin1String(c.expected)))
                << e.message().toStdString();
        }
    }
}

// Access leaves the row count of a table's definition stale: the rows are those its data
// pages hold, in every format, and the update reads and writes them all.
TEST(JetReader, ReadsTheRowsThePagesHoldWhateverTheDefinitionCounts) {
    REQUIRE_FIXTURES();
    std::vector<std::pair<std::string, QByteArray>> files = {
        {"season-a.mdb", readAll(fixture(QStringLiteral("season-a.mdb")))}};
    for (const jetwriter::SeasonLayout& layout : jetwriter::kSeasonLayouts)
        files.push_back(
            {layout.label, jetwriter::seasonFile(kFixtures, QStringLiteral("season-b"), layout)});
    for (const auto& [label, original] : files) {
        SCOPED_TRACE(label);
        const jettable::WholeTable ratings = readRatings(original);
        for (const std::uint32_t count : {0u, 1u, 71u, 81u, 0xffffffffu}) {
            QByteArray file = original;
            jetedit::setRowCount(file, ratings.definitionPage, count);
            const jettable::WholeTable read = readRatings(file);
            EXPECT_EQ(read.rows, ratings.rows) << count;
            EXPECT_EQ(read.locations, ratings.locations) << count;
        }
    }

    TestGame stale;
    TestGame counted;
    QByteArray file = files[0].second;
    jetedit::setRowCount(file, readRatings(file).definitionPage, 79);
    writeAll(stale.dbPath(), file);
    install(counted, QStringLiteral("season-a.mdb"));
    ASSERT_EQ(stale.runUpdate(), "Import Complete!");
    ASSERT_EQ(counted.runUpdate(), "Import Complete!");
    EXPECT_EQ(slotWithoutDatabase(stale), slotWithoutDatabase(counted));
    EXPECT_EQ(overallRatings(stale.dbPath()), overallRatings(counted.dbPath()));
}

// Access stores each value of a calculated column (ACE) as it computed it, behind a header
// of its own; the value reads as Access computed it, typed by the column's result type, and
// the SQLite copy keeps it so.
TEST(JetReader, ReadsCalculatedColumnsAsAccessComputedThem) {
    const auto calculated = [](const char* name, std::uint8_t type, std::uint16_t size = 0) {
        jetwriter::ColumnDef column{QString::fromLatin1(name), type, size};
        column.calculated = true;
        return column;
    };
    jetwriter::TableDef table;
    table.name = QStringLiteral("Fees");
    table.columns = {
        {QStringLiteral("Player"), jet::Text, 50},
        {QStringLiteral("Games"), jet::Long},
        {QStringLiteral("Fee"), jet::Money},
        calculated("Total", jet::Money),    // [Games] * [Fee]
        calculated("Twice", jet::Long),     // [Games] * 2
        calculated("Share", jet::Double),   // [Fee] / 3
        calculated("Label", jet::Text, 80), // [Player] & " (" & [Games] & ")"
        calculated("Regular", jet::Bool),   // [Games] > 10
        calculated("Exact", jet::Numeric),  // CDec([Fee]) / 8, or a long sum
        calculated("Due", jet::DateTime),   // DateSerial(2024, 3, [Games])
        calculated("Story", jet::Memo),     // [Player] & ...
        calculated("Short", jet::Int),      // [Games] - 20
        calculated("Ratio", jet::Float),    // [Games] / 4
        calculated("Key", jet::Guid),       // a constant
    };
    const QString story(300, QLatin1Char('s')); // longer than a row keeps: a long-value page
    const QString guid = QStringLiteral("{12345678-9ABC-DEF0-1122-334455667788}");
    table.rows = {
        {QStringLiteral("Ann"), qint64(12), 1234.5, 14814.0, qint64(24), 411.5,
         QStringLiteral("Ann (12)"), qint64(1), QStringLiteral("154.3125"),
         QStringLiteral("2024-03-12"), story, qint64(-8), 3.0, guid},
        {QStringLiteral("Bo"), qint64(3), 0.25, 0.75, qint64(6), 0.08333333333333333,
         QStringLiteral("Bo (3)"), qint64(0), QStringLiteral("-79228162514264337593543950.335"),
         QStringLiteral("2024-03-03 06:30:00"), QStringLiteral("Bo"), qint64(-17), 0.75, guid},
        // Access computes NULL where an operand is NULL.
        {QStringLiteral("Cy"), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
         QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
         QVariant()},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fees.accdb"));
    const QByteArray file = jetwriter::writeDatabase({table}, {&jet::kAceFormat, 3});
    writeAll(path, file);

    const jettable::WholeTable read = *jettable::read(jet::Reader(path), QStringLiteral("Fees"));
    EXPECT_TRUE(read.leftOut.empty());
    // The values lie behind their header: a fixed calculated column is 39 bytes long.
    EXPECT_EQ(jetedit::fieldPlace(file, read, 0, QStringLiteral("Total")).size, 39);
    EXPECT_EQ(jetedit::fieldPlace(file, read, 0, QStringLiteral("Label")).size, 20 + 10 + 3);
    const std::vector<std::vector<QVariant>> expected = {
        {QStringLiteral("Ann"), qint64(12), 1234.5, 14814.0, qint64(24), 411.5,
         QStringLiteral("Ann (12)"), qint64(1), 154.3125, QStringLiteral("2024-03-12"), story,
         qint64(-8), 3.0, guid},
        {QStringLiteral("Bo"), qint64(3), 0.25, 0.75, qint64(6), 0.08333333333333333,
         QStringLiteral("Bo (3)"), qint64(0), QStringLiteral("-79228162514264337593543950.335"),
         QStringLiteral("2024-03-03 06:30:00"), QStringLiteral("Bo"), qint64(-17), 0.75, guid},
        {QStringLiteral("Cy"), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
         QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
         QVariant()},
    };
    ASSERT_EQ(read.rows.size(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r) {
        for (std::size_t c = 0; c < expected[r].size(); ++c) {
            EXPECT_EQ(read.rows[r][c], expected[r][c])
                << "row " << r << ", " << read.columns[c].name.toStdString();
            EXPECT_EQ(read.rows[r][c].typeId(), expected[r][c].typeId());
        }
    }

    const QString converted = dir.filePath(QStringLiteral("fees.sqlite"));
    EXPECT_TRUE(jet::convertToSqlite(path, converted).empty());
    const QStringList first = typedCells(converted, QStringLiteral("Fees"))[0];
    EXPECT_EQ(first.mid(3, 5), QStringList({"real:14814", "integer:24", "real:411.5",
                                            "text:Ann (12)", "integer:1"}));
}

// A column of a type no documentation of the format describes keeps its bytes, and the
// table names it. The update refuses the file only where it reads such a column, naming
// the column, its table and its type.
TEST(JetReader, KeepsColumnsOfAnUnknownTypeAsTheirBytes) {
    REQUIRE_FIXTURES();
    constexpr std::uint8_t kUnknown = 0x15;
    const Season season;
    QByteArray file = season.file;
    // overall is a fixed column of 2 bytes, Notes a variable one.
    for (const char* column : {"overall", "Notes"})
        jetedit::setColumnType(file, season.ratings.definitionPage, QString::fromLatin1(column),
                               kUnknown);
    const jettable::WholeTable read = readRatings(file);
    ASSERT_EQ(read.rawBytes.size(), 2u);
    const jet::RawColumn* overall = read.rawColumn(QStringLiteral("OVERALL"));
    ASSERT_NE(overall, nullptr);
    EXPECT_EQ(overall->type, kUnknown);
    EXPECT_TRUE(overall->reason.contains(QLatin1String("unknown type 0x15")))
        << overall->reason.toStdString();
    EXPECT_EQ(read.rawColumn(QStringLiteral("Name")), nullptr);
    const int overallAt = read.columnIndex(QStringLiteral("overall"));
    const int notesAt = read.columnIndex(QStringLiteral("Notes"));
    for (std::size_t r = 0; r < read.rows.size(); ++r) {
        for (std::size_t c = 0; c < read.columns.size(); ++c) {
            const QVariant& was = season.ratings.rows[r][c];
            if (int(c) != overallAt && int(c) != notesAt) {
                EXPECT_EQ(read.rows[r][c], was);
                continue;
            }
            if (was.isNull()) {
                EXPECT_TRUE(read.rows[r][c].isNull());
                continue;
            }
            const jetedit::Place field = jetedit::fieldPlace(file, read, r, read.columns[c].name);
            EXPECT_EQ(read.rows[r][c], QVariant(file.mid(field.offset, field.size)));
        }
        EXPECT_EQ(bytes::loadLittleEndian<std::int16_t>(
                      read.rows[r][overallAt].toByteArray().constData()),
                  season.ratings.rows[r][overallAt].toLongLong());
    }

    // The copy holds the bytes, and the converter names the columns it copied so.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("unknown.mdb"));
    writeAll(path, file);
    std::vector<jet::RawBytesOfTable> raw;
    EXPECT_TRUE(jet::convertToSqlite(path, dir.filePath(QStringLiteral("u.sqlite")), &raw).empty());
    ASSERT_EQ(raw.size(), 2u);
    EXPECT_EQ(raw[0].table, "Ratings");
    const QStringList first =
        typedCells(dir.filePath(QStringLiteral("u.sqlite")), QStringLiteral("Ratings"))[0];
    EXPECT_TRUE(first[overallAt].startsWith(QLatin1String("blob:")));

    // Notes is no column the update reads: the run goes as over the file as it was.
    QByteArray notesOnly = season.file;
    jetedit::setColumnType(notesOnly, season.ratings.definitionPage, QStringLiteral("Notes"),
                           kUnknown);
    TestGame unread;
    TestGame plain;
    writeAll(unread.dbPath(), notesOnly);
    install(plain, QStringLiteral("season-a.mdb"));
    ASSERT_EQ(unread.runUpdate(), "Import Complete!");
    ASSERT_EQ(plain.runUpdate(), "Import Complete!");
    EXPECT_EQ(slotWithoutDatabase(unread), slotWithoutDatabase(plain));

    // A column the update reads, in either table, stops it before anything is written.
    const struct {
        const char* table;
        const char* column;
    } cases[] = {{"Ratings", "Speed"}, {"qz", "bf"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        QByteArray refused = season.file;
        const jet::Reader reader(QStringLiteral("season-a.mdb"), refused);
        jetedit::setColumnType(
            refused,
            reader.streamTable(QString::fromLatin1(c.table), {}, [](const auto&) {})
                ->definitionPage,
            QString::fromLatin1(c.column), kUnknown);
        TestGame game;
        writeAll(game.dbPath(), refused);
        const FolderTree before = snapshotTree(game.path());
        const QString message = game.runUpdate();
        for (const QString& fragment : {QStringLiteral("\"%1\"").arg(QLatin1String(c.column)),
                                        QStringLiteral("table %1").arg(QLatin1String(c.table)),
                                        QStringLiteral("unknown type 0x15")})
            EXPECT_TRUE(message.contains(fragment)) << message.toStdString();
        EXPECT_EQ(snapshotTree(game.path()), before);
    }
}

} // namespace
