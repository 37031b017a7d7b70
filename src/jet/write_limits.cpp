#include "jet/write_limits.h"

namespace jet {
namespace {

constexpr WriteLimits kJet3Limits{
    .maxRowSize = 2012,
    .maxInlineLongValue = 64,
    .maxLongValueRowSize = 2032,
    .inlineMapBytes = 128,
    .maxRowsPerPage = 255,
};

constexpr WriteLimits kJet4Limits{
    .maxRowSize = 4060,
    .maxInlineLongValue = 64,
    .maxLongValueRowSize = 4076,
    .inlineMapBytes = 64,
    .maxRowsPerPage = 255,
};

}  // namespace

const WriteLimits& writeLimitsFor(const Format& format) {
    return format.version == JetVersion::Jet3 ? kJet3Limits : kJet4Limits;
}

}  // namespace jet
