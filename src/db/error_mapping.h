// Translation of Access engine failures into the numbers the program shows.
//
// The program reached its databases through the Jet OLE DB provider, which reported engine
// failures as HRESULTs (shown as signed 32-bit numbers, e.g. -2147217865 for a missing
// table). One table in error_mapping.cpp maps each engine error kind to that number; the
// description is the engine's own, except where the provider always showed a fixed text.
#pragma once

#include <string>
#include <utility>

#include "db/db_error.h"
#include "jet/error.h"

namespace tdv::db {

// Provider HRESULTs as signed 32-bit numbers.
namespace hresult {
constexpr long kFail = -2147467259;              // 0x80004005 E_FAIL: general provider failure
constexpr long kCantConvertValue = -2147217913;  // 0x80040E07 data type mismatch
constexpr long kPermissionDenied = -2147217911;  // 0x80040E09 read-only database or object
constexpr long kParamNotOptional = -2147217904;  // 0x80040E10 unknown name in a query
constexpr long kErrorsInCommand = -2147217900;   // 0x80040E14 syntax error
constexpr long kNoTable = -2147217865;           // 0x80040E37 missing table or query
}  // namespace hresult

DbError fromEngineError(const jet::Error& e);

// Runs fn, turning a jet::Error it throws into the matching DbError.
template <class Fn>
decltype(auto) translatingEngineErrors(Fn&& fn) {
    try {
        return std::forward<Fn>(fn)();
    } catch (const jet::Error& e) {
        throw fromEngineError(e);
    }
}

}  // namespace tdv::db
