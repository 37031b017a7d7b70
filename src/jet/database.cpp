#include "jet/database.h"

#include <map>
#include <unordered_map>

#include "jet/catalog.h"
#include "jet/format.h"
#include "jet/global_usage_map.h"
#include "jet/header.h"
#include "jet/page_file.h"
#include "jet/table_def.h"
#include "jet/table_scan.h"
#include "jet/text_codec.h"

namespace jet {

struct Database::Impl {
    std::string path;
    std::unique_ptr<PageFile> pages;
    DatabaseInfo info;
    const Format* format = nullptr;
    std::unique_ptr<TextDecoder> text;
    std::vector<CatalogEntry> tables;  // catalog entries of tables, in catalog order
    // Table definitions read so far, by definition page; never moved once made.
    std::unordered_map<uint32_t, std::unique_ptr<TableDef>> definitions;

    const CatalogEntry* findTable(std::string_view name) const {
        for (const auto& t : tables)
            if (namesEqual(t.name, name)) return &t;
        return nullptr;
    }
};

struct TableScan::Impl {
    RowIterator rows;
};

TableScan::TableScan(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TableScan::TableScan(TableScan&&) noexcept = default;
TableScan& TableScan::operator=(TableScan&&) noexcept = default;
TableScan::~TableScan() = default;
bool TableScan::next() {
    return impl_->rows.next();
}
RowId TableScan::rowId() const {
    return impl_->rows.rowId();
}
const std::vector<Value>& TableScan::values() const {
    return impl_->rows.values();
}

Database::Database() : impl_(std::make_unique<Impl>()) {}
Database::~Database() = default;

std::shared_ptr<Database> Database::open(const std::string& path) {
    return open(path, FileSystem::real());
}

std::shared_ptr<Database> Database::open(const std::string& path, FileSystem& fs) {
    return open(path, fs, OpenOptions{});
}

std::shared_ptr<Database> Database::open(const std::string& path, const OpenOptions& options) {
    return open(path, FileSystem::real(), options);
}

std::shared_ptr<Database> Database::open(const std::string& path, FileSystem& fs,
                                         const OpenOptions& options) {
    std::shared_ptr<Database> db(new Database());
    Impl& d = *db->impl_;
    d.path = path;
    // Readers open through the locks too: they never see half of another program's save,
    // and a save a crashed writer left unfinished is rolled back before anything is read.
    d.pages = std::make_unique<PageFile>(fs, path, options, 0);
    // The header and the catalog are read as one read transaction (one lock, one check).
    PageFile::ReadScope scope(*d.pages);
    d.info = readDatabaseInfo(*d.pages);
    d.format = &formatFor(d.info.version);
    // Every save keeps the database's free-page map in step with the pages it adds and
    // releases, whichever writer made it.
    if (options.writable) {
        const Format* format = d.format;
        d.pages->setCommitHook([format](PageFile& pages) { updateFreePageMap(pages, *format); });
    }
    d.text = std::make_unique<TextDecoder>(d.format->textEncoding, d.info.codePage);
    for (auto& e : readCatalog(*d.pages, *d.format, *d.text))
        if (e.isTable()) d.tables.push_back(std::move(e));
    return db;
}

const DatabaseInfo& Database::info() const {
    return impl_->info;
}
const Format& Database::format() const {
    return *impl_->format;
}
const std::string& Database::path() const {
    return impl_->path;
}
PageFile& Database::pages() {
    return *impl_->pages;
}

bool Database::writable() const {
    return impl_->pages->writable();
}

void Database::refreshTableCounters() {
    const Format& f = *impl_->format;
    for (auto& [page, def] : impl_->definitions) {
        Page p = impl_->pages->read(page);
        ByteView v(p->data(), p->size());
        def->rowCount = v.u32(f.tdefRowCountOffset);
        def->nextAutoNumber = v.u32(f.tdefAutoNumberOffset);
    }
}

void Database::refreshCatalog() {
    std::vector<CatalogEntry> tables;
    for (auto& e : readCatalog(*impl_->pages, *impl_->format, *impl_->text))
        if (e.isTable()) tables.push_back(std::move(e));
    impl_->tables = std::move(tables);
}

std::vector<std::string> Database::tableNames() const {
    std::vector<std::string> out;
    for (const auto& t : impl_->tables)
        if (!t.isSystem()) out.push_back(t.name);
    return out;
}

std::vector<std::string> Database::allTableNames() const {
    std::vector<std::string> out;
    for (const auto& t : impl_->tables) out.push_back(t.name);
    return out;
}

bool Database::hasTable(std::string_view name) const {
    return impl_->findTable(name) != nullptr;
}

const TableDef& Database::table(std::string_view name) {
    const CatalogEntry* e = impl_->findTable(name);
    if (!e)
        throw Error(ErrorKind::NoSuchTable, errnum::kNoSuchTable,
                    "The Microsoft Jet database engine cannot find the input table or query '" +
                        std::string(name) +
                        "'. Make sure it exists and that its name is spelled correctly.");
    uint32_t page = e->definitionPage();
    auto it = impl_->definitions.find(page);
    if (it != impl_->definitions.end()) return *it->second;
    auto def = std::make_unique<TableDef>(
        readTableDef(*impl_->pages, *impl_->format, *impl_->text, e->name, page));
    def->systemTable = def->systemTable || e->isSystem();
    return *impl_->definitions.emplace(page, std::move(def)).first->second;
}

TableScan Database::scan(const TableDef& table, const ColumnMask& columns) {
    return TableScan(std::make_unique<TableScan::Impl>(
        TableScan::Impl{RowIterator(*impl_->pages, *impl_->format, *impl_->text, table, columns)}));
}

std::vector<Value> Database::readRow(const TableDef& table, RowId row, const ColumnMask& columns) {
    Page holder;
    auto bytes = locateLiveRow(*impl_->pages, *impl_->format, table, row, holder);
    if (!bytes)
        throwCorrupt("table '" + table.name + "': row " + std::to_string(row.row) + " of page " +
                     std::to_string(row.page) + " does not exist or is deleted");
    RowCodec codec(table, *impl_->format, *impl_->text, columns);
    LongValueReader lv(*impl_->pages, *impl_->format);
    std::vector<Value> out;
    try {
        codec.decode(*bytes, lv, out);
    } catch (const Error& e) {
        rethrowWithContext(e, "table '" + table.name + "', page " + std::to_string(row.page) +
                                  ", row " + std::to_string(row.row));
    }
    return out;
}

bool Database::rowExists(const TableDef& table, RowId row) {
    Page holder;
    return locateLiveRow(*impl_->pages, *impl_->format, table, row, holder).has_value();
}

}  // namespace jet
