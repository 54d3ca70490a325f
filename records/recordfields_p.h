#pragma once

#include "records/playerrecord.h"

#include <concepts>
#include <type_traits>

namespace tolvane {

// Every field of a player record, and of the elements of its nested lists, in disk order,
// with its name: visit(name, field) for each. The codec reads and writes by walking these
// lists, and the named fields of tools walk them too, so none of them can disagree about
// which field comes where. Made from the field lists of playerrecord.h, as the structs are.
// Private to records/.
namespace recordfields::detail {

#define TOLVANE_VISIT_FIELD(type, name) visit(#name, record.name);

template <class Record, class Visit>
requires std::same_as<std::remove_const_t<Record>, PlayerRecord>
void forEachField(Record& record, Visit&& visit) {
    TOLVANE_PLAYER_RECORD_FIELDS(TOLVANE_VISIT_FIELD)
}

template <class Record, class Visit>
requires std::same_as<std::remove_const_t<Record>, SubEntryA>
void forEachField(Record& record, Visit&& visit) {
    TOLVANE_SUB_ENTRY_A_FIELDS(TOLVANE_VISIT_FIELD)
}

template <class Record, class Visit>
requires std::same_as<std::remove_const_t<Record>, SubEntryB>
void forEachField(Record& record, Visit&& visit) {
    TOLVANE_SUB_ENTRY_B_FIELDS(TOLVANE_VISIT_FIELD)
}

#undef TOLVANE_VISIT_FIELD

// The element types of the nested lists.
template <class T>
concept SubEntry = std::same_as<std::remove_const_t<T>, SubEntryA> ||
    std::same_as<std::remove_const_t<T>, SubEntryB>;

} // namespace recordfields::detail

} // namespace tolvane
