#include "jet/schema.h"

namespace jet {
bool namesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::optional<size_t> TableDef::findColumn(std::string_view name) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (namesEqual(columns[i].name, name)) return i;
    return std::nullopt;
}

const IndexDef* TableDef::findIndex(std::string_view name) const {
    for (const auto& ix : indexes)
        if (namesEqual(ix.name, name)) return &ix;
    return nullptr;
}

}  // namespace jet
