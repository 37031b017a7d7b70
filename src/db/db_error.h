// Errors raised by the recordset layer, numbered as the program reports them.
//
// A DbError carries the number and description a caller shows ("Error " + number + " (" +
// description + ")"). Three families of numbers meet here:
//  - the recordset's own errors (3001, 3021, 3265, 3704, 3705, ...), numbered like ADO's;
//  - value conversion errors numbered like the Basic runtime's (94 Invalid use of Null,
//    13 Type mismatch, 6 Overflow);
//  - failures of the Access engine, translated to the signed 32-bit HRESULT numbers the
//    Jet OLE DB provider reported (error_mapping.h holds that table).
#pragma once

#include <stdexcept>
#include <string>

namespace tdv::db {

// Numbers of the errors this layer raises itself.
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

// The errors above with their fixed descriptions.
DbError overflowError();
DbError typeMismatchError();
DbError invalidUseOfNullError();
DbError badArgumentsError();
DbError noCurrentRecordError();
DbError illegalOperationError();
DbError itemNotFoundError();
DbError objectClosedError();
DbError objectOpenError();
DbError providerNotFoundError();
DbError invalidConnectionError();

}  // namespace tdv::db
