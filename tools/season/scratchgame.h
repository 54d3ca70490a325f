#pragma once

#include "core/gamefolder.h"
#include "run/findings.h"
#include "run/seasonconversion.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace tolvane {

class InputCheck;

namespace season {

// A game folder of the tool's own, in which a season database is checked as the update
// checks it, with nothing written anywhere else: a temporary folder holding the season as
// seasonStats.mdb, the new fixture as schedule2009.dat, a game fixture and an empty lists/
// folder, so that the update would make a new roster slot. The folder goes with the object.
//
//     ScratchGame game(seasonPath);      // throws a PatchError
//     const bool imports = game.check(); // every check of an update, as --check runs it
//     game.summary(); game.problems(); game.warnings();
class ScratchGame {
public:
    // The season database at path, with a stand-in for the fixture, which the check only
    // looks for. A season that cannot be read, or a temporary folder that cannot be made or
    // filled, throws a PatchError that names it.
    explicit ScratchGame(const QString& path);
    // The bytes of a season database and of a fixture, as a zip would hold them; seasonName
    // names the season in the findings' texts.
    ScratchGame(const QByteArray& season, const QByteArray& fixture, QString seasonName);
    ~ScratchGame();
    ScratchGame(const ScratchGame&) = delete;
    ScratchGame& operator=(const ScratchGame&) = delete;

    // The season as the findings name it, and the scratch game folder.
    const QString& seasonName() const { return m_seasonName; }
    const GameFolder& game() const { return m_game; }

    // Runs every check of an update on the folder, keeping every problem and warning (as
    // tolvane-patch --check does); observer, when given, sees every player converted.
    // Returns whether the season would import. A fault the check does not foresee throws.
    bool check(const PlayerObserver& observer = {});

    // After check(): whether the season opened as a season database at all, whatever else
    // is wrong with it.
    bool databaseOpened() const;
    // After check(): what it found, each text naming the season by seasonName() rather than
    // its scratch copy; and the summary line of tolvane-patch --check.
    std::vector<InputFinding> problems() const;
    std::vector<InputFinding> warnings() const;
    QString summary() const;

private:
    // Makes the folder around the season copied in before.
    void prepare(const QByteArray& fixture);
    InputFinding shown(InputFinding finding) const;

    QString m_seasonName;
    QTemporaryDir m_dir;
    GameFolder m_game;
    std::unique_ptr<InputCheck> m_check;
    bool m_imports = false;
};

} // namespace season

} // namespace tolvane
