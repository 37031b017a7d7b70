#include "jet/row_fields.h"

#include <string>

namespace jet {
namespace {

// Offset i (0 = first variable column, varCount = end of data) of a row.
uint32_t varOffset(ByteView row, const Format& f, size_t varCountPos, size_t varCount, size_t i) {
    if (f.rowVarOffsetSize == 2) {
        if (varCountPos < 2 * (varCount + 1) + f.rowColumnCountSize)
            throwCorrupt("variable column offsets do not fit the row");
        return row.u16(varCountPos - 2 * (i + 1));
    }
    size_t numJumps = (row.size() - 1) / 256;
    if (varCountPos < numJumps + 1 + varCount + f.rowColumnCountSize)
        throwCorrupt("variable column offsets do not fit the row");
    size_t colPtr = varCountPos - numJumps - 1;
    if ((colPtr - varCount) / 256 < numJumps) --numJumps;
    size_t jumps = 0;
    for (size_t j = 0; j < numJumps; ++j)
        if (row.u8(varCountPos - 1 - j) <= i) ++jumps;
    return row.u8(colPtr - i) + 256 * static_cast<uint32_t>(jumps);
}

}  // namespace

std::optional<ByteView> rawVariableField(ByteView row, const Format& f, const TableDef& table,
                                         const ColumnDef& column) {
    const size_t ccs = f.rowColumnCountSize;
    row.require(0, ccs, "the row's column count");
    size_t numCols = ccs == 1 ? row.u8(0) : row.u16(0);
    if (column.number >= numCols || table.variableColumnCount == 0) return std::nullopt;
    size_t maskLen = (numCols + 7) / 8;
    if (row.size() < ccs + maskLen + f.rowVarCountSize)
        throwCorrupt("row of " + std::to_string(row.size()) + " bytes cannot hold its trailer");
    size_t maskPos = row.size() - maskLen;
    if (!((row.u8(maskPos + column.number / 8) >> (column.number % 8)) & 1)) return std::nullopt;
    size_t varCountPos = maskPos - f.rowVarCountSize;
    size_t varCount = f.rowVarCountSize == 1 ? row.u8(varCountPos) : row.u16(varCountPos);
    if (column.varIndex >= varCount) return std::nullopt;
    uint32_t s = varOffset(row, f, varCountPos, varCount, column.varIndex);
    uint32_t e = varOffset(row, f, varCountPos, varCount, column.varIndex + 1u);
    if (s > e || e > varCountPos || s < ccs)
        throwCorrupt("variable column data " + std::to_string(s) + ".." + std::to_string(e) +
                     " lies outside the row");
    return row.sub(s, e - s);
}

}  // namespace jet
