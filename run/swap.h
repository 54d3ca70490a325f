#pragma once

#include "core/gamefolder.h"

#include <QString>

#include <optional>
#include <vector>

namespace tolvane {

// One change of the game's folder made whole or not at all: what goes in is prepared in a
// work folder first, laid out as the game's folder (staged()), beside what it replaces
// (replaced()), and is then put in place with renames. The work folder records how far it
// has come, so that a change cut short by a failure, a crash or a power cut is finished or
// undone the next time (see patchbackup.h). The work folder lies in the game's folder, on
// its volume, so that every rename moves without a copy.
class Swap {
public:
    enum class Operation { Update, Restore };
    enum class State {
        Building, // the work folder is being filled; nothing of the game's has moved
        Swapping, // entries are being put in place; undone if cut short
        Swapped,  // every entry is in place; finished if cut short
        Undoing,  // entries are being taken back
    };
    enum class Kind { Folder, File };
    // A path below the game's folder that the change puts in place, e.g. "lists/default2009".
    struct Entry {
        Kind kind = Kind::File;
        QString path;
        // Whether something is staged for it; an entry with nothing staged is removed from
        // the game's folder.
        bool staged = true;

        bool operator==(const Entry&) const = default;
    };
    // What the work folder says of itself.
    struct Record {
        Operation operation = Operation::Update;
        State state = State::Building;
        std::vector<Entry> entries;
        // How many entries are wholly in place; the one after them may be in part.
        std::size_t done = 0;
    };

    Swap(GameFolder game, QString workFolder);

    const GameFolder& game() const { return m_game; }
    const QString& workFolder() const { return m_work; }
    // What goes into the game's folder, laid out as it.
    GameFolder staged() const;
    // What the game's folder held where the change puts something, laid out as it.
    GameFolder replaced() const;

    // Makes the work folder, which must not exist, with replaced() in it; the caller makes
    // staged().
    void begin(Operation operation);
    // Takes up the change a work folder records, for undo() or discard().
    void resume(Record record);

    // Puts the entries in place, in order. A folder of the game's goes into replaced(), the
    // staged one into its place. A staged file replaces the game's in one step, whose bytes
    // the caller has linked or copied into replaced() before, and stays staged as well; a
    // file with nothing staged is moved into replaced(), so that the game's folder no longer
    // has it. A failure undoes what was done and throws.
    void install(const std::vector<Entry>& entries);

    // Takes back whatever of the entries is in place, from what lies where: the game's
    // folder then holds what it held before, and the change is Building again. A failure
    // throws; what is left is taken back the next time.
    void undo();

    // Removes the work folder and all it holds: renames it to removalFolder() in one step
    // first, so that a removal cut short leaves a folder that the next start only removes,
    // never takes back from. Does nothing while the change is Swapping or Undoing: the work
    // folder then holds what the game's folder had, which the next start puts back.
    void discard();
    // Where the work folder goes while it is removed.
    QString removalFolder() const { return m_work + QStringLiteral(" (removed)"); }

    State state() const { return m_record.state; }

    // What the work folder at path says of itself; nothing when it says nothing readable.
    static std::optional<Record> read(const QString& workFolder);

    // Entries as lines of text, and back; nothing for lines that are not entries.
    static QStringList describe(const std::vector<Entry>& entries);
    static std::optional<std::vector<Entry>> parse(const QStringList& lines);

private:
    void write(State state);
    // Writes the record, or where that fails only changes the state it would say.
    void writeIfPossible(State state);
    // A second name in the work folder for source's file, to rename over the game's.
    QString linkedCopy(const QString& source, const QString& name) const;
    void installEntry(const Entry& entry);
    void undoEntry(const Entry& entry);

    GameFolder m_game;
    QString m_work;
    Record m_record;
};

} // namespace tolvane
