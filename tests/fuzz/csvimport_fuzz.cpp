#include "core/patcherror.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "db/sqlite.h"
#include "tools/season/seasonexport.h"
#include "tools/season/seasonimport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tolvane;

namespace {

QTemporaryDir& scratch() {
    static int argc = 1;
    static char name[] = "csvimport_fuzz";
    static char* argv[] = {name, nullptr};
    // Qt's SQL drivers are plugins and want an application object to find them.
    static QCoreApplication app(argc, argv);
    static QTemporaryDir dir;
    return dir;
}

void write(const QString& path, QByteArrayView bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes.data(), bytes.size()) != bytes.size())
        std::abort();
}

// Imports the two files into a new season at target; the number of problems.
qint64 import(const QString& folder, const QString& target) {
    QFile::remove(target);
    season::SeasonImport importer([](const season::ImportProblem& p) {
        if (p.text().contains(QLatin1Char('\n')))
            std::abort();
    });
    SQLite::Database db = sqlite::open(target, QStringLiteral("fuzz"));
    return importer.run(folder + "/Ratings.csv", folder + "/qz.csv", db);
}

// The export of a season: Ratings.csv and qz.csv into folder; their bytes, one after the other.
QByteArray exportTo(const QString& season, const QString& folder) {
    SeasonDatabase db(season);
    QByteArray both;
    for (const auto& [table, columns, name] :
         {std::tuple{seasonschema::kRatingsTable,
                     std::span<const seasonschema::Column>(seasonschema::kRatingsColumns),
                     "/Ratings.csv"},
          std::tuple{seasonschema::kQzTable,
                     std::span<const seasonschema::Column>(seasonschema::kQzColumns), "/qz.csv"}}) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        season::exportTable(db, table, columns, out, QString());
        write(folder + QLatin1String(name), out.data());
        both += out.data() + '\0';
    }
    return both;
}

} // namespace

// The input is Ratings.csv and qz.csv, split at the first NUL byte. Whatever it holds, the
// import ends in problems, a PatchError or a season; a season exports, imports again and
// exports to the very same bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView input(data, static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf('\0');
    const QString dir = scratch().path();
    write(dir + "/Ratings.csv", split < 0 ? input : input.first(split));
    write(dir + "/qz.csv", split < 0 ? QByteArrayView() : input.sliced(split + 1));
    try {
        if (import(dir, dir + "/first.sqlite") != 0)
            return 0;
    } catch (const PatchError&) {
        return 0;
    }
    // From a season the import made, nothing may fail.
    try {
        const QByteArray exported = exportTo(dir + "/first.sqlite", dir);
        if (import(dir, dir + "/second.sqlite") != 0 ||
            exportTo(dir + "/second.sqlite", dir) != exported)
            std::abort();
    } catch (const PatchError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        std::abort();
    }
    return 0;
}
