#pragma once

#include <SQLiteCpp/Statement.h>

#include <QHash>
#include <QString>
#include <QVariant>

#include <array>
#include <optional>

namespace tolvane {

class SeasonDatabase;

// The position values of the qz table, found by player name as
// "SELECT * From qz where name=?" finds them: the first row the engine returns for that
// name. Where the table's layout lets us be sure that this is the first row in table order
// whose text equals the name, the whole table is read once into memory; otherwise every
// look-up runs the statement. A Jet file compares names without regard to letter case;
// a row spelled exactly as the player is still preferred to one that equals him only so.
class QzTable {
public:
    // The position values, in the order of the position columns (seasonschema::kQzColumns).
    using Values = std::array<QVariant, 8>;

    explicit QzTable(SeasonDatabase& db);

    // The values of the player's row, or nullptr when there is none. The pointer stays
    // valid until the next call.
    const Values* find(const QString& name);

    // Where the row the last find() returned is spelled otherwise than the name looked up
    // (a Jet file, having no row of the exact spelling): that row's name; else a null text.
    const QString& otherSpelling() const { return m_otherSpelling; }

    // Whether look-ups are served from memory.
    bool inMemory() const { return m_keys != Keys::None; }

private:
    // What a name is looked up by in memory; None when only the statement can tell.
    enum class Keys { None, ExactText, CaselessText };

    Keys memoryKeys();
    void load(Keys keys);
    // Runs a prepared look-up; its first row's values, or nullptr. With spelling given, the
    // row's name goes there too.
    const Values* runLookup(SQLite::Statement& lookup, const QString& name,
                            QString* spelling = nullptr);

    SeasonDatabase& m_db;
    Keys m_keys = Keys::None;
    QHash<QString, Values> m_rows; // by the exact text of the name
    // In a Jet file: the exact name of the first row of each folded name.
    QHash<QString, QString> m_caselessNames;
    std::optional<SQLite::Statement> m_lookup;
    std::optional<SQLite::Statement> m_exactLookup; // in a Jet file, tried before m_lookup
    bool m_exactFirst = false;
    std::array<int, std::tuple_size_v<Values>> m_columns{};
    int m_nameColumn = -1;
    bool m_columnsKnown = false;
    Values m_current;
    QString m_otherSpelling;
};

} // namespace tolvane
