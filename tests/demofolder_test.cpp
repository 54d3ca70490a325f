#include "tools/demo/demofolder.h"

#include "core/patcherror.h"
#include "db/seasonschema.h"
#include "db/sqlite.h"
#include "support/foldertree.h"
#include "support/sqlrows.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <span>
#include <stdexcept>

using namespace tolvane;

namespace {

QStringList namesOf(std::span<const seasonschema::Column> columns) {
    QStringList names;
    for (const seasonschema::Column& column : columns)
        names << column.name;
    return names;
}

const QStringList expectedColumns = namesOf(seasonschema::kRatingsColumns);

using Rows = QList<QVariantList>;

class Reader {
public:
    explicit Reader(const QString& path)
        : m_db(sqlite::open(path, "Cannot read the demo database")) {}
    Rows rows(const QString& sql) { return queryRows(m_db, sql); }
    QVariant value(const QString& sql) {
        const Rows all = rows(sql);
        return all.isEmpty() ? QVariant() : all.front().front();
    }
    QStringList column(const QString& sql) {
        QStringList values;
        for (const QVariantList& row : rows(sql))
            values << row.front().toString();
        return values;
    }
    Rows dump() { return rows("SELECT * FROM Ratings ORDER BY rowid") + rows("SELECT * FROM qz"); }

private:
    SQLite::Database m_db;
};

QString anyColumnNull() {
    QStringList tests;
    for (const QString& column : expectedColumns)
        tests << '"' + column + "\" IS NULL";
    return "SELECT count(*) FROM Ratings WHERE " + tests.join(" OR ");
}

TEST(DemoFolder, SchemaHasEveryReferenceColumn) {
    QTemporaryDir dir;
    ASSERT_EQ(expectedColumns.size(), 59);
    for (bool withQz : {true, false}) {
        const QString path = dir.filePath(withQz ? "with.mdb" : "without.mdb");
        demo::SeasonBuilder(path, withQz).close();
        Reader db(path);
        EXPECT_EQ(db.column("SELECT name FROM pragma_table_info('Ratings')"), expectedColumns);
        const QStringList qz = db.column("SELECT name FROM pragma_table_info('qz')");
        EXPECT_EQ(qz, withQz ? namesOf(seasonschema::kQzColumns) : QStringList());
    }
}

TEST(DemoFolder, DefaultFolderIsAPlausibleGameFolder) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("game");
    demo::writeProgramFolder(folder, {});

    const FolderTree tree = snapshotTree(folder);
    EXPECT_TRUE(tree.count("lists/"));
    ASSERT_TRUE(tree.count("schedule2009.dat") && tree.count("data/schedules/schedule2008.dat"));
    const QByteArray next = tree.at("schedule2009.dat");
    const QByteArray own = tree.at("data/schedules/schedule2008.dat");
    EXPECT_GE(next.size(), 1024);
    EXPECT_GE(own.size(), 1024);
    EXPECT_NE(next, own);
    EXPECT_EQ(tree.size(), 6u) << "three files, their folders and an empty lists/";

    Reader db(dir.filePath("game/seasonStats.mdb"));
    const Rows teams = db.rows("SELECT team, count(*) FROM Ratings GROUP BY team");
    ASSERT_EQ(teams.size(), 18);
    for (const QVariantList& team : teams) {
        EXPECT_EQ(team[1].toInt(), 44) << team[0].toString().toStdString();
        EXPECT_FALSE(team[0].toString().contains(QRegularExpression(R"([\\/:*?"<>|]|^\s|\s$)")));
    }
    EXPECT_EQ(db.value("SELECT count(DISTINCT lower(team)) FROM Ratings").toInt(), 18);
    EXPECT_GT(db.value("SELECT count(DISTINCT team) FROM Ratings WHERE team LIKE '% %'").toInt(),
              0);
    EXPECT_GT(db.value("SELECT count(DISTINCT team) FROM (SELECT team FROM Ratings ORDER BY rowid "
                       "LIMIT 44)")
                  .toInt(),
              1)
        << "teams should interleave";
    EXPECT_EQ(db.value(anyColumnNull()).toInt(), 0);

    const int withQz =
        db.value("SELECT count(*) FROM Ratings WHERE Name IN (SELECT name FROM qz)").toInt();
    EXPECT_GT(withQz, 792 * 80 / 100);
    EXPECT_LT(withQz, 792 * 97 / 100);
    EXPECT_EQ(
        db.value("SELECT count(*) FROM sqlite_master WHERE type='index' AND tbl_name='qz'").toInt(),
        1);

    const QStringList names = db.column("SELECT Name FROM Ratings");
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size());
    EXPECT_TRUE(names.filter("'").size() > 0);
    EXPECT_TRUE(names.filter(QRegularExpression("[éüñöø]")).size() > 0);
    EXPECT_TRUE(names.filter(QRegularExpression("^\\S+ \\S+ \\S+$")).size() > 0);

