#pragma once

#include "core/gamefolder.h"
#include "support/fakeui.h"

#include <QTemporaryDir>
#include <QVariantMap>

namespace tolvane {

// A temporary game folder for one test: lists/, data/schedules/schedule2008.dat and
// schedule2009.dat; the season database is left to the test (see demo::SeasonBuilder).
struct TestGame {
    TestGame();

    QString path() const { return dir.path(); }
    QString file(const QString& relative) const { return dir.filePath(relative); }
    GameFolder folder() const { return GameFolder(path()); }
    QString dbPath() const { return folder().seasonDatabase(); }
    QString slot() const { return folder().slotFolder(gamepaths::kDefaultSlot); }
    // Fills the folder from the demo generator with teams x players.
    void writeDemo(int teams, int players);
    // Runs a whole update into the slot default2009, answering from ui.answers (OK when they
    // run out); returns the last message shown.
    QString runUpdate();

    QTemporaryDir dir;
    FakeUi ui;
};

// Overrides that set the 22 ratings summed into a player's overall points to value.
QVariantMap allRatings(const QVariant& value);

// Writes a database of players (team, name) in the reference schema with default values.
void writeSimpleDatabase(const QString& path,
                         const std::vector<std::pair<QString, QString>>& players);

} // namespace tolvane
