#include "db/databaseformat.h"

#include "core/bytes.h"
#include "core/patcherror.h"

#include <QFile>

namespace tolvane {

namespace {

constexpr char kJetSignature[] = "Standard Jet DB";
constexpr char kAceSignature[] = "Standard ACE DB";
constexpr qsizetype kVersionOffset = 0x14;
constexpr std::uint32_t kJet3Version = 0;
constexpr std::uint32_t kJet4Version = 1;

// The header from 0x18 on is scrambled with a fixed key stream; where the database key
// lies, the stream's bytes are this value, so an unencoded file (key 0) stores it as is.
constexpr qsizetype kDatabaseKeyOffset = 0x3e;
constexpr std::uint32_t kDatabaseKeyMask = 0x4ebc8afb;

} // namespace

DatabaseFormat detectDatabaseFormat(const QByteArray& head) {
    if (head.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return DatabaseFormat::Sqlite;
    if (head.size() < kVersionOffset + 4 || !head.startsWith(QByteArrayLiteral("\0\1\0\0")))
        return DatabaseFormat::Unknown;
    const QByteArray signature = head.mid(4, 16);
    const auto version = bytes::loadLittleEndian<std::uint32_t>(head.constData() + kVersionOffset);
    if (signature == QByteArray(kJetSignature, sizeof kJetSignature)) {
        if (version == kJet3Version)
            return DatabaseFormat::Jet3;
        if (version != kJet4Version)
            return DatabaseFormat::Unknown;
        // A head too short to hold the key is a truncated file, which the reader names.
        if (head.size() >= kDatabaseKeyOffset + 4 &&
            (bytes::loadLittleEndian<std::uint32_t>(head.constData() + kDatabaseKeyOffset) ^
             kDatabaseKeyMask) != 0)
            return DatabaseFormat::Jet4Encoded;
        return DatabaseFormat::Jet4;
    }
    if (signature == QByteArray(kAceSignature, sizeof kAceSignature))
        return DatabaseFormat::Ace;
    return DatabaseFormat::Unknown;
}

QString openDatabaseOperation() {
    return QStringLiteral("Cannot open the season database");
}

DatabaseFormat detectDatabaseFormat(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PatchError(openDatabaseOperation(), path, file.errorString());
    return detectDatabaseFormat(file.read(kDatabaseHeadSize));
}

QString databaseFormatName(DatabaseFormat format) {
    switch (format) {
    case DatabaseFormat::Sqlite:
        return QStringLiteral("an SQLite 3 database");
    case DatabaseFormat::Jet3:
        return QStringLiteral("a Microsoft Jet 3 database (Access 97)");
    case DatabaseFormat::Jet4:
        return QStringLiteral("a Microsoft Jet 4 database (Access 2000 to 2003)");
    case DatabaseFormat::Jet4Encoded:
        return QStringLiteral("an encoded (encrypted) Microsoft Jet 4 database (Access 2000 to "
                              "2003)");
    case DatabaseFormat::Ace:
        return QStringLiteral("a Microsoft ACE database (Access 2007 or later, .accdb)");
    case DatabaseFormat::Unknown:
        break;
    }
    return QStringLiteral("neither an SQLite database nor a Microsoft Access database");
}

QString unreadableFormatReason(DatabaseFormat format) {
    switch (format) {
    case DatabaseFormat::Sqlite:
        return QStringLiteral("The file is %1, not a Microsoft Jet 4 database.")
            .arg(databaseFormatName(format));
    case DatabaseFormat::Jet3:
        return QStringLiteral("The file is %1, which cannot be read. Save it in Access as an "
                              "Access 2000 or 2002-2003 database, or convert it to SQLite.")
            .arg(databaseFormatName(format));
    case DatabaseFormat::Jet4Encoded:
        return QStringLiteral("The file is %1, which cannot be read. Decode it in Access "
                              "(Encode/Decode Database), or convert it to SQLite.")
            .arg(databaseFormatName(format));
    case DatabaseFormat::Ace:
        return QStringLiteral("The file is %1, which cannot be read. Save it in Access as an "
                              "Access 2002-2003 database (.mdb), or convert it to SQLite.")
            .arg(databaseFormatName(format));
    default:
        return QStringLiteral("The file is not an SQLite database. It is not a Microsoft Access "
                              "database either.");
    }
}

} // namespace tolvane
