// tdv create-db DESCRIPTION.json OUT.mdb: a new Access 2000 database with the tables and
// rows a JSON description gives (used to make test and sample databases).
//
// {"format": "jet4", "tables": [{"name": ..., "columns": [{"name", "type", "size",
//  "precision", "scale"}], "indexes": [{"name", "columns": ["A", {"column": "B",
//  "descending": true}], "primary", "unique", "ignoreNulls"}], "rows": [{"A": value}]}]}
// Values are written as `tdv dump` prints them; binary also as {"base64": ...}.
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "base/guid.h"
#include "base/ole_date.h"
#include "base/text.h"
#include "cli/commands.h"
#include "jet/create_db.h"
#include "jet/error.h"

namespace tdv::cli {
namespace {

using nlohmann::json;

[[noreturn]] void bad(const std::string& what) {
    throw jet::Error(jet::ErrorKind::Type, jet::errnum::kType, "Bad database description: " + what);
}

jet::ColumnType parseType(const std::string& name, const std::string& where) {
    const std::string n = base::asciiLower(name);
    static const std::pair<const char*, jet::ColumnType> kTypes[] = {
        {"boolean", jet::ColumnType::Boolean},   {"byte", jet::ColumnType::Byte},
        {"integer", jet::ColumnType::Integer},   {"long", jet::ColumnType::Long},
        {"currency", jet::ColumnType::Currency}, {"single", jet::ColumnType::Single},
        {"double", jet::ColumnType::Double},     {"datetime", jet::ColumnType::DateTime},
        {"text", jet::ColumnType::Text},         {"memo", jet::ColumnType::Memo},
        {"binary", jet::ColumnType::Binary},     {"ole", jet::ColumnType::OLE},
        {"guid", jet::ColumnType::Guid},         {"decimal", jet::ColumnType::Decimal},
    };
    for (auto [key, type] : kTypes)
        if (n == key) return type;
    bad(where + ": unknown type '" + name + "'");
}

jet::Bytes parseHex(const std::string& s, const std::string& where) {
    if (s.size() % 2) bad(where + ": odd number of hex digits");
    jet::Bytes out;
    for (size_t i = 0; i < s.size(); i += 2) {
        int hi = base::hexDigitValue(s[i]), lo = base::hexDigitValue(s[i + 1]);
        if (hi < 0 || lo < 0) bad(where + ": '" + s + "' is not hex");
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return out;
}

jet::Bytes parseBase64(const std::string& s, const std::string& where) {
    static const std::string kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    jet::Bytes out;
    uint32_t acc = 0;
    int bits = 0;
    for (char c : s) {
        if (c == '=') break;
        size_t v = kAlphabet.find(c);
        if (v == std::string::npos) bad(where + ": invalid base64");
        acc = (acc << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<uint8_t>(acc >> bits));
        }
    }
    return out;
}

// "[-]digits[.digits]" as an integer of all digits and the number of fraction digits.
struct DecimalText {
    bool negative = false;
    std::string digits;
    size_t fraction = 0;
};

DecimalText splitDecimal(const json& v, const std::string& where) {
    std::string s;
    if (v.is_string()) {
        s = v.get<std::string>();
    } else if (v.is_number_integer()) {
        s = v.dump();
    } else if (v.is_number()) {
        std::ostringstream o;
        o.precision(15);
        o << v.get<double>();
        s = o.str();
        if (s.find('e') != std::string::npos) bad(where + ": give this number as a string");
    } else {
        bad(where + ": expected a number or a numeric string");
    }
    DecimalText d;
    size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) d.negative = s[i++] == '-';
    bool point = false;
    for (; i < s.size(); ++i) {
        if (s[i] == '.' && !point) {
            point = true;
        } else if (std::isdigit(static_cast<unsigned char>(s[i]))) {
            d.digits += s[i];
            if (point) ++d.fraction;
        } else {
            bad(where + ": '" + s + "' is not a number");
        }
    }
    if (d.digits.empty()) bad(where + ": '" + s + "' is not a number");
    return d;
}

jet::Value parseCurrency(const json& v, const std::string& where) {
    DecimalText d = splitDecimal(v, where);
    if (d.fraction > 4) bad(where + ": a Currency value has at most 4 decimals");
    d.digits.append(4 - d.fraction, '0');
    if (d.digits.size() > 19) bad(where + ": Currency value out of range");
    errno = 0;
    unsigned long long u = std::strtoull(d.digits.c_str(), nullptr, 10);
    if (errno || u > static_cast<unsigned long long>(INT64_MAX))
        bad(where + ": Currency value out of range");
    int64_t scaled = static_cast<int64_t>(u);
    return jet::Value(jet::Value::Storage(jet::Currency{d.negative ? -scaled : scaled}));
}

jet::Value parseDecimal(const json& v, const jet::NewColumn& c, const std::string& where) {
    DecimalText d = splitDecimal(v, where);
    if (d.fraction > c.scale)
        bad(where + ": more decimals than the column's scale (" + std::to_string(c.scale) + ")");
    d.digits.append(c.scale - d.fraction, '0');
    size_t first = d.digits.find_first_not_of('0');
    std::string significant = first == std::string::npos ? "" : d.digits.substr(first);
    if (significant.size() > c.precision)
        bad(where + ": more digits than the column's precision (" + std::to_string(c.precision) +
            ")");
    jet::Decimal out;
    out.negative = d.negative && !significant.empty();
    out.precision = c.precision;
    out.scale = c.scale;
    for (char ch : significant) {  // mantissa = mantissa * 10 + digit, 96 bits
        uint64_t carry = static_cast<uint64_t>(ch - '0');
        for (uint32_t& word : out.mantissa) {
            uint64_t x = uint64_t{word} * 10 + carry;
            word = static_cast<uint32_t>(x);
            carry = x >> 32;
        }
    }
    return jet::Value(jet::Value::Storage(out));
}

jet::Value parseDate(const json& v, const std::string& where) {
    if (!v.is_string()) bad(where + ": expected a date \"YYYY-MM-DDTHH:MM:SS[.fff]\"");
    std::string s = v.get<std::string>();
    int y, mo, d, h = 0, mi = 0, sec = 0, ms = 0, n = 0;
    char t = 'T';
    int got =
        std::sscanf(s.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &y, &mo, &d, &t, &h, &mi, &sec, &n);
    if (got == 3 && s.size() == 10) {
        n = 10;
    } else if (got != 7 || (t != 'T' && t != ' ')) {
        bad(where + ": '" + s + "' is not a date \"YYYY-MM-DDTHH:MM:SS[.fff]\"");
    }
    if (static_cast<size_t>(n) < s.size()) {
        if (s[static_cast<size_t>(n)] != '.' || s.size() - static_cast<size_t>(n) != 4 ||
            std::sscanf(s.c_str() + n + 1, "%3d", &ms) != 1)
            bad(where + ": '" + s + "' is not a date \"YYYY-MM-DDTHH:MM:SS[.fff]\"");
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 59 || y < 100)
        bad(where + ": '" + s + "' is not a valid date");
    int64_t day = base::daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) +
                  base::kOleEpochToUnixDays;
    double frac = ((h * 60.0 + mi) * 60.0 + sec + ms / 1000.0) / 86400.0;
    // Before 1899-12-30 the whole days count backwards but the time of day forwards.
    double days = day >= 0 ? static_cast<double>(day) + frac : static_cast<double>(day) - frac;
    return jet::Value(jet::Value::Storage(jet::DateTime{days}));
}

