// Reads Access files with our reader and with libmdb (mdbtools) and compares them cell for
// cell. libmdb is a second, independent reading of the same bytes; it is used here only,
// never by the program.
#include "core/bytes.h"
#include "core/oledate.h"
#include "core/patcherror.h"
#include "db/databaseformat.h"
#include "db/jet/reader.h"
#include "db/jet/writeback.h"
#include "support/foldertree.h"
#include "support/jetedit.h"
#include "support/jettable.h"
#include "support/jetwriter.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <memory>
#include <numeric>

// libmdb's header wraps <glib.h> in extern "C", which g++ rejects unless glib comes first.
#include <glib.h>
#include <mdbtools.h>

using namespace tolvane;

namespace {

constexpr std::size_t kBindSize = 1 << 20;
const QString kFixtures = QStringLiteral(TOLVANE_JET_FIXTURES);
const QString kAccessReal = QStringLiteral(TOLVANE_SHARED_FIXTURES "/access-real");

struct HandleCloser {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};
struct TableFreer {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

// One row as libmdb sees it: where its data lies, the raw fields of mdb_crack_row (which
// tell a zero-length text from NULL) and the texts libmdb's own binding makes of texts and
// memos.
struct LibmdbRow {
    jet::RowLocation at;
    std::vector<std::optional<QByteArray>> raw; // nullopt for NULL
    std::vector<QString> text;
};

struct LibmdbTable {
    QStringList columns;
    std::vector<int> types;
    std::vector<LibmdbRow> rows;
};

std::map<QString, LibmdbTable> readWithLibmdb(const QString& path) {
    std::map<QString, LibmdbTable> tables;
    std::unique_ptr<MdbHandle, HandleCloser> mdb(
        mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
    if (!mdb || !mdb_read_catalog(mdb.get(), MDB_TABLE)) {
        ADD_FAILURE() << "libmdb cannot open " << path.toStdString();
        return tables;
    }
    mdb_set_bind_size(mdb.get(), kBindSize);
    for (guint i = 0; i < mdb->catalog->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry))
            continue;
        LibmdbTable& table = tables[QString::fromUtf8(entry->object_name)];
        std::unique_ptr<MdbTableDef, TableFreer> def(mdb_read_table(entry));
        if (!def || !mdb_read_columns(def.get())) {
            ADD_FAILURE() << "libmdb cannot read the table " << entry->object_name;
            continue;
        }
        const guint columns = def->columns->len;
        std::vector<std::vector<char>> bound(columns, std::vector<char>(kBindSize));
        std::vector<int> lengths(columns);
        for (guint c = 0; c < columns; ++c) {
            const auto* col = static_cast<const MdbColumn*>(g_ptr_array_index(def->columns, c));
            table.columns << QString::fromUtf8(col->name);
            table.types.push_back(col->col_type);
            mdb_bind_column(def.get(), static_cast<int>(c + 1), bound[c].data(), &lengths[c]);
        }
        std::vector<MdbField> fields(MDB_MAX_COLS);
        mdb_rewind_table(def.get());
        while (mdb_fetch_row(def.get())) {
            LibmdbRow row;
            row.at = {def->cur_phys_pg, static_cast<std::uint16_t>(def->cur_row - 1)};
            for (guint c = 0; c < columns; ++c)
                row.text.push_back(QString::fromUtf8(bound[c].data(), lengths[c]));
            // Binding memos reads other pages; the row's own page is read again.
            const auto page = def->cur_phys_pg;
            if (mdb->cur_pg != page)
                mdb_read_pg(mdb.get(), page);
            int start = 0;
            size_t size = 0;
            if (mdb_find_row(mdb.get(), static_cast<int>(def->cur_row - 1), &start, &size) != 0 ||
                mdb_crack_row(def.get(), start & 0x1fff, size, fields.data()) < 0) {
                ADD_FAILURE() << "libmdb cannot split a row of " << entry->object_name;
                break;
            }
            for (guint c = 0; c < columns; ++c) {
                const MdbField& f = fields[c];
                if (f.is_null)
                    row.raw.push_back(std::nullopt);
                else
                    row.raw.push_back(QByteArray(static_cast<const char*>(f.value), f.siz));
            }
            table.rows.push_back(std::move(row));
        }
    }
    return tables;
}

// The exact decimal text of a count of units of 10^-scale, with all scale places.
QString decimalText(bool negative, QString digits, int scale) {
    while (digits.size() <= scale)
        digits.prepend(QLatin1Char('0'));
    if (scale > 0)
        digits.insert(digits.size() - scale, QLatin1Char('.'));
    return (negative ? QStringLiteral("-") : QString()) + digits;
}

// A Decimal's 17 bytes as libmdb reads them: a sign, then sixteen bytes that libmdb takes
// least significant first at 13 - 4 * (i / 4) + i % 4, summed in decimal digits here.
QString decimalOfRaw(const QByteArray& raw, int scale) {
    std::vector<int> digits(1, 0); // least significant first
    std::vector<int> weight(1, 1);
    const auto add = [](std::vector<int>& to, const std::vector<int>& x, int times) {
        int carry = 0;
        to.resize(std::max(to.size(), x.size()) + 4, 0);
        for (std::size_t i = 0; i < to.size(); ++i) {
            const int v = to[i] + (i < x.size() ? x[i] * times : 0) + carry;
            to[i] = v % 10;
            carry = v / 10;
        }
    };
    for (int i = 0; i < 16; ++i) {
        add(digits, weight, static_cast<std::uint8_t>(raw[1 + 12 - 4 * (i / 4) + i % 4]));
        std::vector<int> next;
        add(next, weight, 256);
        weight = next;
    }
    QString text;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it)
        text += QChar('0' + *it);
    while (text.size() > 1 && text.startsWith(QLatin1Char('0')))
        text.remove(0, 1);
    return decimalText((raw[0] & 0x80) != 0, text, scale);
}

