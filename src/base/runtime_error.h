// The runtime error every layer above the engine raises and reports: a number and a
// description, shown as "Error " + number + " (" + description + ")".
//
// Three families of numbers meet here:
//  - the recordset's own errors (3001, 3021, 3265, 3704, 3705, ...), numbered like ADO's;
//  - errors numbered like the Basic runtime's (94 Invalid use of Null, 13 Type mismatch,
//    6 Overflow, 52 Bad file name or number, ...);
//  - failures of the Access engine, translated to the signed 32-bit HRESULT numbers the
//    Jet OLE DB provider reported (db/error_mapping.h holds that table).
#pragma once

#include <stdexcept>
#include <string>

namespace tdv::db {

// Numbers of the errors the recordset layer raises itself.
namespace errnum {
constexpr long kOverflow = 6;
constexpr long kTypeMismatch = 13;
constexpr long kInvalidUseOfNull = 94;
constexpr long kBadArguments = 3001;
constexpr long kNoCurrentRecord = 3021;
constexpr long kIllegalOperation = 3219;
constexpr long kItemNotFound = 3265;
constexpr long kObjectClosed = 3704;
constexpr long kObjectOpen = 3705;
constexpr long kProviderNotFound = 3706;
constexpr long kInvalidConnection = 3709;
}  // namespace errnum

class DbError : public std::runtime_error {
public:
    DbError(long number, const std::string& description)
        : std::runtime_error(description), number_(number) {}

    long number() const { return number_; }
    std::string description() const { return what(); }

private:
    long number_;
};

}  // namespace tdv::db
