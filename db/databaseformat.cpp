#include "db/databaseformat.h"

#include "core/patcherror.h"
#include "db/jetformat.h"

#include <QFile>
#include <QFileInfo>

namespace tolvane {

DatabaseFormat detectDatabaseFormat(const QByteArray& head) {
    if (head.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return DatabaseFormat::Sqlite;
    const std::optional<jet::FileHeader> header = jet::readHeader(head);
    if (!header)
        return DatabaseFormat::Unknown;
    const DatabaseFormat kind = header->format->kind;
    if (header->databaseKey == 0)
        return kind;
    switch (kind) {
    case DatabaseFormat::Jet3:
        return DatabaseFormat::Jet3Encoded;
    case DatabaseFormat::Jet4:
        return DatabaseFormat::Jet4Encoded;
    default:
        return DatabaseFormat::AceEncrypted;
    }
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
    return detectDatabaseFormat(file.read(kDatabaseHeadSize));
}

bool isReadableAccess(DatabaseFormat format) {
    return jet::formatOf(format) != nullptr;
}

QString databaseFormatName(DatabaseFormat format) {
    switch (format) {
    case DatabaseFormat::Sqlite:
        return QStringLiteral("an SQLite 3 database");
    case DatabaseFormat::Jet3:
        return QStringLiteral("a Microsoft Jet 3 database (Access 97)");
    case DatabaseFormat::Jet4:
        return QStringLiteral("a Microsoft Jet 4 database (Access 2000 to 2003)");
    case DatabaseFormat::Ace:
        return QStringLiteral("a Microsoft ACE database (Access 2007 or later, .accdb)");
    case DatabaseFormat::Jet3Encoded:
        return QStringLiteral("an encoded (encrypted) Microsoft Jet 3 database (Access 97)");
    case DatabaseFormat::Jet4Encoded:
        return QStringLiteral("an encoded (encrypted) Microsoft Jet 4 database (Access 2000 to "
                              "2003)");
    case DatabaseFormat::AceEncrypted:
        return QStringLiteral("an encrypted Microsoft ACE database (Access 2007 or later, "
                              ".accdb)");
    case DatabaseFormat::Unknown:
        break;
    }
    return QStringLiteral("neither an SQLite database nor a Microsoft Access database");
}

QString unreadableFormatReason(DatabaseFormat format) {
    const QString name = databaseFormatName(format);
    switch (format) {
    case DatabaseFormat::Sqlite:
        return QStringLiteral("The file is %1, not a Microsoft Access database.").arg(name);
    case DatabaseFormat::Jet3Encoded:
    case DatabaseFormat::Jet4Encoded:
        return QStringLiteral("The file is %1, which cannot be read. Decode it in Access (Tools > "
                              "Security > Encode/Decode Database), or convert it to SQLite.")
            .arg(name);
    case DatabaseFormat::AceEncrypted:
        return QStringLiteral(
                   "The file is %1: it is protected with a database password, which encrypts "
                   "it, and cannot be read. Remove the password in Access: open the file with "
                   "File > Open, choosing Open Exclusive from the Open button's list, then "
                   "choose File > Info > Decrypt Database (in Access 2007: Database Tools > "
                   "Unset Database Password) and enter the password.")
            .arg(name);
    case DatabaseFormat::Jet3:
    case DatabaseFormat::Jet4:
    case DatabaseFormat::Ace:
        return QString();
    case DatabaseFormat::Unknown:
        break;
    }
    return QStringLiteral("The file is not an SQLite database. It is not a Microsoft Access "
                          "database either.");
}

} // namespace tolvane
