// Engine values as JSON, for `tdv dump` and `tdv sql`.
//
// One row is one JSON object, keys in column order. Null -> null; Boolean -> true/false;
// Byte, Integer, Long -> numbers; Single and Double -> the shortest number that reads back
// to the same value (non-finite values, which JSON cannot express, as the strings "NaN",
// "Infinity", "-Infinity"); Currency -> "3.5000"; Decimal -> "-12.340"; Date/Time ->
// "YYYY-MM-DDTHH:MM:SS[.fff]"; GUID -> "{XXXXXXXX-...}"; Text -> a JSON string (control
// characters escaped, output always valid UTF-8); Binary and OLE -> {"hex": "..."}.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/utf8.h"
#include "jet/value.h"

namespace tdv::cli {

// Appends s as a quoted JSON string. Invalid UTF-8 bytes become U+FFFD.
void appendJsonString(std::string& out, std::string_view s);
// Whether s is valid UTF-8 throughout. For valid text appendJsonString writes exactly what
// nlohmann::json's compact dump writes.
using base::isValidUtf8;
// Appends one value in the form described above.
void appendJsonValue(std::string& out, const jet::Value& v);
// Appends {"name": value, ...} followed by a newline.
void writeJsonRow(std::string& out, const std::vector<std::string>& names,
                  const std::vector<jet::Value>& values);

// Writes many rows of the same columns: each column's quoted name (with the comma and colon
// around it) is made once, not once per row.
class JsonRowWriter {
public:
    explicit JsonRowWriter(const std::vector<std::string>& names);
    // The same output as writeJsonRow with the names given to the constructor.
    void write(std::string& out, const std::vector<jet::Value>& values) const;

private:
    std::vector<std::string> keys_;  // {"name":  then  ,"name":
};

}  // namespace tdv::cli
