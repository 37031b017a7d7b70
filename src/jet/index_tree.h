// Reading the pages of one index tree during one walk.
//
// An IndexTreeWalk hands out decoded pages of one index: it checks that a page number is
// inside the file, that the page is an index page owned by the index's table, that it keeps
// the checker's page rules (indexPageFault), and that no page is visited twice in the walk
// (a loop in the leaf chain or the tree is damage, not an endless walk). Every failure is
// Error(Corrupt) naming table, index and page, so a damaged page stops a read and a write
// before the write changes anything of it.
#pragma once

#include <cstdint>
#include <unordered_set>

#include "jet/index_page.h"
#include "jet/page_file.h"

namespace jet {

class IndexTreeWalk {
public:
    // expectedOwner = 0 skips the owner check (pages read without a table definition).
    // pageRules = false leaves the page rules to the caller (the checker, which reports
    // each fault and walks on).
    IndexTreeWalk(PageFile& pages, const IndexPageLayout& layout, uint32_t expectedOwner,
                  IndexLocation where, bool pageRules = true);

    // Decodes page n; throws if it is out of range, not an index page, owned by another
    // table, or already visited in this walk.
    IndexPage visit(uint32_t n);

    const IndexLocation& where() const { return where_; }
    const IndexPageLayout& layout() const { return layout_; }

private:
    IndexPage read(uint32_t n);

    PageFile& pages_;
    const IndexPageLayout& layout_;
    uint32_t expectedOwner_;
    IndexLocation where_;
    bool pageRules_;
    std::unordered_set<uint32_t> visited_;
};

}  // namespace jet
