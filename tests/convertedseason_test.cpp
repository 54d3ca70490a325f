#include "run/convertedseason.h"

#include "records/playerrecord.h"
#include "records/recordcodec.h"
#include "support/randomrecord.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tolvane;

namespace {

// Each team's list is the blank record and then its players in the order they came, with
// a header that counts them all; the ratings keep the order of the rows.
TEST(ConvertedSeason, BuildsEachTeamsListInRowOrder) {
    const std::vector<PlayerRecord> cats = {namedPlayer("Jo", "Bell", "Cats"),
                                            namedPlayer("Sam", "Jones", "Cats"),
                                            namedPlayer("Al", "Fox", "Cats")};
    const PlayerRecord dog = namedPlayer("Rex", "Ray", "Dogs");
    ConvertedSeason season;
    qint64 rowid = 10;
    for (const PlayerRecord& p : cats)
        season.addPlayer("Cats", recordcodec::serialiseRecord(p), {rowid++, 50});
    season.addPlayer("Dogs", recordcodec::serialiseRecord(dog), {3, 61});
    season.finish();

    ASSERT_EQ(season.teams().size(), 2u);
    const ConvertedSeason::Team& catsTeam = season.teams()[0];
    EXPECT_EQ(catsTeam.name, "Cats");
    EXPECT_EQ(catsTeam.players, 3u);
    const QByteArray catsList = season.teamList(catsTeam);
    EXPECT_EQ(catsList.left(10), QByteArray::fromHex("01000400000000000000"));
    // Header, blank record, and three records of 681 bytes plus their name texts.
    EXPECT_EQ(catsList.size(), 631 + 3 * 681 + (2 + 4 + 4 + 7) + (3 + 5 + 4 + 9) + (2 + 3 + 4 + 6));
    std::vector<PlayerRecord> expected = {recordcodec::blankRecord()};
    expected.insert(expected.end(), cats.begin(), cats.end());
    EXPECT_EQ(recordcodec::parseTeamList(catsList), expected);
    EXPECT_EQ(recordcodec::parseTeamList(season.teamList(season.teams()[1])),
              (std::vector{recordcodec::blankRecord(), dog}));

    ASSERT_EQ(season.playerCount(), 4);
    EXPECT_EQ(season.ratings()[0].rowid, 10);
    EXPECT_EQ(season.ratings()[3].rowid, 3);
    EXPECT_EQ(season.ratings()[3].value, 61);
}

} // namespace
