#include "records/teamlistwriter.h"

#include "core/patcherror.h"
#include "records/playerrecord.h"
#include "records/recordcodec.h"
#include "support/foldertree.h"
#include "support/ordinaryuser.h"
#include "support/randomrecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace tolvane;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

const QByteArray kBlankFile = hex("01 00 01 00 00 00 00 00 00 00") + QByteArray(621, '\0');

QByteArray listOfPlayers(const std::vector<PlayerRecord>& players) {
    std::vector<PlayerRecord> records = {recordcodec::blankRecord()};
    records.insert(records.end(), players.begin(), players.end());
    return recordcodec::serialiseTeamList(records);
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

TEST_F(TeamListWriterTest, WritesTheListWholeInTheTeamsFolder) {
    TeamListWriter writer(slot);
    writer.writeList("Cats", teamlist::blankListFile());
    EXPECT_TRUE(QFileInfo(slot + "/Cats").isDir());
    EXPECT_EQ(readAll(listOf("Cats")), kBlankFile);

    // A longer list of an earlier run goes whole; the team's other files stay.
    writeAll(listOf("Cats"), listOfPlayers({namedPlayer("Old", "Timer", "Cats"),
                                            namedPlayer("Older", "Still", "Cats")}) +
                                 QByteArray(4000, 'x'));
    writeAll(slot + "/Cats/Cats.txt", "Old Timer\r\n");
    const QByteArray list = listOfPlayers({namedPlayer("Jo", "Bell", "Cats")});
    writer.writeList("Cats", list);
    EXPECT_EQ(readAll(listOf("Cats")), list);
    EXPECT_EQ(readAll(slot + "/Cats/Cats.txt"), "Old Timer\r\n");
    EXPECT_EQ(QDir(slot + "/Cats").entryList(QDir::Files, QDir::Name),
              (QStringList{"Cats.txt", "Cats_List.tvp"}));
}

TEST_F(TeamListWriterTest, TeamNamesStayInsideTheSlot) {
    const FolderTree before = snapshotTree(tmp.path());
    for (const QString team : {"", ".", "..", "../Cats", "a/b", "a\\b"}) {
        TeamListWriter writer(slot);
        EXPECT_THROW(writer.writeList(team, teamlist::blankListFile()), PatchError)
            << team.toStdString();
    }
    EXPECT_EQ(snapshotTree(tmp.path()), before);
}

// Root may write any file whatever its permissions, so this runs as an ordinary user.
TEST_F(TeamListWriterTest, ReadOnlyListGivesErrorAndStaysAsItWas) {
    runAsOrdinaryUser(tmp.path(), [&] {
        TeamListWriter writer(slot);
        const QByteArray first = listOfPlayers({namedPlayer("Jo", "Bell", "Cats")});
        writer.writeList("Cats", first);
        ASSERT_TRUE(QFile::setPermissions(listOf("Cats"), QFile::ReadOwner | QFile::ReadUser));
        try {
            writer.writeList("Cats", listOfPlayers({namedPlayer("Sam", "Jones", "Cats")}));
            ADD_FAILURE() << "no error for a read-only list";
        } catch (const PatchError& error) {
            EXPECT_EQ(error.operation(), "Cannot write the file");
            EXPECT_EQ(error.target(), listOf("Cats"));
            EXPECT_FALSE(error.cause().isEmpty());
        }
        EXPECT_EQ(readAll(listOf("Cats")), first);
    });
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
    writer.writeList("Cats", listOfPlayers({namedPlayer("Jo", "Bell", "Cats")}));
    EXPECT_EQ(readAll(outside), "keep me");
    EXPECT_FALSE(QFileInfo(listOf("Cats")).isSymLink());
    EXPECT_EQ(recordcodec::parseTeamList(readAll(listOf("Cats"))).size(), 2u);
}