// Our Decimal value with all scale places: a double is exactly such a decimal.
QString decimalOfOurs(const QVariant& ours, int scale) {
    if (ours.typeId() == QMetaType::Double)
        return QString::number(ours.toDouble(), 'f', scale);
    QString text = ours.toString();
    const bool negative = text.startsWith(QLatin1Char('-'));
    if (negative)
        text.remove(0, 1);
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const qsizetype places = point < 0 ? 0 : text.size() - point - 1;
    if (point >= 0)
        text.remove(point, 1);
    return decimalText(negative, text + QString(scale - places, QLatin1Char('0')), scale);
}

// Where our value of a cell differs from libmdb's reading; empty when they agree.
QString difference(const QVariant& ours, const jet::Column& column,
                   const std::optional<QByteArray>& raw, const QString& text) {
    const auto describe = [&](const QString& theirs) {
        return QStringLiteral("ours %1 (%2), libmdb %3")
            .arg(ours.isNull() ? QStringLiteral("NULL") : ours.toString(),
                 QString::fromLatin1(ours.typeName() ? ours.typeName() : "null"), theirs);
    };
    if (column.type == jet::Bool)
        return ours == QVariant(qint64(raw ? 1 : 0)) ? QString() : describe(raw ? "Yes" : "No");
    if (!raw)
        return ours.isNull() ? QString() : describe(QStringLiteral("NULL"));
    if (ours.isNull())
        return describe(QStringLiteral("a value"));
    const char* b = raw->constData();
    const auto needs = [&](qsizetype n) { return raw->size() >= n; };
    QVariant expected;
    switch (column.type) {
    case jet::Byte:
        expected = needs(1) ? qint64(static_cast<std::uint8_t>(b[0])) : QVariant();
        break;
    case jet::Int:
        expected = needs(2) ? qint64(bytes::loadLittleEndian<std::int16_t>(b)) : QVariant();
        break;
    case jet::Long:
        expected = needs(4) ? qint64(bytes::loadLittleEndian<std::int32_t>(b)) : QVariant();
        break;
    case jet::BigInt:
        expected = needs(8) ? qint64(bytes::loadLittleEndian<std::int64_t>(b)) : QVariant();
        break;
    case jet::Money:
        expected = needs(8)
                       ? static_cast<double>(bytes::loadLittleEndian<std::int64_t>(b)) / 10000.0
                       : QVariant();
        break;
    case jet::Float:
        expected = needs(4) ? static_cast<double>(bytes::loadLittleEndian<float>(b)) : QVariant();
        break;
    case jet::Double:
        expected = needs(8) ? bytes::loadLittleEndian<double>(b) : QVariant();
        break;
    case jet::DateTime: {
        if (!needs(8))
            return describe(QStringLiteral("a short date"));
        const double day = bytes::loadLittleEndian<double>(b);
        const bool same = ours.typeId() == QMetaType::QString
                              ? oledate::fromText(ours.toString()).day == day
                              : std::bit_cast<std::uint64_t>(ours.toDouble()) ==
                                    std::bit_cast<std::uint64_t>(day);
        return same ? QString() : describe(QString::number(day, 'g', 17));
    }
    case jet::Numeric: {
        if (!needs(17))
            return describe(QStringLiteral("a short Decimal"));
        const QString theirs = decimalOfRaw(*raw, column.scale);
        return decimalOfOurs(ours, column.scale) == theirs ? QString() : describe(theirs);
    }
    case jet::Guid: {
        if (!needs(16))
            return describe(QStringLiteral("a short Replication ID"));
        QString theirs = QStringLiteral("{");
        for (const int i : {3, 2, 1, 0, -1, 5, 4, -1, 7, 6, -1, 8, 9, -1, 10, 11, 12, 13, 14, 15})
            theirs += i < 0 ? QStringLiteral("-")
                            : QStringLiteral("%1").arg(static_cast<std::uint8_t>(b[i]), 2, 16,
                                                       QLatin1Char('0'));
        theirs = theirs.toUpper() + QLatin1Char('}');
        return ours.toString() == theirs ? QString() : describe(theirs);
    }
    case jet::Text:
    case jet::Memo:
        // A zero-length text is no NULL: both must hold the empty, non-null string.
        return ours.typeId() == QMetaType::QString && ours.toString() == text
                   ? QString()
                   : describe(QLatin1Char('"') + text + QLatin1Char('"'));
    case jet::Binary:
        expected = *raw;
        break;
    default:
        // A type we do not know is read as the bytes libmdb splits off the row.
        if (ours.typeId() == QMetaType::QByteArray) {
            expected = *raw;
            break;
        }
        return describe(QStringLiteral("a value of type %1").arg(column.type));
    }
    if (expected.typeId() == QMetaType::Double && ours.typeId() == QMetaType::Double)
        return std::bit_cast<std::uint64_t>(ours.toDouble()) ==
                       std::bit_cast<std::uint64_t>(expected.toDouble())
                   ? QString()
                   : describe(QString::number(expected.toDouble(), 'g', 17));
    return ours.typeId() == expected.typeId() && ours == expected ? QString()
                                                                  : describe(expected.toString());
}

