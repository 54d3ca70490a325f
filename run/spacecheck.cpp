#include "run/spacecheck.h"

#include "core/fileops.h"
#include "core/gamefolder.h"
#include "records/teamlistwriter.h"
#include "run/convertedseason.h"
#include "run/findings.h"

#include <QFileInfo>

namespace tolvane {

namespace {

// A file takes whole blocks of the disk; 4 KB is the block of NTFS and ext4 alike.
constexpr qint64 kBlock = 4096;
// Each team sheet line: a name of this many bytes at the most, with its CR LF.
constexpr qint64 kSheetLine = 64;
// What the work folder's own records and the folders take, and room to spare.
constexpr qint64 kMargin = 1024 * 1024;

qint64 blocks(qint64 bytes) {
    return (bytes + kBlock - 1) / kBlock * kBlock;
}

qint64 sizeOf(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() ? info.size() : 0;
}

QString megabytes(qint64 bytes) {
    return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1);
}

} // namespace

qint64 SpaceCheck::neededBytes(const GameFolder& game, const QString& slotName,
                               const ConvertedSeason& season, bool accessDatabase) {
    qint64 needed = kMargin;
    for (const ConvertedSeason::Team& team : season.teams()) {
        needed += blocks(team.size + teamlist::blankListFile().size());
        // The name list, the current and default teams hold every player; the changes
        // sheet three lines.
        needed += 3 * blocks((team.players + 1) * kSheetLine) + blocks(3 * kSheetLine);
    }
    const qint64 database = blocks(sizeOf(game.seasonDatabase()));
    // A new slot holds a copy of the season database; what an existing one keeps is linked.
    if (!QFileInfo(game.slotFolder(slotName)).isDir())
        needed += database;
    // The new fixture's copy; the game's own is linked where it is kept.
    needed += blocks(sizeOf(game.newFixture()));
    // The backup's copy of an SQLite database (an Access file, replaced whole, is linked),
    // and the journal of its write or the new copy of the Access file.
    needed += accessDatabase ? database : 2 * database;
    return needed;
}

void SpaceCheck::run(const GameFolder& game, const QString& slotName, const ConvertedSeason& season,
                     bool accessDatabase, Findings& findings) {
    const qint64 free = fileops::freeSpace(game.path());
    if (free < 0)
        return; // the system does not say
    const qint64 needed = neededBytes(game, slotName, season, accessDatabase);
    if (needed <= free)
        return;
    findings.addProblem(QStringLiteral("The update needs about %1 MB free on the drive of the "
                                       "game's folder, for the new roster beside the old one, "
                                       "the fixture and a copy of the season database; %2 MB "
                                       "are free. Free some space, then run the update again.")
                            .arg(megabytes(needed), megabytes(free)));
}

} // namespace tolvane
