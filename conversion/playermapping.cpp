#include "conversion/playermapping.h"

#include "conversion/columnconversion.h"
#include "conversion/qztable.h"
#include "conversion/ratingscales.h"
#include "conversion/valueconversion.h"
#include "core/patcherror.h"
#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "db/seasonstatements.h"
#include "records/playerrecord.h"
#include "records/recordcodec.h"

#include <QScopeGuard>

#include <algorithm>
#include <array>
#include <tuple>

namespace tolvane {

namespace {

using namespace seasonschema;

// Playing-type profiles for types 1 to 7; both of a record's profiles get the same one.
constexpr std::array<std::array<std::int16_t, 20>, 7> kTypeProfiles = {{
    {90, 60, 20, 10, 5, 75, 80, 30, 25, 15, 50, 55, 65, 30, 15, 55, 60, 60, 25, 25},
    {40, 50, 60, 60, 45, 25, 50, 70, 70, 65, 20, 40, 80, 75, 70, 15, 30, 60, 80, 75},
    {95, 60, 15, 8, 4, 85, 75, 25, 15, 5, 60, 60, 60, 30, 15, 50, 55, 55, 20, 20},
    {30, 40, 50, 70, 55, 15, 40, 60, 80, 75, 10, 30, 70, 85, 80, 5, 20, 50, 90, 85},
    {80, 70, 30, 20, 10, 75, 80, 40, 30, 20, 50, 70, 80, 70, 65, 15, 30, 50, 80, 60},
    {85, 80, 45, 35, 25, 80, 85, 50, 40, 30, 60, 80, 90, 80, 75, 20, 40, 60, 85, 75},
    {70, 60, 25, 15, 5, 60, 70, 30, 20, 10, 40, 60, 70, 60, 50, 5, 20, 40, 70, 50},
}};

constexpr float kNoPositionValue = 100.0f;

// A Ratings column that the mapping reads with conversion C. It is made when the mapping is
// compiled: a column read otherwise than kRatingsConversions says does not compile.
template <values::Conversion C> struct ReadAs {
    consteval ReadAs(RatingsColumn c)
        : column(c) {
        if (values::kRatingsConversions[c] != C)
            throw "the column is read otherwise than kRatingsConversions says";
    }
    RatingsColumn column;
};

static_assert(values::kRatingsConversions[Team] == values::Conversion::Text);
static_assert(values::kRatingsConversions[Name] == values::Conversion::Name);
static_assert(values::kRatingsConversions[Overall] == values::Conversion::Unread);
static_assert(std::all_of(values::kQzConversions.begin() + QzB, values::kQzConversions.end(),
                          [](values::Conversion c) { return c == values::Conversion::Single; }));

} // namespace

struct PlayerMapper::Impl {
    SeasonDatabase& db;
    std::array<int, RatingsColumnCount> columns{};
    QzTable qz;

    // The player the current row describes, for messages; texts of ours where the row's
    // own cannot be read.
    QString team;
    QString name;
    // Whether name is the row's own, and so the key of its qz look-up.
    bool nameIsText = false;
    QzMatch qzMatch = QzMatch::NotLookedUp;
    // Per column, when a check counts them; and those of the current row.
    std::vector<ClampedValues> clamped;
    std::vector<ClampedValue> clampedInRow;

    explicit Impl(SeasonDatabase& database)
        : db(database)
        , qz(database) {}

    // Where a check collects problems instead of stopping at the first; null in a run.
    std::vector<MappingProblem>* problems = nullptr;

    // Reports a value that cannot be converted: stops the run, or notes it in a check.
    void fail(const QString& column, const QString& reason) const {
        if (problems) {
            problems->push_back({team, name, column, reason});
            return;
        }
        throw PatchError(
            QStringLiteral("Cannot convert a player of the season database"),
            QStringLiteral("Player \"%1\" of team \"%2\", column \"%3\"").arg(name, team, column),
            reason);
    }

