// The ADO constants the program passes and reads, and how engine column types appear as
// ADO field types.
//
// Field types are what the Jet OLE DB provider reported: Text adVarWChar (202), Memo
// adLongVarWChar (203), OLE Object adLongVarBinary (205), GUID adGUID (72), Decimal adNumeric
// (131), and the fixed number types as their automation types. Jet's "Binary" column holds at
// most 255 bytes of variable length, so it is adVarBinary (204), not the fixed adBinary.
#pragma once

#include "jet/database.h"
#include "jet/value.h"

namespace tdv::db {

enum CursorLocationEnum { adUseServer = 2, adUseClient = 3 };

enum CursorTypeEnum {
    adOpenUnspecified = -1,
    adOpenForwardOnly = 0,
    adOpenKeyset = 1,
    adOpenDynamic = 2,
    adOpenStatic = 3,
};

enum LockTypeEnum {
    adLockUnspecified = -1,
    adLockReadOnly = 1,
    adLockPessimistic = 2,
    adLockOptimistic = 3,
    adLockBatchOptimistic = 4,
};

enum ObjectStateEnum { adStateClosed = 0, adStateOpen = 1 };

enum CommandTypeEnum { adCmdUnspecified = -1 };

enum DataTypeEnum {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adDate = 7,
    adBSTR = 8,
    adBoolean = 11,
    adUnsignedTinyInt = 17,
    adGUID = 72,
    adBinary = 128,
    adNumeric = 131,
    adVarChar = 200,
    adLongVarChar = 201,
    adVarWChar = 202,
    adLongVarWChar = 203,
    adVarBinary = 204,
    adLongVarBinary = 205,
};

DataTypeEnum adoTypeOf(jet::ColumnType type);

// DefinedSize of a field: characters for Text (the engine gives bytes, two per character in
// Jet 4), the provider's maximum for Memo and OLE, bytes for everything else.
long adoDefinedSize(jet::ColumnType type, long declaredBytes, jet::JetVersion version);

}  // namespace tdv::db