    // The overall points must reach both ends of the 900..1700 mapping.
    const Rows points = db.rows(
        R"(SELECT min(p), max(p) FROM (SELECT crumbs + clearance + HBall + tack + ho + Strength
        + Speed + Agility + Health + "Long Kick" + "Short Kick" + "goal acc grnd" + goalSense
        + "goal acc mark" + discipline + freeKickTend + "mark contest" + "mark uncontest"
        + "Def Grnd" + "Def Air" + "Def One" + leadership AS p FROM Ratings))");
    EXPECT_LE(points[0][0].toInt(), 900);
    EXPECT_GT(points[0][1].toInt(), 1700);
    EXPECT_GT(db.value("SELECT count(*) FROM Ratings WHERE Speed < 30").toInt(), 0);
    EXPECT_GT(db.value("SELECT count(*) FROM Ratings WHERE Speed >= 99").toInt(), 0);
}

TEST(DemoFolder, RefusesToOverwriteAGameFolder) {
    QTemporaryDir dir;
    demo::writeProgramFolder(dir.path(), {});
    const FolderTree before = snapshotTree(dir.path());
    demo::Options other;
    other.seed = 7;
    try {
        demo::writeProgramFolder(dir.path(), other);
        FAIL() << "an existing game folder was overwritten";
    } catch (const PatchError& error) {
        EXPECT_TRUE(error.target().endsWith("seasonStats.mdb"));
        EXPECT_TRUE(error.cause().contains("already exists"));
    }
    EXPECT_EQ(snapshotTree(dir.path()), before);

    const QString nowhere = dir.filePath("missing/season.mdb");
    EXPECT_THROW(demo::writeSeasonDatabase(nowhere, {}), PatchError);
    EXPECT_FALSE(QFileInfo::exists(nowhere));
}

TEST(DemoFolder, SameSeedSameContent) {
    QTemporaryDir dir;
    const auto dumpFor = [&](std::uint32_t seed, bool qzIndex) {
        const QString path = dir.filePath(QString("%1-%2.mdb").arg(seed).arg(qzIndex));
        demo::Options options{3, 7, seed, qzIndex};
        demo::writeSeasonDatabase(path, options);
        Reader db(path);
        return db.dump();
    };
    const Rows first = dumpFor(42, true);
    EXPECT_GT(first.size(), 21);
    EXPECT_EQ(dumpFor(42, false), first);
    EXPECT_NE(dumpFor(43, true), first);
    EXPECT_EQ(Reader(dir.filePath("42-0.mdb"))
                  .value("SELECT count(*) FROM sqlite_master WHERE type='index'")
                  .toInt(),
              0);
}

TEST(DemoFolder, SeasonBuilderStoresOverridesAndNulls) {
    QTemporaryDir dir;
    const QString path = dir.filePath("built.mdb");
    {
        demo::SeasonBuilder builder(path);
        builder.addPlayer("Cats", "Sam O'Hara",
                          {{"CRUMBS", 77}, {"health", QVariant()}, {"dob", "1990-01-02"}});
        builder.addPlayer("Cats", "Ann Lee Smith");
        builder.addQz("Sam O'Hara", {1, 2, 3, 4, 5, 6, 7, 8.5});
        EXPECT_THROW(builder.addPlayer("Cats", "X Y", {{"crumb", 1}}), std::invalid_argument);
        try {
            builder.exec("DROP TABLE Missing");
            FAIL() << "a failing statement was not reported";
        } catch (const PatchError& error) {
            EXPECT_EQ(error.target(), path);
            EXPECT_TRUE(error.cause().contains("no such table")) << error.what();
        }
    }
    Reader db(path);
    const Rows sam =
        db.rows("SELECT crumbs, Health, DOB, Speed FROM Ratings WHERE Name='Sam O''Hara'");
    ASSERT_EQ(sam.size(), 1);
    EXPECT_EQ(sam[0][0].toInt(), 77);
    EXPECT_TRUE(sam[0][1].isNull());
    EXPECT_EQ(sam[0][2].toString(), "1990-01-02");
    EXPECT_FALSE(sam[0][3].isNull());
    EXPECT_EQ(db.value(anyColumnNull()).toInt(), 1) << "only Sam's Health is NULL";
    EXPECT_EQ(db.value("SELECT count(*) FROM Ratings").toInt(), 2);
    EXPECT_EQ(db.rows("SELECT * FROM qz"),
              (Rows{{"Sam O'Hara", 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.5}}));
}

} // namespace
