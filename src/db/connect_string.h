// Connection strings of the form "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<path>".
#pragma once

#include <string>
#include <string_view>

namespace tdv::db {

inline constexpr std::string_view kJetProvider = "Microsoft.Jet.OLEDB.4.0";

std::string makeConnectString(const std::string& path);

// The Data Source of a connection string. Keys are matched without regard to case; the
// value runs to the next ';' (a path holding ';' may be double-quoted). Throws
// std::invalid_argument when there is no Data Source or the provider is not Jet.
std::string dataSourceOf(std::string_view connectString);

}  // namespace tdv::db
