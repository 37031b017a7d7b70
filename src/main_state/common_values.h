// The common value helpers (module modCommon): field values as text, SQL quoting, control
// characters, language names, and the UTF-8 repair of newer-product text.
//
// Text is UTF-8 in the program. The "system ANSI code page" is Windows-1252 (code_page.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "backup/app_state.h"
#include "db/recordset.h"

namespace tdv::app {

// The field of the current record as text: "" for Null or a missing field; trimmed text of
// the value, except for the text types of a newer-product 7.x backup
// (state.bIsQuorin7OrLater), which are repaired from UTF-8 and not trimmed. Never throws.
std::string strGetFieldText(const db::Recordset& rs, std::string_view name,
                            const backup::AppState& state);
// Doubles every single quote ("''" becomes "''''") and trims spaces.
std::string strFixQuotesForSQL(const std::string& text);
// The text as a Jet SQL literal: in apostrophes, each apostrophe doubled, nothing trimmed, so
// a value read from a backup reaches a statement exactly as it was.
std::string sqlQuoted(const std::string& text);
// Trims text in place, then removes TAB/LF/CR: leading ones only, or all (and trailing NULs).
std::string strRemoveControlChars(std::string& text, bool bLeadingOnly);
// "English (TDD/TTY)" for 33801, the language's name (ICU) otherwise, "(error)" when unknown.
std::string strLanguageName(int32_t languageId);
// "ENX" for 33801, the three-letter Windows abbreviation (ENU, DEU, FRA...), "ERR" when unknown.
std::string strLanguageAbbreviation(int32_t localeId);
// The text's UTF-8 bytes, one character per byte, control characters removed.
std::string strUnicodeToUTF8Text(const std::string& text);
// Text whose characters are UTF-8 bytes read as Windows-1252, decoded again.
std::string strRepairUTF8Text(const std::string& text);

}  // namespace tdv::app