// Every difference between the two readings of a file, one line each. libmdb lists a row
// that Access moved to another page where its data lies, we where its pointer lies: rows
// are compared in the order of where their data lies.
QStringList compareReaders(const QString& path) {
    QStringList differences;
    const std::map<QString, LibmdbTable> theirs = readWithLibmdb(path);
    const QByteArray file = readAll(path);
    const jet::Reader reader(path, file);
    const jet::PageFile pages(file, reader.format());
    QStringList ourNames = reader.tableNames();
    QStringList theirNames;
    for (const auto& [name, table] : theirs)
        theirNames << name;
    ourNames.sort();
    theirNames.sort();
    if (ourNames != theirNames)
        differences << QStringLiteral("tables: ours %1, libmdb %2")
                           .arg(ourNames.join(u','), theirNames.join(u','));
    for (const auto& entry : theirs) {
        const QString& name = entry.first;
        const LibmdbTable& their = entry.second;
        const std::optional<jettable::WholeTable> ours = jettable::read(reader, name);
        if (!ours)
            continue;
        // The columns we leave out must be those libmdb cannot read either.
        std::vector<int> theirColumn;
        for (const jet::Column& c : ours->columns)
            theirColumn.push_back(static_cast<int>(their.columns.indexOf(c.name)));
        QStringList all;
        for (const jet::Column& c : ours->columns)
            all << c.name;
        for (const jet::LeftOutColumn& c : ours->leftOut) {
            all << c.name;
            const auto at = their.columns.indexOf(c.name);
            if (at < 0 || their.types[static_cast<std::size_t>(at)] != MDB_COMPLEX)
                differences << QStringLiteral("%1: we leave out \"%2\"").arg(name, c.name);
        }
        QStringList theirSorted = their.columns;
        all.sort();
        theirSorted.sort();
        if (all != theirSorted) {
            differences << QStringLiteral("%1: columns differ").arg(name);
            continue;
        }
        if (ours->rows.size() != their.rows.size())
            differences << QStringLiteral("%1: ours %2 rows, libmdb %3")
                               .arg(name)
                               .arg(ours->rows.size())
                               .arg(their.rows.size());
        const auto byPlace = [](auto place) {
            return [place](std::size_t a, std::size_t b) {
                const jet::RowLocation x = place(a);
                const jet::RowLocation y = place(b);
                return x.page != y.page ? x.page < y.page : x.slot < y.slot;
            };
        };
        std::vector<jet::RowLocation> ourData;
        for (const jet::RowLocation& listed : ours->locations)
            ourData.push_back(*pages.dataOf(listed, ours->definitionPage));
        std::vector<std::size_t> ourOrder(ours->rows.size());
        std::iota(ourOrder.begin(), ourOrder.end(), 0);
        std::sort(ourOrder.begin(), ourOrder.end(),
                  byPlace([&](std::size_t r) { return ourData[r]; }));
        std::vector<std::size_t> theirOrder(their.rows.size());
        std::iota(theirOrder.begin(), theirOrder.end(), 0);
        std::sort(theirOrder.begin(), theirOrder.end(),
                  byPlace([&](std::size_t r) { return their.rows[r].at; }));
        const std::size_t rows = std::min(ours->rows.size(), their.rows.size());
        for (std::size_t k = 0; k < rows; ++k) {
            const std::size_t r = ourOrder[k];
            const LibmdbRow& row = their.rows[theirOrder[k]];
            if (!(ourData[r] == row.at))
                differences << QStringLiteral("%1 row %2: ours on page %3 slot %4, libmdb on "
                                              "page %5 slot %6")
                                   .arg(name)
                                   .arg(r + 1)
                                   .arg(ourData[r].page)
                                   .arg(ourData[r].slot)
                                   .arg(row.at.page)
                                   .arg(row.at.slot);
            for (std::size_t c = 0; c < ours->columns.size(); ++c) {
                const auto t = static_cast<std::size_t>(theirColumn[c]);
                const QString diff =
                    difference(ours->rows[r][c], ours->columns[c], row.raw[t], row.text[t]);
                if (!diff.isEmpty())
                    differences << QStringLiteral("%1 row %2 column %3: %4")
                                       .arg(name)
                                       .arg(r + 1)
                                       .arg(ours->columns[c].name, diff);
            }
        }
    }
    return differences;
}