    // Converts one column of the current row, naming the player and column on failure.
    template <class Convert>
    auto get(const Recordset& row, RatingsColumn column, Convert convert) const {
        try {
            return convert(row.value(columns[column]));
        } catch (const values::ValueError& e) {
            fail(kRatingsColumns[column].name, e.reason());
            return decltype(convert(QVariant())){};
        }
    }

    // field names the record's field that gets the result (see TOLVANE_SCALED).
    float scale(const Recordset& row, ReadAs<values::Conversion::Rating> column, std::uint8_t kind,
                QLatin1String field) {
        const std::optional<double> rating = get(row, column.column, values::toRating);
        if (rating && !clamped.empty())
            noteClamped(column.column, kind, *rating, field);
        return static_cast<float>(convertRating(rating, kind));
    }
    void noteClamped(RatingsColumn column, std::uint8_t kind, double value, QLatin1String field);
    std::int16_t int16(const Recordset& row, ReadAs<values::Conversion::Int16> column) const {
        return get(row, column.column, values::toInt16);
    }
    std::int16_t boolean(const Recordset& row, ReadAs<values::Conversion::Boolean> column) const {
        return get(row, column.column, values::toBoolean);
    }
    float single(const Recordset& row, ReadAs<values::Conversion::Single> column) const {
        return get(row, column.column, values::toSingle);
    }
    double real(const Recordset& row, ReadAs<values::Conversion::Double> column) const {
        return get(row, column.column, values::toDouble);
    }
    double date(const Recordset& row, ReadAs<values::Conversion::Date> column) const {
        return get(row, column.column, values::toOleDate);
    }
    QString text(const Recordset& row, ReadAs<values::Conversion::Text> column) const {
        return get(row, column.column, values::toText);
    }

