// Writes the season database of an SQLite file as an Access file, with the test writer, for
// the benchmarks' Access cases: tolvane-make-access-season IN.sqlite OUT.mdb [--format F]
#include "db/jet/tabledefinition.h"
#include "db/seasonschema.h"
#include "support/jetwriter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using namespace tolvane;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Writes an SQLite season database as an Access file.");
    parser.addHelpOption();
    parser.addOption({"format", "jet3, jet4 or ace.", "format", "jet4"});
    parser.addPositionalArgument("in", "The SQLite season database.");
    parser.addPositionalArgument("out", "The Access file to write.");
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2)
        parser.showHelp(2);

    jetwriter::Options options;
    const QString format = parser.value("format");
    if (format == "jet3")
        options = {&jet::kJet3Format, 0};
    else if (format == "ace")
        options = {&jet::kAceFormat, 3};
    else if (format != "jet4")
        parser.showHelp(2);

    // The types an Access season has where SQLite's declared types say less.
    using namespace seasonschema;
    jetwriter::ColumnTypes types;
    auto& ratings = types[QString(kRatingsTable)];
    for (const auto& [column, type] : {std::pair{Dob, std::uint8_t(jet::DateTime)},
                                       std::pair{KeyPos, std::uint8_t(jet::Bool)}}) {
        const QString name = kRatingsColumns[column].name;
        ratings[name] = {name, type};
    }
    try {
        const QByteArray file =
            jetwriter::writeDatabase(jetwriter::tablesOf(args[0], types), options);
        QFile out(args[1]);
        if (!out.open(QIODevice::NewOnly) || out.write(file) != file.size() || !out.flush()) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(args[1]),
                         qPrintable(out.errorString()));
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
