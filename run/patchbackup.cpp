#include "run/patchbackup.h"

#include "core/fileops.h"
#include "core/patcherror.h"
#include "db/jet/writeback.h"

#include <SQLiteCpp/Database.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tolvane {

namespace {

const QString kRestorePlan = QStringLiteral("restore plan.txt");

QString settleOperation() {
    return QStringLiteral("Cannot finish or undo the last update");
}

bool isEmptyFolder(const QString& path) {
    return QDir(path).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                              QDir::System);
}

// A season database whose last transaction was cut short keeps the pages it changed in its
// rollback journal, which SQLite applies the next time it opens the file. One cut short
// before it changed the file leaves a journal that SQLite ignores, and leaves beside it. Both
// are settled before the file is moved or replaced without its journal: the lock a write
// takes applies the first, and while it is held no program writes the file, so that a
// journal still there is the second, which nothing needs.
void rollBackUnfinishedTransaction(const QString& database) {
    const QString journal = database + QStringLiteral("-journal");
    if (!fileops::entryExists(journal))
        return;
    try {
        SQLite::Database db(database.toStdString(), SQLite::OPEN_READWRITE);
        db.exec("BEGIN IMMEDIATE");
        if (fileops::entryExists(journal))
            fileops::removeFile(journal);
        db.exec("ROLLBACK");
    } catch (const SQLite::Exception&) {
        // Not an SQLite file, or one SQLite cannot open: the update's check names it.
    } catch (const PatchError&) {
        // A journal SQLite ignores may stay; the next write of the database replaces it.
    }
}

QString settledLine(Swap::Operation operation, Swap::State state) {
    const bool update = operation == Swap::Operation::Update;
    switch (state) {
    case Swap::State::Building:
        return update ? QStringLiteral("An update that was cut short before it changed anything "
                                       "left files behind; they were removed.")
                      : QStringLiteral("A restore that was cut short before it changed "
                                       "anything was undone.");
    case Swap::State::Swapping:
    case Swap::State::Undoing:
        return update ? QStringLiteral("An update that was cut short was undone: the game has "
                                       "the roster and fixture it had before.")
                      : QStringLiteral("A restore that was cut short was undone: the game has "
                                       "the roster and fixture of the last update.");
    case Swap::State::Swapped:
        break;
    }
    return update ? QStringLiteral("An update that was cut short had put the new roster and "
                                   "fixture in place; it is complete now.")
                  : QStringLiteral("A restore that was cut short had put the earlier roster "
                                   "and fixture back; it is complete now.");
}

} // namespace

PatchBackup::PatchBackup(GameFolder game)
    : m_game(std::move(game)) {}

QString PatchBackup::keptFolder() const {
    return m_game.backupFolder() + QStringLiteral("/Before the last update");
}

QString PatchBackup::workFolder() const {
    return m_game.backupFolder() + QStringLiteral("/In progress");
}

bool PatchBackup::hasKept() const {
    return QFileInfo(keptFolder()).isDir();
}

void PatchBackup::removeIfEmpty() {
    const QString folder = m_game.backupFolder();
    if (QFileInfo(folder).isDir() && isEmptyFolder(folder))
        fileops::removeEmptyFolder(folder);
}

