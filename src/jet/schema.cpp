#include "jet/schema.h"

#include "base/text.h"

namespace jet {
bool namesEqual(std::string_view a, std::string_view b) {
    return tdv::base::equalsIgnoringCase(a, b);
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
