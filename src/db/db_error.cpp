#include "db/db_error.h"

namespace tdv::db {

DbError overflowError() {
    return DbError(errnum::kOverflow, "Overflow");
}

DbError typeMismatchError() {
    return DbError(errnum::kTypeMismatch, "Type mismatch");
}

DbError invalidUseOfNullError() {
    return DbError(errnum::kInvalidUseOfNull, "Invalid use of Null");
}

DbError badArgumentsError() {
    return DbError(errnum::kBadArguments,
                   "Arguments are of the wrong type, are out of acceptable range, or are in "
                   "conflict with one another.");
}

DbError noCurrentRecordError() {
    return DbError(errnum::kNoCurrentRecord,
                   "Either BOF or EOF is True, or the current record has been deleted. "
                   "Requested operation requires a current record.");
}

DbError illegalOperationError() {
    return DbError(errnum::kIllegalOperation, "Operation is not allowed in this context.");
}

DbError itemNotFoundError() {
    return DbError(errnum::kItemNotFound,
                   "Item cannot be found in the collection corresponding to the requested name "
                   "or ordinal.");
}

DbError objectClosedError() {
    return DbError(errnum::kObjectClosed, "Operation is not allowed when the object is closed.");
}

DbError objectOpenError() {
    return DbError(errnum::kObjectOpen, "Operation is not allowed when the object is open.");
}

DbError providerNotFoundError() {
    return DbError(errnum::kProviderNotFound,
                   "Provider cannot be found. It may not be properly installed.");
}

DbError invalidConnectionError() {
    return DbError(errnum::kInvalidConnection,
                   "The connection cannot be used to perform this operation. It is either "
                   "closed or invalid in this context.");
}

}  // namespace tdv::db
