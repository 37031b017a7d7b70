// Small hand-made backup databases for feature tests.
//
//   BackupFixture db;
//   db.table("Subscribers")
//       .text("ObjectID").text("Alias").integer("Language").yesNo("ListInDirectory")
//       .row({"{A}", "jsmith", 1033, true})
//       .row({"{B}", nullptr, nullptr, false});
//   std::string path = db.write(dir, "ZerithDBData_Backup_test.mdb");
//
// A cell is a string (text), an int (stored as the column's integer type), a double, a bool,
// nullptr (Null) or raw bytes. The file is a real Jet 4 database written by the engine.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "jet/create_db.h"

namespace tdv::test {

using Cell =
    std::variant<std::nullptr_t, std::string, const char*, int, double, bool, std::vector<uint8_t>>;

class FixtureTable {
public:
    explicit FixtureTable(std::string name) { t_.table.name = std::move(name); }
    FixtureTable& text(const std::string& name, uint32_t size = 255);
    FixtureTable& memo(const std::string& name);
    FixtureTable& yesNo(const std::string& name);
    FixtureTable& byte(const std::string& name);
    FixtureTable& integer(const std::string& name);  // 16-bit
    FixtureTable& longInt(const std::string& name);
    FixtureTable& dateTime(const std::string& name);
    FixtureTable& ole(const std::string& name);
    FixtureTable& index(const std::string& name, const std::vector<std::string>& columns,
                        bool primary = false, bool unique = false);
    FixtureTable& row(const std::vector<Cell>& cells);

    const jet::NewTableWithRows& table() const { return t_; }

private:
    FixtureTable& column(const std::string& name, jet::ColumnType type, uint32_t size = 0);
    jet::NewTableWithRows t_;
};

class BackupFixture {
public:
    // Adds a table (or returns the one of that name) to build.
    FixtureTable& table(const std::string& name);
    // Adds the VersionInfo table with its eight version columns, in the order of a row:
    // server major, minor, build, revision, Quorin flag, tool major, minor, revision.
    FixtureTable& versionInfo();
    // Writes the database and returns its path.
    std::string write(const std::filesystem::path& dir, const std::string& fileName) const;

private:
    std::vector<FixtureTable> tables_;
};

}  // namespace tdv::test
