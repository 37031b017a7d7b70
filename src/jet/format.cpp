#include "jet/format.h"

namespace jet {
namespace {

constexpr Format kJet3{
    .version = JetVersion::Jet3,
    .pageSize = 2048,
    .textEncoding = TextEncoding::CodePage,
    .versionOffset = 0x14,
    .maskedOffset = 0x18,
    .maskedSize = 126,
    .codePageOffset = 0x3C,
    .sortOrderOffset = 0x3A,
    .sortOrderHasVersion = false,
    .dataOwnerOffset = 4,
    .dataRowCountOffset = 8,
    .dataRowTableOffset = 10,
    .tdefNextPageOffset = 4,
    .tdefContinuationStart = 8,
    .tdefRowCountOffset = 12,
    .tdefAutoNumberOffset = 16,
    .tdefTableTypeOffset = 20,
    .tdefMaxColumnsOffset = 21,
    .tdefVarColumnsOffset = 23,
    .tdefColumnCountOffset = 25,
    .tdefIndexCountOffset = 27,
    .tdefRealIndexCountOffset = 31,
    .tdefUsedPagesOffset = 35,
    .tdefFreePagesOffset = 39,
    .tdefHeaderSize = 43,
    .realIndexCountEntrySize = 8,
    .columnEntrySize = 18,
    .colTypeOffset = 0,
    .colNumberOffset = 1,
    .colVarIndexOffset = 3,
    .colSortOrderOffset = 9,
    .colCodePageOffset = 11,
    .colPrecisionOffset = 11,
    .colScaleOffset = 12,
    .colFlagsOffset = 13,
    .colExtFlagsOffset = 0,
    .colFixedOffsetOffset = 14,
    .colLengthOffset = 16,
    .nameLengthSize = 1,
    .realIndexDefSize = 39,
    .realIndexColumnsOffset = 0,
    .realIndexRootOffset = 34,
    .realIndexFlagsOffset = 38,
    .logicalIndexSize = 20,
    .logicalIndexSkip = 0,
    .rowColumnCountSize = 1,
    .rowVarCountSize = 1,
    .rowVarOffsetSize = 1,
};

constexpr Format kJet4{
    .version = JetVersion::Jet4,
    .pageSize = 4096,
    .textEncoding = TextEncoding::Ucs2,
    .versionOffset = 0x14,
    .maskedOffset = 0x18,
    .maskedSize = 128,
    .codePageOffset = 0x3C,
    .sortOrderOffset = 0x6E,
    .sortOrderHasVersion = true,
    .dataOwnerOffset = 4,
    .dataRowCountOffset = 12,
    .dataRowTableOffset = 14,
    .tdefNextPageOffset = 4,
    .tdefContinuationStart = 8,
    .tdefRowCountOffset = 16,
    .tdefAutoNumberOffset = 20,
    .tdefTableTypeOffset = 40,
    .tdefMaxColumnsOffset = 41,
    .tdefVarColumnsOffset = 43,
    .tdefColumnCountOffset = 45,
    .tdefIndexCountOffset = 47,
    .tdefRealIndexCountOffset = 51,
    .tdefUsedPagesOffset = 55,
    .tdefFreePagesOffset = 59,
    .tdefHeaderSize = 63,
    .realIndexCountEntrySize = 12,
    .columnEntrySize = 25,
    .colTypeOffset = 0,
    .colNumberOffset = 5,
    .colVarIndexOffset = 7,
    .colSortOrderOffset = 11,
    .colCodePageOffset = 0,
    .colPrecisionOffset = 11,
    .colScaleOffset = 12,
    .colFlagsOffset = 15,
    .colExtFlagsOffset = 16,
    .colFixedOffsetOffset = 21,
    .colLengthOffset = 23,
    .nameLengthSize = 2,
    .realIndexDefSize = 52,
    .realIndexColumnsOffset = 4,
    .realIndexRootOffset = 38,
    .realIndexFlagsOffset = 46,
    .logicalIndexSize = 28,
    .logicalIndexSkip = 4,
    .rowColumnCountSize = 2,
    .rowVarCountSize = 2,
    .rowVarOffsetSize = 2,
};

}  // namespace

const Format& jet3Format() {
    return kJet3;
}
const Format& jet4Format() {
    return kJet4;
}
const Format& formatFor(JetVersion v) {
    return v == JetVersion::Jet3 ? kJet3 : kJet4;
}

}  // namespace jet
