#include "jet/index_tree.h"

#include "jet/error.h"

namespace jet {

IndexTreeWalk::IndexTreeWalk(PageFile& pages, const IndexPageLayout& layout, uint32_t expectedOwner,
                             IndexLocation where, bool pageRules)
    : pages_(pages),
      layout_(layout),
      expectedOwner_(expectedOwner),
      where_(std::move(where)),
      pageRules_(pageRules) {}

IndexPage IndexTreeWalk::read(uint32_t n) {
    // Page 0 is the database header; it is never part of an index.
    if (n == 0 || n >= pages_.pageCount())
        throwIndexDamage(
            where_, n,
            "page number out of range (file has " + std::to_string(pages_.pageCount()) + " pages)");
    Page raw = pages_.read(n);
    IndexPage page = decodeIndexPage(*raw, n, layout_, where_);
    if (expectedOwner_ != 0 && page.owner != expectedOwner_)
        throwIndexDamage(where_, n,
                         "page belongs to table definition " + std::to_string(page.owner) +
                             ", not " + std::to_string(expectedOwner_));
    if (pageRules_)
        if (auto fault = indexPageFault(page, layout_)) throwIndexDamage(where_, n, *fault);
    return page;
}

IndexPage IndexTreeWalk::visit(uint32_t n) {
    if (!visited_.insert(n).second) throwIndexDamage(where_, n, "page reached twice (loop)");
    return read(n);
}

}  // namespace jet
