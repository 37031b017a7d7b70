#include "main_state/common_values.h"

#include "base/text.h"
#include "db/ado_types.h"
#include "main_state/code_page.h"

namespace tdv::app {

namespace {

bool isLineControl(char c) {
    return c == '\t' || c == '\n' || c == '\r';
}

// The ADO types of character text, the values that newer products store as UTF-8 bytes.
bool isCharacterTextType(int adoType) {
    switch (adoType) {
        case db::adBSTR:
        case db::adVarChar:
        case db::adLongVarChar:
        case db::adVarWChar:
        case db::adLongVarWChar:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string strGetFieldText(const db::Recordset& rs, std::string_view name,
                            const backup::AppState& state) {
    try {
        const db::Field field = rs.Fields(name);
        const db::Variant value = field.Value();
        if (value.isNull()) return {};
        if (state.bIsQuorin7OrLater && isCharacterTextType(field.Type())) {
            return strRepairUTF8Text(value.toText());
        }
        return base::trimSpaces(value.toText());
    } catch (...) {
        // A missing field or a value that cannot be shown reads as empty text: the callers
        // put the result straight into grids and report lines.
        return {};
    }
}

std::string strFixQuotesForSQL(const std::string& text) {
    // Every apostrophe is doubled, also one already followed by another: the value then
    // reads back from the literal exactly as it was.
    if (text.empty()) return {};
    return base::trimSpaces(base::doubledApostrophes(text));
}

std::string sqlQuoted(const std::string& text) {
    return "'" + base::doubledApostrophes(text) + "'";
}

std::string strRemoveControlChars(std::string& text, bool bLeadingOnly) {
    text = base::trimSpaces(text);
    if (text.empty()) return {};
    if (bLeadingOnly) {
        for (size_t i = 0; i < text.size(); ++i) {
            if (!isLineControl(text[i])) return text.substr(i);
        }
        return {};
    }
    std::string copy;
    copy.reserve(text.size());
    for (char c : text) {
        if (!isLineControl(c)) copy += c;
    }
    // Only TAB/LF/CR/NUL are cut from the end; a copy holding nothing but NULs stays as it is.
    for (size_t i = copy.size(); i > 0; --i) {
        const char c = copy[i - 1];
        if (!isLineControl(c) && c != '\0') return copy.substr(0, i);
    }
    return copy;
}

std::string strUnicodeToUTF8Text(const std::string& text) {
    if (text.empty()) return {};
    std::string bytes = strUnicodeToMultiByte(text, 65001);
    std::string asChars = strMultiByteToUnicode(bytes, 0);
    return strRemoveControlChars(asChars, false);
}

std::string strRepairUTF8Text(const std::string& text) {
    if (text.empty()) return {};
    return strMultiByteToUnicode(strUnicodeToMultiByte(text, 0), 65001);
}

}  // namespace tdv::app
