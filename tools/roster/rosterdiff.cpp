#include "tools/roster/rosterdiff.h"

#include "core/fileops.h"
#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "records/recordfields.h"
#include "tools/roster/teamlistfile.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <map>
#include <set>

namespace tolvane {

namespace rosterdiff {
namespace {

using recordfields::Field;
using recordfields::Kind;

using Player = ListedPlayer;

// Labels every record by its name; the second of a name in the list is "Sam Jones #2".
std::vector<std::pair<QString, Player>> keyed(const std::vector<PlayerRecord>& records) {
    std::vector<std::pair<QString, Player>> players;
    QHash<QString, int> seen;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const PlayerRecord& r = records[i];
        const QString key = r.firstName + QChar(0) + r.lastName;
        const int occurrence = ++seen[key];
        QString label = (r.firstName + QLatin1Char(' ') + r.lastName).trimmed();
        if (label.isEmpty())
            label = QStringLiteral("(no name)");
        if (occurrence > 1)
            label += QStringLiteral(" #%1").arg(occurrence);
        players.push_back({key + QChar(0) + QString::number(occurrence), {i, label}});
    }
    return players;
}

QString shown(const Field& field) {
    if (field.kind == Kind::Count && field.text.isEmpty())
        return QStringLiteral("(no list)");
    if (field.kind != Kind::Text)
        return field.text;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : field.text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0))
            quoted += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            quoted += c;
    }
    return quoted + QLatin1Char('"');
}

std::vector<FieldChange> compareFields(const PlayerRecord& oldRecord,
                                       const PlayerRecord& newRecord) {
    std::vector<FieldChange> out;
    const std::vector<Field> oldFields = recordfields::fieldsOf(oldRecord);
    const std::vector<Field> newFields = recordfields::fieldsOf(newRecord);
    QHash<QString, const Field*> newByName;
    for (const Field& field : newFields)
        newByName.insert(field.name, &field);
    const QString none = QStringLiteral("(none)");
    for (const Field& field : oldFields) {
        const Field* other = newByName.take(field.name);
        if (!other)
            out.push_back({field.name, shown(field), none});
        else if (other->text != field.text)
            out.push_back({field.name, shown(field), shown(*other)});
    }
    for (const Field& field : newFields) {
        if (newByName.contains(field.name))
            out.push_back({field.name, none, shown(field)});
    }
    return out;
}

QString startText(const TeamListFile& list) {
    switch (list.start) {
    case TeamListFile::Start::Header:
        return QStringLiteral("a header counting %1 records").arg(list.records.size());
    case TeamListFile::Start::NeverCreated:
        return QStringLiteral("a list never created");
    case TeamListFile::Start::EmptyFile:
        return QStringLiteral("an empty file");
    }
    return QString();
}

// Every file below root by its path relative to root, hidden ones included.
std::map<QString, QString> filesBelow(const QString& root) {
    std::map<QString, QString> files;
    // Absolute, so that relative paths come out right for a root given as "lists/slot".
    const QDir base(QFileInfo(root).absoluteFilePath());
    QDirIterator it(base.path(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.emplace(base.relativeFilePath(path), path);
    }
    return files;
}

// The team whose list file relative is ("Cats/Cats_List.tvp"), or an empty text.
QString teamOfListPath(const QString& relative) {
    static const QRegularExpression listPath(
        QStringLiteral("^([^/]+)/\\1%1$")
            .arg(QRegularExpression::escape(gamepaths::kTeamListSuffix)));
    const QRegularExpressionMatch match = listPath.match(relative);
    return match.hasMatch() ? match.captured(1) : QString();
}

// For text sheets, how many lines are only on each side.
QString lineCounts(const QByteArray& oldData, const QByteArray& newData) {
    const auto lines = [](const QByteArray& data) {
        std::multiset<QByteArray> set;
        for (const QByteArray& line : data.split('\n'))
            set.insert(line.endsWith('\r') ? line.chopped(1) : line);
        return set;
    };
    const std::multiset<QByteArray> oldLines = lines(oldData);
    const std::multiset<QByteArray> newLines = lines(newData);
    std::vector<QByteArray> onlyOld;
    std::vector<QByteArray> onlyNew;
    std::set_difference(oldLines.begin(), oldLines.end(), newLines.begin(), newLines.end(),
                        std::back_inserter(onlyOld));
    std::set_difference(newLines.begin(), newLines.end(), oldLines.begin(), oldLines.end(),
                        std::back_inserter(onlyNew));
    if (onlyOld.empty() && onlyNew.empty())
        return QStringLiteral(" (same lines, other order or line ends)");
    return QStringLiteral(" (%1 lines only in OLD, %2 only in NEW)")
        .arg(onlyOld.size())
        .arg(onlyNew.size());
}

// A team list read from path, whose errors name the path.
TeamListFile parseListAt(const QString& path, const QByteArray& data) {
    try {
        return parseTeamListFile(data);
    } catch (const PatchError& error) {
        throw PatchError(QStringLiteral("Not a valid team list"), path, error.cause());
    }
}

} // namespace

