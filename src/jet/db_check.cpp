#include "jet/db_check.h"

#include <unordered_set>

#include "jet/bytes.h"
#include "jet/db_check_context.h"
#include "jet/global_usage_map.h"
#include "jet/table_def.h"

namespace jet {
namespace check {
namespace {

// A badly damaged table can produce a problem per row; past this many per part the rest
// are counted, not listed.
constexpr size_t kMaxProblemsPerPart = 50;

std::string rowKey(uint32_t page, uint16_t row) {
    return std::to_string(page) + ":" + std::to_string(row);
}

}  // namespace

CheckContext::CheckContext(Database& d)
    : db(d),
      pages(d.pages()),
      format(d.format()),
      text(d.format().textEncoding, d.info().codePage) {}

void CheckContext::problem(const std::string& table, std::optional<uint32_t> page,
                           std::optional<uint16_t> row, const std::string& what) {
    if (partProblems_++ >= kMaxProblemsPerPart) {
        ++partDropped_;
        return;
    }
    report.problems.push_back(Problem{table, page, row, what});
}

void CheckContext::claim(uint32_t n, const std::string& who) {
    auto [it, added] = pageClaims_.emplace(n, who);
    if (added || it->second == who) return;
    problem("", n, std::nullopt, "page is used by " + it->second + " and by " + who);
}

void CheckContext::claimRow(uint32_t page, uint16_t row, const std::string& table,
                            const std::string& who) {
    uint64_t key = (uint64_t{page} << 16) | row;
    auto [it, added] = rowClaims_.emplace(key, who);
    if (added) return;
    problem(table, page, row,
            "row " + rowKey(page, row) + " is used by " + it->second + " and by " + who);
}

const std::set<uint32_t>* CheckContext::freePages() {
    if (!freePagesRead_) {
        freePagesRead_ = true;
        try {
            freePages_ = readFreePages(pages, format);
        } catch (const Error&) {
        }
    }
    return freePages_ ? &*freePages_ : nullptr;
}

void CheckContext::inUseMarkedFree(const std::string& table, uint32_t n, const std::string& who) {
    const std::set<uint32_t>* free = freePages();
    if (!free || !free->count(n) || !reportedFree_.insert(n).second) return;
    problem(table, n, std::nullopt,
            who + " is marked free in the database's free-page map (page 1)");
}

// A free page may be handed to anyone: none may be owned by a table, an index or a map.
void CheckContext::checkClaimsNotFree() {
    const std::set<uint32_t>* free = freePages();
    if (!free) return;
    for (uint32_t n : *free) {
        auto it = pageClaims_.find(n);
        if (it != pageClaims_.end()) inUseMarkedFree("", n, "page used by " + it->second);
    }
}

void CheckContext::beginPart() {
    if (partDropped_ > 0)
        report.problems.push_back(
            Problem{"", std::nullopt, std::nullopt,
                    "and " + std::to_string(partDropped_) + " more problems of the same part"});
    partProblems_ = 0;
    partDropped_ = 0;
}

namespace {

void readHeaders(CheckContext& ctx) {
    uint32_t count = ctx.pages.pageCount();
    ctx.headers.resize(count);
    for (uint32_t n = 0; n < count; ++n) {
        try {
            Page p = ctx.pages.read(n);
            ByteView v(p->data(), p->size());
            PageHeader& h = ctx.headers[n];
            h.type = v.u8(0);
            if (h.type == pagetype::kData) h.owner = v.u32(ctx.format.dataOwnerOffset);
            if (h.type == pagetype::kIndexNode || h.type == pagetype::kIndexLeaf)
                h.owner = v.u32(4);
        } catch (const Error& e) {
            ctx.problem("", n, std::nullopt, std::string("page cannot be read: ") + e.what());
        }
    }
}

// Definition pages belong to their table; a chain that cannot be read is reported by the
// table's own check.
void claimDefinitionPages(CheckContext& ctx, const std::string& name, uint32_t first) {
    uint32_t n = first;
    std::unordered_set<uint32_t> seen;
    while (n != 0 && n < ctx.headers.size() && seen.insert(n).second) {
        ctx.claim(n, "the definition of table '" + name + "'");
        if (ctx.headers[n].type != pagetype::kTableDef) return;
        Page p = ctx.pages.read(n);
        n = ByteView(p->data(), p->size()).u32(ctx.format.tdefNextPageOffset);
    }
}

// Data pages naming an owner beyond the end of the file. Access leaves owner 0 on data
// pages of its own (rows holding usage maps, pages not in use yet), marks the page holding
// the database's own maps (page 1) with its own number, and leaves the pages of a dropped
// table naming a definition page that has since been reused: none of those is damage.
// Pages naming a table that does exist are checked against its map by the table's check.
void checkOrphanPages(CheckContext& ctx) {
    ctx.beginPart();
    for (uint32_t n = 0; n < ctx.headers.size(); ++n) {
        const PageHeader& h = ctx.headers[n];
        if (h.type != pagetype::kData || h.owner == kLongValueOwner) continue;
        if (h.owner >= ctx.headers.size())
            ctx.problem("", n, std::nullopt,
                        "data page names page " + std::to_string(h.owner) +
                            " as its table, beyond the end of the file");
    }
}

}  // namespace
}  // namespace check

std::string Problem::describe() const {
    std::string s;
    auto add = [&s](const std::string& part) {
        if (!s.empty()) s += ", ";
        s += part;
    };
    if (!table.empty()) add("table '" + table + "'");
    if (page) add("page " + std::to_string(*page));
    if (row) add("row " + std::to_string(*row));
    return s.empty() ? what : s + ": " + what;
}

CheckReport checkDatabaseReport(Database& db) {
    check::CheckContext ctx(db);
    PageFile::ReadScope scope(ctx.pages);
    check::readHeaders(ctx);
    for (const std::string& name : db.allTableNames()) {
        ctx.beginPart();
        ++ctx.report.tables;
        const TableDef* table = nullptr;
        try {
            table = &db.table(name);
        } catch (const Error& e) {
            ctx.problem(name, std::nullopt, std::nullopt,
                        std::string("the table definition cannot be read: ") + e.what());
            continue;
        }
        try {
            check::claimDefinitionPages(ctx, table->name, table->definitionPage);
        } catch (const Error& e) {
            ctx.problem(name, std::nullopt, std::nullopt, e.what());
        }
        check::checkTableStorage(ctx, *table);
        ctx.beginPart();
        ctx.report.indexes += check::checkTableIndexes(ctx, *table);
    }
    check::checkOrphanPages(ctx);
    ctx.checkClaimsNotFree();
    check::checkRelationships(ctx);
    ctx.beginPart();
    return std::move(ctx.report);
}

std::vector<Problem> checkDatabase(Database& db) {
    return checkDatabaseReport(db).problems;
}

}  // namespace jet
