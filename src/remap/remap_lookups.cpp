#include "remap/remap_lookups.h"

#include <bit>
#include <cstring>

#include "base/text.h"
#include "db/ado_types.h"
#include "db/db_error.h"
#include "db/vb_text.h"
#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/text_key.h"
#include "main_state/common_values.h"

namespace tdv::remap {

namespace {

// GUID keys are looked up by their text like the text columns.
bool isTextKeyType(int adoType) {
    switch (adoType) {
        case db::adBSTR:
        case db::adVarChar:
        case db::adLongVarChar:
        case db::adVarWChar:
        case db::adLongVarWChar:
        case db::adGUID:
            return true;
        default:
            return false;
    }
}

// The key of a number: its bits, so that only equal values meet (0 and -0 made one).
std::string numberKey(double d) {
    if (d == 0) d = 0;
    const auto bits = std::bit_cast<uint64_t>(d);
    std::string key(sizeof bits, '\0');
    std::memcpy(key.data(), &bits, sizeof bits);
    return key;
}

char16_t foldUnit(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
    return c;
}

}  // namespace

std::string lookupTextKey(std::string_view text, jet::JetVersion version) {
    try {
        const jet::Bytes key = jet::encodeTextKey(text, version);
        std::string out = "K";
        out.append(reinterpret_cast<const char*>(key.data()), key.size());
        return out;
    } catch (const jet::Error&) {
        // A character the sort order has no code for: Jet's comparison then compares the
        // case-folded characters, and so does the key.
        std::string out = "F";
        for (char16_t u : jet::utf8ToUtf16(text)) {
            const char16_t f = foldUnit(u);
            out += static_cast<char>(f >> 8);
            out += static_cast<char>(f & 0xFF);
        }
        return out;
    }
}

LookupTable::LookupTable(db::Recordset& rs, const std::vector<std::string>& shown,
                         const std::vector<std::string>& searched, const backup::AppState& state)
    : shownNames_(shown) {
    if (auto database = rs.Database()) version_ = database->info().version;

    const db::FieldList fields = rs.Fields();
    std::vector<std::optional<db::Field>> keyFields;
    for (const std::string& column : searched) {
        Index index;
        std::optional<db::Field> field;
        for (long i = 0; i < fields.Count(); ++i) {
            if (base::equalsIgnoringCase(fields.Item(i).Name(), column)) {
                field = fields.Item(i);
                break;
            }
        }
        index.missing = !field.has_value();
        if (field) index.text = isTextKeyType(field->Type());
        keyFields.push_back(field);
        indexes_.emplace_back(column, std::move(index));
    }

    if (rs.RecordCount() == 0) return;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        std::vector<std::string> texts;
        texts.reserve(shown.size());
        for (const std::string& name : shown)
            texts.push_back(app::strGetFieldText(rs, name, state));
        shown_.push_back(std::move(texts));
        for (size_t k = 0; k < keyFields.size(); ++k) {
            if (!keyFields[k]) continue;
            const db::Variant value = keyFields[k]->Value();
            if (value.isNull()) continue;  // Null never equals a value
            Index& index = indexes_[k].second;
            std::string key;
            if (index.text) {
                key = lookupTextKey(value.toText(), version_);
            } else if (value.isNumeric()) {
                key = numberKey(value.toDouble());
            } else {
                continue;
            }
            index.first.emplace(std::move(key), rowCount_);  // the first record keeps it
        }
        ++rowCount_;
    }
    rs.MoveFirst();
}

const LookupTable::Index* LookupTable::indexOf(std::string_view column) const {
    for (const auto& [name, index] : indexes_) {
        if (base::equalsIgnoringCase(name, column)) return &index;
    }
    return nullptr;
}

std::optional<size_t> LookupTable::findFirst(std::string_view column,
                                             std::string_view value) const {
    const Index* index = indexOf(column);
    if (index == nullptr || index->missing) throw db::itemNotFoundError();
    std::string key;
    if (index->text) {
        key = lookupTextKey(value, version_);
    } else {
        const auto number = db::vbParseNumber(value);
        if (!number) throw db::badArgumentsError();
        key = numberKey(*number);
    }
    const auto it = index->first.find(key);
    if (it == index->first.end()) return std::nullopt;
    return it->second;
}

const std::string& LookupTable::text(size_t row, std::string_view field) const {
    static const std::string kEmpty;
    if (row >= shown_.size()) return kEmpty;
    for (size_t i = 0; i < shownNames_.size(); ++i) {
        if (base::equalsIgnoringCase(shownNames_[i], field)) return shown_[row][i];
    }
    return kEmpty;
}

}  // namespace tdv::remap