QStringList filesIn(const QString& folder, const QStringList& patterns) {
    QStringList paths;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(patterns, QDir::Files))
        paths << dir.filePath(name);
    return paths;
}

TEST(JetLibmdbCrossCheck, EveryFixtureReadsTheSameCellForCell) {
    const QStringList paths = filesIn(kFixtures, {QStringLiteral("*.mdb")});
    ASSERT_GE(paths.size(), 6) << "The Jet fixtures are missing";
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        const QStringList differences = compareReaders(path);
        EXPECT_TRUE(differences.isEmpty()) << differences.join(u'\n').toStdString();
    }
}

// Files Microsoft Access wrote, from Access 97 to 2016, kept beside the clone where a
// machine has them: every file libmdb reads reads the same, table for table and cell for
// cell; the encrypted ones are refused by name.
TEST(JetLibmdbCrossCheck, EveryFileAccessWroteReadsTheSame) {
    const QStringList paths =
        filesIn(kAccessReal, {QStringLiteral("*.mdb"), QStringLiteral("*.accdb")});
    if (paths.isEmpty()) {
        // A clone without the shared files says so, and does not fail for it: the test
        // command prints this line after the tests.
        std::printf("This cross-check did not run: no Access files in %s (set "
                    "TOLVANE_SHARED_FIXTURES)\n",
                    qUtf8Printable(QDir::toNativeSeparators(kAccessReal)));
        return;
    }
    int encrypted = 0;
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        const DatabaseFormat format = detectDatabaseFormat(path);
        if (format == DatabaseFormat::AceEncrypted) {
            ++encrypted;
            try {
                jet::Reader reader(path);
                ADD_FAILURE() << "read an encrypted file";
            } catch (const PatchError& e) {
                EXPECT_TRUE(e.cause().contains(QLatin1String("encrypted")) &&
                            e.cause().contains(QLatin1String("Decrypt Database")))
                    << e.message().toStdString();
            }
            continue;
        }
        const QStringList differences = compareReaders(path);
        EXPECT_TRUE(differences.isEmpty()) << differences.join(u'\n').toStdString();
    }
    EXPECT_EQ(encrypted, 3);
}

// The writer of the tests lays out every format as libmdb reads it, so that it can stand
// for Access in the season tests.
TEST(JetLibmdbCrossCheck, WrittenSeasonsReadTheSameInEveryLayout) {
    for (const char* name : {"season-a", "season-b", "season-byte-overall"}) {
        for (const jetwriter::SeasonLayout& layout : jetwriter::kSeasonLayouts) {
            SCOPED_TRACE(std::string(name) + " " + layout.label);
            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("season.mdb"));
            writeAll(path, jetwriter::seasonFile(kFixtures, QString::fromLatin1(name), layout));
            const QStringList differences = compareReaders(path);
            EXPECT_TRUE(differences.isEmpty()) << differences.join(u'\n').toStdString();
        }
    }
}

