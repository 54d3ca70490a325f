#include "run/swap.h"

#include "core/fileops.h"
#include "core/patcherror.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <utility>

namespace tolvane {

namespace {

const QString kRecordFile = QStringLiteral("progress.txt");

// How the record names operations, states and kinds: words a person who opens the file
// understands.
constexpr std::pair<Swap::Operation, const char*> kOperations[] = {
    {Swap::Operation::Update, "update"},
    {Swap::Operation::Restore, "restore"},
};
constexpr std::pair<Swap::State, const char*> kStates[] = {
    {Swap::State::Building, "building"},
    {Swap::State::Swapping, "swapping"},
    {Swap::State::Swapped, "swapped"},
    {Swap::State::Undoing, "undoing"},
};

template <class Enum, std::size_t N>
const char* wordOf(const std::pair<Enum, const char*> (&words)[N], Enum value) {
    for (const auto& [v, word] : words) {
        if (v == value)
            return word;
    }
    return "";
}

template <class Enum, std::size_t N>
std::optional<Enum> valueOf(const std::pair<Enum, const char*> (&words)[N], const QString& word) {
    for (const auto& [v, w] : words) {
        if (word == QLatin1String(w))
            return v;
    }
    return std::nullopt;
}

QString parentOf(const QString& path) {
    return QFileInfo(path).path();
}

} // namespace

Swap::Swap(GameFolder game, QString workFolder)
    : m_game(std::move(game))
    , m_work(std::move(workFolder)) {}

GameFolder Swap::staged() const {
    return GameFolder(m_work + QStringLiteral("/new"));
}

GameFolder Swap::replaced() const {
    return GameFolder(m_work + QStringLiteral("/old"));
}

void Swap::begin(Operation operation) {
    if (fileops::entryExists(m_work))
        throw PatchError(QStringLiteral("Cannot prepare the update"), m_work,
                         QStringLiteral("An update or restore is under way in it."));
    fileops::createFolders(replaced().path());
    m_record = Record{operation, State::Building, {}};
    write(State::Building);
}

void Swap::resume(Record record) {
    m_record = std::move(record);
}

void Swap::write(State state) {
    // Before the first move, everything staged and replaced must be on the disk: the record
    // then says Swapping, and a power cut must not leave a moved file empty. The moves after
    // it make their own steps durable (installEntry, undoEntry), so that the record's later
    // states need only themselves written.
    const bool startsMoving = state == State::Swapping && m_record.state == State::Building;
    m_record.state = state;
    const QStringList lines = QStringList{QLatin1String(wordOf(kOperations, m_record.operation)),
                                          QLatin1String(wordOf(kStates, state)),
                                          QStringLiteral("done %1").arg(m_record.done)} +
                              describe(m_record.entries);
    if (startsMoving)
        fileops::syncVolume(m_work);
    fileops::writeFileAtomically(m_work + QLatin1Char('/') + kRecordFile,
                                 (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

std::optional<Swap::Record> Swap::read(const QString& workFolder) {
    QFile file(workFolder + QLatin1Char('/') + kRecordFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QStringList lines =
        QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() < 3)
        return std::nullopt;
    const auto operation = valueOf(kOperations, lines[0]);
    const auto state = valueOf(kStates, lines[1]);
    bool number = false;
    const qulonglong done = lines[2].section(QLatin1Char(' '), 1).toULongLong(&number);
    if (!operation || !state || !number || !lines[2].startsWith(QLatin1String("done ")))
        return std::nullopt;
    const std::optional<std::vector<Entry>> entries = parse(lines.mid(3));
    if (!entries || done > entries->size())
        return std::nullopt;
    return Record{*operation, *state, *entries, static_cast<std::size_t>(done)};
}

QStringList Swap::describe(const std::vector<Entry>& entries) {
    QStringList lines;
    for (const Entry& entry : entries)
        lines << QStringLiteral("%1 %2 %3")
                     .arg(entry.kind == Kind::Folder ? QStringLiteral("folder")
                                                     : QStringLiteral("file"),
                          entry.staged ? QStringLiteral("staged") : QStringLiteral("removed"),
                          entry.path);
    return lines;
}

std::optional<std::vector<Swap::Entry>> Swap::parse(const QStringList& lines) {
    std::vector<Entry> entries;
    for (const QString& line : lines) {
        const QString kind = line.section(QLatin1Char(' '), 0, 0);
        const QString staged = line.section(QLatin1Char(' '), 1, 1);
        const QString path = line.section(QLatin1Char(' '), 2);
        // Paths stay below the game's folder, whatever a damaged file says.
        if ((kind != QLatin1String("folder") && kind != QLatin1String("file")) ||
            (staged != QLatin1String("staged") && staged != QLatin1String("removed")) ||
            path.isEmpty() || path.startsWith(QLatin1Char('/')) ||
            path.contains(QLatin1Char('\\')) ||
            path.split(QLatin1Char('/')).contains(QStringLiteral("..")) ||
            path.contains(QLatin1Char(':')))
            return std::nullopt;
        entries.push_back({kind == QLatin1String("folder") ? Kind::Folder : Kind::File, path,
                           staged == QLatin1String("staged")});
    }
    return entries;
}

void Swap::install(const std::vector<Entry>& entries) {
    m_record.entries = entries;
    m_record.done = 0;
    write(State::Swapping);
    try {
        for (const Entry& entry : entries) {
            installEntry(entry);
            ++m_record.done;
            write(State::Swapping);
        }
        write(State::Swapped);
    } catch (PatchError& failure) {
        try {
            undo();
        } catch (const PatchError& undoFailure) {
            failure.appendCause(
                QStringLiteral("Taking back what was put in place failed too (%1); the next "
                               "start of the patch takes it back.")
                    .arg(undoFailure.cause()));
        }
        throw;
    }
}

QString Swap::linkedCopy(const QString& source, const QString& name) const {
    const QString copy = m_work + QStringLiteral("/swapping-") + name;
    fileops::removeTree(copy);
    // On the disk before the rename that puts it in place.
    fileops::linkOrCopy(source, copy, fileops::Durability::Now);
    return copy;
}

void Swap::installEntry(const Entry& entry) {
    const QString target = m_game.at(entry.path);
    const QString stagedPath = staged().at(entry.path);
    const QString replacedPath = replaced().at(entry.path);
    if (entry.kind == Kind::File && entry.staged) {
        // One step, the staged file staying where it is.
        fileops::replaceByRename(linkedCopy(stagedPath, QFileInfo(target).fileName()), target);
        return;
    }
    if (fileops::entryExists(target)) {
        fileops::createFolders(parentOf(replacedPath));
        fileops::renameFile(target, replacedPath);
    }
    if (entry.staged)
        fileops::renameFile(stagedPath, target);
    fileops::syncFolder(parentOf(target));
    fileops::syncFolder(parentOf(replacedPath));
}

void Swap::undo() {
    // A record that cannot be written (on a full disk) still says Swapping, which the next
    // start takes back as it takes back Undoing: the entries go back all the same.
    writeIfPossible(State::Undoing);
    const std::size_t started = std::min(m_record.done + 1, m_record.entries.size());
    for (std::size_t i = started; i-- > 0;)
        undoEntry(m_record.entries[i]);
    m_record.done = 0;
    writeIfPossible(State::Building);
}

void Swap::writeIfPossible(State state) {
    try {
        write(state);
    } catch (const PatchError&) {
        m_record.state = state;
    }
}

// Each step looks at what lies where, or puts what was there back whatever lies there now,
// so that taking back twice, after a stop half-way, ends as taking back once.
void Swap::undoEntry(const Entry& entry) {
    const QString target = m_game.at(entry.path);
    const QString stagedPath = staged().at(entry.path);
    const QString replacedPath = replaced().at(entry.path);
    if (entry.kind == Kind::File && entry.staged) {
        if (fileops::entryExists(replacedPath))
            fileops::replaceByRename(linkedCopy(replacedPath, QFileInfo(target).fileName()),
                                     target);
        else if (fileops::entryExists(target)) // the game had no such file before
            fileops::removeFile(target);
        return;
    }
    if (entry.staged && !fileops::entryExists(stagedPath) && fileops::entryExists(target))
        fileops::renameFile(target, stagedPath);
    if (fileops::entryExists(replacedPath) && !fileops::entryExists(target))
        fileops::renameFile(replacedPath, target);
    fileops::syncFolder(parentOf(target));
    fileops::syncFolder(parentOf(stagedPath));
}

void Swap::discard() {
    if (m_record.state == State::Swapping || m_record.state == State::Undoing)
        return;
    if (fileops::entryExists(m_work)) {
        fileops::removeTree(removalFolder());
        fileops::renameFile(m_work, removalFolder());
    }
    fileops::removeTree(removalFolder());
}

} // namespace tolvane
