// The lookup tables of the remap windows: the records of one open lookup recordset, read
// once, with case-insensitive indexes on the columns the row checks search.
//
// The windows look values up with "move to the first record, then Find the first record
// whose column equals the value, letter case ignored". At scale (tens of thousands of users,
// thousands of CSV lines, several lookups per line) a Find per line over every record costs
// lines × records comparisons, so each activation reads the records once and builds, per
// searched column, a map from the value's comparison key (Jet's sort key of the text, which
// is what the Find compares) to the first record holding it. A lookup then gives the same
// record the Find would, in constant time.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "backup/app_state.h"
#include "db/recordset.h"

namespace tdv::remap {

// The comparison key of a text: equal keys for texts that Jet's comparison finds equal.
std::string lookupTextKey(std::string_view text, jet::JetVersion version);

class LookupTable {
public:
    LookupTable() = default;
    // Reads every record of `rs` from its first: the text of each field of `shown` (null-safe
    // and trimmed, as strGetFieldText gives it) and an index on each column of `searched`.
    // The recordset is left at its first record. A searched column that the recordset lacks
    // raises 3265 on its first lookup, as the Find would.
    LookupTable(db::Recordset& rs, const std::vector<std::string>& shown,
                const std::vector<std::string>& searched, const backup::AppState& state);

    size_t size() const { return rowCount_; }
    bool empty() const { return rowCount_ == 0; }
    // The record (from 0) of the first record whose `column` equals `value` (text compared as
    // Jet compares it, letter case ignored; a number column compared by value), nullopt when
    // none. Raises 3001 for a number column and a value that is no number.
    std::optional<size_t> findFirst(std::string_view column, std::string_view value) const;
    // The comparison key of a text under this table's database (equal for texts Jet's
    // comparison finds equal).
    std::string key(std::string_view text) const { return lookupTextKey(text, version_); }
    // The shown text of `field` in record `row` ("" for a field not kept).
    const std::string& text(size_t row, std::string_view field) const;

private:
    struct Index {
        bool missing = false;  // the recordset has no such column
        bool text = true;      // compared as text (else as a number)
        std::unordered_map<std::string, size_t> first;
    };
    const Index* indexOf(std::string_view column) const;

    size_t rowCount_ = 0;
    std::vector<std::string> shownNames_;
    std::vector<std::vector<std::string>> shown_;  // [row][field]
    std::vector<std::pair<std::string, Index>> indexes_;
    jet::JetVersion version_ = jet::JetVersion::Jet4;
};

}  // namespace tdv::remap
