// tdv sql FILE "SELECT ...": runs one Jet SQL statement and prints its rows as JSON Lines,
// one object per row, keys in result column order, values as `tdv dump` writes them;
// --csv prints them as CSV and --table as an aligned text table, each after a header line
// of the column names.
// tdv sql FILE "INSERT ..." / "UPDATE ..." / "DELETE ...": opens the file for writing, runs the
// statement as one atomic save and prints the number of rows it added, changed or deleted.
// A failed statement prints `error: [N] MESSAGE` with Jet's error number N and exits 1.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "cli/commands.h"
#include "cli/json_values.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/sql/sql.h"

namespace tdv::cli {
namespace {

constexpr size_t kFlushBytes = 1 << 16;

struct SqlOptions {
    std::string file;
    std::string statement;
    bool plan = false;
    bool csv = false;
    bool table = false;
};

// A value as one field of text: the form JSON Lines give it, without the JSON quoting
// (Null is empty, text is itself, binary data its hex digits).
std::string plainText(const jet::Value& v) {
    if (v.isNull()) return {};
    if (v.is<jet::Text>()) return base::repairUtf8(v.get<jet::Text>().utf8);
    std::string json;
    appendJsonValue(json, v);
    if (json.rfind("{\"hex\":\"", 0) == 0) return json.substr(8, json.size() - 10);
    if (json.size() >= 2 && json.front() == '"') return json.substr(1, json.size() - 2);
    return json;
}

// RFC 4180: a field holding a comma, a quote or a line break is quoted, quotes doubled.
void appendCsvField(std::string& out, const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        out += c;
        if (c == '"') out += '"';
    }
    out += '"';
}

void appendCsvLine(std::string& out, const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) out += ',';
        appendCsvField(out, fields[i]);
    }
    out += "\r\n";
}

// A table cell: control characters (line breaks, tabs) become spaces so every row stays
// on one line.
std::string cellText(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return text;
}

void appendPadded(std::string& out, const std::string& text, size_t width, bool last) {
    out += text;
    if (last) return;
    const size_t shown = base::utf8CharacterCount(text);
    out.append(width > shown ? width - shown : 0, ' ');
    out += "  ";
}

void appendTableLine(std::string& out, const std::vector<std::string>& cells,
                     const std::vector<size_t>& widths) {
    for (size_t i = 0; i < cells.size(); ++i)
        appendPadded(out, cells[i], widths[i], i + 1 == cells.size());
    out += '\n';
}

// The aligned table: a header, a rule of dashes, then the rows, each column as wide as its
// widest cell. The whole result is held to measure the widths.
void writeTable(const std::vector<std::string>& names, const jet::sql::ResultSet& result) {
    std::vector<size_t> widths;
    for (const auto& n : names) widths.push_back(base::utf8CharacterCount(n));
    std::vector<std::vector<std::string>> cells;
    cells.reserve(result.rows.size());
    for (const auto& row : result.rows) {
        std::vector<std::string> line;
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i) {
            line.push_back(cellText(plainText(row[i])));
            widths[i] = std::max(widths[i], base::utf8CharacterCount(line.back()));
        }
        cells.push_back(std::move(line));
    }
    std::string out;
    std::vector<std::string> header;
    for (const auto& n : names) header.push_back(cellText(n));
    appendTableLine(out, header, widths);
    std::vector<std::string> rule;
    for (size_t w : widths) rule.emplace_back(w, '-');
    appendTableLine(out, rule, widths);
    for (const auto& line : cells) {
        appendTableLine(out, line, widths);
        if (out.size() >= kFlushBytes) {
            writeOut(out);
            out.clear();
        }
    }
    writeOut(out);
}

