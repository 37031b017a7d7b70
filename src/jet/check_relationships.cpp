// The relationship part of checkDatabase: every row of a table that refers to another
// through an enforced relationship has its parent row.
#include <string>

#include "jet/db_check_context.h"
#include "jet/relationships.h"

namespace jet::check {

void checkRelationships(CheckContext& ctx) {
    ctx.beginPart();
    std::optional<Relationships> rels;
    try {
        rels.emplace(Relationships::load(ctx.db));
    } catch (const Error& e) {
        ctx.problem("MSysRelationships", std::nullopt, std::nullopt,
                    std::string("the relationships cannot be read: ") + e.what());
        return;
    }
    std::vector<std::string> children;
    for (const Relationship& rel : rels->all()) {
        if (!rel.enforced()) continue;
        bool seen = false;
        for (const auto& c : children) seen = seen || namesEqual(c, rel.childTable);
        if (!seen) children.push_back(rel.childTable);
    }
    for (const std::string& name : children) {
        try {
            const TableDef& table = ctx.db.table(name);
            TableScan scan = ctx.db.scan(table);
            while (scan.next()) {
                try {
                    rels->checkInsert(table, scan.values());
                } catch (const Error& e) {
                    if (e.kind() != ErrorKind::Constraint) throw;
                    ctx.problem(table.name, scan.rowId().page, scan.rowId().row,
                                std::string("row breaks a relationship: ") + e.what());
                }
            }
        } catch (const Error& e) {
            // Unreadable rows are reported by the storage check; a missing table is news.
            if (e.kind() != ErrorKind::Corrupt)
                ctx.problem(name, std::nullopt, std::nullopt,
                            std::string("its relationships cannot be checked: ") + e.what());
        }
    }
}

}  // namespace jet::check
