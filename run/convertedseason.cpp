#include "run/convertedseason.h"

#include "players/recordcodec.h"
#include "players/teamlistwriter.h"

void ConvertedSeason::addPlayer(const QString& team, QByteArrayView record,
                                const overallratings::Rating& rating) {
    if (m_teams.empty() || m_teams.back().name != team) {
        // A finished team gives back what its buffer grew beyond its list.
        if (!m_teams.empty())
            m_teams.back().listFile.squeeze();
        m_teams.push_back({team, teamlist::blankListFile(), 0});
    }
    Team& current = m_teams.back();
    current.listFile.append(record);
    ++current.players;
    recordcodec::setTeamListCount(current.listFile, current.players + 1);
    m_ratings.push_back(rating);
}

void ConvertedSeason::finish() {
    if (!m_teams.empty())
        m_teams.back().listFile.squeeze();
    m_ratings.shrink_to_fit();
}

void ConvertedSeason::clear() {
    m_teams.clear();
    m_ratings.clear();
}
