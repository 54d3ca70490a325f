#include "players/teamlistwriter.h"

#include "core/patcherror.h"
#include "players/playerrecord.h"
#include "players/recordcodec.h"
#include "support/foldertree.h"
#include "support/platform.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

const QByteArray kBlankFile = hex("01 00 01 00 00 00 00 00 00 00") + QByteArray(621, '\0');

// As the player pass builds them: names set, both lists with one blank element.
PlayerRecord player(const QString& first, const QString& last, const QString& team) {
    PlayerRecord r;
    r.firstName = first;
    r.lastName = last;
    r.team = team;
    r.fullName = first + " " + last;
    r.overall = 71.5f;
    r.keyPos = -1;
    r.subListA = std::vector{SubEntryA{}};
    r.subListB = std::vector{SubEntryB{}};
    return r;
}

class TeamListWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        slot = tmp.path() + "/lists/default2009";
        ASSERT_TRUE(QDir().mkpath(slot));
    }

    QString listOf(const QString& team) const {
        return slot + "/" + team + "/" + team + "_List.tvp";
    }

    QTemporaryDir tmp;
    QString slot;
};

TEST_F(TeamListWriterTest, FirstRowCreatesFolderAndBlankList) {
    TeamListWriter writer(slot);
    writer.prepareTeam("Cats");
    EXPECT_TRUE(QFileInfo(slot + "/Cats").isDir());
    EXPECT_EQ(readAll(listOf("Cats")), kBlankFile);
}

TEST_F(TeamListWriterTest, PlayersFollowTheBlankRecordInRowOrder) {
    const std::vector<PlayerRecord> cats = {
        player("Jo", "Bell", "Cats"), player("Sam", "Jones", "Cats"), player("Al", "Fox", "Cats")};
    const PlayerRecord dog = player("Rex", "Ray", "Dogs");
    TeamListWriter writer(slot);
    std::vector<PlayerRecord> expected = {recordcodec::blankRecord()};
    for (const PlayerRecord& p : cats) {
        writer.prepareTeam("Cats");
        writer.appendPlayer("Cats", p);
        expected.push_back(p);
        // Complete and valid after every row.
        EXPECT_EQ(recordcodec::parseTeamList(readAll(listOf("Cats"))), expected);
    }
    writer.prepareTeam("Dogs");
    writer.appendPlayer("Dogs", dog);

    const QByteArray catsFile = readAll(listOf("Cats"));
    EXPECT_EQ(catsFile.left(10), hex("01 00 04 00 00 00 00 00 00 00"));
    // Header, blank record, and three records of 681 bytes plus their name texts.
    EXPECT_EQ(catsFile.size(), 631 + 3 * 681 + (2 + 4 + 4 + 7) + (3 + 5 + 4 + 9) + (2 + 3 + 4 + 6));
    EXPECT_EQ(recordcodec::parseTeamList(catsFile), expected);
    const std::vector<PlayerRecord> dogs = {recordcodec::blankRecord(), dog};
    EXPECT_EQ(recordcodec::parseTeamList(readAll(listOf("Dogs"))), dogs);
}

TEST_F(TeamListWriterTest, ListOfAnEarlierRunIsReplaced) {
    ASSERT_TRUE(QDir().mkdir(slot + "/Cats"));
    writeAll(listOf("Cats"),
             recordcodec::serialiseTeamList({PlayerRecord{}, player("Old", "Timer", "Cats"),
                                             player("Older", "Still", "Cats")}) +
                 QByteArray(4000, 'x'));
    writeAll(slot + "/Cats/Cats.txt", "Old Timer\r\n");

    TeamListWriter writer(slot);
    writer.prepareTeam("Cats");
    EXPECT_EQ(readAll(listOf("Cats")), kBlankFile);
    writer.appendPlayer("Cats", player("Jo", "Bell", "Cats"));
    EXPECT_EQ(readAll(listOf("Cats")).size(), 631 + 681 + 2 + 4 + 4 + 7);
    EXPECT_EQ(readAll(slot + "/Cats/Cats.txt"), "Old Timer\r\n");
}

// A list this writer did not start is read once to find its end; leftovers past the
// counted records are dropped rather than counted.
TEST_F(TeamListWriterTest, AppendsToAListItDidNotStart) {
    ASSERT_TRUE(QDir().mkdir(slot + "/Cats"));
    const PlayerRecord first = player("Jo", "Bell", "Cats");
    writeAll(listOf("Cats"),
             recordcodec::serialiseTeamList({PlayerRecord{}, first}) + QByteArray(50, 'x'));

    TeamListWriter writer(slot);
    const PlayerRecord second = player("Sam", "Jones", "Cats");
    writer.appendPlayer("Cats", second);
    const std::vector<PlayerRecord> expected = {PlayerRecord{}, first, second};
    EXPECT_EQ(readAll(listOf("Cats")), recordcodec::serialiseTeamList(expected));
}

TEST_F(TeamListWriterTest, ForeignHeadersAreNotExtended) {
    struct Case {
        const char* header;
        const char* cause;
    };
    const Case cases[] = {
        {"02 00 01 00 00 00 00 00 00 00", "2 dimensions"},
        {"01 00 01 00 00 00 01 00 00 00", "lower bound 1"},
        {"01 00 00 00 00 00 00 00 00 00", "no records"},
        {"01 00 02 00 00 00 00 00 00 00", "counts 2 records"},
    };
    ASSERT_TRUE(QDir().mkdir(slot + "/Cats"));
    for (const Case& c : cases) {
        const QByteArray contents = hex(c.header) + QByteArray(621, '\0');
        writeAll(listOf("Cats"), contents);
        TeamListWriter writer(slot);
        try {
            writer.appendPlayer("Cats", player("Jo", "Bell", "Cats"));
            ADD_FAILURE() << c.header << ": no error";
        } catch (const PatchError& error) {
            EXPECT_EQ(error.target(), listOf("Cats"));
            EXPECT_TRUE(error.cause().contains(c.cause)) << error.what();
        }
        EXPECT_EQ(readAll(listOf("Cats")), contents) << c.header;
    }

    // Also when another program rewrites the header between two rows.
    TeamListWriter writer(slot);
    writer.prepareTeam("Cats");
    QByteArray changed = kBlankFile;
    changed[0] = 3;
    writeAll(listOf("Cats"), changed);
    EXPECT_THROW(writer.appendPlayer("Cats", player("Jo", "Bell", "Cats")), PatchError);
    EXPECT_EQ(readAll(listOf("Cats")), changed);
}

