#include "db/seasondatabase.h"

#include "core/patcherror.h"
#include "support/testgame.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolvane;

namespace {

qint64 overallOf(SeasonDatabase& db) {
    return db.scalar(QStringLiteral("SELECT overall FROM Ratings"));
}

// A season of one player whose overall rating is 7.
struct BatchFixture : ::testing::Test {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("season.db"));

    void SetUp() override {
        writeSimpleDatabase(path, {{"Cats", "Sam Jones"}});
        SeasonDatabase db(path);
        db.exec(QStringLiteral("UPDATE Ratings SET overall = 7"));
    }
};

} // namespace

TEST_F(BatchFixture, EndsOnlyByAnExplicitCall) {
    {
        SeasonDatabase db(path);
        WriteBatch batch(db);
        db.exec(QStringLiteral("UPDATE Ratings SET overall = 8"));
        batch.commit();
    }
    {
        SeasonDatabase db(path);
        EXPECT_EQ(overallOf(db), 8);
        // Left without a call, as by a slip, nothing is kept unasked.
        WriteBatch batch(db);
        db.exec(QStringLiteral("UPDATE Ratings SET overall = 10"));
    }
    SeasonDatabase db(path);
    EXPECT_EQ(overallOf(db), 8);
}

TEST_F(BatchFixture, ACommitThatIsRefusedThrowsAndKeepsNothing) {
    // A deferred foreign key lets every statement pass and refuses only the commit.
    SeasonDatabase db(path);
    db.exec(QStringLiteral("CREATE TABLE allowed (v INTEGER PRIMARY KEY)"));
    db.exec(QStringLiteral("INSERT INTO allowed VALUES (7)"));
    db.exec(QStringLiteral("CREATE TABLE picks (v INTEGER REFERENCES allowed(v) DEFERRABLE "
                           "INITIALLY DEFERRED)"));
    db.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
    {
        WriteBatch batch(db);
        db.exec(QStringLiteral("INSERT INTO picks VALUES (99)"));
        db.exec(QStringLiteral("UPDATE Ratings SET overall = 8"));
        try {
            batch.commit();
            ADD_FAILURE() << "the commit was not refused";
        } catch (const PatchError& e) {
            EXPECT_TRUE(e.cause().contains(QStringLiteral("FOREIGN KEY")))
                << e.message().toStdString();
        }
    }
    EXPECT_EQ(overallOf(db), 7);

    PatchError stop(QStringLiteral("Cannot write the file"), QStringLiteral("list"),
                    QStringLiteral("Disk full."));
    stop.appendCause(QString());
    stop.appendCause(QStringLiteral("Not saved either."));
    EXPECT_EQ(stop.message(),
              QStringLiteral("Cannot write the file:\nlist\n\nDisk full.\n\nNot saved either."));
}
