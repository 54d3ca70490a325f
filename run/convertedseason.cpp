#include "run/convertedseason.h"

#include "core/bytes.h"
#include "core/patcherror.h"
#include "records/recordcodec.h"
#include "records/teamlistwriter.h"

#include <QDir>
#include <QTemporaryFile>

namespace tolvane {

namespace {

// Records are written out in pieces of about this size.
constexpr qsizetype kWriteSize = 1 << 20;

} // namespace

ConvertedSeason::ConvertedSeason() = default;

ConvertedSeason::~ConvertedSeason() = default;

void ConvertedSeason::addPlayer(const QString& team, QByteArrayView record,
                                const overallratings::Rating& rating) {
    if (m_teams.empty() || m_teams.back().name != team)
        m_teams.push_back({team, 0, m_written + m_pending.size(), 0});
    Team& current = m_teams.back();
    m_pending.append(record);
    ++current.players;
    current.size += record.size();
    m_ratings.push_back(rating);
    if (m_pending.size() >= kWriteSize)
        flush();
}

void ConvertedSeason::flush() {
    if (m_pending.isEmpty())
        return;
    const QString operation = QStringLiteral("Cannot keep the converted players");
    if (!m_records) {
        m_records = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                     QStringLiteral("/tolvane-players-XXXXXX"));
        if (!m_records->open())
            throw PatchError(operation, m_records->fileTemplate(), m_records->errorString());
    }
    if (!m_records->seek(m_written) || !bytes::writeWhole(*m_records, m_pending) ||
        !m_records->flush())
        throw PatchError(operation, m_records->fileName(), m_records->errorString());
    m_written += m_pending.size();
    m_pending.clear();
}

void ConvertedSeason::finish() {
    flush();
    m_pending.squeeze();
    m_ratings.shrink_to_fit();
}

void ConvertedSeason::clear() {
    m_teams.clear();
    m_ratings.clear();
    m_pending.clear();
    m_records.reset();
    m_written = 0;
}

QByteArray ConvertedSeason::teamList(const Team& team) const {
    QByteArray list = teamlist::blankListFile();
    recordcodec::setTeamListCount(list, team.players + 1);
    const qsizetype start = list.size();
    list.resize(start + team.size);
    if (team.size == 0)
        return list;
    if (!m_records || !m_records->seek(team.offset) ||
        m_records->read(list.data() + start, team.size) != team.size)
        throw PatchError(QStringLiteral("Cannot read the converted players back"),
                         m_records ? m_records->fileName() : QString(),
                         m_records ? m_records->errorString() : QString());
    return list;
}

} // namespace tolvane
