#include "tools/season/seasonimport.h"

#include "conversion/columnconversion.h"
#include "conversion/valueconversion.h"
#include "core/commandline.h"
#include "core/foldername.h"
#include "core/patcherror.h"
#include "core/wording.h"
#include "db/seasonschema.h"
#include "db/seasonstatements.h"
#include "db/sqlite.h"
#include "tools/season/csvreader.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace tolvane {

namespace season {

namespace {

using seasonschema::Column;
using seasonschema::ColumnType;
using values::Conversion;

// The line each row of a table came from. Rows mostly follow one another line by line, so
// only the rows that do not (after a field with a line break, or lines passed over) are
// kept: the index stays small however long the file.
class LineIndex {
public:
    void add(qint64 rowid, qint64 line) {
        if (!m_marks.empty() && line - m_marks.back().line == rowid - m_marks.back().rowid)
            return;
        m_marks.push_back({rowid, line});
    }
    qint64 line(qint64 rowid) const {
        auto after = std::upper_bound(m_marks.begin(), m_marks.end(), rowid,
                                      [](qint64 r, const Mark& m) { return r < m.rowid; });
        if (after == m_marks.begin())
            return 0;
        --after;
        return after->line + (rowid - after->rowid);
    }

private:
    struct Mark {
        qint64 rowid;
        qint64 line;
    };
    std::vector<Mark> m_marks;
};

struct Problems {
    SeasonImport::Report report;
    qint64 count = 0;

    void add(const QString& file, qint64 line, const QString& column, const QString& reason) {
        ++count;
        report({file, line, column, reason});
    }
};

// What a failure names: the new season database and the statement.
QString statementTarget(const SQLite::Database& db, const QString& sql) {
    return QString::fromStdString(db.getFilename()) + QLatin1Char('\n') + sql;
}

void exec(SQLite::Database& db, const QString& sql) {
    sqlite::guarded(writeSeasonOperation(), statementTarget(db, sql),
                    [&] { db.exec(sql.toStdString()); });
}

SQLite::Statement prepare(SQLite::Database& db, const QString& sql) {
    return sqlite::guarded(writeSeasonOperation(), statementTarget(db, sql),
                           [&] { return SQLite::Statement(db, sql.toStdString()); });
}

// The value a cell stores: no value for an empty field, a number where a numeric column gets
// one (so that it is stored exactly as read, not as SQLite would round the text), else the
// text as written. A decimal comma is a decimal point in a file separated by semicolons;
// in one separated by commas it is an error, put into decimalComma.
QVariant cellValue(const CsvField& field, bool numeric, char separator, QString& decimalComma) {
    if (field.holdsNothing())
        return QVariant();
    if (!numeric)
        return field.text;
    QString number = field.text;
    const bool comma = number.count(QLatin1Char(',')) == 1 && !number.contains(QLatin1Char('.'));
    if (comma)
        number.replace(QLatin1Char(','), QLatin1Char('.'));
    try {
        const values::Number n = values::toNumber(number);
        if (comma && separator == ',') {
            decimalComma = QStringLiteral("'%1' has a decimal comma; in a file separated by "
                                          "commas a number takes a decimal point (%2)")
                               .arg(field.text, number);
            return field.text;
        }
        return n.integral ? QVariant(qlonglong(n.integer)) : QVariant(n.real);
    } catch (const values::ValueError&) {
        // Kept as text, for the column's check to refuse.
        return field.text;
    }
}

// One CSV file read into one table.
class TableImport {
public:
    TableImport(QLatin1String table, std::span<const Column> reference,
                std::span<const Conversion> conversions, QString path, Problems& problems)
        : m_table(table)
        , m_reference(reference)
        , m_conversions(conversions)
        , m_path(std::move(path))
        , m_problems(problems)
        , m_byReference(reference.size(), -1) {}

    // What checks a row beyond its cells: its line, and whether its cells are sound.
    using RowCheck = std::function<void(qint64 line, bool cellsSound)>;

    // Checks each row's cells, except the position values of qz, which only count where a
    // player finds the row (see checkFoundQzRows); rowCheck then sees each row that fits the
    // columns.
    void read(SQLite::Database& db, bool checkCells, const RowCheck& rowCheck);