jet::Value parseGuid(const json& v, const std::string& where) {
    std::string s = v.is_string() ? v.get<std::string>() : "";
    std::string hex;
    for (char c : s)
        if (c != '{' && c != '}' && c != '-') hex += c;
    if (hex.size() != 32)
        bad(where + ": expected a GUID \"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}\"");
    const auto g = base::guidFromHexDigits(hex);
    if (!g) bad(where + ": '" + hex + "' is not hex");
    return jet::Value(jet::Value::Storage(jet::Guid{*g}));
}

jet::Value parseValue(const json& v, const jet::NewColumn& c, const std::string& where) {
    using CT = jet::ColumnType;
    if (v.is_null()) return jet::Value::null();
    switch (c.type) {
        case CT::Boolean:
            if (!v.is_boolean()) bad(where + ": expected true or false");
            return jet::Value(jet::Value::Storage(v.get<bool>()));
        case CT::Byte:
        case CT::Integer:
        case CT::Long:
            if (!v.is_number_integer()) bad(where + ": expected a whole number");
            if (v.get<int64_t>() < INT32_MIN || v.get<int64_t>() > INT32_MAX)
                bad(where + ": " + v.dump() + " is out of range");
            return jet::Value(jet::Value::Storage(static_cast<int32_t>(v.get<int64_t>())));
        case CT::Currency:
            return parseCurrency(v, where);
        case CT::Single:
        case CT::Double:
            if (v.is_number()) return jet::Value(jet::Value::Storage(v.get<double>()));
            if (v == "NaN") return jet::Value(jet::Value::Storage(std::nan("")));
            if (v == "Infinity") return jet::Value(jet::Value::Storage(HUGE_VAL));
            if (v == "-Infinity") return jet::Value(jet::Value::Storage(-HUGE_VAL));
            bad(where + ": expected a number");
        case CT::DateTime:
            return parseDate(v, where);
        case CT::Text:
        case CT::Memo:
            if (!v.is_string()) bad(where + ": expected a string");
            return jet::Value::text(v.get<std::string>());
        case CT::Binary:
        case CT::OLE:
            if (v.is_object() && v.contains("hex") && v["hex"].is_string())
                return jet::Value(
                    jet::Value::Storage(parseHex(v["hex"].get<std::string>(), where)));
            if (v.is_object() && v.contains("base64") && v["base64"].is_string())
                return jet::Value(
                    jet::Value::Storage(parseBase64(v["base64"].get<std::string>(), where)));
            bad(where + ": expected {\"hex\": ...} or {\"base64\": ...}");
        case CT::Guid:
            return parseGuid(v, where);
        case CT::Decimal:
            return parseDecimal(v, c, where);
    }
    bad(where + ": unknown column type");
}

