#pragma once

#include <QLatin1String>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <optional>
#include <span>

namespace tolvane {

// The season database as the update run reads it: the tables Ratings (a row a player) and
// qz (a player's position values, by name), and the columns of each. A database may hold
// more columns; these must be there. Column names are matched without regard to letter case.
namespace seasonschema {

inline constexpr QLatin1String kRatingsTable("Ratings");
inline constexpr QLatin1String kQzTable("qz");

// How the reference schema declares a column, which sets SQLite's type affinity.
enum class ColumnType { Text, Integer, Real };

// What the run does with a column.
enum class Role {
    Identity,     // names the player or team, and groups or finds the rows
    Value,        // converted into the player's record
    OverallPoint, // converted, and one of the 22 ratings summed into the overall points
    WrittenBack,  // overwritten with the recomputed overall rating, never read
};

struct Column {
    constexpr Column(const char* name, ColumnType type, Role role)
        : name(name)
        , type(type)
        , role(role) {}

    QLatin1String name;
    ColumnType type;
    Role role;
};

// The Ratings columns in the reference table's order; the mapping reads them by these.
enum RatingsColumn : int {
    Team,
    Name,
    Height,
    Weight,
    Dob,
    PreferredPos,
    SecondaryPos,
    ThirdPos,
    KeyPos,
    Crumbs,
    LongKick,
    ShortKick,
    KickMax,
    MarkContest,
    MarkUncontest,
    HBall,
    Tack,
    Strength,
    Speed,
    Agility,
    Health,
    Ho,
    GoalAccGrnd,
    GoalAccMark,
    FreeKickTend,
    Discipline,
    InjTend,
    RepTend,
    DefGrnd,
    DefAir,
    DefOne,
    ShortKickPer,
    LongKickPer,
    HballPer,
    RunPer,
    HealthLimit,
    Clearance,
    GoalSense,
    Leadership,
    Overall,
    PlayerType,
    Potential,
    LineupType,
    Contract,
    Salary,
    PendingContract,
    PendingSalary,
    Debut,
    State,
    Town,
    Pno,
    ImprR,
    ImprBf,
    ImprB,
    ImprC,
    ImprF,
    ImprFf,
    ImprK,
    ImprNk,
    RatingsColumnCount
};

// clang-format off
inline constexpr std::array<Column, RatingsColumnCount> kRatingsColumns = [] {
    using enum ColumnType;
    using enum Role;
    return std::array<Column, RatingsColumnCount>{{
        {"team",            Text,    Identity},
        {"Name",            Text,    Identity},
        {"Height",          Real,    Value},
        {"Weight",          Real,    Value},
        {"DOB",             Text,    Value},
        {"preferred pos",   Text,    Value},
        {"secondary pos",   Text,    Value},
        {"third pos",       Text,    Value},
        {"key pos",         Integer, Value},
        {"crumbs",          Integer, OverallPoint},
        {"Long Kick",       Integer, OverallPoint},
        {"Short Kick",      Integer, OverallPoint},
        {"kickMax",         Real,    Value},
        {"mark contest",    Integer, OverallPoint},
        {"mark uncontest",  Integer, OverallPoint},
        {"HBall",           Integer, OverallPoint},
        {"tack",            Integer, OverallPoint},
        {"Strength",        Integer, OverallPoint},
        {"Speed",           Integer, OverallPoint},
        {"Agility",         Integer, OverallPoint},
        {"Health",          Integer, OverallPoint},
        {"ho",              Integer, OverallPoint},
        {"goal acc grnd",   Integer, OverallPoint},
        {"goal acc mark",   Integer, OverallPoint},
        {"freeKickTend",    Integer, OverallPoint},
        {"discipline",      Integer, OverallPoint},
        {"Inj Tend",        Real,    Value},
        {"Rep Tend",        Real,    Value},
        {"Def Grnd",        Integer, OverallPoint},
        {"Def Air",         Integer, OverallPoint},
        {"Def One",         Integer, OverallPoint},
        {"short kick per",  Real,    Value},
        {"long kick per",   Real,    Value},
        {"hball per",       Real,    Value},
        {"run per",         Real,    Value},
        {"healthLimit",     Real,    Value},
        {"clearance",       Integer, OverallPoint},
        {"goalSense",       Integer, OverallPoint},
        {"leadership",      Integer, OverallPoint},
        {"overall",         Integer, WrittenBack},
        {"playerType",      Integer, Value},
        {"Potential",       Real,    Value},
        {"lineupType",      Text,    Value},
        {"contract",        Integer, Value},
        {"Salary",          Real,    Value},
        {"PendingContract", Integer, Value},
        {"pendingSalary",   Real,    Value},
        {"Debut",           Integer, Value},
        {"State",           Text,    Value},
        {"Town",            Text,    Value},
        {"pno",             Integer, Value},
        {"impr_r",          Integer, Value},
        {"impr_bf",         Integer, Value},
        {"impr_b",          Integer, Value},
        {"impr_c",          Integer, Value},
        {"impr_f",          Integer, Value},
        {"impr_ff",         Integer, Value},
        {"impr_k",          Integer, Value},
        {"impr_nk",         Integer, Value},
    }};
}();
// clang-format on

// The 22 ratings whose sum is a player's overall points, in the order they are added: a
// message names a value by its place in the sum, and reals are rounded in this order.
inline constexpr std::array<RatingsColumn, 22> kOverallPointColumns = {
    Crumbs,    Clearance,   HBall,      Tack,         Ho,          Strength,
    Speed,     Agility,     Health,     LongKick,     ShortKick,   GoalAccGrnd,
    GoalSense, GoalAccMark, Discipline, FreeKickTend, MarkContest, MarkUncontest,
    DefGrnd,   DefAir,      DefOne,     Leadership,
};

// The qz columns: the player's name, then the eight position values in the order the
// player record holds them.
enum QzColumn : int { QzName, QzB, QzBf, QzC, QzF, QzFf, QzR, QzK, QzNk, QzColumnCount };

inline constexpr std::size_t kQzPositionCount = QzColumnCount - QzB;

// clang-format off
inline constexpr std::array<Column, QzColumnCount> kQzColumns = [] {
    using enum ColumnType;
    using enum Role;
    return std::array<Column, QzColumnCount>{{
        {"name", Text, Identity},
        {"b",    Real, Value},
        {"bf",   Real, Value},
        {"c",    Real, Value},
        {"f",    Real, Value},
        {"ff",   Real, Value},
        {"r",    Real, Value},
        {"k",    Real, Value},
        {"nk",   Real, Value},
    }};
}();
// clang-format on

// The name of the i-th position column (0 for b).
constexpr QLatin1String qzPositionName(std::size_t i) {
    return kQzColumns[QzB + i].name;
}

// Every rating summed into the overall points has that role, and nothing else has.
constexpr bool overallPointsAgree() {
    std::size_t marked = 0;
    for (const Column& column : kRatingsColumns)
        marked += column.role == Role::OverallPoint ? 1 : 0;
    for (RatingsColumn column : kOverallPointColumns) {
        if (kRatingsColumns[column].role != Role::OverallPoint)
            return false;
    }
    return marked == kOverallPointColumns.size();
}
static_assert(overallPointsAgree());

// The index of the column called name in columns, matched as the run matches names, without
// regard to letter case; -1 when there is none.
int columnIndex(std::span<const Column> columns, QStringView name);

// A column of CREATE TABLE: its quoted name and the declared type. A column of no type gets
// no affinity, so that SQLite keeps its values as they come.
QString columnDeclaration(const QString& name, std::optional<ColumnType> type);
// CREATE TABLE of the declarations, one a line, for whoever reads the schema in the sqlite3
// shell.
QString createTableStatement(QLatin1String table, const QStringList& declarations);
// CREATE TABLE of the reference schema's table.
QString createReferenceTable(QLatin1String table, std::span<const Column> columns);
// The name in double quotes, as SQL names a table or column.
QString quotedName(const QString& name);

} // namespace seasonschema

} // namespace tolvane
