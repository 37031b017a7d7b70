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

// Marks page as owned by physical index realNumber (through the open save; the map grows
// as usage_map_writer.h describes).
void recordIndexPage(PageFile& pages, const Format& format, uint32_t definitionPage, int realNumber,
                     uint32_t page);

// Takes page out of the map of physical index realNumber (through the open save).
void forgetIndexPage(PageFile& pages, const Format& format, uint32_t definitionPage, int realNumber,
                     uint32_t page);

}  // namespace jet