std::string stringField(const json& o, const char* key, const std::string& where) {
    if (!o.is_object() || !o.contains(key) || !o[key].is_string())
        bad(where + ": \"" + key + "\" must be a string");
    return o[key].get<std::string>();
}

bool boolField(const json& o, const char* key, const std::string& where) {
    if (!o.contains(key)) return false;
    if (!o[key].is_boolean()) bad(where + ": \"" + key + "\" must be true or false");
    return o[key].get<bool>();
}

jet::NewTableWithRows parseTable(const json& t, size_t number) {
    jet::NewTableWithRows out;
    std::string where = "table " + std::to_string(number + 1);
    out.table.name = stringField(t, "name", where);
    where = "table '" + out.table.name + "'";
    if (!t.contains("columns") || !t["columns"].is_array())
        bad(where + ": \"columns\" must be a list");
    for (const json& c : t["columns"]) {
        jet::NewColumn col;
        col.name = stringField(c, "name", where + ", a column");
        std::string cw = where + ", column '" + col.name + "'";
        col.type = parseType(stringField(c, "type", cw), cw);
        auto number = [&](const char* key, uint32_t max) -> uint32_t {
            if (!c.contains(key)) return 0;
            if (!c[key].is_number_unsigned() || c[key].get<uint64_t>() > max)
                bad(cw + ": \"" + key + "\" must be a whole number from 0 to " +
                    std::to_string(max));
            return static_cast<uint32_t>(c[key].get<uint64_t>());
        };
        col.size = number("size", 65535);
        if (c.contains("precision")) col.precision = static_cast<uint8_t>(number("precision", 255));
        col.scale = static_cast<uint8_t>(number("scale", 255));
        out.table.columns.push_back(col);
    }
    if (t.contains("indexes")) {
        if (!t["indexes"].is_array()) bad(where + ": \"indexes\" must be a list");
        for (const json& i : t["indexes"]) {
            jet::NewIndex ix;
            ix.name = stringField(i, "name", where + ", an index");
            std::string iw = where + ", index '" + ix.name + "'";
            if (!i.contains("columns") || !i["columns"].is_array())
                bad(iw + ": \"columns\" must be a list");
            for (const json& c : i["columns"]) {
                if (c.is_string()) {
                    ix.columns.push_back({c.get<std::string>(), true});
                } else {
                    ix.columns.push_back(
                        {stringField(c, "column", iw), !boolField(c, "descending", iw)});
                }
            }
            ix.primaryKey = boolField(i, "primary", iw);
            ix.unique = boolField(i, "unique", iw);
            ix.ignoreNulls = boolField(i, "ignoreNulls", iw);
            out.table.indexes.push_back(ix);
        }
    }
    if (t.contains("rows")) {
        if (!t["rows"].is_array()) bad(where + ": \"rows\" must be a list");
        size_t r = 0;
        for (const json& row : t["rows"]) {
            ++r;
            std::string rw = where + ", row " + std::to_string(r);
            if (!row.is_object()) bad(rw + ": a row must be an object");
            std::vector<jet::Value> values(out.table.columns.size());
            for (auto it = row.begin(); it != row.end(); ++it) {
                size_t k = 0;
                while (k < out.table.columns.size() &&
                       !jet::namesEqual(out.table.columns[k].name, it.key()))
                    ++k;
                if (k == out.table.columns.size())
                    bad(rw + ": there is no column '" + it.key() + "'");
                values[k] = parseValue(it.value(), out.table.columns[k],
                                       rw + ", column '" + out.table.columns[k].name + "'");
            }
            out.rows.push_back(std::move(values));
        }
    }
    return out;
}

