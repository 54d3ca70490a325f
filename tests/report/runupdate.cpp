// Runs the whole update on a game folder as a press of "Update" does, every question
// answered with OK, and prints the messages it showed; exit status 0 when it ended in
// "Import Complete!". The browser tests compare a season's report with the slot it makes.
// Usage: tolvane-test-update GAME_FOLDER

#include "core/gamefolder.h"
#include "run/updaterun.h"
#include "support/fakeui.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tolvane-test-update GAME_FOLDER\n");
        return 2;
    }
    tolvane::FakeUi ui;
    tolvane::UpdateRun run(tolvane::GameFolder(QString::fromLocal8Bit(argv[1])), ui);
    if (!run.selectSlot(QLatin1String(tolvane::gamepaths::kDefaultSlot))) {
        std::fprintf(stderr, "no season database in %s\n", argv[1]);
        return 1;
    }
    run.run();
    for (const tolvane::FakeUi::Message& message : ui.messages)
        std::printf("%s: %s\n", qPrintable(message.title), qPrintable(message.text));
    return !ui.messages.empty() && ui.messages.back().text == QLatin1String("Import Complete!") ? 0
                                                                                                : 1;
}
