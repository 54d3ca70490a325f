// Reads every Jet fixture with our reader and with libmdb (mdbtools) and compares them cell
// for cell. libmdb is a second, independent reading of the same bytes; it is used here only,
// never by the program.
#include "core/bytes.h"
#include "core/oledate.h"
#include "db/jetfile.h"
#include "db/jetwriteback.h"
#include "support/foldertree.h"
#include "support/jetedit.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>
#include <memory>

// libmdb's header wraps <glib.h> in extern "C", which g++ rejects unless glib comes first.
#include <glib.h>
#include <mdbtools.h>

using namespace tolvane;

namespace {

constexpr std::size_t kBindSize = 1 << 20;

struct HandleCloser {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};
struct TableFreer {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

// One row as libmdb sees it: the raw fields of mdb_crack_row (which tell a zero-length
// text from NULL) and the texts libmdb's own binding makes of texts and memos.
struct LibmdbRow {
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
            for (guint c = 0; c < columns; ++c)
                row.text.push_back(QString::fromUtf8(bound[c].data(), lengths[c]));
            // Binding memos reads other pages; the row's own page is read again.
            const auto page = def->cur_phys_pg;
            if (mdb->cur_pg != page)
                mdb_read_pg(mdb.get(), page);
            int start = 0;
            size_t size = 0;
            if (mdb_find_row(mdb.get(), static_cast<int>(def->cur_row - 1), &start, &size) != 0 ||
                mdb_crack_row(def.get(), start & 0x1fff, size, fields.data()) !=
                    static_cast<int>(columns)) {
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

// Where our value of a cell differs from libmdb's reading; empty when they agree.
QString difference(const QVariant& ours, std::uint8_t type, const std::optional<QByteArray>& raw,
                   const QString& text) {
    const auto describe = [&](const QString& theirs) {
        return QStringLiteral("ours %1 (%2), libmdb %3")
            .arg(ours.isNull() ? QStringLiteral("NULL") : ours.toString(),
                 QString::fromLatin1(ours.typeName() ? ours.typeName() : "null"), theirs);
    };
    if (type == jet::Bool)
        return ours == QVariant(qint64(raw ? 1 : 0)) ? QString() : describe(raw ? "Yes" : "No");
    if (!raw)
        return ours.isNull() ? QString() : describe(QStringLiteral("NULL"));
    if (ours.isNull())
        return describe(QStringLiteral("a value"));
    const char* b = raw->constData();
    const auto needs = [&](qsizetype n) { return raw->size() >= n; };
    QVariant expected;
    switch (type) {
    case jet::Byte:
        expected = needs(1) ? qint64(static_cast<std::uint8_t>(b[0])) : QVariant();
        break;
    case jet::Int:
        expected = needs(2) ? qint64(bytes::loadLittleEndian<std::int16_t>(b)) : QVariant();
        break;
    case jet::Long:
        expected = needs(4) ? qint64(bytes::loadLittleEndian<std::int32_t>(b)) : QVariant();
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
        return describe(QStringLiteral("a value of type %1").arg(type));
    }
    if (expected.typeId() == QMetaType::Double && ours.typeId() == QMetaType::Double)
        return std::bit_cast<std::uint64_t>(ours.toDouble()) ==
                       std::bit_cast<std::uint64_t>(expected.toDouble())
                   ? QString()
                   : describe(QString::number(expected.toDouble(), 'g', 17));
    return ours.typeId() == expected.typeId() && ours == expected ? QString()
                                                                  : describe(expected.toString());
}

// Every difference between the two readings of a file, one line each.
QStringList compareReaders(const QString& path) {
    QStringList differences;
    const std::map<QString, LibmdbTable> theirs = readWithLibmdb(path);
    const jet::Reader reader(path);
    QStringList ourNames = reader.tableNames();
    QStringList theirNames;
    for (const auto& [name, table] : theirs)
        theirNames << name;
    ourNames.sort();
    theirNames.sort();
    if (ourNames != theirNames)
        differences << QStringLiteral("tables: ours %1, libmdb %2")
                           .arg(ourNames.join(u','), theirNames.join(u','));
    for (const auto& [name, their] : theirs) {
        const std::optional<jet::Table> ours = reader.readTable(name);
        if (!ours)
            continue;
        QStringList ourColumns;
        for (const jet::Column& c : ours->columns)
            ourColumns << c.name;
        if (ourColumns != their.columns) {
            differences << QStringLiteral("%1: columns differ").arg(name);
            continue;
        }
        if (ours->rows.size() != their.rows.size())
            differences << QStringLiteral("%1: ours %2 rows, libmdb %3")
                               .arg(name)
                               .arg(ours->rows.size())
                               .arg(their.rows.size());
        const std::size_t rows = std::min(ours->rows.size(), their.rows.size());
        for (std::size_t r = 0; r < rows; ++r) {
            for (std::size_t c = 0; c < ours->columns.size(); ++c) {
                const QString diff = difference(ours->rows[r][c], ours->columns[c].type,
                                                their.rows[r].raw[c], their.rows[r].text[c]);
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

QStringList fixtures() {
    QStringList paths;
    for (const QString& folder :
         {QStringLiteral(TOLVANE_JET_FIXTURES), QStringLiteral(TOLVANE_SHARED_JET_FIXTURES)}) {
        const QDir dir(folder);
        for (const QString& name : dir.entryList({QStringLiteral("*.mdb")}, QDir::Files))
            paths << dir.filePath(name);
    }
    return paths;
}

TEST(JetLibmdbCrossCheck, EveryFixtureReadsTheSameCellForCell) {
    const QStringList paths = fixtures();
    ASSERT_GE(paths.size(), 6) << "The Jet fixtures are missing";
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        const QStringList differences = compareReaders(path);
        EXPECT_TRUE(differences.isEmpty()) << differences.join(u'\n').toStdString();
    }
}

// A file the write-back changed still reads the same through both readers.
TEST(JetLibmdbCrossCheck, WrittenFilesReadTheSame) {
    for (const char* name : {"season-a.mdb", "season-b.mdb", "season-byte-overall.mdb"}) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("seasonStats.mdb"));
        writeAll(path,
                 readAll(QStringLiteral(TOLVANE_JET_FIXTURES "/") + QString::fromLatin1(name)));
        const jet::Table ratings = *jet::Reader(path).readTable(QStringLiteral("Ratings"));
        std::vector<jet::CellChange> changes;
        for (std::size_t r = 0; r < ratings.rows.size(); ++r)
            changes.push_back({r, static_cast<qint64>(10 + r % 90)});
        jet::writeInPlace(path, ratings, QStringLiteral("overall"), changes);
        const QStringList differences = compareReaders(path);
        EXPECT_TRUE(differences.isEmpty()) << differences.join(u'\n').toStdString();
        const jet::Table written = *jet::Reader(path).readTable(QStringLiteral("Ratings"));
        const int overall = written.columnIndex(QStringLiteral("overall"));
        for (std::size_t r = 0; r < written.rows.size(); ++r)
            EXPECT_EQ(written.rows[r][overall].toLongLong(), static_cast<qint64>(10 + r % 90));
    }
}

// Layouts the fixtures lack, made by editing one: libmdb must read them as we do.
TEST(JetLibmdbCrossCheck, LongValuePagesAndInlineUsageMapsReadTheSame) {
    const QByteArray original = readAll(QStringLiteral(TOLVANE_JET_FIXTURES "/season-b.mdb"));
    const jet::Table ratings =
        *jet::Reader(QStringLiteral("season-b.mdb"), original).readTable(QStringLiteral("Ratings"));
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
    EXPECT_EQ(jet::Reader(path).readTable(QStringLiteral("Ratings"))->rows, ratings.rows);
}

} // namespace