    const QString& path() const { return m_path; }
    // Whether the table was made: the first line names every column once.
    bool made() const { return m_made; }
    qint64 rows() const { return m_rows; }
    qint64 line(qint64 rowid) const { return m_lines.line(rowid); }
    // The name of a reference column as the file spells it.
    const QString& name(int reference) const {
        return m_names[static_cast<std::size_t>(
            m_byReference[static_cast<std::size_t>(reference)])];
    }
    // The value of a reference column in the current row; nullptr where the file lacks it.
    const QVariant* value(int reference) const {
        const int field = m_byReference[static_cast<std::size_t>(reference)];
        return field < 0 ? nullptr : &m_values[static_cast<std::size_t>(field)];
    }
    void problem(qint64 line, const QString& column, const QString& reason) {
        m_problems.add(m_path, line, column, reason);
    }

private:
    bool readHeader(const CsvRecord& header);
    void makeTable(SQLite::Database& db);
    // Reads the current row's values and checks them; whether they are sound, or nothing
    // when the fields do not fit the columns.
    std::optional<bool> readRow(const CsvRecord& record, char separator, bool checkCells);

    QLatin1String m_table;
    std::span<const Column> m_reference;
    std::span<const Conversion> m_conversions;
    QString m_path;
    Problems& m_problems;
    // Per field of the first line: the column's name (empty for none) and its reference
    // column (-1 for an extra one).
    std::vector<QString> m_names;
    std::vector<int> m_referenceOf;
    std::vector<int> m_byReference;
    // The fields that name a column, and how many fields a row needs to reach the last.
    std::vector<int> m_named;
    std::size_t m_width = 0;
    std::vector<QVariant> m_values;
    bool m_made = false;
    std::optional<SQLite::Statement> m_insert;
    std::optional<sqlite::RowBinder> m_binder;
    qint64 m_rows = 0;
    LineIndex m_lines;
};

bool TableImport::readHeader(const CsvRecord& header) {
    bool sound = true;
    for (const QString& p : header.problems) {
        problem(header.line, QString(), p);
        sound = false;
    }
    QHash<QString, std::size_t> seen;
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        const QString& written = header.fields[i].text;
        const QString trimmed = written.trimmed();
        const int reference = seasonschema::columnIndex(m_reference, trimmed);
        // The reference schema's names have no blanks around them; another column keeps its
        // name as written.
        m_names.push_back(reference >= 0 ? trimmed : trimmed.isEmpty() ? QString() : written);
        m_referenceOf.push_back(reference);
        if (trimmed.isEmpty())
            continue;
        m_named.push_back(static_cast<int>(i));
        m_width = i + 1;
        const QString folded = trimmed.toCaseFolded();
        if (const auto first = seen.constFind(folded); first != seen.constEnd()) {
            problem(header.line, trimmed,
                    QStringLiteral("the first line names this column twice (fields %1 and %2)")
                        .arg(*first + 1)
                        .arg(i + 1));
            sound = false;
            continue;
        }
        seen.insert(folded, i);
        if (reference >= 0)
            m_byReference[static_cast<std::size_t>(reference)] = static_cast<int>(i);
    }
    for (std::size_t r = 0; r < m_reference.size(); ++r) {
        if (m_byReference[r] < 0) {
            problem(header.line, m_reference[r].name,
                    QStringLiteral("the first line names no such column"));
            sound = false;
        }
    }
    m_values.resize(header.fields.size());
    return sound;
}

void TableImport::makeTable(SQLite::Database& db) {
    QStringList declarations;
    QStringList names;
    QStringList marks;
    for (const int field : m_named) {
        const auto i = static_cast<std::size_t>(field);
        const int reference = m_referenceOf[i];
        declarations << seasonschema::columnDeclaration(
            m_names[i], reference >= 0 ? std::optional(m_reference[std::size_t(reference)].type)
                                       : std::nullopt);
        names << seasonschema::quotedName(m_names[i]);
        marks << QStringLiteral("?");
    }
    exec(db, seasonschema::createTableStatement(m_table, declarations));
    m_insert.emplace(
        prepare(db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                        .arg(m_table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))));
    m_binder.emplace(*m_insert);
    m_made = true;
}