// A file the write-back changed still reads the same through both readers: the fixtures,
// and the writer's files in every layout, moved rows among them.
TEST(JetLibmdbCrossCheck, WrittenFilesReadTheSame) {
    std::vector<std::pair<std::string, QByteArray>> files;
    for (const char* name : {"season-a.mdb", "season-b.mdb", "season-byte-overall.mdb"})
        files.push_back({name, readAll(kFixtures + QLatin1Char('/') + QString::fromLatin1(name))});
    for (const jetwriter::SeasonLayout& layout : jetwriter::kSeasonLayouts)
        files.push_back(
            {layout.label, jetwriter::seasonFile(kFixtures, QStringLiteral("season-b"), layout)});
    for (const auto& [label, bytes] : files) {
        SCOPED_TRACE(label);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("seasonStats.mdb"));
        writeAll(path, bytes);
        const jettable::WholeTable ratings =
            *jettable::read(jet::Reader(path), QStringLiteral("Ratings"));
        std::vector<jet::CellChange> changes;
        for (std::size_t r = 0; r < ratings.rows.size(); ++r)
            changes.push_back({r, static_cast<qint64>(10 + r % 90)});
        jettable::writeInPlace(path, ratings, QStringLiteral("overall"), changes);
        const QStringList differences = compareReaders(path);
        EXPECT_TRUE(differences.isEmpty()) << differences.join(u'\n').toStdString();
        const jettable::WholeTable written =
            *jettable::read(jet::Reader(path), QStringLiteral("Ratings"));
        const int overall = written.columnIndex(QStringLiteral("overall"));
        for (std::size_t r = 0; r < written.rows.size(); ++r)
            EXPECT_EQ(written.rows[r][overall].toLongLong(), static_cast<qint64>(10 + r % 90));
    }
}

// Layouts the fixtures lack, made by editing one: libmdb must read them as we do.
TEST(JetLibmdbCrossCheck, LongValuePagesAndInlineUsageMapsReadTheSame) {
    const QByteArray original = readAll(kFixtures + QStringLiteral("/season-b.mdb"));
    const jettable::WholeTable ratings = *jettable::read(
        jet::Reader(QStringLiteral("season-b.mdb"), original), QStringLiteral("Ratings"));
    const int notes = ratings.columnIndex(QStringLiteral("Notes"));
    std::vector<std::size_t> memoRows;
    for (std::size_t r = 0; r < ratings.rows.size(); ++r) {
        if (ratings.rows[r][notes].toString().size() > 1)
            memoRows.push_back(r);
    }
    ASSERT_GE(memoRows.size(), 4u);
    QByteArray edited = original;
    jetedit::moveMemo(edited, ratings, memoRows[0], QStringLiteral("Notes"), false);
    jetedit::moveMemo(edited, ratings, memoRows[1], QStringLiteral("Notes"), true);
    jetedit::moveMemo(edited, ratings, memoRows[2], QStringLiteral("Notes"), true);
    jetedit::inlineUsageMap(edited, ratings.definitionPage);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("edited.mdb"));
    writeAll(path, edited);
    const QStringList differences = compareReaders(path);
    EXPECT_TRUE(differences.isEmpty()) << differences.join(u'\n').toStdString();
    EXPECT_EQ(jettable::read(jet::Reader(path), QStringLiteral("Ratings"))->rows, ratings.rows);
}

// A column of a type no documentation describes reads as the bytes libmdb splits off the
// row, fixed or variable.
TEST(JetLibmdbCrossCheck, ColumnsOfAnUnknownTypeReadAsTheirBytes) {
    QByteArray edited = readAll(kFixtures + QStringLiteral("/season-b.mdb"));
    const std::uint32_t definition =
        jettable::read(jet::Reader(QStringLiteral("season-b.mdb"), edited),
                       QStringLiteral("Ratings"))
            ->definitionPage;
    for (const char* column : {"overall", "Notes"})
        jetedit::setColumnType(edited, definition, QString::fromLatin1(column), 0x15);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("unknown.mdb"));
    writeAll(path, edited);
    EXPECT_EQ(jettable::read(jet::Reader(path), QStringLiteral("Ratings"))->rawBytes.size(), 2u);
    const QStringList differences = compareReaders(path);
    EXPECT_TRUE(differences.isEmpty()) << differences.join(u'\n').toStdString();
}

} // namespace
