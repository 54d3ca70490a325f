#include "tools/roster/rostertool.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

using namespace tolvane;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tolvane-roster"));
#ifdef Q_OS_WIN
    // CSV lines end in CR LF already, and JSON must reach a file as written.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    const int status = rostertool::run(app.arguments().mid(1), out, err);
    out.close();
    // A full disk or a closed pipe shows only when the last bytes leave the buffer.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        err.write("tolvane-roster: cannot write the output\n");
        return 2;
    }
    return status;
}
