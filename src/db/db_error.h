// The errors the recordset layer raises, with their fixed descriptions. The error type
// itself and its numbers live in base/runtime_error.h, below every layer that reports it.
#pragma once

#include "base/runtime_error.h"

namespace tdv::db {

// The errors of errnum with their fixed descriptions.
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