    void readIdentity(const Recordset& row);
    void mapAttributes(const Recordset& row, PlayerRecord& r);
    void mapCareer(const Recordset& row, PlayerRecord& r);
    void mapPositionValues(PlayerRecord& r);
};

PlayerMapper::PlayerMapper(SeasonDatabase& db, const Recordset& ratings)
    : d(std::make_unique<Impl>(db)) {
    for (int c = 0; c < RatingsColumnCount; ++c)
        d->columns[c] = ratings.requireColumn(kRatingsColumns[c].name, kRatingsTable);
}

PlayerMapper::~PlayerMapper() = default;

std::int16_t PlayerMapper::overallPoints(const Recordset& row) const {
    std::array<QVariant, kOverallPointColumns.size()> raw;
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = row.value(d->columns[kOverallPointColumns[i]]);
    try {
        return values::sumToInt16(raw);
    } catch (const values::ValueError& e) {
        d->fail(values::kOverallPointsName, e.reason());
        return 0;
    }
}

std::int16_t PlayerMapper::map(const Recordset& row, PlayerRecord& record,
                               std::vector<MappingProblem>* problems) {
    d->problems = problems;
    d->clampedInRow.clear();
    const auto noLongerCollecting = qScopeGuard([this] { d->problems = nullptr; });
    d->readIdentity(row);
    d->mapAttributes(row, record);
    const std::int16_t rating = overallToRating(overallPoints(row));
    record.overall = static_cast<float>(convertRating(rating, TenthsKind));
    d->mapCareer(row, record);
    d->mapPositionValues(record);
    return rating;
}

QzMatch PlayerMapper::qzMatch() const {
    return d->qzMatch;
}

const QString& PlayerMapper::qzSpelling() const {
    return d->qz.otherSpelling();
}

void PlayerMapper::countClampedValues() {
    d->clamped.resize(RatingsColumnCount);
}

const std::vector<ClampedValues>& PlayerMapper::clampedValues() const {
    return d->clamped;
}

const std::vector<ClampedValue>& PlayerMapper::clampedInRow() const {
    return d->clampedInRow;
}

void PlayerMapper::Impl::noteClamped(RatingsColumn column, std::uint8_t kind, double value,
                                     QLatin1String field) {
    const std::optional<RungBounds> bounds = rungBounds(kind);
    if (!bounds)
        return;
    ClampedValues& c = clamped[column];
    c.lowestRung = bounds->lowest;
    c.highestRung = bounds->highest;
    if (value < bounds->lowest) {
        c.lowestValue = c.below++ == 0 ? value : std::min(c.lowestValue, value);
        clampedInRow.push_back({column, field, value, bounds->lowest});
    } else if (value > bounds->highest) {
        c.highestValue = c.above++ == 0 ? value : std::max(c.highestValue, value);
        clampedInRow.push_back({column, field, value, bounds->highest});
    }
}

const QString& PlayerMapper::team() const {
    return d->team;
}

const QString& PlayerMapper::name() const {
    return d->name;
}

QString PlayerMapper::ratingsStatement() {
    return seasonstatements::playersByTeam();
}

void PlayerMapper::Impl::readIdentity(const Recordset& row) {
    // Every message about the row names its player and team, so these two are read
    // first; a value that is no text is described by what it is and where it lies.
    QString teamProblem;
    QString nameProblem;
    const auto identity = [&](RatingsColumn column, QString& problem) {
        try {
            return values::toText(row.value(columns[column]));
        } catch (const values::ValueError& e) {
            problem = e.reason();
            return QStringLiteral("(row %1)").arg(row.value(0).toString());
        }
    };
    team = identity(Team, teamProblem);
    name = identity(Name, nameProblem);
    nameIsText = nameProblem.isEmpty();
    if (!teamProblem.isEmpty())
        fail(kRatingsColumns[Team].name, teamProblem);
    if (!nameProblem.isEmpty())
        fail(kRatingsColumns[Name].name, nameProblem);
}

// A rating through its kind's scale into the record's field of that name; the field's name
// is spelled once, so that a report of clamped values marks the field the value lands in.
#define TOLVANE_SCALED(field, column, kind)                                                        \
    r.field = scale(row, column, kind, QLatin1String(#field))

void PlayerMapper::Impl::mapAttributes(const Recordset& row, PlayerRecord& r) {
    // Read with the player's identity; a value that is no text has been reported there.
    r.team = team;
    if (nameIsText) {
        try {
            std::tie(r.firstName, r.lastName) = values::toFirstAndLastName(name);
        } catch (const values::ValueError& e) {
            fail(kRatingsColumns[Name].name, e.reason());
        }
    }
    r.height = int16(row, Height);
    r.weight = int16(row, Weight);
    r.dateOfBirth = date(row, Dob);
    r.preferredPos = text(row, PreferredPos);
    r.secondaryPos = text(row, SecondaryPos);
    r.thirdPos = text(row, ThirdPos);
    r.keyPos = boolean(row, KeyPos);
    TOLVANE_SCALED(crumbs, Crumbs, SkillKind);
    TOLVANE_SCALED(longKick, LongKick, SkillKind);
    TOLVANE_SCALED(shortKick, ShortKick, SkillKind);
    r.kickMax = single(row, KickMax);
    TOLVANE_SCALED(markContested, MarkContest, SkillKind);
    TOLVANE_SCALED(markUncontested, MarkUncontest, SkillKind);
    TOLVANE_SCALED(handball, HBall, SkillKind);
    TOLVANE_SCALED(tackling, Tack, SkillKind);
    TOLVANE_SCALED(strength, Strength, SkillKind);
    TOLVANE_SCALED(speed, Speed, SkillKind);
    TOLVANE_SCALED(agility, Agility, SkillKind);
    TOLVANE_SCALED(health, Health, HealthKind);
    TOLVANE_SCALED(hitOuts, Ho, SkillKind);
    TOLVANE_SCALED(goalAccuracyGround, GoalAccGrnd, SkillKind);
    TOLVANE_SCALED(goalAccuracyMark, GoalAccMark, GoalAccuracyMarkKind);
    TOLVANE_SCALED(freeKickTendency, FreeKickTend, SkillKind);
    TOLVANE_SCALED(discipline, Discipline, SkillKind);
    r.injuryTendency = int16(row, InjTend);
    r.reputationTendency = single(row, RepTend);
    TOLVANE_SCALED(defenceGround, DefGrnd, DefenceKind);
    TOLVANE_SCALED(defenceAir, DefAir, DefenceKind);
    TOLVANE_SCALED(defenceOne, DefOne, DefenceKind);
    r.shortKickPercent = single(row, ShortKickPer);
    r.longKickPercent = single(row, LongKickPer);
    r.handballPercent = single(row, HballPer);
    r.runPercent = single(row, RunPer);
    r.healthLimit = real(row, HealthLimit);
}

void PlayerMapper::Impl::mapCareer(const Recordset& row, PlayerRecord& r) {
    r.preset209 = 50.0;
    r.preset311 = 50;
    r.fullName = r.firstName + QLatin1Char(' ') + r.lastName;
    // The kick factors read the kick ratings as the record stores them, in single
    // precision: a stored 3.19 lies just above the threshold 3.19.
    r.shortKickFactor = static_cast<float>(convertRating(double(r.shortKick), ShortKickKind));
    r.longKickFactor = static_cast<float>(convertRating(double(r.longKick), LongKickKind));

    r.leadership = int16(row, Leadership);
    r.playerType = int16(row, PlayerType);
    r.potential = real(row, Potential);
    r.lineupType = text(row, LineupType);
    r.contract = int16(row, Contract);
    r.salary = real(row, Salary);
    r.pendingContract = int16(row, PendingContract);
    r.pendingSalary = real(row, PendingSalary);
    r.recentGames.fill(QStringLiteral("DNP"));
    TOLVANE_SCALED(clearance, Clearance, SkillKind);
    r.goalSense = single(row, GoalSense);
    r.debut = int16(row, Debut);
    r.state = text(row, State);
    r.town = text(row, Town);
    r.playerNumber = int16(row, Pno);

    r.preset403 = 0;
    r.preset411 = 0;
    r.preset413 = 0;
    r.subListA = std::vector<SubEntryA>(1);
    r.subListB = std::vector<SubEntryB>(1);
    r.preset489 = -1;
    r.preset645 = 3;

    r.improveR = improvementRate(int16(row, ImprR));
    r.improveBf = improvementRate(int16(row, ImprBf));
    r.improveB = improvementRate(int16(row, ImprB));
    r.improveC = improvementRate(int16(row, ImprC));
    r.improveF = improvementRate(int16(row, ImprF));
    r.improveFf = improvementRate(int16(row, ImprFf));
    r.improveK = improvementRate(int16(row, ImprK));
    r.improveNk = improvementRate(int16(row, ImprNk));

    // Other player types leave both profiles as the previous player of the run left them.
    if (r.playerType >= 1 && r.playerType <= 7) {
        r.typeProfileA = kTypeProfiles[r.playerType - 1];
        r.typeProfileB = kTypeProfiles[r.playerType - 1];
    }
}

#undef TOLVANE_SCALED

void PlayerMapper::Impl::mapPositionValues(PlayerRecord& r) {
    const QzTable::Values* row = nameIsText ? qz.find(name) : nullptr;
    qzMatch = !nameIsText                   ? QzMatch::NotLookedUp
              : !row                        ? QzMatch::NoRow
              : qz.otherSpelling().isNull() ? QzMatch::Exact
                                            : QzMatch::OtherSpelling;
    if (!row) {
        r.positionValuesA.fill(kNoPositionValue);
        r.positionValuesB.fill(kNoPositionValue);
        return;
    }
    for (std::size_t i = 0; i < row->size(); ++i) {
        try {
            r.positionValuesA[i] = values::toSingle((*row)[i]);
        } catch (const values::ValueError& e) {
            fail(QStringLiteral("qz.%1").arg(qzPositionName(i)), e.reason());
        }
    }
    r.positionValuesB = r.positionValuesA;
}

} // namespace tolvane