jet::NewDatabase parseDescription(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw jet::Error(jet::ErrorKind::Io, jet::errnum::kIo, "Cannot read '" + path + "'");
    json desc;
    try {
        desc = json::parse(in);
    } catch (const json::exception& e) {
        bad(path + " is not valid JSON: " + e.what());
    }
    if (!desc.is_object()) bad("the description must be a JSON object");
    std::string format = desc.value("format", "jet4");
    if (format != "jet4") bad("format '" + format + "' is not supported (only \"jet4\")");
    jet::NewDatabase db;
    if (desc.contains("tables")) {
        if (!desc["tables"].is_array()) bad("\"tables\" must be a list");
        for (size_t i = 0; i < desc["tables"].size(); ++i)
            db.tables.push_back(parseTable(desc["tables"][i], i));
    }
    return db;
}

}  // namespace

void registerCreateDbCommand(CLI::App& app) {
    auto descriptionPath = std::make_shared<std::string>();
    auto outPath = std::make_shared<std::string>();
    auto* cmd = app.add_subcommand(
        "create-db",
        "Create a new Access 2000 database with the tables and rows of a JSON description");
    cmd->add_option("DESCRIPTION.json", *descriptionPath, "JSON description of the tables and rows")
        ->required();
    cmd->add_option("OUT.mdb", *outPath, "The database file to create (must not exist)")
        ->required();
    cmd->callback([descriptionPath, outPath] {
        jet::createDatabase(*outPath, parseDescription(*descriptionPath));
    });
}

}  // namespace tdv::cli
