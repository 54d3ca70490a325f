#include "players/teamlistwriter.h"

#include "core/bytes.h"
#include "core/fileops.h"
#include "core/foldername.h"
#include "core/patcherror.h"
#include "players/playerrecord.h"
#include "players/recordcodec.h"

#include <QFile>
#include <QFileInfo>

#include <limits>
#include <utility>

namespace {

const QString kAppendFailed = QStringLiteral("Cannot append to the team list file");

// Returns the record count of a team list header, after checking that the header is one
// this program writes: an append to anything else would corrupt it further.
std::uint32_t checkedRecordCount(const QByteArray& header, const QString& path) {
    const std::uint16_t dimensions = bytes::loadLittleEndian<std::uint16_t>(header.constData());
    if (dimensions != 1)
        throw PatchError(kAppendFailed, path,
                         QStringLiteral("Its header gives %1 dimensions where a team list has 1.")
                             .arg(dimensions));
    const auto lowerBound = bytes::loadLittleEndian<std::int32_t>(header.constData() + 6);
    if (lowerBound != 0)
        throw PatchError(
            kAppendFailed, path,
            QStringLiteral("Its header gives the lower bound %1 where a team list has 0.")
                .arg(lowerBound));
    const std::uint32_t count = bytes::loadLittleEndian<std::uint32_t>(header.constData() + 2);
    if (count == 0)
        throw PatchError(kAppendFailed, path,
                         QStringLiteral("Its header counts no records; a team list starts with "
                                        "the blank record."));
    return count;
}

void flushIfFile(QIODevice& device, const QString& path) {
    if (auto* file = qobject_cast<QFileDevice*>(&device); file && !file->flush())
        throw PatchError(kAppendFailed, path, file->errorString());
}

// A team name becomes a folder name inside the slot folder, so it must be exactly one
// path component: anything else would write outside the team's folder. The input check
// refuses such names before a run starts; this guards every other way in.
void checkTeamName(const QString& team, const QString& slotFolder) {
    const QString problem = folderNameProblem(team);
    if (!problem.isEmpty())
        throw PatchError(QStringLiteral("Cannot prepare the team folder"),
                         slotFolder + QLatin1Char('/') + team, problem);
}

// Writes the record at end and only then the count that includes it, so that the list
// reads whole at every moment.
void writeRecordThenCount(QIODevice& list, const QString& path, qint64 end, std::uint32_t count,
                          const QByteArray& record) {
    if (count == std::numeric_limits<std::uint32_t>::max())
        throw PatchError(kAppendFailed, path,
                         QStringLiteral("The list holds as many records as its header can count."));
    if (!list.seek(end) || !bytes::writeWhole(list, record))
        throw PatchError(kAppendFailed, path, list.errorString());
    flushIfFile(list, path);
    char newCount[4];
    bytes::storeLittleEndian(newCount, count + 1);
    if (!list.seek(2) || !bytes::writeWhole(list, QByteArrayView(newCount, sizeof newCount)))
        throw PatchError(kAppendFailed, path, list.errorString());
    flushIfFile(list, path);
}

} // namespace

namespace teamlist {

const QByteArray& blankListFile() {
    static const QByteArray file =
        recordcodec::teamListHeader(1) + recordcodec::serialiseRecord(recordcodec::blankRecord());
    return file;
}

void appendRecord(QIODevice& list, const QString& path, qint64 end, std::uint32_t count,
                  const QByteArray& record) {
    if (!list.seek(0))
        throw PatchError(kAppendFailed, path, list.errorString());
    const QByteArray header = list.read(recordcodec::kTeamListHeaderSize);
    if (header.size() != recordcodec::kTeamListHeaderSize)
        throw PatchError(kAppendFailed, path,
                         header.isEmpty() && !list.errorString().isEmpty()
                             ? list.errorString()
                             : QStringLiteral("The file is shorter than a team list header."));
    const std::uint32_t found = checkedRecordCount(header, path);
    if (found != count)
        throw PatchError(kAppendFailed, path,
                         QStringLiteral("Its header counts %1 records where %2 were written; "
                                        "another program may have changed the file.")
                             .arg(found)
                             .arg(count));
    writeRecordThenCount(list, path, end, count, record);
}

} // namespace teamlist

