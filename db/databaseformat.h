#pragma once

#include <QByteArray>
#include <QString>

namespace tolvane {

// What a season database file is, told by its first bytes, never by its name: patches
// ship Access files and SQLite files under the same name seasonStats.mdb.
enum class DatabaseFormat { Sqlite, Jet3, Jet4, Jet4Encoded, Ace, Unknown };

// How many of a file's first bytes tell its format.
inline constexpr qsizetype kDatabaseHeadSize = 128;

DatabaseFormat detectDatabaseFormat(const QByteArray& head);
// Reads the file's first bytes; an unreadable file throws.
DatabaseFormat detectDatabaseFormat(const QString& path);
// The format as users know it, e.g. "a Microsoft Jet 3 database (Access 97)".
QString databaseFormatName(DatabaseFormat format);
// The operation a failure to open a season database is reported under.
QString openDatabaseOperation();
// Why a file of a format other than SQLite and Jet 4 cannot be used, and what to do.
QString unreadableFormatReason(DatabaseFormat format);

} // namespace tolvane