void writeRows(const SqlOptions& o, const jet::sql::ResultSet& result) {
    std::vector<std::string> names;
    for (const auto& c : result.columns) names.push_back(c.name);
    if (o.table) {
        writeTable(names, result);
        return;
    }
    std::string out;
    if (o.csv) appendCsvLine(out, names);
    const JsonRowWriter writer(names);
    std::vector<std::string> fields;
    for (const auto& row : result.rows) {
        if (o.csv) {
            fields.clear();
            for (const auto& v : row) fields.push_back(plainText(v));
            appendCsvLine(out, fields);
        } else {
            writer.write(out, row);
        }
        if (out.size() >= kFlushBytes) {
            writeOut(out);
            out.clear();
        }
    }
    writeOut(out);
}

void runStatement(const SqlOptions& o) {
    std::vector<std::string> plan;
    jet::sql::QueryOptions options;
    if (o.plan) options.plan = &plan;
    if (!jet::sql::isSelect(o.statement)) {
        auto db = jet::Database::open(o.file, jet::OpenOptions{.writable = true});
        long affected = jet::sql::execute(*db, o.statement, options);
        for (const auto& line : plan) std::cerr << "plan: " << line << "\n";
        writeOut(std::to_string(affected) + "\n");
        std::fflush(stdout);
        return;
    }
    auto db = jet::Database::open(o.file);
    jet::sql::ResultSet result = jet::sql::query(*db, o.statement, options);
    for (const auto& line : plan) std::cerr << "plan: " << line << "\n";
    writeRows(o, result);
    std::fflush(stdout);
}

void runSql(const SqlOptions& o) {
    try {
        runStatement(o);
    } catch (const jet::Error& e) {
        // Jet's number first, so a script can tell a duplicate key from a missing record.
        std::cerr << "error: [" << e.number() << "] " << e.what() << "\n";
        throw CLI::RuntimeError(1);
    }
}

}  // namespace

void registerSqlCommand(CLI::App& app) {
    auto o = std::make_shared<SqlOptions>();
    auto* cmd = app.add_subcommand(
        "sql",
        "Run a Jet SQL statement on a database: a SELECT prints each row as one JSON object per "
        "line (--csv: CSV, --table: an aligned table, each after a header line of the column "
        "names); an INSERT, UPDATE or DELETE changes the file and prints the number of rows "
        "affected. Errors print as 'error: [N] MESSAGE' with Jet's error number N. Jet SQL: "
        "SELECT [DISTINCT] [TOP n [PERCENT]], table aliases, INNER/LEFT/RIGHT JOIN, WHERE with "
        "= <> < > <= >=, AND, OR, NOT, IS [NOT] NULL, [NOT] LIKE (* ? # [..] [!..] % _), "
        "[NOT] IN (list or SELECT), [NOT] BETWEEN, EXISTS (SELECT), GROUP BY with COUNT, SUM, "
        "MIN, MAX, AVG and HAVING, ORDER BY columns, aliases, ordinals or aggregates, UNION "
        "[ALL]; + - * / \\ Mod ^ &; Len, Left, Right, Mid, InStr, UCase, LCase, Trim, Nz, IIf, "
        "IsNull, CStr, CLng, Format, Now, Date; #29-Feb-2024# dates; INSERT INTO t [(cols)] "
        "VALUES (...) or SELECT ..., UPDATE ... SET ... [WHERE], DELETE FROM ... [WHERE]");
    cmd->add_option("FILE", o->file, "Access database (.mdb)")->required();
    cmd->add_option("STATEMENT", o->statement, "SQL statement, e.g. \"SELECT * FROM Table1\"")
        ->required();
    cmd->add_flag("--plan", o->plan,
                  "Print how each table was read (index or scan), and the index whose order an "
                  "ORDER BY takes, to stderr");
    auto* csv = cmd->add_flag("--csv", o->csv,
                              "Print a SELECT's rows as CSV (RFC 4180, CRLF line ends) after a "
                              "header line of the column names");
    auto* table = cmd->add_flag("--table", o->table,
                                "Print a SELECT's rows as an aligned text table under a header "
                                "line of the column names");
    csv->excludes(table);
    cmd->callback([o] { runSql(*o); });
}

}  // namespace tdv::cli
