// Building one table of a sample backup: its columns, indexes and rows, in the shapes the
// backup tool of a given variant writes.
//
// Columns are declared once; a column that the variant does not have (a newer column in an
// older schema revision) is declared absent and every value set for it is dropped, so the
// row-filling code need not repeat the variant's tests. Values go through the variant's
// habits:
//   - text: plain, or (variant.utf8Text) its UTF-8 bytes one per character, each byte read
//     as the Windows-1252 character of that number, as that server version's tool stored it;
//   - nullable flags: Yes/No columns (Null written as No, since Yes/No cannot hold Null), or
//     (variant.flagsAsInteger) Integer columns holding -1, 0 or Null.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/create_db.h"
#include "sample/sample.h"

namespace tdv::sample {

// Column sizes the backup tool uses.
constexpr uint32_t kObjectIdChars = 40;  // "{GUID}" is 38
constexpr uint32_t kAliasChars = 64;
constexpr uint32_t kNameChars = 64;
constexpr uint32_t kDisplayNameChars = 128;
constexpr uint32_t kExtensionChars = 40;
constexpr uint32_t kAddressChars = 255;

// A flag that may be Null in files whose flags are Integer columns.
using Flag = std::optional<bool>;

// The text the backup tool of this variant stores for a UTF-8 string.
std::string storedText(const SampleVariant& variant, std::string_view utf8);

class TableBuilder {
public:
    using Row = std::vector<jet::Value>;

    TableBuilder(const SampleVariant& variant, std::string name);

    // Declares a column; absent columns get no place in the table. Returns its position or
    // -1 when absent.
    int column(const std::string& name, jet::ColumnType type, uint32_t size = 0,
               bool present = true);
    // A flag column that may hold Null (Integer -1/0/Null or Yes/No by the variant).
    int nullableFlag(const std::string& name, bool present = true);
    void index(const std::string& name, const std::vector<std::string>& columns,
               bool primaryKey = false, bool unique = false);
    void reserveRows(size_t n) { table_.rows.reserve(n); }

    // A new row, every value Null, appended to the table.
    Row& addRow();

    // Setters by column position (from column()); a -1 position is ignored.
    void setText(Row& row, int col, std::string_view utf8) const;
    void setOptionalText(Row& row, int col, const std::optional<std::string>& utf8) const;
    void setInt(Row& row, int col, std::optional<int32_t> v) const;
    void setFlag(Row& row, int col, Flag v) const;  // plain Yes/No or nullable flag alike
    void setDate(Row& row, int col, std::optional<double> oleDate) const;
    void setBytes(Row& row, int col, std::vector<uint8_t> bytes) const;

    jet::NewTableWithRows take() { return std::move(table_); }
    const std::string& name() const { return table_.table.name; }

private:
    const SampleVariant& variant_;
    jet::NewTableWithRows table_;
    std::vector<bool> integerFlag_;  // per column: flag stored as Integer
};

}  // namespace tdv::sample
