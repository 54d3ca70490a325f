#include "conversion/qztable.h"

#include "db/seasondatabase.h"
#include "support/sqlrows.h"
#include "support/testgame.h"
#include "tools/demo/demofolder.h"

#include <gtest/gtest.h>

using namespace tolvane;

namespace {

struct Layout {
    const char* what;
    const char* create; // the qz table and its indexes
    bool inMemory;
};

class QzTableTest : public ::testing::TestWithParam<Layout> {};

const char* const kRows[] = {
    "('Pat O''Brien', 1, 1, 1, 1, 1, 1, 1, 1)", "('pat o''brien', 2, 2, 2, 2, 2, 2, 2, 2)",
    "('Two Rows', 3, 3, 3, 3, 3, 3, 3, 3)",     "('Two Rows', 4, 1, 1, 1, 1, 1, 1, 1)",
    "(NULL, 5, 5, 5, 5, 5, 5, 5, 5)",           "(123, 6, 6, 6, 6, 6, 6, 6, 6)",
    "('Zoë', 7, 7, 7, 7, 7, 7, 7, 7)",          "('a%b_c', NULL, 8, 8, 8, 8, 8, 8, 8)",
};

} // namespace

// Whatever the table's layout, a look-up finds the row the statement finds.
TEST_P(QzTableTest, FindsTheRowTheStatementFinds) {
    TestGame game;
    {
        demo::SeasonBuilder builder(game.dbPath(), false);
        for (const QString& statement : QString::fromUtf8(GetParam().create).split(';'))
            builder.exec(statement);
        for (const char* row : kRows)
            builder.exec(
                QStringLiteral("INSERT INTO qz (name, b, bf, c, f, ff, r, k, nk) VALUES ") +
                QString::fromUtf8(row));
    }
    SeasonDatabase db(game.dbPath());
    QzTable table(db);
    EXPECT_EQ(table.inMemory(), GetParam().inMemory);

    for (const QString name : {"Pat O'Brien", "pat o'brien", "PAT O'BRIEN", "Two Rows", "123",
                               "Zoë", "zoë", "a%b_c", "a%b%c", "", "Nobody"}) {
        const SqlRows rows = queryRows(db.sqlite(), "SELECT b, bf FROM qz where name=?", {name});
        const QzTable::Values* found = table.find(name);
        if (rows.isEmpty()) {
            EXPECT_EQ(found, nullptr) << name.toStdString();
            continue;
        }
        ASSERT_NE(found, nullptr) << name.toStdString();
        EXPECT_EQ((*found)[0], rows.front()[0]) << name.toStdString();
        EXPECT_EQ((*found)[1], rows.front()[1]) << name.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, QzTableTest,
    ::testing::Values(
        Layout{"reference",
               "CREATE TABLE qz (name TEXT, b REAL, bf REAL, c REAL, f REAL, "
               "ff REAL, r REAL, k REAL, nk REAL)",
               true},
        Layout{"indexed",
               "CREATE TABLE qz (name VARCHAR(50), b, bf, c, f, ff, r, k, nk); "
               "CREATE INDEX ix_qz_name ON qz(name)",
               true},
        Layout{"nocase", "CREATE TABLE qz (name TEXT COLLATE NOCASE, b, bf, c, f, ff, r, k, nk)",
               false},
        Layout{"untyped", "CREATE TABLE qz (name, b, bf, c, f, ff, r, k, nk)", false},
        Layout{"two-column index",
               "CREATE TABLE qz (name TEXT, b, bf, c, f, ff, r, k, nk); "
               "CREATE INDEX ix ON qz(name, b DESC)",
               false},
        // An index in another collation cannot serve the statement's exact comparison.
        Layout{"nocase index",
               "CREATE TABLE qz (name TEXT, b, bf, c, f, ff, r, k, nk); "
               "CREATE INDEX ix ON qz(name COLLATE NOCASE)",
               true}),
    [](const auto& info) {
        QString name = QString::fromUtf8(info.param.what);
        name.replace(QLatin1Char(' '), QLatin1Char('_')).remove(QLatin1Char('-'));
        return name.toStdString();
    });
