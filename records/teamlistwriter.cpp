#include "records/teamlistwriter.h"

#include "core/fileops.h"
#include "core/foldername.h"
#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "records/playerrecord.h"
#include "records/recordcodec.h"

#include <QFileInfo>

#include <utility>

namespace tolvane {

namespace {

const QString kPrepareFailed = QStringLiteral("Cannot prepare the team folder");

// A team name becomes a folder name inside the slot folder, so it must be exactly one
// path component: anything else would write outside the team's folder. The input check
// refuses such names before a run starts; this guards every other way in.
void checkTeamName(const QString& team, const QString& slotFolder) {
    const QString problem = folderNameProblem(team);
    if (!problem.isEmpty())
        throw PatchError(kPrepareFailed, gamepaths::teamFolder(slotFolder, team), problem);
}

} // namespace

namespace teamlist {

const QByteArray& blankListFile() {
    static const QByteArray file =
        recordcodec::teamListHeader(1) + recordcodec::serialiseRecord(recordcodec::blankRecord());
    return file;
}

} // namespace teamlist

TeamListWriter::TeamListWriter(QString slotFolder)
    : m_slotFolder(std::move(slotFolder)) {}

QString TeamListWriter::teamFolder(const QString& team) const {
    return gamepaths::teamFolder(m_slotFolder, team);
}

QString TeamListWriter::listPath(const QString& team) const {
    return gamepaths::teamFile(m_slotFolder, team, gamepaths::kTeamListSuffix);
}

void TeamListWriter::writeList(const QString& team, const QByteArray& list) {
    checkTeamName(team, m_slotFolder);
    const QString folder = teamFolder(team);
    if (!fileops::entryExists(folder))
        fileops::createFolder(folder);
    else if (!QFileInfo(folder).isDir())
        throw PatchError(kPrepareFailed, folder,
                         QStringLiteral("A file of that name stands where the folder belongs."));

    // A link where the list belongs would carry our writes out of the slot: the link
    // goes, and the list is written in its place.
    const QString path = listPath(team);
    if (QFileInfo(path).isSymLink())
        fileops::removeFile(path);
    fileops::writeFileAtomically(path, list);
}

} // namespace tolvane
