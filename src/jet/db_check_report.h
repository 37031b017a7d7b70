// What a database check found: the faults (Problem) and the totals of one run
// (CheckReport). Shared by the checker's entry points (db_check.h) and its parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jet {

struct Problem {
    std::string table;  // empty when the fault is not tied to one table
    std::optional<uint32_t> page;
    std::optional<uint16_t> row;
    std::string what;

    // "table 'T', page 12, row 3: what" (the parts that are known).
    std::string describe() const;
};

struct CheckReport {
    size_t tables = 0;   // tables checked (system tables included)
    size_t rows = 0;     // live rows read
    size_t indexes = 0;  // physical indexes checked
    std::vector<Problem> problems;
    std::vector<std::string> warnings;  // things that could not be verified

    bool clean() const { return problems.empty(); }
};

}  // namespace jet
