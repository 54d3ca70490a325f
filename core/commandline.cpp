#include "core/commandline.h"

#include "core/patcherror.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace tolvane {

namespace commandline {

void Tool::say(QIODevice& err, const QString& text) const {
    err.write(
        (QLatin1String(m_program) + QStringLiteral(": ") + text + QLatin1Char('\n')).toLocal8Bit());
}

int Tool::usage(QIODevice& err, const QString& text, const QString& command) const {
    say(err, text);
    say(err, QStringLiteral("see '%1 %2--help'")
                 .arg(QLatin1String(m_program),
                      command.isEmpty() ? QString() : command + QLatin1Char(' ')));
    return kTrouble;
}

std::optional<QStringList> Tool::parseCommand(const Command& command, QCommandLineParser& parser,
                                              const QStringList& arguments, QIODevice& out,
                                              QIODevice& err, int& status) const {
    const QString name = QLatin1String(command.name);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(help);
    if (!parser.parse(QStringList{QLatin1String(m_program)} + arguments)) {
        status = usage(err, parser.errorText(), name);
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        out.write(command.help);
        status = kOk;
        return std::nullopt;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != command.files) {
        status = usage(err, QStringLiteral("%1 takes %2").arg(name, command.filesInWords), name);
        return std::nullopt;
    }
    return files;
}

QString oneLine(QString text) {
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return text;
}

QString describe(const PatchError& error) {
    QString text = error.operation();
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    if (!error.target().isEmpty())
        text = error.target() + QStringLiteral(": ") + text;
    return text + QStringLiteral(": ") + error.cause();
}

int runOnStandardStreams(const char* program,
                         const std::function<int(QIODevice& out, QIODevice& err)>& work) {
#ifdef Q_OS_WIN
    // CSV lines end in CR LF already, and JSON must reach a file as written; messages are
    // the same bytes as on every other system, so that a script or an editor reads them
    // alike.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    const int status = work(out, err);
    out.close();
    // A full disk or a closed pipe shows only when the last bytes leave the buffer.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        err.write(QByteArray(program) + ": cannot write the output\n");
        return kTrouble;
    }
    return status;
}

int main(int argc, char** argv, const char* program,
         int (*run)(const QStringList& arguments, QIODevice& out, QIODevice& err)) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(program));
    return runOnStandardStreams(program, [&](QIODevice& out, QIODevice& err) {
        return run(app.arguments().mid(1), out, err);
    });
}

} // namespace commandline

} // namespace tolvane
