// The pages an index owns: every physical index records its tree pages (root included) in
// a usage map of its own, addressed by a row pointer in its definition inside the table
// definition (just before the root page field). A page added to a tree must be marked there.
#pragma once

#include <cstdint>

#include "jet/format.h"
#include "jet/page_file.h"

namespace jet {

// Row pointer (page << 8 | row) of the owned-pages map of physical index realNumber of
// the table whose definition starts at definitionPage. Throws Error(Corrupt) when the
// definition does not hold that index.
uint32_t realIndexOwnedPagesRow(PageFile& pages, const Format& format, uint32_t definitionPage,
                                int realNumber);

// Marks page in the usage map held in the row at rowPointer (inline maps whose range
// covers the page, reference maps whose map page for it exists). Throws
// Error(Unsupported) when the map would have to be rebuilt to record it, Error(Corrupt)
// when the map cannot be read. Writes through the open save.
void addPageToUsageMap(PageFile& pages, const Format& format, uint32_t rowPointer, uint32_t page);

}  // namespace jet