ListDifferences differences(const TeamListFile& oldList, const TeamListFile& newList) {
    ListDifferences d;
    std::map<QString, Player> unmatched;
    for (auto& [key, player] : keyed(oldList.records))
        unmatched.emplace(key, player);
    // Pairs of (old index, new index) in the order of the new list.
    std::vector<std::pair<std::size_t, std::size_t>> matched;
    for (const auto& [key, player] : keyed(newList.records)) {
        const auto it = unmatched.find(key);
        if (it == unmatched.end()) {
            d.added.push_back(player);
            continue;
        }
        matched.emplace_back(it->second.record, player.record);
        std::vector<FieldChange> changes =
            compareFields(oldList.records[it->second.record], newList.records[player.record]);
        if (!changes.empty())
            d.changed.push_back({it->second, player, std::move(changes)});
        unmatched.erase(it);
    }
    for (const auto& [key, player] : unmatched)
        d.removed.push_back(player);
    std::sort(d.removed.begin(), d.removed.end(),
              [](const Player& a, const Player& b) { return a.record < b.record; });

    if (!std::is_sorted(matched.begin(), matched.end()))
        d.rest << QStringLiteral("the players stand in another order");
    if (oldList.start != newList.start)
        d.rest << QStringLiteral("the list begins as %1 -> %2")
                      .arg(startText(oldList), startText(newList));
    if (oldList.trailing != newList.trailing)
        d.rest << QStringLiteral("bytes after the last record: %1 -> %2 bytes%3")
                      .arg(oldList.trailing.size())
                      .arg(newList.trailing.size())
                      .arg(oldList.trailing.size() == newList.trailing.size()
                               ? QStringLiteral(", not the same")
                               : QString());
    return d;
}

QStringList compareLists(const TeamListFile& oldList, const TeamListFile& newList,
                         const QString& prefix) {
    const ListDifferences d = differences(oldList, newList);
    QStringList lines;
    for (const Player& player : d.removed)
        lines << prefix +
                     QStringLiteral("removed %1 (record %2)").arg(player.label).arg(player.record);
    for (const Player& player : d.added)
        lines << prefix +
                     QStringLiteral("added %1 (record %2)").arg(player.label).arg(player.record);
    for (const ChangedPlayer& player : d.changed) {
        for (const FieldChange& change : player.changes)
            lines << prefix + player.newPlayer.label +
                         QStringLiteral(": %1 %2 -> %3")
                             .arg(change.field, change.oldText, change.newText);
    }
    for (const QString& line : d.rest)
        lines << prefix + line;
    return lines;
}

QStringList compareListFiles(const QString& oldPath, const QString& newPath) {
    return compareLists(parseListAt(oldPath, fileops::readWholeFile(oldPath)),
                        parseListAt(newPath, fileops::readWholeFile(newPath)));
}

QStringList compareSlotFolders(const QString& oldFolder, const QString& newFolder) {
    const std::map<QString, QString> oldFiles = filesBelow(oldFolder);
    const std::map<QString, QString> newFiles = filesBelow(newFolder);
    std::set<QString> paths;
    for (const auto& [relative, path] : oldFiles)
        paths.insert(relative);
    for (const auto& [relative, path] : newFiles)
        paths.insert(relative);

    QStringList teamLines;
    QStringList fileLines;
    for (const QString& relative : paths) {
        const auto oldIt = oldFiles.find(relative);
        const auto newIt = newFiles.find(relative);
        const bool inOld = oldIt != oldFiles.end();
        const bool inNew = newIt != newFiles.end();
        const QByteArray oldData = inOld ? fileops::readWholeFile(oldIt->second) : QByteArray();
        const QByteArray newData = inNew ? fileops::readWholeFile(newIt->second) : QByteArray();
        if (!inOld || !inNew)
            fileLines << relative + (inOld ? QStringLiteral(": only in OLD")
                                           : QStringLiteral(": only in NEW"));
        const QString team = teamOfListPath(relative);
        if (!team.isEmpty()) {
            // A list on one side only: every player of the other side is added or removed,
            // and the file line above says the rest.
            TeamListFile oldList = inOld ? parseListAt(oldIt->second, oldData) : TeamListFile();
            TeamListFile newList = inNew ? parseListAt(newIt->second, newData) : TeamListFile();
            if (!inOld)
                oldList = {newList.start, {}, newList.trailing};
            if (!inNew)
                newList = {oldList.start, {}, oldList.trailing};
            if (oldData != newData || !inOld || !inNew)
                teamLines << compareLists(oldList, newList, team + QStringLiteral(": "));
        } else if (inOld && inNew && oldData != newData) {
            const QString suffix = relative.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive)
                                       ? lineCounts(oldData, newData)
                                       : QString();
            fileLines << relative + QStringLiteral(": differs") + suffix;
        }
    }
    return teamLines + fileLines;
}

std::map<QString, TeamListFile> slotTeamLists(const QString& slotFolder) {
    std::map<QString, TeamListFile> lists;
    for (const auto& [relative, path] : filesBelow(slotFolder)) {
        const QString team = teamOfListPath(relative);
        if (!team.isEmpty())
            lists.emplace(team, parseListAt(path, fileops::readWholeFile(path)));
    }
    return lists;
}

} // namespace rosterdiff

} // namespace tolvane
