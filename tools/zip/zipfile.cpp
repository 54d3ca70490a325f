#include "tools/zip/zipfile.h"

#include "core/patcherror.h"

#include <QDir>
#include <QFile>

#include <zip.h>

#include <cstdio>
#include <ctime>
#include <memory>

namespace tolvane {

namespace zipfile {

namespace {

// Every entry is deflated at the highest level: the bytes of a zip depend on nothing but its
// entries (and the zlib that deflates them).
constexpr zip_int32_t kCompressionLevel = 9;
// Files unpack as the owner's to read and write, everyone's to read, on systems that keep
// such rights; Windows takes no rights from a zip.
constexpr zip_uint32_t kUnixFileMode = 0100644;
// More than a season, a fixture and a program need, and less than a QByteArray takes.
constexpr zip_uint64_t kLargestEntry = zip_uint64_t(1) << 30;

struct ArchiveDiscard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveDiscard>;

struct SourceFree {
    void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using Source = std::unique_ptr<zip_source_t, SourceFree>;

struct ErrorFini {
    void operator()(zip_error_t* error) const { zip_error_fini(error); }
};

// libzip's error as a cause.
QString cause(zip_error_t* error) {
    return QString::fromUtf8(zip_error_strerror(error));
}
QString cause(zip_t* archive) {
    return QString::fromUtf8(zip_strerror(archive));
}

[[noreturn]] void cannotWrite(const QString& target, const QString& why) {
    throw PatchError(QStringLiteral("Cannot write the zip file"), target, why);
}
[[noreturn]] void cannotRead(const QString& source, const QString& why) {
    throw PatchError(QStringLiteral("Cannot read the zip file"), source, why);
}

// The time libzip gives an entry: it keeps the local time of day of a time_t, as zips do.
std::time_t entryTime(const QDateTime& modified) {
    if (modified.isValid())
        return std::time_t(modified.toSecsSinceEpoch());
    // The earliest time a zip can hold, for an entry that names none.
    return std::time_t(QDateTime(QDate(1980, 1, 1), QTime(0, 0)).toSecsSinceEpoch());
}

// A name that unpacks inside the folder it is unpacked into, on every system.
bool isSafeName(const QString& name) {
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name.contains(QLatin1Char(':')))
        return false;
    for (const QString& part : name.split(QLatin1Char('/'))) {
        if (part == QLatin1String(".."))
            return false;
    }
    return true;
}

// The bytes a buffer source holds.
QByteArray contents(zip_source_t* source, const QString& target) {
    if (zip_source_open(source) < 0)
        cannotWrite(target, cause(zip_source_error(source)));
    QByteArray bytes;
    if (zip_source_seek(source, 0, SEEK_END) == 0) {
        const zip_int64_t size = zip_source_tell(source);
        if (size >= 0 && zip_source_seek(source, 0, SEEK_SET) == 0) {
            bytes.resize(qsizetype(size));
            if (zip_source_read(source, bytes.data(), zip_uint64_t(size)) != size)
                bytes.clear();
        }
    }
    const QString why = cause(zip_source_error(source));
    zip_source_close(source);
    if (bytes.isEmpty())
        cannotWrite(target, why);
    return bytes;
}

void add(zip_t* archive, const Entry& entry, const QString& target) {
    const QString where = target + QLatin1Char('/') + entry.name;
    if (!isSafeName(entry.name))
        cannotWrite(where, QStringLiteral("Not a name for a file in a zip."));
    Source data(
        zip_source_buffer(archive, entry.data.constData(), zip_uint64_t(entry.data.size()), 0));
    if (!data)
        cannotWrite(where, cause(archive));
    const zip_int64_t index =
        zip_file_add(archive, entry.name.toUtf8().constData(), data.get(), ZIP_FL_ENC_UTF_8);
    if (index < 0)
        cannotWrite(where, cause(archive));
    // The archive owns the data now.
    data.release();
    const auto i = zip_uint64_t(index);
    if (zip_set_file_compression(archive, i, ZIP_CM_DEFLATE, kCompressionLevel) < 0 ||
        zip_file_set_mtime(archive, i, entryTime(entry.modified), 0) < 0 ||
        zip_file_set_external_attributes(archive, i, 0, ZIP_OPSYS_UNIX, kUnixFileMode << 16) < 0)
        cannotWrite(where, cause(archive));
}

QByteArray readEntry(zip_t* archive, zip_uint64_t index, zip_uint64_t size, const QString& where) {
    if (size > kLargestEntry)
        cannotRead(where, QStringLiteral("The file is larger than 1 GiB."));
    struct FileClose {
        void operator()(zip_file_t* file) const { zip_fclose(file); }
    };
    const std::unique_ptr<zip_file_t, FileClose> file(zip_fopen_index(archive, index, 0));
    if (!file)
        cannotRead(where, cause(archive));
    QByteArray data(qsizetype(size), Qt::Uninitialized);
    // Reading to the end checks the entry's checksum.
    if (zip_fread(file.get(), data.data(), size) != zip_int64_t(size) ||
        zip_fread(file.get(), nullptr, 0) != 0)
        cannotRead(where, cause(zip_file_get_error(file.get())));
    return data;
}

} // namespace

QByteArray write(const std::vector<Entry>& entries, const QString& target) {
    if (entries.empty()) {
        // libzip writes nothing for an empty archive; a zip of no files is its end record.
        QByteArray end(22, '\0');
        end.replace(0, 4, "PK\x05\x06");
        return end;
    }
    zip_error_t error;
    zip_error_init(&error);
    const std::unique_ptr<zip_error_t, ErrorFini> errorFini(&error);
    const Source buffer(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (!buffer)
        cannotWrite(target, cause(&error));
    // The archive takes a reference of its own, so that the bytes outlive it.
    zip_source_keep(buffer.get());
    Archive archive(zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &error));
    if (!archive) {
        zip_source_free(buffer.get());
        cannotWrite(target, cause(&error));
    }
    for (const Entry& entry : entries)
        add(archive.get(), entry, target);
    if (zip_close(archive.get()) < 0)
        cannotWrite(target, cause(archive.get()));
    archive.release();
    return contents(buffer.get(), target);
}

std::vector<Entry> read(const QByteArray& zip, const QString& source) {
    zip_error_t error;
    zip_error_init(&error);
    const std::unique_ptr<zip_error_t, ErrorFini> errorFini(&error);
    Source buffer(zip_source_buffer_create(zip.constData(), zip_uint64_t(zip.size()), 0, &error));
    if (!buffer)
        cannotRead(source, cause(&error));
    const Archive archive(zip_open_from_source(buffer.get(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!archive)
        cannotRead(source, cause(&error));
    // The archive frees the source.
    buffer.release();

    std::vector<Entry> entries;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        if (zip_stat_index(archive.get(), zip_uint64_t(i), 0, &stat) < 0)
            cannotRead(source, cause(archive.get()));
        const QString name = QString::fromUtf8(stat.name);
        const QString where = source + QLatin1Char('/') + name;
        if (!isSafeName(name))
            cannotRead(where, QStringLiteral("The name would land outside the folder the zip is "
                                             "unpacked into."));
        if (name.endsWith(QLatin1Char('/')))
            continue;
        entries.push_back({name, readEntry(archive.get(), zip_uint64_t(i), stat.size, where),
                           QDateTime::fromSecsSinceEpoch(qint64(stat.mtime))});
    }
    return entries;
}

std::vector<Entry> readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        cannotRead(QDir::toNativeSeparators(path), file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        cannotRead(QDir::toNativeSeparators(path), file.errorString());
    return read(bytes, QDir::toNativeSeparators(path));
}

} // namespace zipfile

} // namespace tolvane
