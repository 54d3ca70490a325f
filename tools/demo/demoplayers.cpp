#include "tools/demo/demoplayers_p.h"

#include <QSet>

#include <algorithm>
#include <random>
#include <string_view>

namespace tolvane::demo {

namespace detail {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// In the order of the qz columns b, bf, c, f, ff, r, k, nk.
constexpr std::array<std::string_view, 8> positions{"B", "BF", "C", "F", "FF", "R", "K", "NK"};
constexpr std::array<std::string_view, 4> lineupTypes{"A", "B", "C", "R"};
constexpr std::array<std::string_view, 5> states{"North", "South", "East", "West", "Central"};
constexpr std::array<std::string_view, 12> towns{
    "Ashford",  "Millbrook", "Riverton",  "Greenvale",     "Port Lincoln", "Königsdorf",
    "Bellmont", "Drayton",   "Coldwater", "Saint-Étienne", "Elmstead",     "Harrow Point",
};

template <std::size_t N> QStringList toStrings(const std::array<std::string_view, N>& items) {
    QStringList strings;
    for (std::string_view item : items)
        strings << fromUtf8(item);
    return strings;
}

constexpr std::array<std::string_view, 24> teamNameList{
    "North Side", "Rivertown",   "Harbour City", "Eastvale",   "Port Lincoln", "Westbury",
    "Kingsford",  "Ashford",     "Greenvale",    "Millbrook",  "South Hills",  "Bayswater",
    "Redcliffe",  "Stonebridge", "Fairhaven",    "Lakeside",   "Oakridge",     "Glenmore",
    "Highfield",  "Marlow Bay",  "Thornbury",    "Clearwater", "Wolf Creek",   "Silverton",
};

constexpr std::array<std::string_view, 64> firstNames{
    "Adam",    "Aidan",   "Alex",   "Andrés", "Ben",    "Blake",  "Brody", "Callum",
    "Cameron", "Chris",   "Connor", "Dale",   "Daniel", "Declan", "Dylan", "Eli",
    "Ethan",   "Finn",    "Gareth", "Harry",  "Isaac",  "Jack",   "Jake",  "James",
    "Jarrod",  "Jesse",   "Joel",   "José",   "Josh",   "Jürgen", "Kane",  "Kieran",
    "Kyle",    "Lachlan", "Liam",   "Luke",   "Marcus", "Matt",   "Max",   "Michael",
    "Mitch",   "Nathan",  "Ned",    "Nick",   "Noah",   "Oliver", "Owen",  "Pat",
    "Paddy",   "Reece",   "René",   "Riley",  "Ryan",   "Sam",    "Scott", "Sean",
    "Søren",   "Tom",     "Toby",   "Tyson",  "Wade",   "Will",   "Zac",   "Zoltán",
};

constexpr std::array<std::string_view, 96> lastNames{
    "Abbott",  "Allen",    "Bailey",  "Baker",    "Barrett", "Bennett",  "Brennan",  "Brooks",
    "Brügger", "Burke",    "Byrne",   "Carter",   "Clarke",  "Cole",     "Collins",  "Cooper",
    "Cox",     "Crawford", "D'Arcy",  "Davies",   "Dawson",  "Dixon",    "Doyle",    "Dunn",
    "Edwards", "Ellis",    "Evans",   "Fisher",   "Fleming", "Foster",   "Fraser",   "Gibson",
    "Grant",   "Gray",     "Hall",    "Harris",   "Hayes",   "Hughes",   "Hunt",     "Jensen",
    "Jones",   "Kelly",    "Kennedy", "Kerr",     "King",    "Knight",   "Lane",     "Lefèvre",
    "Lloyd",   "Lynch",    "Marsh",   "Martin",   "McKay",   "Mills",    "Moore",    "Morgan",
    "Müller",  "Murphy",   "Nash",    "Núñez",    "O'Brien", "O'Neill",  "Owens",    "Palmer",
    "Parker",  "Peña",     "Pearce",  "Quinn",    "Reid",    "Reynolds", "Riley",    "Roberts",
    "Ross",    "Ryan",     "Sharp",   "Shaw",     "Smith",   "Stewart",  "Sullivan", "Taylor",
    "Thomas",  "Tucker",   "Turner",  "Vaughan",  "Walker",  "Walsh",    "Ward",     "Watson",
    "Webb",    "Wells",    "White",   "Williams", "Wilson",  "Wood",     "Wright",   "Young",
};

// The first players of a database carry the names that trip up lookups and code pages, so
// that even a tiny database has one of each.
enum class NameKind { Any, Apostrophe, Accented, WithMiddleName };

bool isAccented(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0x7f; });
}

QString drawName(Random& random, NameKind kind, bool forceMiddleName) {
    static const QStringList firstTexts = toStrings(firstNames);
    static const QStringList lastTexts = toStrings(lastNames);
    const QString& first = firstTexts[random.below(std::uint32_t(firstTexts.size()))];
    QString last;
    for (;;) {
        last = lastTexts[random.below(std::uint32_t(lastTexts.size()))];
        if (kind == NameKind::Apostrophe && !last.contains(QLatin1Char('\'')))
            continue;
        if (kind == NameKind::Accented && !isAccented(last))
            continue;
        break;
    }
    QString name = first;
    if (forceMiddleName || kind == NameKind::WithMiddleName || random.oneIn(12)) {
        name += QLatin1Char(' ');
        name += firstTexts[random.below(std::uint32_t(firstTexts.size()))];
    }
    return name + QLatin1Char(' ') + last;
}

