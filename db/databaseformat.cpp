#include "db/databaseformat.h"

#include "core/patcherror.h"
#include "db/jet/format.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace tolvane {

namespace {

constexpr QByteArrayView kSqliteSignature("SQLite format 3\0", 16);
// Enough of the file for either signature.
constexpr qsizetype kHeadSize = std::max(jet::kHeadSize, kSqliteSignature.size());

// The Access engine of a format, for one of the Access formats.
jet::Engine accessEngine(DatabaseFormat format) {
    switch (format) {
    case DatabaseFormat::Jet3:
    case DatabaseFormat::Jet3Encoded:
        return jet::Engine::Jet3;
    case DatabaseFormat::Jet4:
    case DatabaseFormat::Jet4Encoded:
        return jet::Engine::Jet4;
    default:
        return jet::Engine::Ace;
    }
}

} // namespace

DatabaseFormat detectDatabaseFormat(const QByteArray& head) {
    if (head.startsWith(kSqliteSignature))
        return DatabaseFormat::Sqlite;
    const std::optional<jet::FileHeader> header = jet::readHeader(head);
    if (!header)
        return DatabaseFormat::Unknown;
    const bool encrypted = header->encrypted();
    switch (header->format->engine) {
    case jet::Engine::Jet3:
        return encrypted ? DatabaseFormat::Jet3Encoded : DatabaseFormat::Jet3;
    case jet::Engine::Jet4:
        return encrypted ? DatabaseFormat::Jet4Encoded : DatabaseFormat::Jet4;
    case jet::Engine::Ace:
        break;
    }
    return encrypted ? DatabaseFormat::AceEncrypted : DatabaseFormat::Ace;
}

QString openDatabaseOperation() {
    return QStringLiteral("Cannot open the season database");
}

DatabaseFormat detectDatabaseFormat(const QString& path) {
    if (!QFileInfo(path).isFile())
        throw PatchError(openDatabaseOperation(), path, QStringLiteral("The file does not exist."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PatchError(openDatabaseOperation(), path, file.errorString());
    return detectDatabaseFormat(file.read(kHeadSize));
}

bool isReadableAccess(DatabaseFormat format) {
    return format == DatabaseFormat::Jet3 || format == DatabaseFormat::Jet4 ||
           format == DatabaseFormat::Ace;
}

QString databaseFormatName(DatabaseFormat format) {
    switch (format) {
    case DatabaseFormat::Sqlite:
        return QStringLiteral("an SQLite 3 database");
    case DatabaseFormat::Unknown:
        return QStringLiteral("neither an SQLite database nor a Microsoft Access database");
    default:
        return jet::formatName(accessEngine(format), !isReadableAccess(format));
    }
}

QString unreadableFormatReason(DatabaseFormat format) {
    switch (format) {
    case DatabaseFormat::Sqlite:
        return QStringLiteral("The file is %1, not a Microsoft Access database.")
            .arg(databaseFormatName(format));
    case DatabaseFormat::Jet3:
    case DatabaseFormat::Jet4:
    case DatabaseFormat::Ace:
        return QString();
    case DatabaseFormat::Unknown:
        return QStringLiteral("The file is not an SQLite database. It is not a Microsoft Access "
                              "database either.");
    default:
        return jet::encryptedReason(accessEngine(format));
    }
}

} // namespace tolvane
