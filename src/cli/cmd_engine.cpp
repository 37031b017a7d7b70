// tdv tables / schema / dump: the engine's view of a database file.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/json_values.h"
#include "jet/database.h"
#include "jet/page_file.h"

namespace tdv::cli {
namespace {

constexpr size_t kFlushBytes = 1 << 16;

// The size Access shows: characters for Text (Jet 4 stores two bytes each), bytes otherwise.
unsigned displaySize(const jet::ColumnDef& c, jet::JetVersion v) {
    if (c.type == jet::ColumnType::Text && v == jet::JetVersion::Jet4) return c.length / 2u;
    return c.length;
}

void printSchema(jet::Database& db, const jet::TableDef& t, std::string& out) {
    out += "TABLE " + t.name + "\n";
    for (const auto& c : t.columns) {
        std::string type = jet::columnTypeName(c.type);
        if (type == "Unknown") type += "(" + std::to_string(static_cast<int>(c.type)) + ")";
        out += "  COLUMN " + c.name + " " + type + " " +
               std::to_string(displaySize(c, db.info().version));
        if (c.type == jet::ColumnType::Decimal)
            out += " (" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
        if (c.autoNumber) out += " AUTONUMBER";
        out += "\n";
    }
    for (const auto& ix : t.indexes) {
        out += "  INDEX " + ix.name + " (";
        for (size_t i = 0; i < ix.columns.size(); ++i) {
            if (i) out += ", ";
            out += t.columns[ix.columns[i].column].name;
            out += ix.columns[i].ascending ? " ASC" : " DESC";
        }
        out += ")";
        if (ix.primaryKey) out += " PRIMARY";
        if (ix.foreignKey) out += " FOREIGN";
        if (ix.unique) out += " UNIQUE";
        if (ix.ignoreNulls) out += " IGNORENULLS";
        if (ix.required) out += " REQUIRED";
        out += "\n";
    }
}

}  // namespace

void registerEngineCommands(CLI::App& app) {
    auto file = std::make_shared<std::string>();
    auto table = std::make_shared<std::string>();

    auto* tables = app.add_subcommand("tables", "List the user tables of a database, one per line");
    tables->add_option("FILE", *file, "Access database (.mdb)")->required();
    tables->callback([file] {
        auto db = jet::Database::open(*file);
        std::string out;
        for (const auto& name : db->tableNames()) out += name + "\n";
        writeOut(out);
    });

    auto* schema = app.add_subcommand(
        "schema", "Show the columns (name, type, size) and indexes of one table or of all tables");
    schema->add_option("FILE", *file, "Access database (.mdb)")->required();
    schema->add_option("TABLE", *table, "Table name (default: every user table)");
    schema->callback([file, table] {
        auto db = jet::Database::open(*file);
        jet::PageFile::ReadScope scope(db->pages());
        std::string out;
        if (!table->empty()) {
            printSchema(*db, db->table(*table), out);
        } else {
            for (const auto& name : db->tableNames()) printSchema(*db, db->table(name), out);
        }
        writeOut(out);
    });

    auto* dump = app.add_subcommand("dump", "Write every row of a table as JSON Lines");
    dump->add_option("FILE", *file, "Access database (.mdb)")->required();
    dump->add_option("TABLE", *table, "Table name")->required();
    dump->callback([file, table] {
        auto db = jet::Database::open(*file);
        // One read transaction: the rows all come from one version of the file.
        jet::PageFile::ReadScope scope(db->pages());
        const jet::TableDef& t = db->table(*table);
        std::vector<std::string> names;
        for (const auto& c : t.columns) names.push_back(c.name);
        const JsonRowWriter writer(names);
        std::string out;
        out.reserve(kFlushBytes * 2);
        auto scan = db->scan(t);
        while (scan.next()) {
            writer.write(out, scan.values());
            if (out.size() >= kFlushBytes) {
                writeOut(out);
                out.clear();
            }
        }
        writeOut(out);
        std::fflush(stdout);
    });
}

}  // namespace tdv::cli
