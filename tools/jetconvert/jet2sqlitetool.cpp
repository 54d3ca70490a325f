#include "tools/jetconvert/jet2sqlitetool.h"

#include "core/commandline.h"
#include "core/fileops.h"
#include "core/patcherror.h"
#include "db/accesscopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace tolvane {

namespace jet2sqlitetool {

namespace {

using commandline::kInvalid;
using commandline::kOk;
using commandline::kTrouble;

constexpr const char* kProgram = "jet2sqlite";

const char* const kDescription =
    R"(Copies every table of a Microsoft Access database (.mdb or .accdb, Access 97 to
2019) into a new SQLite database. Rename the result to seasonStats.mdb to use
it. Each column left out (an attachment, a calculated column) is named on
standard error, with the reason.

SQLITE_FILE must not exist; it is never replaced, and a conversion that fails
leaves nothing of it.)";

const char* const kExitStatus =
    R"(0 converted, 1 ACCESS_FILE is not an Access database that can
be read or is damaged, 2 usage error, ACCESS_FILE cannot be read, or SQLITE_FILE
exists or cannot be written.)";

// Why the file at path cannot be read, or an empty text.
QString unreadable(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("no such file");
    if (!info.isFile())
        return QStringLiteral("is a folder, not a file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return QString();
}

class ConvertCommand : public commandline::Command {
public:
    ConvertCommand()
        : Command({
              .name = QString(),
              .arguments = QStringLiteral("ACCESS_FILE SQLITE_FILE"),
              .summary = QString(),
              .description = QLatin1String(kDescription),
              .exitStatus = QLatin1String(kExitStatus),
              .files = 2,
              .filesInWords = QStringLiteral("an Access file and a new SQLite file"),
          }) {}

    int execute(const commandline::Call& call) const override {
        const QString accessPath = call.files()[0];
        const QString sqlitePath = call.files()[1];
        if (const QString why = unreadable(accessPath); !why.isEmpty()) {
            call.say(QStringLiteral("%1: cannot read: %2")
                         .arg(QDir::toNativeSeparators(accessPath), why));
            return kTrouble;
        }
        if (fileops::entryExists(sqlitePath)) {
            call.say(QStringLiteral("%1: exists already; %2 never replaces a file")
                         .arg(QDir::toNativeSeparators(sqlitePath), QLatin1String(kProgram)));
            return kTrouble;
        }
        std::vector<jet::LeftOutOfTable> leftOut;
        std::vector<jet::RawBytesOfTable> rawBytes;
        try {
            leftOut = jet::convertToSqlite(accessPath, sqlitePath, &rawBytes);
        } catch (const PatchError& error) {
            call.say(commandline::describe(error));
            return jet::failedOnAccessFile(error) ? kInvalid : kTrouble;
        }
        for (const jet::LeftOutOfTable& left : leftOut)
            call.say(QStringLiteral("Left out of table %1: column \"%2\", %3.")
                         .arg(left.table, left.column.name, left.column.reason));
        for (const jet::RawBytesOfTable& raw : rawBytes)
            call.say(QStringLiteral("Copied as raw bytes in table %1: column \"%2\": %3.")
                         .arg(raw.table, raw.column.name, raw.column.reason));
        return kOk;
    }
};

} // namespace

const commandline::Tool& tool() {
    static const commandline::Tool tool(kProgram, std::make_shared<ConvertCommand>());
    return tool;
}

int run(const QStringList& arguments, QIODevice& out, QIODevice& err) {
    return tool().run(arguments, out, err);
}

} // namespace jet2sqlitetool

} // namespace tolvane
