#include "jet/index_writer.h"

#include "jet/error.h"
#include "jet/format.h"
#include "jet/index_owned_pages.h"
#include "jet/index_tree_writer.h"
#include "jet/page_file.h"

namespace jet {
namespace {

// A key whose every column is Null: each part is the Null flag alone (0x00 ascending,
// 0xFF descending). Booleans are never Null in a key.
bool allNullKey(const TableDef& table, const IndexDef& index, const Bytes& key) {
    if (key.size() != index.columns.size()) return false;
    for (size_t i = 0; i < key.size(); ++i) {
        const IndexColumn& c = index.columns[i];
        if (c.column < table.columns.size() && table.columns[c.column].type == ColumnType::Boolean)
            return false;
        if (key[i] != (c.ascending ? 0x00 : 0xFF)) return false;
    }
    return true;
}

}  // namespace

void throwDuplicateKey(const TableDef& table, const IndexDef& index) {
    throw Error(ErrorKind::Constraint, errnum::kDuplicate,
                "The changes you requested to the table were not successful because they "
                "would create duplicate values in the index, primary key, or relationship. "
                "Change the data in the field or fields that contain duplicate data, remove "
                "the index, or redefine the index to permit duplicate entries and try "
                "again. (index '" +
                    index.name + "' of table '" + table.name + "')");
}

IndexWriter::IndexWriter(Database& db, const TableDef& table, const IndexDef& index)
    : db_(db), table_(table), index_(index) {}

void IndexWriter::checkInsert(const Bytes& key, RowId row) {
    if (!index_.unique && !index_.primaryKey) return;
    if (allNullKey(table_, index_, key)) return;
    IndexTreeWriter tree(db_.pages(), db_.info().version, index_.rootPage, table_.definitionPage,
                         IndexLocation{table_.name, index_.name});
    if (tree.hasOtherEntryWithKey(key, row)) throwDuplicateKey(table_, index_);
}

IndexTreeWriter IndexWriter::treeForWrite() {
    PageFile& pages = db_.pages();
    if (!pages.inWrite())
        throw Error(ErrorKind::Internal, errnum::kInternal,
                    "index entries are written only inside a save");
    const Format& format = db_.format();
    const uint32_t tdef = table_.definitionPage;
    const int real = index_.realNumber;
    // Removing an entry can split pages too (a shorter common prefix on a leaf, a longer
    // separator in a parent), so every change records the pages it adds.
    auto recordPage = [&pages, &format, tdef, real](uint32_t page) {
        recordIndexPage(pages, format, tdef, real, page);
    };
    // A page the tree gives up leaves the index's map and is free once the save commits.
    auto dropPage = [&pages, &format, tdef, real](uint32_t page) {
        forgetIndexPage(pages, format, tdef, real, page);
        pages.release(page);
    };
    return IndexTreeWriter(pages, db_.info().version, index_.rootPage, tdef,
                           IndexLocation{table_.name, index_.name}, recordPage, dropPage);
}

void IndexWriter::insert(const Bytes& key, RowId row) {
    treeForWrite().insert(key, row);
}

void IndexWriter::remove(const Bytes& key, RowId row) {
    treeForWrite().remove(key, row);
}

}  // namespace jet