TeamListWriter::TeamListWriter(QString slotFolder)
    : m_slotFolder(std::move(slotFolder)) {}

QString TeamListWriter::teamFolder(const QString& team) const {
    return m_slotFolder + QLatin1Char('/') + team;
}

QString TeamListWriter::listPath(const QString& team) const {
    return teamFolder(team) + QLatin1Char('/') + team + QStringLiteral("_List.tvp");
}

TeamListWriter::~TeamListWriter() = default;

void TeamListWriter::prepareTeam(const QString& team) {
    // The rows come grouped by team: a team's folder and list are set up at its first row.
    if (team == m_previousTeam && m_open)
        return;
    checkTeamName(team, m_slotFolder);
    const QString folder = teamFolder(team);
    if (!fileops::entryExists(folder))
        fileops::createFolder(folder);
    else if (!QFileInfo(folder).isDir())
        throw PatchError(QStringLiteral("Cannot prepare the team folder"), folder,
                         QStringLiteral("A file of that name stands where the folder belongs."));

    if (team != m_previousTeam) {
        m_open.reset();
        m_knownTeam.clear();
        // A link where the list belongs would carry our writes out of the slot: the link
        // goes, and the list is written in its place.
        const QString path = listPath(team);
        if (QFileInfo(path).isSymLink())
            fileops::removeFile(path);
        // Written whole through a temporary file, so that a longer list of an earlier run
        // is replaced entirely and a failure leaves that list as it was.
        fileops::writeFileAtomically(path, teamlist::blankListFile());
        m_knownTeam = team;
        m_knownEnd = teamlist::blankListFile().size();
        m_knownCount = 1;
    }
    m_previousTeam = team;
}

void TeamListWriter::appendPlayer(const QString& team, const PlayerRecord& record) {
    // The list stays open while its team's rows last; every append still leaves it whole.
    const bool heldOpen = m_open && team == m_knownTeam;
    if (!heldOpen)
        checkTeamName(team, m_slotFolder);
    // Serialised first: a text the format cannot hold must stop the run before the file
    // is touched.
    const QByteArray bytes = recordcodec::serialiseRecord(record);
    const QString path = listPath(team);

    if (!heldOpen) {
        m_open.reset();
        auto opened = std::make_unique<QFile>(path);
        if (!opened->open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered))
            throw PatchError(QStringLiteral("Cannot open the team list file"), path,
                             opened->errorString());
        m_open = std::move(opened);
    }
    QFile& file = *m_open;

    qint64 end = m_knownEnd;
    std::uint32_t count = m_knownCount;
    if (team != m_knownTeam) {
        // A list this writer did not start: read it once to learn where its records end.
        const QByteArray data = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw PatchError(QStringLiteral("Cannot read the team list file"), path,
                             file.errorString());
        if (data.size() < recordcodec::kTeamListHeaderSize)
            throw PatchError(kAppendFailed, path,
                             QStringLiteral("The file is shorter than a team list header."));
        count = checkedRecordCount(data.first(recordcodec::kTeamListHeaderSize), path);
        try {
            qsizetype offset = 0;
            recordcodec::parseTeamList(data, offset);
            end = offset;
        } catch (const PatchError& error) {
            throw PatchError(QStringLiteral("Cannot read the team list file"), path, error.cause());
        }
    }
    m_knownTeam.clear();

    // A list held open since our own last append ends where that append left it.
    const qint64 size = heldOpen ? end : file.size();
    if (size < end)
        throw PatchError(kAppendFailed, path,
                         QStringLiteral("The file is shorter than the records it held; another "
                                        "program may have changed it."));
    // Bytes past the counted records are left over from an interrupted append.
    if (size > end && !file.resize(end))
        throw PatchError(kAppendFailed, path, file.errorString());

    try {
        // A list held open since our own last append needs no second look at its header.
        if (heldOpen)
            writeRecordThenCount(file, path, end, count, bytes);
        else
            teamlist::appendRecord(file, path, end, count, bytes);
    } catch (const PatchError&) {
        m_open.reset();
        throw;
    }
    m_knownTeam = team;
    m_knownEnd = end + bytes.size();
    m_knownCount = count + 1;
}
