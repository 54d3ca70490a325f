#pragma once

#include "db/overallratings.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QTemporaryFile;

namespace tolvane {

// The season as the input check converted it, ready for the player pass: every team in the
// pass's order with its players' records already in the team list's bytes, and every
// player's new overall rating by row. Nothing is read or converted a second time.
//
// The records wait in a temporary file rather than in memory: a season of 50,000 players
// holds some 37 MB of them, and the file goes when the object does.
class ConvertedSeason {
public:
    struct Team {
        QString name;
        std::uint32_t players = 0;
        qint64 offset = 0; // of its first record in the temporary file
        qint64 size = 0;   // of its records
    };

    ConvertedSeason();
    ~ConvertedSeason();
    ConvertedSeason(const ConvertedSeason&) = delete;
    ConvertedSeason& operator=(const ConvertedSeason&) = delete;

    // Adds a converted player: record holds its serialised record, rating its row and new
    // overall rating. The rows come grouped by team, as the player pass reads them. A
    // temporary file that cannot be written throws a PatchError.
    void addPlayer(const QString& team, QByteArrayView record,
                   const overallratings::Rating& rating);
    // Called once every player is in; writes out what is still buffered.
    void finish();
    // Forgets every player, as when the check finds a problem.
    void clear();

    const std::vector<Team>& teams() const { return m_teams; }
    const std::vector<overallratings::Rating>& ratings() const { return m_ratings; }
    qsizetype playerCount() const { return static_cast<qsizetype>(m_ratings.size()); }

    // The whole team list file of a team: the header, the blank record and its players.
    QByteArray teamList(const Team& team) const;

private:
    void flush();

    std::vector<Team> m_teams;
    std::vector<overallratings::Rating> m_ratings;
    std::unique_ptr<QTemporaryFile> m_records;
    QByteArray m_pending; // records not yet in the file
    qint64 m_written = 0; // bytes in the file
};

} // namespace tolvane
