#pragma once

#include "db/overallratings.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// The season as the input check converted it, ready for the player pass: every team in the
// pass's order with its team list file already in bytes, and every player's new overall
// rating by row. Nothing is read or converted a second time.
class ConvertedSeason {
public:
    struct Team {
        QString name;
        QByteArray listFile; // the blank record, then its players' records in pass order
        std::uint32_t players = 0;
    };

    // Adds a converted player: record holds its serialised record, rating its row and new
    // overall rating. The rows come grouped by team, as the player pass reads them.
    void addPlayer(const QString& team, QByteArrayView record,
                   const overallratings::Rating& rating);
    // Called once every player is in.
    void finish();
    void clear();

    const std::vector<Team>& teams() const { return m_teams; }
    const std::vector<overallratings::Rating>& ratings() const { return m_ratings; }
    qsizetype playerCount() const { return static_cast<qsizetype>(m_ratings.size()); }

private:
    std::vector<Team> m_teams;
    std::vector<overallratings::Rating> m_ratings;
};
