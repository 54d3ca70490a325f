#pragma once

#include <QByteArray>
#include <QString>

namespace tolvane {

// What a season database file is, told by its first bytes, never by its name: patches
// ship Access files and SQLite files under the same name seasonStats.mdb. This is the one
// place that tells them apart.
enum class DatabaseFormat {
    Sqlite,
    Jet3, // Access 97
    Jet4, // Access 2000 to 2003
    Ace,  // Access 2007 and later
    Jet3Encoded,
    Jet4Encoded,
    AceEncrypted, // an ACE file with a database password
    Unknown,
};

DatabaseFormat detectDatabaseFormat(const QByteArray& head);
// Reads the file's first bytes; a missing or unreadable file throws.
DatabaseFormat detectDatabaseFormat(const QString& path);
// True for the Access formats the program reads and writes.
bool isReadableAccess(DatabaseFormat format);
// The format as users know it, e.g. "a Microsoft Jet 3 database (Access 97)".
QString databaseFormatName(DatabaseFormat format);
// The operation a failure to open a season database is reported under.
QString openDatabaseOperation();
// Why a file of the format cannot be used where an Access file is needed, and what to do.
QString unreadableFormatReason(DatabaseFormat format);

} // namespace tolvane
