// Index key encoding: the bytes Access stores for a row's key in an index entry.
//
// Text is keyed by the database's sort order (General Legacy for Jet 4, General 97 for
// Jet 3); numbers, currency, dates, booleans and GUIDs by their own rules; each column's
// key starts with a flag byte telling null from non-null and ascending from descending,
// and a descending column's bytes are inverted. Comparing two keys byte by byte gives the
// index order, which is also the order Access sorts by.
//
// A character the encoder has no code for raises Error(Unsupported) naming it: writers must
// refuse such a value rather than store a key Access would not produce.
#pragma once

#include <string_view>
#include <vector>

#include "jet/schema.h"
#include "jet/types.h"
#include "jet/value.h"

namespace jet {

// Sort key of one text value (no flag byte), as it appears inside an ascending entry.
Bytes encodeTextKey(std::string_view utf8, JetVersion version);

// Appends one column's part of an entry key: flag byte, then the encoded value (inverted
// when descending). A Null value is the flag byte alone.
void appendColumnKey(Bytes& out, const ColumnDef& column, const Value& value, bool ascending,
                     JetVersion version);

// The whole entry key of a row (values in TableDef::columns order) for an index.
Bytes encodeIndexKey(const TableDef& table, const IndexDef& index, const std::vector<Value>& row,
                     JetVersion version);

// Jet's text comparison, used by SQL comparisons and ORDER BY: the order of the sort keys
// (so case-insensitive: "abc" equals "ABC"). Never throws: text with characters the encoder
// does not know falls back to comparing case-folded code points.
int compareText(std::string_view a, std::string_view b, JetVersion version);

}  // namespace jet
