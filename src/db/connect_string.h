// Connection strings of the form "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<path>".
//
// A path is carried exactly: one that could split or lose characters when parsed back (it
// holds ';' or a quote, or starts or ends with white space) is written in double quotes with
// each '"' doubled, so that dataSourceOf(makeConnectString(p)) == p for every path.
#pragma once

#include <string>
#include <string_view>

namespace tdv::db {

inline constexpr std::string_view kJetProvider = "Microsoft.Jet.OLEDB.4.0";

std::string makeConnectString(const std::string& path);

// The Data Source of a connection string. Keys are matched without regard to case. A value
// in double or single quotes runs to the closing quote (a doubled quote stands for one);
// an unquoted value runs to the next ';' and is trimmed. Throws std::invalid_argument when
// there is no Data Source, a quote is not closed, or the provider is not Jet.
std::string dataSourceOf(std::string_view connectString);

}  // namespace tdv::db
