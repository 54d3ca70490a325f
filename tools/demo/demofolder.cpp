#include "tools/demo/demofolder.h"

#include "core/bytes.h"
#include "core/fileops.h"
#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "db/seasonschema.h"
#include "db/seasonstatements.h"
#include "db/sqlite.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <optional>
#include <random>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace tolvane {

namespace demo {
namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// std::uniform_int_distribution and std::shuffle differ between standard libraries, so
// every draw is derived from the engine's raw output, whose sequence the standard fixes.
// Callers draw in separate statements: the order in which function arguments are
// evaluated differs between compilers.
class Random {
public:
    explicit Random(std::uint32_t seed)
        : m_engine(seed) {}

    // A number in [0, n); n must be positive.
    std::uint32_t below(std::uint32_t n) {
        return std::uint32_t((std::uint64_t(m_engine()) * n) >> 32);
    }
    int between(int low, int high) { return low + int(below(std::uint32_t(high - low + 1))); }
    bool oneIn(std::uint32_t n) { return below(n) == 0; }
    template <typename T> void shuffle(std::vector<T>& items) {
        for (std::size_t i = items.size(); i > 1; --i)
            std::swap(items[i - 1], items[below(std::uint32_t(i))]);
    }

private:
    std::mt19937 m_engine;
};

// In the order of the qz columns b, bf, c, f, ff, r, k, nk.
constexpr std::array<std::string_view, 8> positions{"B", "BF", "C", "F", "FF", "R", "K", "NK"};
constexpr std::array<std::string_view, 4> lineupTypes{"A", "B", "C", "R"};
constexpr std::array<std::string_view, 5> states{"North", "South", "East", "West", "Central"};
constexpr std::array<std::string_view, 12> towns{
    "Ashford",  "Millbrook", "Riverton",  "Greenvale",     "Port Lincoln", "Königsdorf",
    "Bellmont", "Drayton",   "Coldwater", "Saint-Étienne", "Elmstead",     "Harrow Point",
};

// A player as generated; the database row is made from it only when it is inserted, which
// keeps tens of thousands of players small in memory.
struct Player {
    int team = 0;
    QString name;
    double height = 0;
    double weight = 0;
    QDate dateOfBirth;
    std::array<std::uint8_t, 3> positions{};
    int keyPos = 0;
    // The ratings summed into the overall points, in the order of their columns.
    std::array<int, seasonschema::kOverallPointColumns.size()> skills{};
    double kickMax = 0;
    double injuryTendency = 0;
    double reputationTendency = 0;
    double shortKickPercent = 0;
    double longKickPercent = 0;
    double handballPercent = 0;
    double runPercent = 0;
    double healthLimit = 0;
    int overall = 0;
    int playerType = 0;
    double potential = 0;
    std::uint8_t lineupType = 0;
    int contract = 0;
    double salary = 0;
    int pendingContract = 0;
    double pendingSalary = 0;
    int debut = 0;
    std::uint8_t state = 0;
    std::uint8_t town = 0;
    int playerNumber = 0;
    std::array<int, 8> improvement{};
    bool hasQz = false;
    std::array<double, 8> positionValues{};
};

template <std::size_t N> QStringList toStrings(const std::array<std::string_view, N>& items) {
    QStringList strings;
    for (std::string_view item : items)
        strings << fromUtf8(item);
    return strings;
}

// The player's Ratings row, a value for each column in the table's order.
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

// A player in the middle of every range, for rows that tests shape by hand.
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

Player randomPlayer(Random& random) {
    Player p;
    // Two dice make most players average and leave a few at either end, so overall ratings
    // cover 10 to 99.
    int quality = 34;
    quality += int(random.below(25));
    quality += int(random.below(25));

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

    p.height = random.between(170, 205);
    if (random.oneIn(4))
        p.height += 0.5;
    p.weight = p.height - 100;
    p.weight += random.between(-12, 12);
    if (random.oneIn(4))
        p.weight += 0.5;
    const QDate earliest(1975, 1, 1);
    p.dateOfBirth = earliest.addDays(random.below(std::uint32_t(earliest.daysTo({1991, 12, 31}))));

    p.positions[0] = std::uint8_t(random.below(8));
    do
        p.positions[1] = std::uint8_t(random.below(8));
    while (p.positions[1] == p.positions[0]);
    do
        p.positions[2] = std::uint8_t(random.below(8));
    while (p.positions[2] == p.positions[0] || p.positions[2] == p.positions[1]);
    p.keyPos = random.oneIn(3) ? 1 : 0;

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
    return p;
}

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

// A statement that inserts a row with a value for every column.
QString insertRow(QLatin1String table, std::span<const seasonschema::Column> columns) {
    QStringList names;
    QStringList marks;
    for (const seasonschema::Column& column : columns) {
        names << seasonschema::quotedName(column.name);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

const QString ratingsSchema =
    seasonschema::createReferenceTable(seasonschema::kRatingsTable, seasonschema::kRatingsColumns);
const QString qzSchema =
    seasonschema::createReferenceTable(seasonschema::kQzTable, seasonschema::kQzColumns);
const QString ratingsInsert = insertRow(seasonschema::kRatingsTable, seasonschema::kRatingsColumns);
const QString qzInsert = insertRow(seasonschema::kQzTable, seasonschema::kQzColumns);

// Statements on a database being written; a failure names the operation and the file.
class Connection {
    // Runs work; a failure names the operation, the file and the statement.
    template <class Work> decltype(auto) guarded(const QString& sql, Work&& work) {
        try {
            return work();
        } catch (const SQLite::Exception& e) {
            QString cause = QString::fromUtf8(e.what());
            if (!sql.isEmpty())
                cause += QStringLiteral("\nStatement: ") + sql;
            throw PatchError(m_operation, m_path, cause);
        }
    }

public:
    Connection(const QString& path, const QString& operation)
        : m_path(path)
        , m_operation(operation)
        , m_sqlite(sqlite::open(path, operation)) {}

    SQLite::Database& sqlite() { return m_sqlite; }

    void exec(const QString& sql) {
        guarded(sql, [&] { m_sqlite.exec(sql.toStdString()); });
    }
    SQLite::Statement prepare(const QString& sql) {
        return guarded(sql, [&] { return SQLite::Statement(m_sqlite, sql.toStdString()); });
    }
    void run(SQLite::Statement& statement, const QVariantList& values) {
        guarded(QString::fromStdString(statement.getQuery()), [&] {
            statement.reset();
            for (qsizetype i = 0; i < values.size(); ++i)
                sqlite::bind(statement, int(i) + 1, values[i]);
            statement.exec();
        });
    }
    // Runs work, which changes the database, in one transaction.
    template <class Work> void inTransaction(Work&& work) {
        SQLite::Transaction transaction =
            guarded(QString(), [&] { return SQLite::Transaction(m_sqlite); });
        work();
        guarded(QString(), [&] { transaction.commit(); });
    }

private:
    QString m_path;
    QString m_operation;
    SQLite::Database m_sqlite;
};

QVariantList qzRow(const QString& name, const std::array<double, 8>& values) {
    QVariantList row{name};
    for (const double value : values)
        row << value;
    return row;
}

void fillDatabase(Connection& connection, const Options& options,
                  const std::vector<Player>& players) {
    QStringList teams;
    for (int team = 0; team < options.teams; ++team)
        teams << teamName(team);

    // Real exports list players in no particular order, so teams interleave in the table
    // and whoever reads it has to sort.
    std::vector<std::size_t> order(players.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    Random random(options.seed ^ 0x9e3779b9u);
    random.shuffle(order);

    // The file is removed again if anything fails, so waiting for the disk buys nothing.
    connection.exec(QStringLiteral("PRAGMA synchronous = OFF"));
    connection.inTransaction([&] {
        connection.exec(ratingsSchema);
        connection.exec(qzSchema);
        SQLite::Statement ratings = connection.prepare(ratingsInsert);
        SQLite::Statement qz = connection.prepare(qzInsert);
        for (std::size_t index : order) {
            const Player& p = players[index];
            connection.run(ratings, ratingsRow(p, teams[p.team]));
            if (p.hasQz)
                connection.run(qz, qzRow(p.name, p.positionValues));
        }
        if (options.qzIndex)
            connection.exec(seasonstatements::createQzNameIndex());
    });
}

QByteArray scheduleBytes(std::uint32_t seed, int year, int size) {
    Random random(seed ^ std::uint32_t(year) * 2654435761u);
    QByteArray schedule("TRQZ");
    bytes::appendLittleEndian(schedule, std::uint16_t(year));
    while (schedule.size() < size)
        schedule.append(char(random.below(256)));
    return schedule;
}

void makeFolder(const QString& path) {
    if (!QDir().mkpath(path))
        throw PatchError(QStringLiteral("Cannot create the folder"), QDir::toNativeSeparators(path),
                         QFileInfo(path).exists() ? QStringLiteral("A file of that name exists.")
                                                  : QStringLiteral("Permission denied."));
}

} // namespace

QString teamName(int index) {
    const auto count = int(teamNameList.size());
    QString name = fromUtf8(teamNameList[std::size_t(index % count)]);
    if (index >= count)
        name += QLatin1Char(' ') + QString::number(index / count + 1);
    return name;
}

void writeSeasonDatabase(const QString& path, const Options& options) {
    const QString operation = QStringLiteral("Cannot write the season database");
    if (options.teams < 0 || options.playersPerTeam < 0 ||
        std::int64_t(options.teams) * options.playersPerTeam > maxPlayers)
        throw std::invalid_argument("demo::writeSeasonDatabase: team or player count out of range");
    if (fileops::entryExists(path))
        throw PatchError(operation, path, QStringLiteral("The file already exists."));

    const std::vector<Player> players = randomPlayers(options);
    try {
        Connection connection(path, operation);
        fillDatabase(connection, options, players);
    } catch (...) {
        // The file did not exist before, so whatever is there now is our half-written one.
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
        throw;
    }
}

void writeProgramFolder(const QString& folder, const Options& options) {
    const GameFolder game(QDir(folder).path());
    const QString database = game.seasonDatabase();
    const QString newSchedule = game.newFixture();
    const QString schedules = game.schedulesFolder();
    const QString gameSchedule = game.gameFixture();

    // Pointed at a real installation by mistake, the tool must not replace the game's own
    // files, so it refuses before writing anything.
    for (const QString& path : {database, newSchedule, gameSchedule}) {
        if (fileops::entryExists(path))
            throw PatchError(QStringLiteral("Cannot make the demo game folder"),
                             QDir::toNativeSeparators(path),
                             QStringLiteral("The file already exists; choose a new or empty "
                                            "folder."));
    }
    makeFolder(folder);
    makeFolder(schedules);
    makeFolder(game.listsFolder());
    writeSeasonDatabase(database, options);
    fileops::writeFileAtomically(newSchedule, scheduleBytes(options.seed, 2009, 4096));
    fileops::writeFileAtomically(gameSchedule, scheduleBytes(options.seed, 2008, 3584));
}

struct SeasonBuilder::Impl {
    std::optional<Connection> connection;

    Connection& open() {
        if (!connection)
            throw std::logic_error("demo::SeasonBuilder used after close()");
        return *connection;
    }
};

SeasonBuilder::SeasonBuilder(const QString& path, bool withQz)
    : d(std::make_unique<Impl>()) {
    d->connection.emplace(path, QStringLiteral("Cannot build the season database"));
    // Test databases need no protection against power loss, and row-by-row commits would
    // otherwise wait on the disk for each row.
    d->connection->exec(QStringLiteral("PRAGMA synchronous = OFF"));
    d->connection->exec(ratingsSchema);
    if (withQz)
        d->connection->exec(qzSchema);
}

SeasonBuilder::~SeasonBuilder() = default;

void SeasonBuilder::addPlayer(const QString& team, const QString& name,
                              const QVariantMap& overrides) {
    Connection& connection = d->open();
    QVariantList values = ratingsRow(midRangePlayer(name), team);
    for (auto it = overrides.begin(); it != overrides.end(); ++it) {
        const auto& columns = seasonschema::kRatingsColumns;
        const auto column =
            std::find_if(columns.begin(), columns.end(), [&](const seasonschema::Column& c) {
                return it.key().compare(c.name, Qt::CaseInsensitive) == 0;
            });
        if (column == columns.end())
            throw std::invalid_argument("demo::SeasonBuilder::addPlayer: no Ratings column named " +
                                        it.key().toStdString());
        values[column - columns.begin()] = it.value();
    }
    // Prepared afresh for each row: a statement kept open would lock the tables against the
    // schema changes that tests make through exec().
    SQLite::Statement query = connection.prepare(ratingsInsert);
    connection.run(query, values);
}

void SeasonBuilder::addQz(const QString& name, const std::array<double, 8>& values) {
    Connection& connection = d->open();
    SQLite::Statement query = connection.prepare(qzInsert);
    connection.run(query, qzRow(name, values));
}

void SeasonBuilder::exec(const QString& sql) {
    d->open().exec(sql);
}

void SeasonBuilder::close() {
    d->connection.reset();
}

} // namespace demo

} // namespace tolvane
