#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

class QFile;
class QIODevice;
struct PlayerRecord;

// Gives each team of the player pass its folder and team list file in the roster slot and
// appends the converted players to it. An append touches only the end of the file and its
// record count, and it writes the record before the count: at every moment the file reads
// as the blank record plus the players appended so far.
class TeamListWriter {
public:
    explicit TeamListWriter(QString slotFolder);
    ~TeamListWriter();
    TeamListWriter(const TeamListWriter&) = delete;
    TeamListWriter& operator=(const TeamListWriter&) = delete;

    // Makes sure the team's folder exists and, when team differs from the team of the
    // previous call, starts the team's list file afresh with only the blank record.
    void prepareTeam(const QString& team);
    // Adds record as the team's last list element.
    void appendPlayer(const QString& team, const PlayerRecord& record);

    QString teamFolder(const QString& team) const;
    QString listPath(const QString& team) const;

private:
    QString m_slotFolder;
    QString m_previousTeam;
    // Where the list of m_knownTeam ends and how many records its header counts, so that
    // an append need not read the file; empty when no list is known.
    QString m_knownTeam;
    qint64 m_knownEnd = 0;
    std::uint32_t m_knownCount = 0;
    // The list of m_knownTeam, open while its team's rows last.
    std::unique_ptr<QFile> m_open;
};

namespace teamlist {

// The team list file holding only the blank record (631 bytes).
const QByteArray& blankListFile();

// Appends a serialised record to an open team list whose records end at byte end and
// whose header counts count records: checks the header, writes the record at end and only
// then the new count. path names the list in errors. Exposed for fault-injection tests.
void appendRecord(QIODevice& list, const QString& path, qint64 end, std::uint32_t count,
                  const QByteArray& record);

} // namespace teamlist
