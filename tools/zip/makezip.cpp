// make-zip: the Windows build's zips (the players' and the authors'), written by the same
// code as the zip that tolvane-season packs, so that the same files give the same bytes.

#include "core/commandline.h"
#include "core/patcherror.h"
#include "tools/zip/zipfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

using namespace tolvane;

const char* const kProgram = "make-zip";

const char* const kUsage =
    R"(Usage: make-zip [--time "YYYY-MM-DD HH:MM:SS"] ZIP FILE...
Writes ZIP (replacing it) of the FILEs, each under its own name, in the order given, each
with the time given (a local time; by default 1980-01-01 00:00:00), so that the same files
give the same bytes.
Exit status: 0 written, 2 usage error, or a file that cannot be read or written.)";

QByteArray readWhole(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PatchError(QStringLiteral("Cannot read the file"), QDir::toNativeSeparators(path),
                         file.errorString());
    return file.readAll();
}

int makeZip(QStringList arguments, QIODevice& out, QIODevice& err) {
    QDateTime time(QDate(1980, 1, 1), QTime(0, 0));
    if (!arguments.isEmpty() &&
        (arguments[0] == QLatin1String("-h") || arguments[0] == QLatin1String("--help"))) {
        commandline::writeLine(out, QLatin1String(kUsage));
        return commandline::kOk;
    }
    if (arguments.size() >= 2 && arguments[0] == QLatin1String("--time")) {
        time = QDateTime::fromString(arguments[1], QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        arguments = arguments.mid(2);
    }
    if (!time.isValid() || arguments.size() < 2) {
        commandline::writeLine(err, QLatin1String(kUsage));
        return commandline::kTrouble;
    }
    try {
        std::vector<zipfile::Entry> entries;
        for (const QString& file : arguments.mid(1))
            entries.push_back({QFileInfo(file).fileName(), readWhole(file), time});
        const QString zip = arguments[0];
        QSaveFile save(zip);
        if (!save.open(QIODevice::WriteOnly) || save.write(zipfile::write(entries, zip)) < 0 ||
            !save.commit())
            throw PatchError(QStringLiteral("Cannot write the zip file"),
                             QDir::toNativeSeparators(zip), save.errorString());
    } catch (const PatchError& error) {
        commandline::say(err, kProgram, commandline::describe(error));
        return commandline::kTrouble;
    }
    return commandline::kOk;
}

} // namespace

int main(int argc, char** argv) {
    const QCoreApplication app(argc, argv);
    return commandline::runOnStandardStreams(kProgram, [&](QIODevice& out, QIODevice& err) {
        return makeZip(QCoreApplication::arguments().mid(1), out, err);
    });
}
