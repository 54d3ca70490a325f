#include "tools/demo/demofolder.h"

#include "tools/demo/demoplayers_p.h"

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

using namespace detail;

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
