#include "helpers/backup_fixture.h"

#include <stdexcept>

namespace tdv::test {

namespace {

jet::Value toValue(const Cell& cell, jet::ColumnType type) {
    using jet::ColumnType;
    if (std::holds_alternative<std::nullptr_t>(cell)) return jet::Value::null();
    if (auto s = std::get_if<std::string>(&cell)) return jet::Value::text(*s);
    if (auto s = std::get_if<const char*>(&cell)) return jet::Value::text(*s);
    if (auto b = std::get_if<bool>(&cell)) {
        if (type == ColumnType::Boolean) return jet::Value(jet::Value::Storage(*b));
        return jet::Value(jet::Value::Storage(static_cast<int16_t>(*b ? -1 : 0)));
    }
    if (auto d = std::get_if<double>(&cell)) return jet::Value(jet::Value::Storage(*d));
    if (auto bytes = std::get_if<std::vector<uint8_t>>(&cell)) {
        return jet::Value(jet::Value::Storage(jet::Bytes{*bytes}));
    }
    const int i = std::get<int>(cell);
    switch (type) {
        case ColumnType::Boolean:
            return jet::Value(jet::Value::Storage(i != 0));
        case ColumnType::Byte:
            return jet::Value(jet::Value::Storage(static_cast<uint8_t>(i)));
        case ColumnType::Integer:
            return jet::Value(jet::Value::Storage(static_cast<int16_t>(i)));
        case ColumnType::Double:
        case ColumnType::DateTime:
            return jet::Value(jet::Value::Storage(static_cast<double>(i)));
        default:
            return jet::Value(jet::Value::Storage(static_cast<int32_t>(i)));
    }
}

}  // namespace

FixtureTable& FixtureTable::column(const std::string& name, jet::ColumnType type, uint32_t size) {
    jet::NewColumn c;
    c.name = name;
    c.type = type;
    c.size = size;
    t_.table.columns.push_back(c);
    return *this;
}

FixtureTable& FixtureTable::text(const std::string& name, uint32_t size) {
    return column(name, jet::ColumnType::Text, size);
}
FixtureTable& FixtureTable::memo(const std::string& name) {
    return column(name, jet::ColumnType::Memo);
}
FixtureTable& FixtureTable::yesNo(const std::string& name) {
    return column(name, jet::ColumnType::Boolean);
}
FixtureTable& FixtureTable::byte(const std::string& name) {
    return column(name, jet::ColumnType::Byte);
}
FixtureTable& FixtureTable::integer(const std::string& name) {
    return column(name, jet::ColumnType::Integer);
}
FixtureTable& FixtureTable::longInt(const std::string& name) {
    return column(name, jet::ColumnType::Long);
}
FixtureTable& FixtureTable::dateTime(const std::string& name) {
    return column(name, jet::ColumnType::DateTime);
}
FixtureTable& FixtureTable::ole(const std::string& name) {
    return column(name, jet::ColumnType::OLE);
}

FixtureTable& FixtureTable::index(const std::string& name, const std::vector<std::string>& columns,
                                  bool primary, bool unique) {
    jet::NewIndex ix;
    ix.name = name;
    for (const auto& c : columns) ix.columns.push_back({c, true});
    ix.primaryKey = primary;
    ix.unique = unique;
    t_.table.indexes.push_back(ix);
    return *this;
}

FixtureTable& FixtureTable::row(const std::vector<Cell>& cells) {
    if (cells.size() != t_.table.columns.size()) {
        throw std::invalid_argument("fixture row of " + t_.table.name + " has " +
                                    std::to_string(cells.size()) + " cells for " +
                                    std::to_string(t_.table.columns.size()) + " columns");
    }
    std::vector<jet::Value> values;
    for (size_t i = 0; i < cells.size(); ++i) {
        values.push_back(toValue(cells[i], t_.table.columns[i].type));
    }
    t_.rows.push_back(std::move(values));
    return *this;
}

FixtureTable& BackupFixture::table(const std::string& name) {
    for (auto& t : tables_) {
        if (t.table().table.name == name) return t;
    }
    tables_.emplace_back(name);
    return tables_.back();
}

FixtureTable& BackupFixture::versionInfo() {
    return table("VersionInfo")
        .integer("ZerithVersionMajor")
        .integer("ZerithVersionMinor")
        .integer("ZerithVersionBuild")
        .integer("ZerithVersionRev")
        .yesNo("ZerithVersionbQRN")
        .integer("AppVersionMajor")
        .integer("AppVersionMinor")
        .integer("AppVersionRev");
}

std::string BackupFixture::write(const std::filesystem::path& dir,
                                 const std::string& fileName) const {
    jet::NewDatabase desc;
    for (const auto& t : tables_) desc.tables.push_back(t.table());
    const std::string path = (dir / fileName).string();
    jet::createDatabase(path, desc);
    return path;
}

}  // namespace tdv::test