std::optional<bool> TableImport::readRow(const CsvRecord& record, char separator, bool checkCells) {
    const auto fields = record.fields.size();
    const auto header = m_names.size();
    bool beyond = false;
    for (std::size_t i = 0; i < fields; ++i) {
        if (record.fields[i].holdsNothing())
            continue;
        if (i >= header)
            beyond = true;
        else if (m_names[i].isEmpty())
            problem(record.line, QStringLiteral("field %1").arg(i + 1),
                    QStringLiteral("a value in a column that the first line leaves unnamed"));
    }
    // A row of the wrong length has its values in the wrong columns: checking them would
    // only report the shift, column by column.
    if (fields < m_width || beyond) {
        problem(record.line, QString(),
                QStringLiteral("the row has %1, but the first line names %2 columns")
                    .arg(counted(qint64(fields), "field", "fields"))
                    .arg(m_named.size()));
        return std::nullopt;
    }
    bool sound = true;
    for (const int field : m_named) {
        const auto i = static_cast<std::size_t>(field);
        const int reference = m_referenceOf[i];
        const bool numeric =
            reference >= 0 && m_reference[std::size_t(reference)].type != ColumnType::Text;
        const Conversion conversion =
            reference >= 0 ? m_conversions[std::size_t(reference)] : Conversion::Unread;
        QString decimalComma;
        m_values[i] = cellValue(record.fields[i], numeric, separator, decimalComma);
        // A column the update never reads may hold anything.
        if (conversion == Conversion::Unread)
            continue;
        if (!decimalComma.isEmpty()) {
            problem(record.line, m_names[i], decimalComma);
            sound = false;
            continue;
        }
        if (!checkCells)
            continue;
        try {
            values::check(conversion, m_values[i]);
        } catch (const values::ValueError& e) {
            problem(record.line, m_names[i], e.reason());
            sound = false;
        }
    }
    return sound;
}

void TableImport::read(SQLite::Database& db, bool checkCells, const RowCheck& rowCheck) {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        throw PatchError(QStringLiteral("Cannot read the file"), m_path, file.errorString());
    CsvReader reader(file, m_path);
    if (!reader.fileProblem().isEmpty()) {
        problem(1, QString(), reader.fileProblem());
        return;
    }
    CsvRecord record;
    if (!reader.next(record)) {
        problem(1, QString(),
                QStringLiteral("the file is empty; its first line must name the columns"));
        return;
    }
    if (readHeader(record))
        makeTable(db);
    while (reader.next(record)) {
        for (const QString& p : record.problems)
            problem(record.line, QString(), p);
        // Spreadsheets end a sheet with empty rows, or rows of separators alone.
        if (std::all_of(record.fields.begin(), record.fields.end(),
                        [](const CsvField& f) { return f.holdsNothing(); }))
            continue;
        const std::optional<bool> sound = readRow(record, reader.separator(), checkCells);
        if (!sound)
            continue;
        if (rowCheck)
            rowCheck(record.line, *sound && record.problems.isEmpty());
        if (!m_made)
            continue;
        sqlite::guarded(writeSeasonOperation(),
                        statementTarget(db, QString::fromStdString(m_insert->getQuery())), [&] {
                            for (std::size_t n = 0; n < m_named.size(); ++n)
                                m_binder->bind(static_cast<int>(n) + 1,
                                               m_values[static_cast<std::size_t>(m_named[n])]);
                            m_insert->exec();
                            m_insert->reset();
                        });
        m_lines.add(++m_rows, record.line);
    }
}

} // namespace

QString writeSeasonOperation() {
    return QStringLiteral("Cannot write the season database");
}

void createEmptySeason(SQLite::Database& db) {
    using namespace seasonschema;
    exec(db, createReferenceTable(kRatingsTable, kRatingsColumns));
    exec(db, createReferenceTable(kQzTable, kQzColumns));
}

QString ImportProblem::text() const {
    QString where = QStringLiteral("%1:%2: ").arg(file).arg(line);
    if (!column.isEmpty())
        where += commandline::oneLine(column) + QStringLiteral(": ");
    return where + commandline::oneLine(reason);
}

struct SeasonImport::Impl {
    Problems problems;
    qint64 ratingsRows = 0;
    qint64 qzRows = 0;

    void checkRatingsRow(TableImport& ratings, qint64 line, bool cellsSound);
    void checkFoundQzRows(SQLite::Database& db, const TableImport& ratings, TableImport& qz);
};

