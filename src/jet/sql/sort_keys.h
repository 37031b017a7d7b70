// ORDER BY on keys computed once per row.
//
// Comparing two Values for every comparison of a sort costs a collation (or a number
// conversion) per comparison. Instead each row's ORDER BY values are turned into keys once:
// text into the index key bytes Access itself sorts by (encodeTextKey), numbers, dates and
// currency into one number. Comparing keys then gives exactly the order of
// Evaluator::compareForSort (Nulls first, text case-insensitive in the database's sort
// order), and the sort is stable as before. Where keys could not reproduce that order (a
// text the encoder has no code for, GUIDs, binary data, a NaN, a column mixing kinds) the
// caller keeps comparing Values.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "jet/types.h"
#include "jet/value.h"

namespace jet::sql {

// rowValues(i) gives row i's ORDER BY values, one per key; descending[k] tells key k's
// direction. Returns the rows' positions in sorted order, or nullopt (see above).
std::optional<std::vector<size_t>> orderByKeys(
    size_t rowCount, const std::function<const std::vector<Value>&(size_t)>& rowValues,
    const std::vector<bool>& descending, JetVersion version);

}  // namespace jet::sql
