#pragma once

#include "support/foldertree.h"

#include <QString>

#include <vector>

namespace tolvane {

// The season database's kind in a game folder made for a test.
enum class SeasonKind { Sqlite, Access };

// A game folder as a player has it before the second update of a patch: three teams in
// the slot default2009 and the backup of an earlier update, then a season with other
// players and ratings (every overall rating 1, which no conversion gives) and another new
// fixture, as a later version of the patch brings them. folder must not hold a game yet.
// jetColumnTypes is an Access season whose column types an Access season takes.
void writeGameBeforeSecondUpdate(const QString& folder, SeasonKind kind,
                                 const QString& jetColumnTypes);

// The overall ratings of the season database at path, in row order.
std::vector<qint64> overallRatings(const QString& path);

// Why the season database at path is not sound, or an empty text when it is: an SQLite file
// must pass its integrity check, an Access file must read whole.
QString unsoundness(const QString& path);

// The entries of tree below prefix (a folder, ending in '/'), keyed as in tree.
FolderTree subtree(const FolderTree& tree, const QString& prefix);
// tree without the entry at path.
FolderTree without(FolderTree tree, const QString& path);

// Copies the folder from, which must hold no links, into to (which must not exist).
void copyFolder(const QString& from, const QString& to);

} // namespace tolvane
