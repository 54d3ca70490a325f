#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <span>
#include <vector>

namespace tolvane {

class SeasonDatabase;

// The recomputed overall ratings going back into the season database's Ratings rows.
namespace overallratings {

struct Rating {
    qint64 rowid = 0;
    std::int16_t value = 0;
};

// A row the database would not take its new rating into, and the database's reason.
struct Refusal {
    qint64 rowid = 0;
    QString reason;
};

// The operation a failure to store the ratings is reported under.
QString saveOperation();

// Stores every rating in its row's overall column, many rows to a statement. A refusal
// throws a PatchError; run it inside the pass's transaction.
void store(SeasonDatabase& db, std::span<const Rating> ratings);

// Finds out, before anything is written, whether the database would refuse a rating: a
// trigger, a constraint, a view. Unless its definition shows that nothing can, every rating
// is tried inside a transaction that is then rolled back. Returns up to limit refusals,
// each with the engine's reason; the database is left as it was.
std::vector<Refusal> findRefusals(SeasonDatabase& db, std::span<const Rating> ratings,
                                  std::size_t limit);

} // namespace overallratings

} // namespace tolvane
