#include "db/error_mapping.h"

#include <array>

namespace tdv::db {
namespace {

struct Mapping {
    jet::ErrorKind kind;
    long number;
    const char* fixedDescription;  // nullptr: the engine's description is shown
};

// What the provider reported for each kind of engine failure. A name the query does not know
// is taken by Jet for a parameter, hence the provider's fixed "No value given" text.
constexpr std::array<Mapping, 12> kMappings{{
    {jet::ErrorKind::Io, hresult::kFail, nullptr},
    {jet::ErrorKind::NotADatabase, hresult::kFail, nullptr},
    {jet::ErrorKind::Corrupt, hresult::kFail, nullptr},
    {jet::ErrorKind::Unsupported, hresult::kFail, nullptr},
    {jet::ErrorKind::NoSuchTable, hresult::kNoTable, nullptr},
    {jet::ErrorKind::NoSuchColumn, hresult::kParamNotOptional,
     "No value given for one or more required parameters."},
    {jet::ErrorKind::Syntax, hresult::kErrorsInCommand, nullptr},
    {jet::ErrorKind::Type, hresult::kCantConvertValue, nullptr},
    {jet::ErrorKind::Constraint, hresult::kFail, nullptr},
    {jet::ErrorKind::ReadOnly, hresult::kPermissionDenied, nullptr},
    {jet::ErrorKind::Busy, hresult::kFail, nullptr},
    {jet::ErrorKind::Internal, hresult::kFail, nullptr},
}};

}  // namespace

DbError fromEngineError(const jet::Error& e) {
    for (const Mapping& m : kMappings) {
        if (m.kind != e.kind()) continue;
        return DbError(m.number, m.fixedDescription ? m.fixedDescription : e.description());
    }
    return DbError(hresult::kFail, e.description());
}

}  // namespace tdv::db
