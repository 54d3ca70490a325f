#include "tools/roster/rostertool.h"

#include "core/cp1252.h"
#include "records/playerrecord.h"
#include "records/recordcodec.h"
#include "run/updaterun.h"
#include "support/fakeui.h"
#include "support/foldertree.h"
#include "support/randomrecord.h"
#include "support/toolrun.h"
#include "tools/demo/demofolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>

using namespace tolvane;

namespace {

using Result = ToolResult;

Result roster(const QStringList& arguments) {
    return runTool(rostertool::run, arguments);
}

// The fields of a CSV text by RFC 4180, row by row.
std::vector<QStringList> parseCsv(const QString& text) {
    std::vector<QStringList> rows(1);
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back() << field;
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.back() << field;
            field.clear();
            rows.emplace_back();
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(rows.back().isEmpty() && field.isEmpty()) << "CSV must end in CR LF";
    rows.pop_back();
    return rows;
}

// Two roster slots made by whole update runs on demo folders of two seeds.
class Slots : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        for (const std::uint32_t seed : {1u, 2u}) {
            const QString folder = dir->filePath(QStringLiteral("game%1").arg(seed));
            demo::Options options;
            options.teams = 3;
            options.playersPerTeam = 6;
            options.seed = seed;
            demo::writeProgramFolder(folder, options);
            FakeUi ui;
            UpdateRun run(GameFolder(folder), ui);
            run.selectSlot(QStringLiteral("default2009"));
            run.run();
            ASSERT_EQ(ui.messages.back().text, "Import Complete!");
        }
    }
    static void TearDownTestSuite() { delete dir; }

    static QString slot(int seed) {
        return dir->filePath(QStringLiteral("game%1/lists/default2009").arg(seed));
    }
    static QString list(int seed, int team = 0) {
        const QString name = demo::teamName(team);
        return slot(seed) + QLatin1Char('/') + name + QLatin1Char('/') + name +
               QStringLiteral("_List.tvp");
    }
    QString scratch(const QString& name) const { return m_scratch.filePath(name); }

    static QTemporaryDir* dir;
    QTemporaryDir m_scratch;
};
QTemporaryDir* Slots::dir = nullptr;

// dump --json, then build: the same bytes, for lists of every shape the format allows.
void expectRoundTrip(const QString& path, const QString& scratchFolder, const char* what) {
    const Result dump = roster({"dump", "--json", path});
    ASSERT_EQ(dump.status, 0) << what << ": " << dump.err.toStdString();
    const QString json = scratchFolder + QStringLiteral("/list.json");
    const QString built = scratchFolder + QStringLiteral("/built.tvp");
    writeAll(json, dump.out.toUtf8());
    const Result build = roster({"build", json, built});
    ASSERT_EQ(build.status, 0) << what << ": " << build.err.toStdString();
    EXPECT_EQ(readAll(built).toHex(), readAll(path).toHex()) << what;
    EXPECT_EQ(roster({"dump", path}).status, 0) << what;
}

TEST_F(Slots, DumpCsvRowPerRecordEveryField) {
    PlayerRecord player;
    player.firstName = QStringLiteral("Jo, \"Bo\"");
    player.lastName = QStringLiteral("Line\r\nBreak");
    player.overall = 71.5f;
    player.subListA = std::vector{SubEntryA{"DNP", {}}, SubEntryA{"x", {1}}};
    writeAll(scratch("odd.tvp"), recordcodec::serialiseTeamList({PlayerRecord{}, player}));

    const Result result = roster({"dump", scratch("odd.tvp")});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_TRUE(result.err.isEmpty());
    const std::vector<QStringList> rows = parseCsv(result.out);
    ASSERT_EQ(rows.size(), 3u);
    const QStringList& header = rows[0];
    for (const QStringList& row : rows)
        EXPECT_EQ(row.size(), header.size());
    const auto cell = [&](int row, const char* column) {
        return rows[row].value(header.indexOf(QLatin1String(column)));
    };
    EXPECT_EQ(header.mid(0, 3), QStringList({"record", "spare0", "shortKick"}));
    EXPECT_EQ(cell(2, "firstName"), player.firstName);
    EXPECT_EQ(cell(2, "lastName"), player.lastName);
    EXPECT_EQ(cell(2, "overall"), "71.5");
    EXPECT_EQ(cell(2, "subListA[1].text"), "x");
    EXPECT_EQ(cell(2, "subListA[1].plain"), "01" + QString(50, '0'));
    EXPECT_EQ(cell(1, "subListA"), "");
    EXPECT_EQ(cell(1, "subListA[0].text"), "");

    // A real list: a row per record, the blank record first.
    const Result real = roster({"dump", list(1)});
    ASSERT_EQ(real.status, 0);
    const std::vector<QStringList> realRows = parseCsv(real.out);
    EXPECT_EQ(realRows.size(), 1u + 1u + 6u);
    EXPECT_EQ(realRows[2].value(realRows[0].indexOf("team")), demo::teamName(0));
}

