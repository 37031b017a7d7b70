#include "db/ado_types.h"

namespace tdv::db {

DataTypeEnum adoTypeOf(jet::ColumnType type) {
    switch (type) {
        case jet::ColumnType::Boolean:
            return adBoolean;
        case jet::ColumnType::Byte:
            return adUnsignedTinyInt;
        case jet::ColumnType::Integer:
            return adSmallInt;
        case jet::ColumnType::Long:
            return adInteger;
        case jet::ColumnType::Currency:
            return adCurrency;
        case jet::ColumnType::Single:
            return adSingle;
        case jet::ColumnType::Double:
            return adDouble;
        case jet::ColumnType::DateTime:
            return adDate;
        case jet::ColumnType::Binary:
            return adVarBinary;
        case jet::ColumnType::Text:
            return adVarWChar;
        case jet::ColumnType::OLE:
            return adLongVarBinary;
        case jet::ColumnType::Memo:
            return adLongVarWChar;
        case jet::ColumnType::Guid:
            return adGUID;
        case jet::ColumnType::Decimal:
            return adNumeric;
    }
    return adEmpty;
}

long adoDefinedSize(jet::ColumnType type, long declaredBytes, jet::JetVersion version) {
    switch (type) {
        case jet::ColumnType::Text:
            return version == jet::JetVersion::Jet4 ? declaredBytes / 2 : declaredBytes;
        case jet::ColumnType::Memo:
            return 536870910;
        case jet::ColumnType::OLE:
            return 1073741823;
        case jet::ColumnType::Binary:
            return declaredBytes;
        case jet::ColumnType::Boolean:
            return 2;
        case jet::ColumnType::Byte:
            return 1;
        case jet::ColumnType::Integer:
            return 2;
        case jet::ColumnType::Long:
            return 4;
        case jet::ColumnType::Currency:
            return 8;
        case jet::ColumnType::Single:
            return 4;
        case jet::ColumnType::Double:
            return 8;
        case jet::ColumnType::DateTime:
            return 8;
        case jet::ColumnType::Guid:
            return 16;
        case jet::ColumnType::Decimal:
            return 19;
    }
    return declaredBytes;
}

}  // namespace tdv::db