TEST_F(TeamListWriterTest, TeamNamesStayInsideTheSlot) {
    const FolderTree before = snapshotTree(tmp.path());
    for (const QString team : {"", ".", "..", "../Cats", "a/b", "a\\b"}) {
        TeamListWriter writer(slot);
        EXPECT_THROW(writer.prepareTeam(team), PatchError) << team.toStdString();
        EXPECT_THROW(writer.appendPlayer(team, PlayerRecord{}), PatchError) << team.toStdString();
    }
    EXPECT_EQ(snapshotTree(tmp.path()), before);
}

TEST_F(TeamListWriterTest, TooLongTextLeavesTheListAlone) {
    TeamListWriter writer(slot);
    writer.prepareTeam("Cats");
    PlayerRecord p = player("Jo", "Bell", "Cats");
    p.town = QString(70000, 'a');
    EXPECT_THROW(writer.appendPlayer("Cats", p), PatchError);
    EXPECT_EQ(readAll(listOf("Cats")), kBlankFile);
}

TEST_F(TeamListWriterTest, ReadOnlyListGivesErrorAndStaysReadable) {
    if (permissionsBypassed())
        GTEST_SKIP() << "file permissions do not bind root";
    const PlayerRecord first = player("Jo", "Bell", "Cats");
    TeamListWriter writer(slot);
    writer.prepareTeam("Cats");
    writer.appendPlayer("Cats", first);
    ASSERT_TRUE(QFile::setPermissions(listOf("Cats"), QFile::ReadOwner | QFile::ReadUser));
    try {
        writer.appendPlayer("Cats", player("Sam", "Jones", "Cats"));
        ADD_FAILURE() << "no error for a read-only list";
    } catch (const PatchError& error) {
        EXPECT_EQ(error.operation(), "Cannot open the team list file");
        EXPECT_EQ(error.target(), listOf("Cats"));
        EXPECT_FALSE(error.cause().isEmpty());
    }
    const std::vector<PlayerRecord> expected = {PlayerRecord{}, first};
    EXPECT_EQ(recordcodec::parseTeamList(readAll(listOf("Cats"))), expected);
}

// A device that accepts a fixed number of bytes and then fails, as a full disk does.
class FailingBuffer : public QBuffer {
public:
    explicit FailingBuffer(QByteArray* data, qint64 budget)
        : QBuffer(data)
        , m_budget(budget) {}

protected:
    qint64 writeData(const char* data, qint64 length) override {
        const qint64 allowed = std::min(length, m_budget);
        if (allowed > 0)
            QBuffer::writeData(data, allowed);
        m_budget -= allowed;
        if (allowed < length) {
            setErrorString("No space left on device");
            return -1;
        }
        return length;
    }

private:
    qint64 m_budget;
};

// Whatever byte the disk fails at, the list reads as the players appended before.
TEST(TeamListAppend, FailureAtAnyByteLeavesAValidList) {
    const PlayerRecord first = player("Jo", "Bell", "Cats");
    const PlayerRecord second = player("Sam", "Jones", "Cats");
    const QByteArray start = recordcodec::serialiseTeamList({PlayerRecord{}, first});
    const QByteArray record = recordcodec::serialiseRecord(second);
    for (qint64 budget = 0; budget <= record.size() + 4; ++budget) {
        QByteArray data = start;
        FailingBuffer device(&data, budget);
        ASSERT_TRUE(device.open(QIODevice::ReadWrite));
        bool failed = false;
        try {
            teamlist::appendRecord(device, "Cats_List.tvp", start.size(), 2, record);
        } catch (const PatchError& error) {
            failed = true;
            EXPECT_EQ(error.cause(), "No space left on device");
        }
        EXPECT_EQ(failed, budget < record.size() + 4) << budget;
        // The record counts once the low byte of the new count is down.
        const bool counted = budget > record.size();
        const std::vector<PlayerRecord> expected = counted
                                                       ? std::vector{PlayerRecord{}, first, second}
                                                       : std::vector{PlayerRecord{}, first};
        EXPECT_EQ(recordcodec::parseTeamList(data), expected) << budget;
    }
}

} // namespace

// A list that is a link to a file elsewhere is replaced, and the file it points to is
// left alone.
TEST_F(TeamListWriterTest, LinkedListIsReplacedNotWrittenThrough) {
    const QString outside = tmp.filePath("outside.txt");
    writeAll(outside, "keep me");
    QDir().mkpath(slot + "/Cats");
    ASSERT_TRUE(QFile::link(outside, listOf("Cats")));
    TeamListWriter writer(slot);
    writer.prepareTeam("Cats");
    writer.appendPlayer("Cats", player("Jo", "Bell", "Cats"));
    EXPECT_EQ(readAll(outside), "keep me");
    EXPECT_FALSE(QFileInfo(listOf("Cats")).isSymLink());
    EXPECT_EQ(recordcodec::parseTeamList(readAll(listOf("Cats"))).size(), 2u);
}