void PatchBackup::writeRestorePlan(const GameFolder& backup, const std::vector<Swap::Entry>& plan) {
    fileops::writeNewFile(
        backup.at(kRestorePlan),
        (Swap::describe(plan).join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

void PatchBackup::keep(Swap& swap) {
    const QString previous = workFolder() + QStringLiteral("/previous");
    if (fileops::entryExists(swap.replaced().path())) {
        if (hasKept())
            fileops::renameFile(keptFolder(), previous);
        fileops::renameFile(swap.replaced().path(), keptFolder());
        fileops::syncFolder(m_game.backupFolder());
    }
    swap.discard();
}

QString PatchBackup::settle() {
    // The copy that a write into an Access season database makes beside it.
    const QString accessCopy = jet::copyPathFor(m_game.seasonDatabase());
    if (fileops::entryExists(accessCopy))
        fileops::removeFile(accessCopy);
    rollBackUnfinishedTransaction(m_game.seasonDatabase());
    Swap swap(m_game, workFolder());
    // A work folder whose removal was cut short is removed; it says what the change it held
    // had done.
    QString removed;
    if (fileops::entryExists(swap.removalFolder())) {
        const std::optional<Swap::Record> done = Swap::read(swap.removalFolder());
        try {
            fileops::removeTree(swap.removalFolder());
        } catch (const PatchError& e) {
            throw PatchError(settleOperation(), swap.removalFolder(), e.message());
        }
        removed = done ? settledLine(done->operation, done->state)
                       : settledLine(Swap::Operation::Update, Swap::State::Building);
    }
    if (!fileops::entryExists(workFolder())) {
        removeIfEmpty();
        return removed;
    }
    // A work folder that says nothing was cut short before its first move.
    const Swap::Record record =
        Swap::read(workFolder())
            .value_or(Swap::Record{Swap::Operation::Update, Swap::State::Building, {}});
    swap.resume(record);
    try {
        if (record.state == Swap::State::Swapped) {
            if (record.operation == Swap::Operation::Update)
                keep(swap);
            else
                swap.discard();
        } else {
            if (record.state != Swap::State::Building)
                swap.undo();
            // A restore takes the kept backup into its work folder first: it goes back.
            if (record.operation == Swap::Operation::Restore && !hasKept() &&
                fileops::entryExists(swap.staged().path()))
                fileops::renameFile(swap.staged().path(), keptFolder());
            swap.discard();
        }
        removeIfEmpty();
    } catch (const PatchError& e) {
        throw PatchError(settleOperation(), workFolder(),
                         e.message() + QStringLiteral("\n\nClose the game and any program "
                                                      "that shows its files, then start the "
                                                      "patch again."));
    }
    return settledLine(record.operation, record.state);
}

std::optional<std::vector<Swap::Entry>> PatchBackup::restore() {
    if (!hasKept())
        return std::nullopt;
    const QString operation = QStringLiteral("Cannot restore the roster before the last update");
    QFile planFile(keptFolder() + QLatin1Char('/') + kRestorePlan);
    std::optional<std::vector<Swap::Entry>> plan;
    if (planFile.open(QIODevice::ReadOnly))
        plan = Swap::parse(
            QString::fromUtf8(planFile.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts));
    planFile.close();
    if (!plan || plan->empty())
        throw PatchError(operation, keptFolder(),
                         QStringLiteral("The backup does not say what it holds (its file \"%1\" "
                                        "is missing or damaged); nothing was changed.")
                             .arg(kRestorePlan));
    rollBackUnfinishedTransaction(m_game.seasonDatabase());

    Swap swap(m_game, workFolder());
    swap.begin(Swap::Operation::Restore);
    try {
        fileops::renameFile(keptFolder(), swap.staged().path());
        // The game's files that go back are kept until everything is in place, for the way
        // back from a failure.
        for (const Swap::Entry& entry : *plan) {
            const QString current = m_game.at(entry.path);
            if (entry.kind == Swap::Kind::File && entry.staged &&
                fileops::isOrdinaryFile(current)) {
                fileops::createFolders(QFileInfo(swap.replaced().at(entry.path)).path());
                fileops::linkOrCopy(current, swap.replaced().at(entry.path));
            }
        }
        swap.install(*plan);
    } catch (PatchError& e) {
        // Where install() has undone its part, the backup goes back where it was; where it
        // could not, the next start takes back the rest and then puts the backup back.
        if (swap.state() == Swap::State::Building && !hasKept() &&
            fileops::entryExists(swap.staged().path()))
            fileops::renameFile(swap.staged().path(), keptFolder());
        swap.discard();
        throw PatchError(operation, e.target(), e.cause());
    }
    try {
        swap.discard();
        removeIfEmpty();
    } catch (const PatchError&) {
        // The restore is in place; the next start of the patch removes what is left of its
        // work folder, which says so.
    }
    return plan;
}

GameLock::GameLock(const GameFolder& game) {
    // In the system's temporary folder, so that it leaves nothing in the game's folder.
    const QByteArray key = QCryptographicHash::hash(QDir(game.path()).canonicalPath().toUtf8(),
                                                    QCryptographicHash::Sha1);
    m_lock = std::make_unique<QLockFile>(QDir::temp().filePath(
        QStringLiteral("tolvane-patch-%1.lock").arg(QLatin1String(key.toHex().left(16)))));
    m_lock->setStaleLockTime(0);
    m_held = m_lock->tryLock(0);
}

} // namespace tolvane
