// Errors raised by the Access engine.
//
// Every failure of the engine is a jet::Error: a kind (what went wrong), the number the
// original Jet platform showed for the same failure (the recordset layer passes it on),
// a description for people, and where it happened (table, page, row) when known.
// A damaged file never asserts or crashes: every check of on-disk data throws Error
// with kind Corrupt.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace jet {

enum class ErrorKind {
    Io,            // the file cannot be opened, read, written or locked
    NotADatabase,  // not a Jet 3 / Jet 4 file at all
    Corrupt,       // on-disk structure out of range, looping, inconsistent
    Unsupported,   // valid but not handled (for example a newer format)
    NoSuchTable,  // "The Microsoft Jet database engine cannot find the input table or query 'X'..."
    NoSuchColumn,  // unknown field name
    Syntax,        // bad SQL
    Type,          // value of the wrong type for a column or an operator
    Constraint,    // duplicate key, relationship, required value
    ReadOnly,      // write refused: file or recordset is read-only
    Busy,          // another writer holds the lock
    Internal,      // a broken promise inside the engine
};

class Error : public std::runtime_error {
public:
    Error(ErrorKind kind, long number, const std::string& description)
        : std::runtime_error(description), kind_(kind), number_(number) {}

    ErrorKind kind() const { return kind_; }
    // The Jet/ADO error number shown for this failure (for example 3078 missing table).
    long number() const { return number_; }
    std::string description() const { return what(); }

private:
    ErrorKind kind_;
    long number_;
};

// Jet's numbers for the failures the engine reports.
namespace errnum {
constexpr long kIo = 3043;            // disk or network error
constexpr long kNotADatabase = 3343;  // unrecognized database format
constexpr long kCorrupt = 3049;       // cannot open database; it may be damaged
constexpr long kUnsupported = 3251;   // operation is not supported for this type of object
constexpr long kNoSuchTable = 3078;   // cannot find the input table or query
constexpr long kNoSuchColumn = 3265;  // item cannot be found in the collection
constexpr long kTooFewParameters =
    3061;  // unknown name in a query: "No value given for one or more required parameters."
constexpr long kSyntax = 3000 + 75;          // 3075 syntax error in query expression
constexpr long kSyntaxFrom = 3131;           // syntax error in FROM clause
constexpr long kSyntaxGeneric = 3000 + 292;  // 3292 syntax error in field definition / generic
constexpr long kType = 3464;                 // data type mismatch in criteria expression
constexpr long kDuplicate = 3022;     // duplicate values in index, primary key or relationship
constexpr long kRelationship = 3201;  // related record required
constexpr long kReadOnly = 3027;      // cannot update; database or object is read-only
constexpr long kBusy = 3260;          // locked by another user
constexpr long kInternal = 3000;      // reserved error
constexpr long kUnknownName = 3070;   // does not recognize 'X' as a valid field name or expression
constexpr long kQueryTooComplex = 3360;  // query is too complex
constexpr long kInvalidStatement =
    3129;  // expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'
constexpr long kSyntaxJoin = 3135;     // syntax error in JOIN operation
constexpr long kSyntaxOrderBy = 3138;  // syntax error in ORDER BY clause
constexpr long kSyntaxSelect =
    3141;  // SELECT statement includes a reserved word or misspelled argument
constexpr long kTrailingCharacters = 3142;  // characters found after end of SQL statement
constexpr long kSyntaxUpdate = 3144;        // syntax error in UPDATE statement
constexpr long kJoinNotSupported = 3296;    // JOIN expression not supported
constexpr long kAmbiguousField = 3079;     // the specified field could refer to more than one table
constexpr long kSyntaxGroupBy = 3132;      // syntax error in GROUP BY clause
constexpr long kSyntaxInsert = 3134;       // syntax error in INSERT INTO statement
constexpr long kUndefinedFunction = 3085;  // undefined function 'X' in expression
constexpr long kAggregateInExpression = 3095;  // cannot have aggregate function in expression
constexpr long kAggregateInWhere = 3096;       // cannot have aggregate function in WHERE clause
constexpr long kInsertUnknownField = 3127;     // INSERT INTO names an unknown field
constexpr long kInsertValueCount = 3346;    // number of query values and destination fields differ
constexpr long kInvalidUseOfNull = 94;      // invalid use of Null
constexpr long kOverflow = 6;               // overflow
constexpr long kNoInsertPermission = 3107;  // record(s) cannot be added; no insert data permission
constexpr long kNoUpdatePermission = 3108;  // record(s) cannot be edited; no update data permission
constexpr long kNoDeletePermission =
    3109;  // record(s) cannot be deleted; no delete data permission
}  // namespace errnum

[[noreturn]] inline void throwCorrupt(const std::string& where) {
    throw Error(ErrorKind::Corrupt, errnum::kCorrupt, "Damaged database: " + where);
}

}  // namespace jet
