// The database's free-page map: row 0 of page 1, in Jet 3 and Jet 4 alike.
//
// It has the layout of any usage map (usage_map.h), but a set bit means the page is FREE:
// a page a table or index released, which the engine may reuse. An inline map also marks
// every page past the end of the file within its window as free (Access creates files so);
// a page of the file outside an inline window is taken to be in use here. A reference map
// slot without a map page lists no free page.
//
// Access consults this map when it needs a page, so a page this engine adds to the file
// must not be left marked free (Access would hand it to another table and overwrite it),
// and a page this engine stops using can be given back. updateFreePageMap does both at the
// end of each save: pages appended by the save are marked in use, released pages free. An
// inline window that cannot cover them becomes a reference map in the same row (map pages
// of type 0x05 appended to the file), as usage maps do when a table grows. A released page
// is rewritten as an empty data page owned by nothing, so that no reader or writer takes
// its stale contents for pages of its former owner.
//
// Writers take new pages with allocatePage: a page the map lists as free (the lowest one
// that was in the file when the save began) is taken out of the map at once and filled;
// only when none is left is the file grown. A page released by the open save is not
// reused before that save commits.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "jet/format.h"
#include "jet/page_file.h"

namespace jet {

// Free pages of the file (page numbers below pages.pageCount()). Throws Error(Corrupt)
// when page 1 holds no usage map or a map page is not one.
std::set<uint32_t> readFreePages(PageFile& pages, const Format& format);

// Inside an open save: marks the pages appended since the save began as in use and the
// released ones (PageFile::release) as free (a page both appended and released is free). Throws
// Error(Corrupt) when the map is damaged (the save is then rolled back by the caller).
void updateFreePageMap(PageFile& pages, const Format& format);

// Inside an open save: the lowest free page that was in the file when the save began,
// marked in use in the map; nullopt when the map lists none. Throws Error(Corrupt) when the
// map is damaged.
std::optional<uint32_t> takeFreePage(PageFile& pages, const Format& format);

// Inside an open save: writes contents to a free page (takeFreePage) or, when there is
// none, appends it; returns the page's number.
uint32_t allocatePage(PageFile& pages, const Format& format, std::vector<uint8_t> contents);

}  // namespace jet