// Unique names keep each qz lookup unambiguous; beyond the plain names the generator
// falls back on middle names, of which there are plenty.
QString uniqueName(Random& random, QSet<QString>& taken, NameKind kind) {
    for (int attempt = 0;; ++attempt) {
        QString name = drawName(random, kind, attempt >= 8);
        if (!taken.contains(name)) {
            taken.insert(name);
            return name;
        }
    }
}

int clampRating(int value) {
    return std::clamp(value, 1, 100);
}

// The ratings summed into the overall points, around the player's quality, and last
// season's overall rating that follows from them.
void drawSkills(Player& p, Random& random, int quality) {
    int points = 0;
    for (int& skill : p.skills) {
        int value = quality;
        value += random.between(-14, 14);
        const std::uint32_t roll = random.below(200);
        if (roll == 0)
            value = 99;
        else if (roll == 1)
            value = 100;
        else if (roll < 4)
            value = random.between(5, 29);
        skill = clampRating(value);
        points += skill;
    }
    int lastSeason = 10 + (points - 900) * 89 / 800;
    lastSeason += random.between(-3, 3);
    p.overall = std::clamp(lastSeason, 10, 99);
}

void drawBody(Player& p, Random& random) {
    p.height = random.between(170, 205);
    if (random.oneIn(4))
        p.height += 0.5;
    p.weight = p.height - 100;
    p.weight += random.between(-12, 12);
    if (random.oneIn(4))
        p.weight += 0.5;
    const QDate earliest(1975, 1, 1);
    p.dateOfBirth = earliest.addDays(random.below(std::uint32_t(earliest.daysTo({1991, 12, 31}))));
}

// Three different positions, and whether he holds a key position.
void drawPositions(Player& p, Random& random) {
    p.positions[0] = std::uint8_t(random.below(8));
    do
        p.positions[1] = std::uint8_t(random.below(8));
    while (p.positions[1] == p.positions[0]);
    do
        p.positions[2] = std::uint8_t(random.below(8));
    while (p.positions[2] == p.positions[0] || p.positions[2] == p.positions[1]);
    p.keyPos = random.oneIn(3) ? 1 : 0;
}

// How he plays: his kicks, his tendencies and his shares of play.
void drawPlay(Player& p, Random& random) {
    p.kickMax = random.between(400, 650) / 10.0;
    p.injuryTendency = random.between(0, 20) / 2.0;
    p.reputationTendency = random.between(0, 999) / 100.0;
    // The four shares of play add up to 100.
    const int shortKick = random.between(150, 450);
    const int longKick = random.between(50, 250);
    const int handball = random.between(100, 250);
    p.shortKickPercent = shortKick / 10.0;
    p.longKickPercent = longKick / 10.0;
    p.handballPercent = handball / 10.0;
    p.runPercent = (1000 - shortKick - longKick - handball) / 10.0;
    p.healthLimit = random.between(600, 999) / 1000.0;
}

void drawCareer(Player& p, Random& random, int quality) {
    p.playerType = random.between(0, 7);
    p.potential = random.between(std::max(500, quality * 10), 990) / 10.0;
    p.lineupType = std::uint8_t(random.below(std::uint32_t(lineupTypes.size())));
    p.contract = random.between(1, 5);
    std::int64_t salaryCents = 4'000'000 + std::int64_t(quality - 34) * 1'100'000;
    salaryCents += random.below(6'000'000);
    p.salary = double(salaryCents) / 100.0;
    p.pendingContract = random.between(0, 4);
    if (p.pendingContract > 0) {
        const int percent = random.between(90, 130);
        p.pendingSalary = double(salaryCents * percent / 100) / 100.0;
    }
    const int debutFrom = p.dateOfBirth.year() + 17;
    p.debut = random.between(debutFrom, std::max(debutFrom, 2008));
    p.state = std::uint8_t(random.below(std::uint32_t(states.size())));
    p.town = std::uint8_t(random.below(std::uint32_t(towns.size())));
}

// His improvement codes and, for most players, a qz row of position values.
void drawDevelopment(Player& p, Random& random) {
    // A few codes outside 0..10, as hand-edited databases hold them.
    for (int& code : p.improvement)
        code = random.oneIn(40) ? random.between(-1, 12) : random.between(0, 10);

    p.hasQz = !random.oneIn(10);
    for (std::size_t i = 0; i < p.positionValues.size(); ++i) {
        int tenths = 0;
        if (i == p.positions[0])
            tenths = random.between(900, 1000);
        else if (i == p.positions[1])
            tenths = random.between(800, 950);
        else if (i == p.positions[2])
            tenths = random.between(700, 900);
        else
            tenths = random.between(600, 850);
        p.positionValues[i] = tenths / 10.0;
    }
}