TEST_F(Slots, DumpNamesTheByteRecordAndFieldOfDamage) {
    const QByteArray good = readAll(list(1));
    const std::vector<PlayerRecord> records = recordcodec::parseTeamList(good);
    // Record 2's lastName count, made to run past the end of the file.
    qsizetype at = recordcodec::kTeamListHeaderSize;
    for (int i = 0; i < 2; ++i)
        at += recordcodec::serialiseRecord(records[i]).size();
    at += 125 + 2 + toCp1252(records[2].firstName).size();
    QByteArray damaged = good;
    damaged[at] = char(0xFF);
    damaged[at + 1] = char(0xFF);
    writeAll(scratch("damaged.tvp"), damaged);

    const Result result = roster({"dump", scratch("damaged.tvp")});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out.isEmpty());
    const QString expected = QStringLiteral("Record 2, field lastName at byte %1").arg(at);
    EXPECT_TRUE(result.err.contains(expected)) << result.err.toStdString();
    EXPECT_EQ(roster({"dump", "--json", scratch("damaged.tvp")}).status, 1);
}

TEST_F(Slots, BuildGivesBackTheDumpedBytes) {
    std::mt19937 rng(2009);
    for (int n = 0; n < 20; ++n) {
        std::vector<PlayerRecord> records;
        for (unsigned i = rng() % 5; i > 0; --i)
            records.push_back(randomRecord(rng));
        writeAll(scratch("random.tvp"), recordcodec::serialiseTeamList(records));
        expectRoundTrip(scratch("random.tvp"), m_scratch.path(), "random list");
    }
    PlayerRecord allBytes;
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes.append(char(b));
    allBytes.firstName = fromCp1252(bytes);
    allBytes.salary = std::bit_cast<double>(0xFFF0000000000123ull);
    const QByteArray blankList = recordcodec::serialiseTeamList({PlayerRecord{}});
    const std::pair<const char*, QByteArray> shapes[] = {
        {"every byte in a text", recordcodec::serialiseTeamList({PlayerRecord{}, allBytes})},
        {"empty file", QByteArray()},
        {"list never created", recordcodec::teamListNeverCreated()},
        {"never created, then bytes", recordcodec::teamListNeverCreated() + "tail"},
        {"no records", recordcodec::teamListHeader(0)},
        {"bytes after the last record", blankList + QByteArray("\0\xff junk", 7)},
    };
    for (const auto& [what, data] : shapes) {
        writeAll(scratch("shape.tvp"), data);
        expectRoundTrip(scratch("shape.tvp"), m_scratch.path(), what);
    }
    const Result csv = roster({"dump", scratch("shape.tvp")});
    EXPECT_EQ(csv.status, 0);
    EXPECT_TRUE(csv.err.contains("7 bytes after the last record (from byte 631)"))
        << csv.err.toStdString();
}

