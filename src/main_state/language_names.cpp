// Language names for the reports and the three-letter abbreviations for greeting file names.
#include <unicode/uloc.h>
#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "main_state/common_values.h"

namespace tdv::app {

namespace {

// The servers' own TDD/TTY English, which no locale service knows.
constexpr int32_t kTddTtyEnglish = 33801;

struct Abbreviation {
    int32_t lcid;
    const char* abbreviation;
};

// Windows' abbreviated language names (LOCALE_SABBREVLANGNAME) of the locale IDs.
constexpr Abbreviation kAbbreviations[] = {
    {1025, "ARA"},  {1026, "BGR"},  {1027, "CAT"},  {1028, "CHT"},  {1029, "CSY"},  {1030, "DAN"},
    {1031, "DEU"},  {1032, "ELL"},  {1033, "ENU"},  {1034, "ESP"},  {1035, "FIN"},  {1036, "FRA"},
    {1037, "HEB"},  {1038, "HUN"},  {1039, "ISL"},  {1040, "ITA"},  {1041, "JPN"},  {1042, "KOR"},
    {1043, "NLD"},  {1044, "NOR"},  {1045, "PLK"},  {1046, "PTB"},  {1047, "RMC"},  {1048, "ROM"},
    {1049, "RUS"},  {1050, "HRV"},  {1051, "SKY"},  {1052, "SQI"},  {1053, "SVE"},  {1054, "THA"},
    {1055, "TRK"},  {1056, "URD"},  {1057, "IND"},  {1058, "UKR"},  {1059, "BEL"},  {1060, "SLV"},
    {1061, "ETI"},  {1062, "LVI"},  {1063, "LTH"},  {1064, "TAJ"},  {1065, "FAR"},  {1066, "VIT"},
    {1067, "HYE"},  {1068, "AZE"},  {1069, "EUQ"},  {1071, "MKI"},  {1074, "TSN"},  {1076, "XHO"},
    {1077, "ZUL"},  {1078, "AFK"},  {1079, "KAT"},  {1080, "FOS"},  {1081, "HIN"},  {1082, "MLT"},
    {1086, "MSL"},  {1087, "KKZ"},  {1088, "KYR"},  {1089, "SWK"},  {1091, "UZB"},  {1092, "TTT"},
    {1093, "BNG"},  {1094, "PAN"},  {1095, "GUJ"},  {1096, "ORI"},  {1097, "TAM"},  {1098, "TEL"},
    {1099, "KDI"},  {1100, "MYM"},  {1101, "ASM"},  {1102, "MAR"},  {1103, "SAN"},  {1104, "MON"},
    {1106, "CYM"},  {1107, "KHM"},  {1108, "LAO"},  {1110, "GLC"},  {1111, "KNK"},  {1114, "SYR"},
    {1121, "NEP"},  {1124, "FPO"},  {1125, "DIV"},  {1130, "YOR"},  {2049, "ARI"},  {2052, "CHS"},
    {2055, "DES"},  {2057, "ENG"},  {2058, "ESM"},  {2060, "FRB"},  {2064, "ITS"},  {2067, "NLB"},
    {2068, "NON"},  {2070, "PTG"},  {2074, "SRL"},  {2077, "SVF"},  {2092, "AZC"},  {2110, "MSB"},
    {2115, "UZC"},  {3073, "ARE"},  {3076, "ZHH"},  {3079, "DEA"},  {3081, "ENA"},  {3082, "ESN"},
    {3084, "FRC"},  {3098, "SRB"},  {4097, "ARL"},  {4100, "ZHI"},  {4103, "DEL"},  {4105, "ENC"},
    {4106, "ESG"},  {4108, "FRS"},  {5121, "ARG"},  {5124, "ZHM"},  {5127, "DEC"},  {5129, "ENZ"},
    {5130, "ESC"},  {5132, "FRL"},  {6145, "ARM"},  {6153, "ENI"},  {6154, "ESA"},  {6156, "FRM"},
    {7169, "ART"},  {7177, "ENS"},  {7178, "ESD"},  {8193, "ARO"},  {8201, "ENJ"},  {8202, "ESV"},
    {9217, "ARY"},  {9225, "ENB"},  {9226, "ESO"},  {10241, "ARS"}, {10249, "ENL"}, {10250, "ESR"},
    {11265, "ARJ"}, {11273, "ENT"}, {11274, "ESS"}, {12289, "ARB"}, {12297, "ENW"}, {12298, "ESF"},
    {13313, "ARK"}, {13321, "ENP"}, {13322, "ESL"}, {14337, "ARU"}, {14346, "ESY"}, {15361, "ARH"},
    {15370, "ESZ"}, {16385, "ARQ"}, {16393, "ENN"}, {16394, "ESB"}, {17417, "ENM"}, {17418, "ESE"},
    {18441, "ENE"}, {18442, "ESH"}, {19466, "ESI"}, {20490, "ESU"}, {21514, "EST"},
};

}  // namespace

std::string strLanguageName(int32_t languageId) {
    if (languageId == kTddTtyEnglish) return "English (TDD/TTY)";
    if (languageId <= 0) return "(error)";
    UErrorCode status = U_ZERO_ERROR;
    std::array<char, ULOC_FULLNAME_CAPACITY> locale{};
    const int32_t localeLength = uloc_getLocaleForLCID(static_cast<uint32_t>(languageId),
                                                       locale.data(), locale.size(), &status);
    if (U_FAILURE(status) || localeLength <= 0) return "(error)";
    std::string localeId(locale.data(), static_cast<size_t>(localeLength));
    // IDs with no language of their own come back as the root locale.
    if (localeId == "root") return "(error)";
    // Keywords such as "@collation=traditional" (Spanish, traditional sort) would show as
    // ICU's own wording; the name is the language's and the country's.
    const bool traditionalSort = localeId.find("collation=traditional") != std::string::npos;
    if (const auto at = localeId.find('@'); at != std::string::npos) localeId.resize(at);
    // 256 characters, as the name was read on the designed platform.
    std::array<UChar, 256> name{};
    status = U_ZERO_ERROR;
    const int32_t nameLength =
        uloc_getDisplayName(localeId.c_str(), "en", name.data(), name.size(), &status);
    if (U_FAILURE(status) && status != U_BUFFER_OVERFLOW_ERROR) return "(error)";
    const int32_t units = std::min<int32_t>(nameLength, static_cast<int32_t>(name.size()));
    if (units <= 0) return "(error)";
    std::array<char, 1024> utf8{};
    int32_t utf8Length = 0;
    status = U_ZERO_ERROR;
    u_strToUTF8(utf8.data(), utf8.size(), &utf8Length, name.data(), units, &status);
    if (U_FAILURE(status)) return "(error)";
    std::string result(utf8.data(), static_cast<size_t>(utf8Length));
    if (traditionalSort && !result.empty() && result.back() == ')') {
        result.insert(result.size() - 1, ", Traditional Sort");
    }
    return result;
}

std::string strLanguageAbbreviation(int32_t localeId) {
    if (localeId == kTddTtyEnglish) return "ENX";
    for (const auto& entry : kAbbreviations) {
        if (entry.lcid == localeId) return entry.abbreviation;
    }
    return "ERR";
}

}  // namespace tdv::app
