#include "catalog/object_lookup.h"

#include <algorithm>

#include "db/recordset.h"
#include "main_state/common_values.h"

namespace tdv::catalog {

namespace {

// The table of a list type, its name columns as the list shows them (null: no such column)
// and the condition of its rows.
struct ListSource {
    const char* table;
    const char* alias;
    const char* displayName;
    const char* rows;
};

const ListSource* sourceOf(int type) {
    static const ListSource kSources[] = {
        {"Subscribers", "Alias", "DisplayName", nullptr},
        {"CallHandlers", "Alias", "TextName", "IsPrimary=0"},
        {"PublicDistributionLists", "Alias", "DisplayName", nullptr},
        {"Interviewers", "Alias", "DisplayName", nullptr},
        {"NameLookupHandlers", "Alias", "DisplayName", nullptr},
        {"Schedules", nullptr, "DisplayName", nullptr},
    };
    if (type < app::kSubscribers || type > app::kSchedules) return nullptr;
    return &kSources[type];
}

// Rows where `column` equals the name (Jet's comparison, which ignores case); those whose
// cell satisfies `same` add their ObjectID. The ObjectID cell is the value's text, every
// other cell the field's text as the list writes it.
void collect(app::FrmMain& form, const ListSource& source, const char* column,
             const std::string& name, const std::function<bool(const std::string&)>& same,
             std::vector<std::string>& ids) {
    std::string sql = "SELECT ObjectID, " + std::string(column) + " FROM " + source.table +
                      " WHERE " + column + "='" + app::strFixQuotesForSQL(name) + "'";
    if (source.rows) sql += std::string(" AND ") + source.rows;
    auto rs = form.state.newRecordset();
    rs.Open(sql, form.state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
    const bool isId = std::string_view(column) == "ObjectID";
    for (; !rs.Eof(); rs.MoveNext()) {
        const std::string cell =
            isId ? rs("ObjectID").Value().toText() : app::strGetFieldText(rs, column, form.state);
        if (!same(cell)) continue;
        std::string id = rs("ObjectID").Value().toText();
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(std::move(id));
    }
    rs.Close();
}

}  // namespace

ObjectLookup findObjects(app::FrmMain& form, int type, const std::string& name,
                         const std::function<bool(const std::string& cell)>& same) {
    ObjectLookup out;
    const ListSource* source = sourceOf(type);
    if (!source) return out;
    try {
        collect(form, *source, "ObjectID", name, same, out.objectIds);
        if (out.objectIds.empty()) {
            for (const char* column : {source->alias, source->displayName}) {
                if (column) collect(form, *source, column, name, same, out.objectIds);
            }
        }
        out.answered = true;
    } catch (...) {
        out.objectIds.clear();
    }
    return out;
}

}  // namespace tdv::catalog
