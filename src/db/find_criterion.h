// The criteria Recordset::Find accepts: "Column = 'text'" (a quote inside the text is
// doubled, the column name may be bracketed) or "Column = number". Anything else raises
// error 3001, as the recordset reports arguments it cannot use.
#pragma once

#include <string>
#include <string_view>

namespace tdv::db {

struct FindCriterion {
    std::string column;
    std::string literal;  // the text between the quotes (quotes undoubled) or the number
    bool quoted = false;
};

FindCriterion parseFindCriterion(std::string_view text);

}  // namespace tdv::db
