#include "sample/directory_table.h"

#include <utility>

#include "base/cp1252.h"

namespace tdv::sample {

std::string storedText(const SampleVariant& variant, std::string_view utf8) {
    if (!variant.utf8Text) return std::string(utf8);
    return base::cp1252ToUtf8(utf8);
}

TableBuilder::TableBuilder(const SampleVariant& variant, std::string name) : variant_(variant) {
    table_.table.name = std::move(name);
}

int TableBuilder::column(const std::string& name, jet::ColumnType type, uint32_t size,
                         bool present) {
    if (!present) return -1;
    jet::NewColumn c;
    c.name = name;
    c.type = type;
    c.size = size;
    table_.table.columns.push_back(std::move(c));
    integerFlag_.push_back(false);
    return static_cast<int>(table_.table.columns.size() - 1);
}

int TableBuilder::nullableFlag(const std::string& name, bool present) {
    const int col =
        column(name, variant_.flagsAsInteger ? jet::ColumnType::Integer : jet::ColumnType::Boolean,
               0, present);
    if (col >= 0) integerFlag_[static_cast<size_t>(col)] = variant_.flagsAsInteger;
    return col;
}

void TableBuilder::index(const std::string& name, const std::vector<std::string>& columns,
                         bool primaryKey, bool unique) {
    jet::NewIndex ix;
    ix.name = name;
    for (const auto& c : columns) ix.columns.push_back({c, true});
    ix.primaryKey = primaryKey;
    ix.unique = unique;
    table_.table.indexes.push_back(std::move(ix));
}

TableBuilder::Row& TableBuilder::addRow() {
    table_.rows.emplace_back(table_.table.columns.size());
    return table_.rows.back();
}

void TableBuilder::setText(Row& row, int col, std::string_view utf8) const {
    if (col >= 0) row[static_cast<size_t>(col)] = jet::Value::text(storedText(variant_, utf8));
}

void TableBuilder::setOptionalText(Row& row, int col,
                                   const std::optional<std::string>& utf8) const {
    if (col < 0) return;
    if (utf8) {
        setText(row, col, *utf8);
    } else {
        row[static_cast<size_t>(col)] = jet::Value();
    }
}

void TableBuilder::setInt(Row& row, int col, std::optional<int32_t> v) const {
    if (col < 0) return;
    row[static_cast<size_t>(col)] = v ? jet::Value(jet::Value::Storage(*v)) : jet::Value();
}

void TableBuilder::setFlag(Row& row, int col, Flag v) const {
    if (col < 0) return;
    auto& cell = row[static_cast<size_t>(col)];
    if (integerFlag_[static_cast<size_t>(col)]) {
        cell =
            v ? jet::Value(jet::Value::Storage(static_cast<int16_t>(*v ? -1 : 0))) : jet::Value();
    } else {
        cell = jet::Value(jet::Value::Storage(v.value_or(false)));
    }
}

void TableBuilder::setDate(Row& row, int col, std::optional<double> oleDate) const {
    if (col < 0) return;
    row[static_cast<size_t>(col)] =
        oleDate ? jet::Value(jet::Value::Storage(jet::DateTime{*oleDate})) : jet::Value();
}

void TableBuilder::setBytes(Row& row, int col, std::vector<uint8_t> bytes) const {
    if (col >= 0) row[static_cast<size_t>(col)] = jet::Value(jet::Value::Storage(std::move(bytes)));
}

}  // namespace tdv::sample
