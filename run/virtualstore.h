#pragma once

#include "core/gamefolder.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tolvane {

// Windows gives old programs that write into a protected folder (the game is one) a copy of
// the file in the user's VirtualStore instead, and from then on shows them that copy in
// place of the real file. Copies of what the update writes would keep the new files from
// the game. The folder is found through the environment (LOCALAPPDATA), as Windows sets it.
namespace virtualstore {

// The VirtualStore folder that stands for the game's folder: LOCALAPPDATA/VirtualStore
// followed by the game folder's path without its drive. Nothing where the environment names
// none.
std::optional<GameFolder> folderFor(const GameFolder& game);

// The copies there of what a run writes: the roster slot folder (with its team folders)
// and the installed fixture. Paths in the VirtualStore, in that order.
QStringList copies(const GameFolder& game, const QString& slotName);

// The name of the folder the copies are set aside in, beside them.
QString setAsideFolderName();

// Moves the copies into a new folder beside them, each below it by its own path relative
// to the VirtualStore folder, and returns that folder. Nothing is deleted. A failure
// throws a PatchError; what was moved before it stays moved.
QString setAside(const GameFolder& game, const QStringList& copies);

} // namespace virtualstore

} // namespace tolvane