// The draws follow one another in a fixed order, so that a seed always gives the same
// players.
Player randomPlayer(Random& random) {
    Player p;
    // Two dice make most players average and leave a few at either end, so overall ratings
    // cover 10 to 99.
    int quality = 34;
    quality += int(random.below(25));
    quality += int(random.below(25));
    drawSkills(p, random, quality);
    drawBody(p, random);
    drawPositions(p, random);
    drawPlay(p, random);
    drawCareer(p, random, quality);
    drawDevelopment(p, random);
    return p;
}

} // namespace

std::vector<Player> randomPlayers(const Options& options) {
    Random random(options.seed);
    std::vector<Player> players;
    players.reserve(std::size_t(options.teams) * std::size_t(options.playersPerTeam));
    QSet<QString> names;
    constexpr std::array<NameKind, 3> leadingKinds{NameKind::Apostrophe, NameKind::Accented,
                                                   NameKind::WithMiddleName};
    for (int team = 0; team < options.teams; ++team) {
        std::vector<int> numbers(std::size_t(std::max(60, options.playersPerTeam)));
        for (std::size_t i = 0; i < numbers.size(); ++i)
            numbers[i] = int(i) + 1;
        random.shuffle(numbers);
        for (int i = 0; i < options.playersPerTeam; ++i) {
            Player p = randomPlayer(random);
            const std::size_t index = players.size();
            const NameKind kind = index < leadingKinds.size() ? leadingKinds[index] : NameKind::Any;
            p.name = uniqueName(random, names, kind);
            if (kind == NameKind::Apostrophe)
                p.hasQz = true;
            p.team = team;
            p.playerNumber = numbers[std::size_t(i)];
            players.push_back(std::move(p));
        }
    }
    return players;
}

Player midRangePlayer(const QString& name) {
    Player p;
    p.name = name;
    p.height = 185;
    p.weight = 85;
    p.dateOfBirth = QDate(1985, 6, 15);
    p.positions = {2, 0, 3};
    p.skills.fill(60);
    p.kickMax = 52.5;
    p.injuryTendency = 5;
    p.reputationTendency = 5;
    p.shortKickPercent = 30;
    p.longKickPercent = 15;
    p.handballPercent = 20;
    p.runPercent = 35;
    p.healthLimit = 0.8;
    p.overall = 64;
    p.playerType = 2;
    p.potential = 70;
    p.contract = 2;
    p.salary = 250000;
    p.pendingContract = 0;
    p.pendingSalary = 0;
    p.debut = 2004;
    p.playerNumber = 1;
    p.improvement.fill(5);
    return p;
}

QVariantList ratingsRow(const Player& p, const QString& team) {
    using namespace seasonschema;
    static const QStringList positionTexts = toStrings(positions);
    static const QStringList lineupTexts = toStrings(lineupTypes);
    static const QStringList stateTexts = toStrings(states);
    static const QStringList townTexts = toStrings(towns);
    QVariantList row(RatingsColumnCount);
    auto skill = p.skills.begin();
    for (int column = 0; column < RatingsColumnCount; ++column) {
        if (kRatingsColumns[column].role == Role::OverallPoint)
            row[column] = *skill++;
    }
    row[Team] = team;
    row[Name] = p.name;
    row[Height] = p.height;
    row[Weight] = p.weight;
    row[Dob] = p.dateOfBirth.toString(Qt::ISODate);
    row[PreferredPos] = positionTexts[p.positions[0]];
    row[SecondaryPos] = positionTexts[p.positions[1]];
    row[ThirdPos] = positionTexts[p.positions[2]];
    row[KeyPos] = p.keyPos;
    row[KickMax] = p.kickMax;
    row[InjTend] = p.injuryTendency;
    row[RepTend] = p.reputationTendency;
    row[ShortKickPer] = p.shortKickPercent;
    row[LongKickPer] = p.longKickPercent;
    row[HballPer] = p.handballPercent;
    row[RunPer] = p.runPercent;
    row[HealthLimit] = p.healthLimit;
    row[Overall] = p.overall;
    row[PlayerType] = p.playerType;
    row[Potential] = p.potential;
    row[LineupType] = lineupTexts[p.lineupType];
    row[Contract] = p.contract;
    row[Salary] = p.salary;
    row[PendingContract] = p.pendingContract;
    row[PendingSalary] = p.pendingSalary;
    row[Debut] = p.debut;
    row[State] = stateTexts[p.state];
    row[Town] = townTexts[p.town];
    row[Pno] = p.playerNumber;
    for (std::size_t i = 0; i < p.improvement.size(); ++i)
        row[ImprR + int(i)] = p.improvement[i];
    return row;
}

} // namespace detail

QString teamName(int index) {
    constexpr auto count = int(detail::teamNameList.size());
    QString name = detail::fromUtf8(detail::teamNameList[std::size_t(index % count)]);
    if (index >= count)
        name += QLatin1Char(' ') + QString::number(index / count + 1);
    return name;
}

} // namespace tolvane::demo