// What the update checks of a player beyond his cells, one at a time.
void SeasonImport::Impl::checkRatingsRow(TableImport& ratings, qint64 line, bool cellsSound) {
    using namespace seasonschema;
    if (const QVariant* team = ratings.value(Team)) {
        const QString problem = folderNameProblem(values::toText(*team));
        if (!problem.isEmpty())
            ratings.problem(line, ratings.name(Team), problem);
    }
    // A value that is no number has been reported in its cell already.
    if (!cellsSound)
        return;
    std::array<QVariant, kOverallPointColumns.size()> points;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const QVariant* v = ratings.value(kOverallPointColumns[i]);
        if (!v)
            return;
        points[i] = *v;
    }
    try {
        values::sumToInt16(points);
    } catch (const values::ValueError& e) {
        ratings.problem(line, values::kOverallPointsName, e.reason());
    }
}

// The update converts the position values of a qz row only where a player's look-up finds
// it: the first row, in table order, of the player's name. Each player's row is looked up
// as the update looks it up, through an index on the name that the season keeps (it serves
// the update's look-ups as well); a set of every name would grow with the table.
void SeasonImport::Impl::checkFoundQzRows(SQLite::Database& db, const TableImport& ratings,
                                          TableImport& qz) {
    using namespace seasonschema;
    exec(db, seasonstatements::createQzNameIndex());
    SQLite::Statement lookup = prepare(db, seasonstatements::qzLookup());
    std::array<int, kQzPositionCount> positions{};
    for (int c = QzB; c < QzColumnCount; ++c)
        positions[std::size_t(c - QzB)] = sqlite::columnIndex(lookup, qz.name(c));
    const QString playersSql = QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                                   .arg(quotedName(ratings.name(Name)), kRatingsTable);
    SQLite::Statement players = prepare(db, playersSql);

    // The problems of rows found, in the order of their lines; rows found once are not
    // looked at again.
    std::map<qint64, std::vector<ImportProblem>> found;
    sqlite::guarded(writeSeasonOperation(), statementTarget(db, playersSql), [&] {
        while (players.executeStep()) {
            lookup.reset();
            sqlite::bind(lookup, 1, values::toText(sqlite::value(players, 0)));
            if (!lookup.executeStep())
                continue;
            const qint64 line = qz.line(lookup.getColumn(0).getInt64());
            if (found.contains(line))
                continue;
            std::vector<ImportProblem>& rowProblems = found[line];
            for (int c = QzB; c < QzColumnCount; ++c) {
                try {
                    values::check(values::kQzConversions[std::size_t(c)],
                                  sqlite::value(lookup, positions[std::size_t(c - QzB)]));
                } catch (const values::ValueError& e) {
                    rowProblems.push_back({qz.path(), line, qz.name(c), e.reason()});
                }
            }
            // A sound row may be found again at no cost; only rows with problems are kept.
            if (rowProblems.empty())
                found.erase(line);
        }
    });
    for (const auto& [line, rowProblems] : found) {
        for (const ImportProblem& p : rowProblems)
            qz.problem(p.line, p.column, p.reason);
    }
}

SeasonImport::SeasonImport(Report report)
    : d(std::make_unique<Impl>()) {
    d->problems.report = std::move(report);
}

SeasonImport::~SeasonImport() = default;

qint64 SeasonImport::run(const QString& ratingsCsv, const QString& qzCsv, SQLite::Database& db) {
    using namespace seasonschema;
    d->problems.count = 0;
    // The file is new and is thrown away on any failure: a rollback journal would only
    // cost time.
    exec(db, QStringLiteral("PRAGMA journal_mode = OFF"));
    const QString target = QString::fromStdString(db.getFilename());
    SQLite::Transaction transaction =
        sqlite::guarded(writeSeasonOperation(), target, [&] { return SQLite::Transaction(db); });

    TableImport ratings(kRatingsTable, kRatingsColumns, values::kRatingsConversions, ratingsCsv,
                        d->problems);
    ratings.read(db, true,
                 [&](qint64 line, bool sound) { d->checkRatingsRow(ratings, line, sound); });
    TableImport qz(kQzTable, kQzColumns, values::kQzConversions, qzCsv, d->problems);
    qz.read(db, false, nullptr);
    if (ratings.made() && qz.made())
        d->checkFoundQzRows(db, ratings, qz);

    d->ratingsRows = ratings.rows();
    d->qzRows = qz.rows();
    if (d->problems.count == 0)
        sqlite::guarded(writeSeasonOperation(), target, [&] { transaction.commit(); });
    return d->problems.count;
}

qint64 SeasonImport::ratingsRows() const {
    return d->ratingsRows;
}

qint64 SeasonImport::qzRows() const {
    return d->qzRows;
}

} // namespace season

} // namespace tolvane
