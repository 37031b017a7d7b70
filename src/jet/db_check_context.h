// Shared state of one run of checkDatabase (db_check.h): the file's pages as seen in their
// headers, which part of the database claims each page, and the report being written.
// Internal to the checker; the parts (table storage, indexes) each live in their own file.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "jet/database.h"
#include "jet/db_check_report.h"
#include "jet/format.h"
#include "jet/page_file.h"
#include "jet/text_codec.h"

namespace jet::check {

// Type byte and owner field of one page, read once at the start of the check.
struct PageHeader {
    uint8_t type = 0;
    uint32_t owner = 0;  // data and index pages: owning table definition page
};

// Owner field of the pages that hold long values ("LVAL" in both formats).
constexpr uint32_t kLongValueOwner = 0x4C41564C;

class CheckContext {
public:
    explicit CheckContext(Database& db);

    Database& db;
    PageFile& pages;
    const Format& format;
    TextDecoder text;
    std::vector<PageHeader> headers;  // one per page of the file
    CheckReport report;

    void problem(const std::string& table, std::optional<uint32_t> page,
                 std::optional<uint16_t> row, const std::string& what);
    void warning(const std::string& what) { report.warnings.push_back(what); }

    // Records that `who` uses page n. A page claimed by two different owners is a problem.
    void claim(uint32_t n, const std::string& who);
    // Records that a long-value or overflow row is used by `who`; a second use is a problem.
    void claimRow(uint32_t page, uint16_t row, const std::string& table, const std::string& who);

    // The pages the database's free-page map lists, read once; null when it cannot be read
    // (the table storage check reports that).
    const std::set<uint32_t>* freePages();
    // Reports, once per page, that page n is in use (by `who`) and yet marked free.
    void inUseMarkedFree(const std::string& table, uint32_t n, const std::string& who);
    // Checks every claimed page against the free-page map (after every part has claimed).
    void checkClaimsNotFree();

    // Starts counting problems of one part afresh (the per-part cap), first noting how
    // many the previous part left out.
    void beginPart();

private:
    std::unordered_map<uint32_t, std::string> pageClaims_;
    std::unordered_map<uint64_t, std::string> rowClaims_;
    std::optional<std::set<uint32_t>> freePages_;
    std::set<uint32_t> reportedFree_;
    bool freePagesRead_ = false;
    size_t partProblems_ = 0;
    size_t partDropped_ = 0;
};

// Checks a table's usage maps, data pages, rows, long values and row count.
void checkTableStorage(CheckContext& ctx, const TableDef& table);
// Checks every physical index of a table; returns how many were checked.
size_t checkTableIndexes(CheckContext& ctx, const TableDef& table);
// Checks that every row referring to a parent through an enforced relationship has one.
void checkRelationships(CheckContext& ctx);

}  // namespace jet::check
