// Runs one tolvane-season command in this process and prints its time and memory as
// "MS PEAK_KIB BASE_KIB": the command's wall time, the process's peak memory after it and
// before it (Qt and the program loaded). Run once a process, so that each peak is the
// command's own.

#include "tools/season/seasontool.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    const long base = peakKiB();
    QElapsedTimer timer;
    timer.start();
    const int status = tolvane::seasontool::run(app.arguments().mid(1), out, err);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (status != 0) {
        std::fwrite(err.data().constData(), 1, std::size_t(err.data().size()), stderr);
        return status;
    }
    std::printf("%.1f %ld %ld\n", ms, peakKiB(), base);
    return 0;
}
