// The patch's work on one game folder in a process of its own, for the tests that stop it
// from outside (a kill at the N-th file operation, with faultfs): an update with every
// question answered OK, as the window runs it; a restore, as --restore runs it; or the
// settling that every start does.
//
// Usage: tolvane-update-child update|restore|settle GAME-FOLDER
// Prints every message the update shows ("== title" then the text), --restore's own
// output, or the line the settling returns. Exits 0 when it ran (whatever it reported),
// --restore's status for a restore, and 2 for a wrong command line or a settling that
// failed.

#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "run/patchbackup.h"
#include "run/restorecommand.h"
#include "run/updaterun.h"
#include "support/fakeui.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using namespace tolvane;

namespace {

void print(const QString& text) {
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int update(const GameFolder& game) {
    FakeUi ui;
    ui.sleepThroughPauses = true;
    // Each message is printed as it is shown: a kill after it leaves it on record.
    ui.onMessage = [](const FakeUi::Message& message) {
        print(QStringLiteral("== ") + message.title);
        print(message.text);
    };
    UpdateRun run(game, ui);
    run.selectSlot(QLatin1String(gamepaths::kDefaultSlot));
    run.run();
    return 0;
}

int restore(const GameFolder& game) {
    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return restorecommand::run(game, out, err);
}

int settle(const GameFolder& game) {
    try {
        const GameLock lock(game);
        if (!lock.held()) {
            print(QStringLiteral("another copy holds the game's folder"));
            return 2;
        }
        print(PatchBackup(game).settle());
        return 0;
    } catch (const PatchError& e) {
        print(e.message());
        return 2;
    }
}

} // namespace

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fputs("usage: tolvane-update-child update|restore|settle GAME-FOLDER\n", stderr);
        return 2;
    }
    const GameFolder game(arguments[2]);
    if (arguments[1] == QLatin1String("update"))
        return update(game);
    if (arguments[1] == QLatin1String("restore"))
        return restore(game);
    if (arguments[1] == QLatin1String("settle"))
        return settle(game);
    std::fputs("tolvane-update-child: the command is update, restore or settle\n", stderr);
    return 2;
}