TEST_F(Slots, BuildRoundTripsRealListsAndTheFuzzCorpus) {
    int lists = 0;
    for (QDirIterator it(slot(1), {"*_List.tvp"}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext(); ++lists)
        expectRoundTrip(it.next(), m_scratch.path(), "slot list");
    EXPECT_EQ(lists, 3);

    int valid = 0;
    int files = 0;
    for (QDirIterator it(TOLVANE_TEAMLIST_CORPUS, QDir::Files); it.hasNext(); ++files) {
        const QString path = it.next();
        if (roster({"dump", "--json", path}).status == 1)
            continue;
        expectRoundTrip(path, m_scratch.path(), qPrintable(it.fileName()));
        ++valid;
    }
    EXPECT_GT(valid, 5);
    EXPECT_LT(valid, files);
}

TEST_F(Slots, BuildRefusesWhatIsNoTeamList) {
    const QString out = scratch("out.tvp");
    writeAll(out, "kept");
    const std::pair<QByteArray, QStringList> cases[] = {
        {"{\"records\": [}", {"Byte 14", "not JSON"}},
        {"[]", {"not an object"}},
        {"{\"records\": 5}", {"records", "a number"}},
        {"{\"records\": [{}, {\"overal\": 5}]}", {"Record 1", "overal"}},
        {"{\"records\": [{\"firstName\": 5}]}", {"Record 0, field firstName", "a number"}},
        {"{\"records\": [{\"height\": 40000}]}", {"Record 0, field height", "40000"}},
        {"{\"records\": [{\"lastName\": \"\u0141ukasz\"}]}", {"lastName", "U+0141"}},
        {"{\"records\": [{\"subListA\": 1, \"subListA[1].text\": \"x\"}]}", {"subListA[1].text"}},
        {"{\"records\": [{}], \"emptyFile\": true}", {"emptyFile"}},
        {"{\"records\": [], \"trailingBytes\": \"abc\"}", {"trailingBytes"}},
        {"{\"records\": [{}, {\"town\": \"" + QByteArray(65536, 'a') + "\"}]}",
         {"Record 1", "town", "65536"}},
    };
    for (const auto& [json, mentions] : cases) {
        writeAll(scratch("in.json"), json);
        const Result result = roster({"build", scratch("in.json"), out});
        EXPECT_EQ(result.status, 1) << json.left(60).toStdString();
        for (const QString& mention : mentions)
            EXPECT_TRUE(result.err.contains(mention))
                << mention.toStdString() << " in " << result.err.toStdString();
        EXPECT_EQ(readAll(out), "kept");
    }
    writeAll(scratch("in.json"), "{\"records\": [{}]}");
    EXPECT_EQ(roster({"build", scratch("in.json"), scratch("missing/out.tvp")}).status, 2);
    EXPECT_EQ(roster({"build", scratch("in.json"), out}).status, 0);
    EXPECT_EQ(readAll(out), recordcodec::serialiseTeamList({PlayerRecord{}}));
}

TEST_F(Slots, DiffOfSlotsListsPlayersFieldsAndFiles) {
    const Result same = roster({"diff", QDir::current().relativeFilePath(slot(1)), slot(1)});
    EXPECT_EQ(same.status, 0);
    EXPECT_TRUE(same.out.isEmpty()) << same.out.toStdString();

    // A copy of slot 1 with one player gone, one changed and a sheet line more.
    const QString copy = scratch("copy");
    for (const auto& [relative, data] : snapshotTree(slot(1))) {
        if (relative.endsWith('/'))
            QDir().mkpath(copy + '/' + relative);
        else
            writeAll(copy + '/' + relative, data);
    }
    const QString team = demo::teamName(0);
    const QString copiedList = copy + '/' + team + '/' + team + "_List.tvp";
    std::vector<PlayerRecord> records = recordcodec::parseTeamList(readAll(copiedList));
    const PlayerRecord gone = records[2];
    records.erase(records.begin() + 2);
    PlayerRecord& changed = records[3];
    const float oldOverall = changed.overall;
    changed.overall = 99.5f;
    changed.town = QStringLiteral("Nowhere");
    writeAll(copiedList, recordcodec::serialiseTeamList(records));
    const QString sheet = copy + '/' + team + '/' + team + ".txt";
    writeAll(sheet, readAll(sheet) + "Extra Player\r\n");

    const Result result = roster({"diff", slot(1), copy});
    EXPECT_EQ(result.status, 1) << result.err.toStdString();
    const QString who = changed.firstName + ' ' + changed.lastName;
    const QStringList expected = {
        QStringLiteral("%1: removed %2 %3 (record 2)").arg(team, gone.firstName, gone.lastName),
        QStringLiteral("%1: %2: overall %3 -> 99.5").arg(team, who).arg(oldOverall),
        QStringLiteral("%1: %2: town \"%3\" -> \"Nowhere\"")
            .arg(team, who, recordcodec::parseTeamList(readAll(list(1)))[4].town),
        QStringLiteral("%1/%1.txt: differs (0 lines only in OLD, 1 only in NEW)").arg(team),
    };
    EXPECT_EQ(result.out, expected.join('\n') + '\n');

    // Two seeds: other players, another database copy.
    const Result seeds = roster({"diff", slot(1), slot(2)});
    EXPECT_EQ(seeds.status, 1);
    EXPECT_TRUE(seeds.out.contains(team + ": added ")) << seeds.out.toStdString();
    EXPECT_TRUE(seeds.out.contains(team + ": removed "));
    EXPECT_TRUE(seeds.out.contains("seasonStats.mdb: differs\n"));
}

TEST_F(Slots, DiffOfListsMatchesNamesInOrder) {
    PlayerRecord sam;
    sam.firstName = "Sam";
    sam.lastName = "Jones";
    sam.speed = std::bit_cast<float>(0x7FC01234u);
    PlayerRecord sam2 = sam;
    sam2.height = 180;
    PlayerRecord jo;
    jo.firstName = "Jo";
    jo.lastName = "Bell";
    PlayerRecord sam2Taller = sam2;
    sam2Taller.height = 185;
    writeAll(scratch("old.tvp"), recordcodec::serialiseTeamList({PlayerRecord{}, sam, sam2, jo}));
    writeAll(scratch("new.tvp"),
             recordcodec::serialiseTeamList({PlayerRecord{}, jo, sam, sam2Taller}) + "x");
    const Result result = roster({"diff", scratch("old.tvp"), scratch("new.tvp")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "Sam Jones #2: height 180 -> 185\n"
                          "the players stand in another order\n"
                          "bytes after the last record: 0 -> 1 bytes\n");
}

TEST_F(Slots, ExitStatusOfEveryCommand) {
    const QString good = list(1);
    writeAll(scratch("cut.tvp"), readAll(good).chopped(1));
    const QString cut = scratch("cut.tvp");
    const QString missing = scratch("missing.tvp");
    const struct {
        QStringList arguments;
        int status;
    } cases[] = {
        {{}, 2},
        {{"frob"}, 2},
        {{"dump"}, 2},
        {{"dump", "--csv", "--json", good}, 2},
        {{"dump", "--bogus", good}, 2},
        {{"dump", good, good}, 2},
        {{"dump", missing}, 2},
        {{"dump", slot(1)}, 2},
        {{"dump", cut}, 1},
        {{"dump", "--json", good}, 0},
        {{"build", good}, 2},
        {{"build", missing, scratch("x.tvp")}, 2},
        {{"build", good, scratch("x.tvp")}, 1},
        {{"diff", good}, 2},
        {{"diff", good, slot(1)}, 2},
        {{"diff", missing, good}, 2},
        {{"diff", cut, good}, 2},
        {{"diff", good, good}, 0},
        {{"diff", good, list(2)}, 1},
    };
    for (const auto& c : cases) {
        const Result result = roster(c.arguments);
        const std::string what = c.arguments.join(' ').toStdString();
        EXPECT_EQ(result.status, c.status) << what << "\n" << result.err.toStdString();
        EXPECT_EQ(result.err.isEmpty(),
                  c.status == 0 || (c.status == 1 && c.arguments[0] == "diff"))
            << what << "\n"
            << result.err.toStdString();
        if (c.status == 2) {
            EXPECT_TRUE(result.out.isEmpty()) << what;
        }
    }
    EXPECT_TRUE(roster({"diff", cut, good}).err.contains("Record 6, field spareText679"))
        << "where the list breaks";
    expectHelp(rostertool::run, "tolvane-roster", {"dump", "build", "diff"});
}

// The executable itself: its report on standard output, its status as the exit code.
TEST_F(Slots, ExecutableReportsAndExits) {
    QProcess process;
    process.start(TOLVANE_ROSTER_EXE, {"dump", list(1)});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardOutput()), roster({"dump", list(1)}).out);

    process.start(TOLVANE_ROSTER_EXE, {"diff", list(1), list(2)});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().isEmpty());
}

} // namespace
