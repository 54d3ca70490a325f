#include "run/updaterun.h"

#include "db/seasonschema.h"
#include "db/sqlite.h"
#include "support/foldertree.h"
#include "support/ordinaryuser.h"
#include "support/testgame.h"
#include "tools/demo/demofolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <random>

using namespace tolvane;

namespace {

const QString kSam = QStringLiteral("Player \"Sam Jones\" of team \"Cats\"");

// Something a case keeps alive while the update runs, such as another program's lock.
using Held = std::shared_ptr<void>;

// Another program holding the season database: it keeps its own connection open, with the
// lock it took, until the case ends. Root cannot read or write past an SQLite lock.
class ForeignLock {
public:
    ForeignLock(const QString& path, const QStringList& statements)
        : m_db(sqlite::open(path, QStringLiteral("Cannot take the lock"))) {
        for (const QString& sql : statements) {
            try {
                m_db.exec(sql.toStdString());
            } catch (const SQLite::Exception& e) {
                ADD_FAILURE() << sql.toStdString() << ": " << e.what();
            }
        }
    }

private:
    SQLite::Database m_db;
};

// Drops the column types of Ratings, so that SQLite stores texts such as '180.5cm' or
// '1e400' as the texts they are instead of converting them by the column's affinity.
void untypeRatings(demo::SeasonBuilder& builder) {
    QStringList columns;
    for (const seasonschema::Column& column : seasonschema::kRatingsColumns)
        columns << QLatin1Char('"') + column.name + QLatin1Char('"');
    builder.exec(QStringLiteral("DROP TABLE Ratings"));
    builder.exec(
        QStringLiteral("CREATE TABLE Ratings (%1)").arg(columns.join(QStringLiteral(", "))));
}

// Rebuilds Ratings without column types and with a table constraint, rows kept.
void constrainRatings(demo::SeasonBuilder& builder, const QString& constraint) {
    QStringList columns;
    for (const seasonschema::Column& column : seasonschema::kRatingsColumns)
        columns << QLatin1Char('"') + column.name + QLatin1Char('"');
    builder.exec(QStringLiteral("CREATE TABLE Constrained (%1, %2)")
                     .arg(columns.join(QStringLiteral(", ")), constraint));
    builder.exec(QStringLiteral("INSERT INTO Constrained SELECT %1 FROM Ratings")
                     .arg(columns.join(QStringLiteral(", "))));
    builder.exec(QStringLiteral("DROP TABLE Ratings"));
    builder.exec(QStringLiteral("ALTER TABLE Constrained RENAME TO Ratings"));
}

struct Season {
    QVariantMap sam;      // overrides for Sam Jones of the Cats
    bool untyped = false; // Ratings without column types
    QString samTeam = QStringLiteral("Cats");
};

// A season database with a sound player, Al Fox of the Bears, and Sam Jones, whose row
// takes the case's overrides. Both have qz rows.
void writeSeason(TestGame& game, const Season& season,
                 const std::function<void(demo::SeasonBuilder&)>& more = {}) {
    demo::SeasonBuilder builder(game.dbPath());
    if (season.untyped)
        untypeRatings(builder);
    builder.addPlayer(QStringLiteral("Bears"), QStringLiteral("Al Fox"));
    builder.addPlayer(season.samTeam, QStringLiteral("Sam Jones"), season.sam);
    builder.addQz(QStringLiteral("Al Fox"), {1, 2, 3, 4, 5, 6, 7, 8});
    builder.addQz(QStringLiteral("Sam Jones"), {8, 7, 6, 5, 4, 3, 2, 1});
    if (more)
        more(builder);
}

// A database whose players are all sound apart from one team name.
std::function<Held(TestGame&)> team(const QString& name) {
    return [name](TestGame& game) {
        writeSeason(game, {{}, false, name});
        return Held();
    };
}

std::function<Held(TestGame&)> sam(const QVariantMap& overrides, bool untyped = false) {
    return [overrides, untyped](TestGame& game) {
        writeSeason(game, {overrides, untyped});
        return Held();
    };
}

std::function<Held(TestGame&)> bytes(const QByteArray& content) {
    return [content](TestGame& game) {
        writeAll(game.dbPath(), content);
        return Held();
    };
}

QByteArray randomBytes(int size, std::uint32_t seed) {
    std::mt19937 engine(seed);
    QByteArray data(size, Qt::Uninitialized);
    for (char& c : data)
        c = static_cast<char>(engine() & 0xff);
    return data;
}

// A season whose database runs a statement of the case's once the players are in.
std::function<Held(TestGame&)> withSql(const QStringList& statements) {
    return [statements](TestGame& game) {
        writeSeason(game, {}, [&](demo::SeasonBuilder& b) {
            for (const QString& sql : statements)
                b.exec(sql);
        });
        return Held();
    };
}

QString samColumn(const char* column, const QString& reason) {
    return QStringLiteral("%1, column \"%2\": %3").arg(kSam, QLatin1String(column), reason);
}

QString teamLine(const QString& name, const QString& reason) {
    return QStringLiteral("Team \"%1\": %2").arg(name, reason);
}

QString illegal(const QString& name, const QString& character) {
    return teamLine(name, QStringLiteral("The team name holds the character %1, which a folder "
                                         "name cannot hold.")
                              .arg(character));
}

QString trailing(const QString& name) {
    return teamLine(name, QStringLiteral("The team name ends in a dot or a blank, which Windows "
                                         "drops from folder names."));
}

QString device(const QString& name) {
    return teamLine(name, QStringLiteral("\"%1\" is a device name on Windows").arg(name));
}

struct BadInput {
    const char* label;
    std::function<Held(TestGame&)> make;
    // Fragments the message must hold; {db} and {root} stand for the database's path and
    // the program folder.
    QStringList expected;
    // Fragments it must not hold.
    QStringList absent = {};
    // Permissions the database file has while the update runs; the snapshots are taken
    // with the file readable.
    QFile::Permissions permissions = {};
    // Set for file permissions, which root's processes do not obey.
    bool rootBypasses = false;
    // Why the case cannot be made on Windows, if it cannot.
    const char* linuxOnly = nullptr;
};

const QString kNotSqlite = QStringLiteral("The file is not an SQLite database.");

const std::vector<BadInput>& catalogue() {
    static const std::vector<BadInput> cases = {
        // The database file.
        {"ZeroByteFile", bytes({}), {"{db}", kNotSqlite}},
        {"RandomBytes", bytes(randomBytes(8192, 7)), {"{db}", kNotSqlite}},
        {"TextFile", bytes("team,Name\r\nCats,Sam Jones\r\n"), {"{db}", kNotSqlite}},
        {"SqliteHeaderThenGarbage",
         bytes(QByteArrayLiteral("SQLite format 3\0") + randomBytes(8176, 11)),
         {"{db}", "file is not a database"}},
        {"LockedByAnotherProgram",
         [](TestGame& game) -> Held {
             writeSeason(game, {});
             return std::make_shared<ForeignLock>(
                 game.dbPath(), QStringList{"PRAGMA locking_mode=EXCLUSIVE", "BEGIN EXCLUSIVE",
                                            "SELECT count(*) FROM Ratings"});
         },
         {"{db}", "database is locked"}},
        {"WriteLockedByAnotherProgram",
         [](TestGame& game) -> Held {
             writeSeason(game, {});
             return std::make_shared<ForeignLock>(game.dbPath(), QStringList{"BEGIN IMMEDIATE"});
         },
         {"The season database {db} cannot be written", "database is locked"}},
        {"ReadOnlyFile",
         sam({}),
         {"The season database {db} is read-only"},
         {},
         QFile::ReadOwner | QFile::ReadGroup},
        {"UnreadableFile",
         sam({}),
         {"Cannot open the season database", "{db}"},
         {},
         QFile::WriteOwner,
         false,
         "a Windows file has no read permission to take away"},
        {"ReadOnlyProgramFolder",
         [](TestGame& game) {
             writeSeason(game, {});
             QFile::setPermissions(game.path(), QFile::ReadOwner | QFile::ExeOwner);
             return std::shared_ptr<void>(nullptr, [path = game.path()](void*) {
                 QFile::setPermissions(path,
                                       QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
             });
         },
         {"The patch cannot write in the folder {root}, where the season database is: "
          "Permission denied"},
         {},
         {},
         true,
         "the read-only flag of a Windows folder does not stop files being written in it"},

        // Values the column cannot hold, in the columns that name the player.
        {"BinaryTeam",
         sam({{"team", QByteArray("\x01\x02", 2)}}),
         {"Player \"Sam Jones\" of team \"(row 2)\", column \"team\": holds binary data, not "
          "text"}},
        {"BinaryName",
         sam({{"Name", QByteArray("\x01\x02", 2)}}),
         {"Player \"(row 2)\" of team \"Cats\", column \"Name\": holds binary data, not text"}},
        // The team sheets hold a player a line.
        {"LineBreakInAName",
         sam({{"Name", QStringLiteral("Sam Jones\n")}}),
         {"column \"Name\": The name holds a control character (U+000A), which the team "
          "sheets, a line a player, cannot hold."}},

        // A database that would refuse the new overall ratings.
        {"TriggerRefusesTheRating",
         withSql({"CREATE TRIGGER keep BEFORE UPDATE OF overall ON Ratings WHEN NEW.Name = "
                  "'Sam Jones' BEGIN SELECT RAISE(ABORT, 'Sam keeps his rating'); END"}),
         {samColumn("overall",
                    "The season database refuses the new overall rating: Sam keeps his rating")},
         {"Al Fox"}},
        {"TriggerRollsEverythingBack",
         withSql({"CREATE TRIGGER undo BEFORE UPDATE OF overall ON Ratings WHEN NEW.Name = "
                  "'Sam Jones' BEGIN SELECT RAISE(ROLLBACK, 'not now'); END"}),
         {samColumn("overall", "The season database refuses the new overall rating: not now")}},
        {"TriggerDropsTheRating",
         withSql({"CREATE TRIGGER drop_it BEFORE UPDATE OF overall ON Ratings BEGIN SELECT "
                  "RAISE(IGNORE); END"}),
         {samColumn("overall", "The season database refuses the new overall rating: a trigger "
                               "drops it without an error."),
          "Player \"Al Fox\" of team \"Bears\", column \"overall\""}},
        {"CheckConstraintOnOverall",
         [](TestGame& game) {
             writeSeason(game, {}, [](auto& b) {
                 b.exec("UPDATE Ratings SET overall = NULL");
                 constrainRatings(b, "CHECK (overall IS NULL OR overall > 1000)");
             });
             return Held();
         },
         {samColumn("overall", "The season database refuses the new overall rating: CHECK "
                               "constraint failed")}},
        {"UniqueOverallRatings",
         withSql({"UPDATE Ratings SET overall = rowid",
                  "CREATE UNIQUE INDEX one_each ON Ratings(overall)"}),
         {samColumn("overall", "The season database refuses the new overall rating: UNIQUE "
                               "constraint failed: Ratings.overall")},
         {"Al Fox"}},
        {"RatingsIsAView",
         withSql({"ALTER TABLE Ratings RENAME TO Players",
                  "CREATE VIEW Ratings AS SELECT * FROM Players"}),
         // SQLite builds differ in whether a view has a rowid: either the player pass's
         // statement or the write-back is refused, before anything is written.
         {"{db}", "Ratings"}},

        // Tables and columns.
        {"NoRatingsTable",
         [](TestGame& game) {
             writeSeason(game, {}, [](auto& b) { b.exec("DROP TABLE Ratings"); });
             return Held();
         },
         {"The season database has no table Ratings."}},
        {"NoQzTable",
         [](TestGame& game) {
             writeSeason(game, {}, [](auto& b) { b.exec("DROP TABLE qz"); });
             return Held();
         },
         {"The season database has no table qz."}},
        {"MissingRatingsColumn",
         [](TestGame& game) {
             writeSeason(game, {}, [](auto& b) { b.exec("ALTER TABLE Ratings DROP \"Def Air\""); });
             return Held();
         },
         {"The table Ratings has no column \"Def Air\"."}},
        {"MissingQzColumn",
         [](TestGame& game) {
             writeSeason(game, {}, [](auto& b) { b.exec("ALTER TABLE qz DROP nk"); });
             return Held();
         },
         {"The table qz has no column \"nk\"."}},

        // Values that do not convert.
        {"TextWhereANumberBelongs",
         sam({{"Height", "abc"}}),
         {samColumn("Height", "'abc' is not a number")}},
        {"NumberWithUnit",
         sam({{"Height", "180.5cm"}}, true),
         {samColumn("Height", "'180.5cm' is not a number")}},
        {"NullWhereANumberBelongs",
         sam({{"Weight", QVariant()}}),
         {samColumn("Weight", "holds no value")}},
        {"BeyondSixteenBits",
         sam({{"Height", 40000}}),
         {samColumn("Height", "40000 is outside the range -32768 to 32767")}},
        {"BelowSixteenBits",
         sam({{"Inj Tend", -32768.51}}),
         {samColumn("Inj Tend", "-32768.51 is outside the range -32768 to 32767")}},
        {"InfiniteNumber",
         sam({{"Weight", qInf()}}),
         {samColumn("Weight", "inf is not a finite number")}},
        {"NumericTextTooLarge",
         sam({{"Salary", "1e400"}}, true),
         {samColumn("Salary", "'1e400' is too large a number")}},
        {"IntegerTextBeyondSixteenBits",
         sam({{"pno", "99999999999999999999999"}}, true),
         {kSam + ", column \"pno\"", "outside the range -32768 to 32767"}},
        {"BeyondSinglePrecision",
         sam({{"kickMax", 1e300}}),
         {samColumn("kickMax", "1e+300 is outside the range of a single-precision number")}},
        {"DateNotADate",
         sam({{"DOB", "yesterday"}}),
         {samColumn("DOB", "'yesterday' is not a date of the form YYYY-MM-DD or YYYY-MM-DD "
                           "HH:MM:SS")}},
        {"DateNoSuchDay",
         sam({{"DOB", "2001-02-30"}}),
         {samColumn("DOB", "'2001-02-30' is not a valid date")}},
        {"DateNoSuchTime",
         sam({{"DOB", "1980-01-01 24:00:00"}}),
         {samColumn("DOB", "'1980-01-01 24:00:00' is not a valid time of day")}},
        {"DateNull", sam({{"DOB", QVariant()}}), {samColumn("DOB", "holds no value")}},
        {"DayNumberBeyondDates",
         sam({{"DOB", 3e6}}, true),
         {samColumn("DOB", "day number 3000000 is outside the range of dates")}},
        {"KeyPosNeitherNumberNorBoolean",
         sam({{"key pos", "maybe"}}),
         {samColumn("key pos", "'maybe' is neither a number nor True or False")}},
        {"KeyPosNull", sam({{"key pos", QVariant()}}), {samColumn("key pos", "holds no value")}},
        {"OverallPointsBeyondSixteenBits",
         sam(allRatings(2000)),
         {samColumn("overall points (the sum of 22 ratings)",
                    "44000 is outside the range -32768 to 32767")}},
        {"TextInTheOverallSum",
         sam({{"tack", "lots"}}),
         {samColumn("tack", "'lots' is not a number"),
          samColumn("overall points (the sum of 22 ratings)",
                    "value 4 of the sum: 'lots' is not a number")}},
        {"NameWithoutBlank",
         sam({{"Name", "Madonna"}}),
         {"Player \"Madonna\" of team \"Cats\", column \"Name\": The name has no blank after its "
          "first character"}},
        {"NameStartingWithBlank",
         sam({{"Name", " Jones"}}),
         {"Player \" Jones\" of team \"Cats\", column \"Name\""}},
        {"NameNull",
         sam({{"Name", QVariant()}}),
         {"Player \"\" of team \"Cats\", column \"Name\""}},
        {"BinaryInATextColumn",
         sam({{"State", QByteArray("\x00\x01", 2)}}),
         {samColumn("State", "holds binary data, not text")}},
        {"TextBeyond65535Bytes",
         sam({{"Town", QString(65536, QChar(0xe9))}}),
         {"Sam Jones", "65536 bytes long; a team list file holds at most 65535 bytes per text"}},
        {"TextInQz",
         [](TestGame& game) {
             writeSeason(game, {}, [](auto& b) {
                 b.exec("UPDATE qz SET b = 'abc', nk = NULL WHERE name = 'Sam Jones'");
             });
             return Held();
         },
         {samColumn("qz.b", "'abc' is not a number"), samColumn("qz.nk", "holds no value")}},

        // Team names that cannot be one portable folder name.
        {"TeamEmpty", team(""), {teamLine("", "The team name is empty.")}},
        {"TeamNull", sam({{"team", QVariant()}}), {"Team \"\": The team name is empty."}},
        {"TeamDot", team("."), {teamLine(".", "\".\" cannot be a folder name.")}},
        {"TeamDotDot", team(".."), {teamLine("..", "\"..\" cannot be a folder name.")}},
        {"TeamWithSlash", team("a/b"), {illegal("a/b", "/")}},
        {"TeamClimbingOut", team("../x"), {illegal("../x", "/")}},
        {"TeamWithBackslash", team("a\\b"), {illegal("a\\b", "\\")}},
        {"TeamWithColon", team("C:"), {illegal("C:", ":")}},
        {"TeamWithStar", team("All*Stars"), {illegal("All*Stars", "*")}},
        {"TeamWithQuestionMark", team("Who?"), {illegal("Who?", "?")}},
        {"TeamWithQuote", team("The \"Cats\""), {illegal("The \"Cats\"", "\"")}},
        {"TeamWithAngles", team("<Cats>"), {illegal("<Cats>", "<")}},
        {"TeamWithBar", team("Cats|Dogs"), {illegal("Cats|Dogs", "|")}},
        {"TeamWithControlCharacter",
         team("Cats\tDogs"),
         {teamLine("Cats\tDogs", "The team name holds a control character.")}},
        {"TeamWithDelete", team(QStringLiteral("Cats\x7f")), {"holds a control character"}},
        {"TeamEndingInDot", team("Cats."), {trailing("Cats.")}},
        {"TeamEndingInBlank", team("Cats "), {trailing("Cats ")}},
        {"TeamDeviceName", team("CON"), {device("CON")}},
        {"TeamDeviceNameLowerCase", team("nul"), {device("nul")}},
        {"TeamDeviceNameWithExtension", team("Com1.txt"), {device("Com1.txt")}},
        {"TeamDeviceNameLpt9", team("lpt9.dat"), {device("lpt9.dat")}},
        {"TeamOf101Characters",
         team(QString(101, QChar('a'))),
         {teamLine(QString(101, QChar('a')), "The team name is longer than 100 characters.")}},
        {"TeamsDifferingOnlyInCase",
         [](TestGame& game) {
             writeSeason(game, {}, [](auto& b) { b.addPlayer("cats", "Jo Bell"); });
             return Held();
         },
         {"The teams \"Cats\" and \"cats\" differ only in letter case"}},
        {"MoreThan32767Teams",
         [](TestGame& game) {
             demo::SeasonBuilder builder(game.dbPath());
             builder.addPlayer("T", "Sam Jones");
             for (int i = 0; i < 15; ++i)
                 builder.exec("INSERT INTO Ratings SELECT * FROM Ratings");
             builder.exec("UPDATE Ratings SET team = 'T' || rowid");
             return Held();
         },
         {"The season database has 32768 teams; at most 32,767 can be imported."}},

        // The folders the run writes to.
        {"NoListsFolder",
         [](TestGame& game) {
             writeSeason(game, {});
             QDir(game.path()).rmdir("lists");
             return Held();
         },
         {"The folder {root}/lists does not exist"}},
        {"ListsIsAFile",
         [](TestGame& game) {
             writeSeason(game, {});
             QDir(game.path()).rmdir("lists");
             writeAll(game.file("lists"), "x");
             return Held();
         },
         {"The folder {root}/lists does not exist"}},
        {"SlotIsAFile",
         [](TestGame& game) {
             writeSeason(game, {});
             writeAll(game.slot(), "x");
             return Held();
         },
         {"{root}/lists/default2009 is a file, not a roster slot folder."}},
        {"NoSchedulesFolder",
         [](TestGame& game) {
             writeSeason(game, {});
             QDir(game.file("data/schedules")).removeRecursively();
             return Held();
         },
         {"The folder {root}/data/schedules does not exist"}},
        {"NoGameFixture",
         [](TestGame& game) {
             writeSeason(game, {});
             QFile::remove(game.file("data/schedules/schedule2008.dat"));
             return Held();
         },
         {"The game's fixture {root}/data/schedules/schedule2008.dat does not exist."}},
        {"GameFixtureIsAFolder",
         [](TestGame& game) {
             writeSeason(game, {});
             QFile::remove(game.file("data/schedules/schedule2008.dat"));
             QDir().mkpath(game.file("data/schedules/schedule2008.dat"));
             return Held();
         },
         {"The game's fixture {root}/data/schedules/schedule2008.dat does not exist."}},

        // Combinations: every problem is reported, not only the first.
        {"ThreeBadColumnsInOneRow",
         sam({{"Height", "abc"}, {"DOB", "soon"}, {"key pos", "maybe"}}),
         {samColumn("Height", "'abc' is not a number"), samColumn("DOB", "'soon' is not a date"),
          samColumn("key pos", "'maybe' is neither")}},
        {"FolderTeamAndValueProblemsTogether",
         [](TestGame& game) {
             writeSeason(game, {{{"Weight", "heavy"}}, false, "a/b"});
             QDir(game.path()).rmdir("lists");
             return Held();
         },
         {"The folder {root}/lists does not exist", illegal("a/b", "/"),
          "Player \"Sam Jones\" of team \"a/b\", column \"Weight\": 'heavy' is not a number"}},
        {"MissingColumnInBothTables",
         [](TestGame& game) {
             writeSeason(game, {}, [](auto& b) {
                 b.exec("ALTER TABLE Ratings DROP impr_nk");
                 b.exec("ALTER TABLE qz DROP bf");
             });
             return Held();
         },
         {"The table Ratings has no column \"impr_nk\".", "The table qz has no column \"bf\"."}},
        {"MissingColumnComesBeforeValues",
         [](TestGame& game) {
             writeSeason(game, {{{"Height", "abc"}}},
                         [](auto& b) { b.exec("ALTER TABLE Ratings DROP Town"); });
             return Held();
         },
         {"The table Ratings has no column \"Town\"."},
         {"'abc'"}},
        {"BrokenDatabaseAndMissingFolders",
         [](TestGame& game) {
             writeAll(game.dbPath(), {});
             QDir(game.file("data/schedules")).removeRecursively();
             return Held();
         },
         {"The folder {root}/data/schedules does not exist", kNotSqlite}},
        {"TwentyListedThenCounted",
         [](TestGame& game) {
             demo::SeasonBuilder builder(game.dbPath());
             for (int i = 1; i <= 25; ++i)
                 builder.addPlayer("Cats", QStringLiteral("P %1").arg(i, 2, 10, QChar('0')),
                                   {{"Height", "abc"}});
             return Held();
         },
         {"Player \"P 01\" of team \"Cats\", column \"Height\"",
          "Player \"P 20\" of team \"Cats\", column \"Height\"", "\nand 5 more"},
         {"\"P 21\"", "\"P 25\""}},
    };
    return cases;
}

// A fragment that names a path names it as the system writes it (backslashes on Windows).
QString expand(QString fragment, const TestGame& game) {
    if (!fragment.contains(QStringLiteral("{db}")) && !fragment.contains(QStringLiteral("{root}")))
        return fragment;
    return QDir::toNativeSeparators(fragment.replace(QStringLiteral("{db}"), game.dbPath())
                                        .replace(QStringLiteral("{root}"), game.path()));
}

void PrintTo(const BadInput& bad, std::ostream* out) {
    *out << bad.label;
}

class BadInputTest : public ::testing::TestWithParam<BadInput> {};

} // namespace

TEST_P(BadInputTest, IsReportedBeforeAnythingIsWritten) {
    const BadInput& bad = GetParam();
#ifdef Q_OS_WIN
    if (bad.linuxOnly)
        GTEST_SKIP() << "Linux only: " << bad.linuxOnly;
#endif
    TestGame game;
    const auto check = [&] {
        const Held held = bad.make(game);
        const FolderTree before = snapshotTree(game.path());

        UpdateRun run(game.folder(), game.ui);
        run.selectSlot(QStringLiteral("default2009"));
        const QFile::Permissions original = QFile::permissions(game.dbPath());
        if (bad.permissions)
            QFile::setPermissions(game.dbPath(), bad.permissions);
        run.run();
        QFile::setPermissions(game.dbPath(), original);

        ASSERT_EQ(game.ui.messages.size(), 1u);
        const FakeUi::Message& message = game.ui.messages[0];
        EXPECT_EQ(message.title, QStringLiteral("Update Error"));
        EXPECT_EQ(message.style, MessageStyle{MessageIcon::Critical});
        for (const QString& fragment : bad.expected)
            EXPECT_TRUE(message.text.contains(expand(fragment, game)))
                << "missing: " << expand(fragment, game).toStdString()
                << "\nmessage: " << message.text.toStdString();
        for (const QString& fragment : bad.absent)
            EXPECT_FALSE(message.text.contains(fragment))
                << "unexpected: " << fragment.toStdString()
                << "\nmessage: " << message.text.toStdString();
        // The progress frame never came up: the run stopped before the slot was prepared.
        EXPECT_TRUE(game.ui.visibility.empty());
        EXPECT_FALSE(run.isRunning());
        EXPECT_EQ(snapshotTree(game.path()), before);
    };
    // Root is not held back by file permissions.
    if (bad.rootBypasses || bad.permissions)
        runAsOrdinaryUser(game.path(), check);
    else
        check();
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BadInputTest, ::testing::ValuesIn(catalogue()),
                         [](const ::testing::TestParamInfo<BadInput>& info) {
                             return std::string(info.param.label);
                         });

// Texts are measured in the bytes the game's files hold, not in UTF-8: 65,535 letters é are
// 65,535 bytes in Windows-1252 (and twice that in UTF-8), so they fit.
TEST(TextLimit, CountsWindows1252Bytes) {
    TestGame game;
    writeSeason(game, {{{"Town", QString(65535, QChar(0xe9))}}});
    UpdateRun run(game.folder(), game.ui);
    run.selectSlot(QStringLiteral("default2009"));
    run.run();
    ASSERT_EQ(game.ui.messages.size(), 1u);
    EXPECT_EQ(game.ui.messages[0].text, QStringLiteral("Import Complete!"));
}

// A sound database passes the check and leaves the folder tree to the run: the catalogue's
// cases fail because of what each changes, not because of the common setup.
TEST(CatalogueBase, SoundSeasonCompletes) {
    TestGame game;
    writeSeason(game, {});
    UpdateRun run(game.folder(), game.ui);
    run.selectSlot(QStringLiteral("default2009"));
    run.run();
    ASSERT_EQ(game.ui.messages.size(), 1u);
    EXPECT_EQ(game.ui.messages[0].text, QStringLiteral("Import Complete!"));
}
