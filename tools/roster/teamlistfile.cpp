#include "tools/roster/teamlistfile.h"

#include "core/patcherror.h"
#include "records/recordcodec.h"

#include <QFile>

namespace tolvane {

TeamListFile parseTeamListFile(QByteArrayView data) {
    TeamListFile file;
    qsizetype end = 0;
    file.records = recordcodec::parseTeamList(data, end);
    file.trailing = data.sliced(end).toByteArray();
    if (data.isEmpty())
        file.start = TeamListFile::Start::EmptyFile;
    else if (data.first(end) == recordcodec::teamListNeverCreated())
        file.start = TeamListFile::Start::NeverCreated;
    return file;
}

QByteArray serialiseTeamListFile(const TeamListFile& file) {
    const auto refuse = [](const QString& cause) {
        throw PatchError(QStringLiteral("Cannot write the team list"), QString(), cause);
    };
    QByteArray out;
    switch (file.start) {
    case TeamListFile::Start::EmptyFile:
        if (!file.records.empty() || !file.trailing.isEmpty())
            refuse(QStringLiteral("An empty file holds no records and no bytes after them."));
        return out;
    case TeamListFile::Start::NeverCreated:
        if (!file.records.empty())
            refuse(QStringLiteral("A list never created holds no records."));
        out = recordcodec::teamListNeverCreated();
        break;
    case TeamListFile::Start::Header:
        out = recordcodec::teamListHeader(static_cast<quint32>(file.records.size()));
        for (std::size_t i = 0; i < file.records.size(); ++i) {
            try {
                recordcodec::serialiseRecord(out, file.records[i]);
            } catch (const PatchError& error) {
                throw PatchError(error.operation(), QStringLiteral("Record %1").arg(i),
                                 error.cause());
            }
        }
        break;
    }
    out += file.trailing;
    return out;
}

} // namespace tolvane
