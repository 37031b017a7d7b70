// Whether the oracle readers (mdb-export through mdbexport_dump.py, mdb-reader through
// mdbreader_dump.mjs) read a written table exactly as the model holds it, value by value,
// under the comparison rules and known oracle limitations of oracle/oracle_compare.h.
//
// Rows are matched as a multiset: the oracles list rows in page order (an overflowed row
// where its body lies), the model by row address.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/json_values.h"
#include "oracle/oracle_compare.h"
#include "table_write_model.h"

namespace tablewrite_test {

using tdv::oracle::Json;
using tdv::oracle::Oracle;

inline bool haveOracles() {
    static const bool ok =
        tdv::test::runCommand("mdb-export --version && python3 --version && node --version")
                .status == 0 &&
        fs::exists(std::string(TDV_SOURCE_DIR) + "/tests/oracle/node_modules/mdb-reader");
    return ok;
}

// "model X, oracle Y", for long strings the lengths and the first place they differ.
inline std::string describeDifference(const Json& a, const Json& b) {
    if (a.is_string() && b.is_string()) {
        auto x = tdv::oracle::codePoints(a.get_ref<const std::string&>());
        auto y = tdv::oracle::codePoints(b.get_ref<const std::string&>());
        size_t i = 0;
        while (i < x.size() && i < y.size() && x[i] == y[i]) ++i;
        // Up to 30 characters from 5 before the difference, as UTF-8.
        auto around = [&](const std::vector<char32_t>& cps) {
            std::string out;
            for (size_t k = i > 5 ? i - 5 : 0; k < cps.size() && k < i + 25; ++k) {
                const char32_t c = cps[k];
                if (c < 0x80) {
                    out += static_cast<char>(c);
                } else if (c < 0x800) {
                    out += static_cast<char>(0xC0 | (c >> 6));
                    out += static_cast<char>(0x80 | (c & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (c >> 12));
                    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (c & 0x3F));
                }
            }
            return Json(out).dump();
        };
        return "model " + std::to_string(x.size()) + " characters, oracle " +
               std::to_string(y.size()) + ", first difference at " + std::to_string(i) +
               ": model " + around(x) + ", oracle " + around(y);
    }
    return "model " + a.dump().substr(0, 160) + ", oracle " + b.dump().substr(0, 160);
}

// Each disagreement between the oracle's rows and the model (empty: they agree); known
// limitations used are counted in `quirks`.
inline std::vector<std::string> oracleDifferences(Oracle oracle, const fs::path& file,
                                                  const TableDef& t, const ModelRows& model,
                                                  std::map<std::string, size_t>& quirks) {
    const std::string dir = std::string(TDV_SOURCE_DIR) + "/tests/oracle/";
    const std::string command =
        (oracle == Oracle::MdbReader ? "node " + dir + "mdbreader_dump.mjs "
                                     : "python3 " + dir + "mdbexport_dump.py ") +
        tdv::test::shellQuote(file.string()) + " " + tdv::test::shellQuote(t.name);
    auto r = tdv::test::runCommand(command);
    if (r.status != 0) return {command + " failed: " + r.err};

    std::vector<std::string> names;
    for (const ColumnDef& c : t.columns) names.push_back(c.name);
    std::vector<Json> ours;
    for (const auto& [id, row] : model) {
        std::string line;
        tdv::cli::writeJsonRow(line, names, row);
        ours.push_back(Json::parse(line));
    }
    std::vector<Json> theirs;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        try {
            theirs.push_back(Json::parse(line));
        } catch (const std::exception& e) {
            return {std::string("unparsable oracle line: ") + e.what()};
        }
    }

    std::vector<std::string> out;
    if (ours.size() != theirs.size())
        out.push_back("model has " + std::to_string(ours.size()) + " rows, oracle " +
                      std::to_string(theirs.size()));
    // Whether oracle row b reads as model row a (quirks used are added to `used`).
    auto agrees = [&](const Json& a, const Json& b, std::map<std::string, size_t>& used) {
        for (size_t c = 0; c < names.size(); ++c) {
            if (!b.contains(names[c])) return false;
            const Json& va = a[names[c]];
            const Json& vb = b[names[c]];
            if (tdv::oracle::sameValue(t.columns[c].type, va, vb)) continue;
            const auto* q = tdv::oracle::explainDifference(oracle, t.columns[c].type, va, vb);
            if (!q) return false;
            ++used[q->name];
        }
        return true;
    };
    // The columns in which the oracle row closest to model row a differs from it.
    auto closestDifference = [&](const Json& a) {
        std::string best = "no oracle row";
        size_t bestCount = names.size() + 1;
        for (const Json& b : theirs) {
            std::string diff;
            size_t count = 0;
            for (size_t c = 0; c < names.size(); ++c) {
                std::map<std::string, size_t> unused;
                Json one = Json::object(), other = Json::object();
                one[names[c]] = a[names[c]];
                other[names[c]] = b.contains(names[c]) ? b[names[c]] : Json();
                const ColumnType type = t.columns[c].type;
                if (tdv::oracle::sameValue(type, one[names[c]], other[names[c]]) ||
                    tdv::oracle::explainDifference(oracle, type, one[names[c]], other[names[c]]))
                    continue;
                ++count;
                diff += "\n  column " + names[c] + ": " +
                        describeDifference(one[names[c]], other[names[c]]);
            }
            if (count < bestCount) {
                bestCount = count;
                best = diff;
            }
        }
        return "no oracle row reads as the model's row " + a[names[0]].dump() + best;
    };
    std::vector<bool> taken(theirs.size(), false);
    size_t unmatched = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
        bool found = false;
        // The oracle's row at the same position first: usually the order is the same.
        for (size_t k = 0; k < theirs.size() && !found; ++k) {
            const size_t j = (i + k) % theirs.size();
            if (taken[j]) continue;
            std::map<std::string, size_t> used;
            if (!agrees(ours[i], theirs[j], used)) continue;
            taken[j] = true;
            found = true;
            for (const auto& [name, n] : used) quirks[name] += n;
        }
        if (!found && ++unmatched <= 5) out.push_back(closestDifference(ours[i]));
    }
    if (unmatched > 5) out.push_back(std::to_string(unmatched - 5) + " more rows unmatched");
    return out;
}

// Both oracles read every table of `tables` as the model holds it.
inline void expectOraclesReadTheModel(const fs::path& file,
                                      const std::map<std::string, ModelRows>& tables) {
    auto db = Database::open(file.string());
    for (Oracle o : {Oracle::MdbExport, Oracle::MdbReader}) {
        for (const auto& [name, rows] : tables) {
            std::map<std::string, size_t> quirks;
            auto diffs = oracleDifferences(o, file, db->table(name), rows, quirks);
            for (const auto& d : diffs)
                ADD_FAILURE() << tdv::oracle::oracleName(o) << " table " << name << ": " << d;
            std::string used;
            for (const auto& [q, n] : quirks) used += " " + q + " x" + std::to_string(n);
            std::cout << "[oracle] " << tdv::oracle::oracleName(o) << " " << name << ": "
                      << rows.size() << " rows" << (used.empty() ? "" : ";" + used) << "\n";
        }
    }
}

}  // namespace tablewrite_test
