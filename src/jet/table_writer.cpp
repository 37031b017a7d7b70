#include "jet/table_writer.h"

#include <map>
#include <random>
#include <set>
#include <string>

#include "jet/data_page.h"
#include "jet/format.h"
#include "jet/long_value_writer.h"
#include "jet/page_file.h"
#include "jet/relationships.h"
#include "jet/row_encoder.h"
#include "jet/row_fields.h"
#include "jet/table_index_changes.h"
#include "jet/table_pages.h"
#include "jet/value_coerce.h"
#include "jet/write_limits.h"

namespace jet {
namespace {

constexpr size_t kPointerSize = 4;

Bytes pointerRow(uint32_t page, uint16_t row) {
    uint32_t raw = RowPointer{page, row}.raw();
    return {static_cast<uint8_t>(raw), static_cast<uint8_t>(raw >> 8),
            static_cast<uint8_t>(raw >> 16), static_cast<uint8_t>(raw >> 24)};
}

Guid randomGuid() {
    std::random_device rd;
    Guid g;
    for (auto& b : g.bytes) b = static_cast<uint8_t>(rd());
    g.bytes[7] = static_cast<uint8_t>((g.bytes[7] & 0x0F) | 0x40);  // version 4
    g.bytes[8] = static_cast<uint8_t>((g.bytes[8] & 0x3F) | 0x80);  // variant
    return g;
}

[[noreturn]] void rowGone(const TableDef& t, RowId id) {
    throw Error(ErrorKind::Constraint, errnum::kRecordDeleted,
                "Record is deleted: table '" + t.name + "' has no row " + std::to_string(id.row) +
                    " on page " + std::to_string(id.page));
}

// Where a live row's bytes are: its own slot, or the body an overflow pointer names.
struct RowPlace {
    RowId home;
    RowId body;
    bool overflow = false;
};

RowPlace locate(TablePages& pages, const TableDef& t, RowId id) {
    DataPageEditor& home = pages.edit(id.page);
    if (id.row >= home.rowCount() || (home.flags(id.row) & rowflag::kDeleted)) rowGone(t, id);
    RowPlace place{id, id, false};
    if (!(home.flags(id.row) & rowflag::kLookup)) return place;
    const Bytes& ptr = home.row(id.row);
    if (ptr.size() < kPointerSize)
        throwCorrupt("table '" + t.name + "': overflow row " + std::to_string(id.row) +
                     " of page " + std::to_string(id.page) + " is too short for its pointer");
    RowPointer target = RowPointer::fromRaw(loadU32(ptr.data()));
    place.overflow = true;
    place.body = {target.page, target.row};
    DataPageEditor& body = pages.edit(target.page);
    if (target.row >= body.rowCount() || (body.flags(target.row) & rowflag::kLookup) ||
        (target.page == id.page && target.row == id.row))
        throwCorrupt("table '" + t.name + "': overflow row " + std::to_string(id.row) +
                     " of page " + std::to_string(id.page) + " points to no row body");
    return place;
}

// The first of a new row's two encodings: its long values are only sized, so a row that
// cannot be stored fails before anything is written.
void measureNewRow(RowEncoder& encoder, LongValueWriter& lv, const std::vector<Value>& row) {
    encoder.encode(row, [&](const ColumnDef&, const Bytes& d, size_t space) {
        return Bytes(lv.fieldSize(d.size(), space), 0);
    });
}

// The second: its long values are written, and the row's bytes come back.
Bytes storeNewRow(RowEncoder& encoder, LongValueWriter& lv, const std::vector<Value>& row) {
    Bytes bytes = encoder.encode(
        row, [&](const ColumnDef&, const Bytes& d, size_t space) { return lv.write(d, space); });
    lv.flush();
    return bytes;
}

}  // namespace

// ---- SaveScope ----

SaveScope::SaveScope(Database& db) : db_(db), joined_(db.pages().inWrite()) {
    if (!joined_) db_.pages().beginWrite();
}

SaveScope::~SaveScope() {
    if (!open_) return;
    if (db_.pages().inWrite()) db_.pages().rollback();
    try {
        db_.refreshTableCounters();
    } catch (const Error&) {
        // The cached counters stay as they were; the next read of the table reports the damage.
    }
}

void SaveScope::commit() {
    if (!open_) return;
    open_ = false;
    if (!db_.pages().inWrite())
        throw Error(ErrorKind::Internal, errnum::kInternal,
                    "The save was rolled back after a write failed; nothing was saved");
    if (joined_) return;
    db_.pages().commit();
    db_.refreshTableCounters();
}

// ---- TableWriter ----

struct TableWriter::State {
    RowEncoder encoder;
    LongValueWriter longValues;
    Relationships relationships;
    size_t minRowSize = 0;
    bool secondPhase = false;
    int cascadeDepth = 0;  // how many cascades led to this writer
    // Rows of this table that cascades of this writer's changes deleted in the open save
    // (a table related to itself): a statement that then deletes them too finds them gone.
    std::set<RowId> removedByCascade;
};

TableWriter::TableWriter(Database& db, std::string_view table, SystemTableWrites system)
    : db_(db),
      table_(db.table(table)),
      text_(db.format().textEncoding, db.info().codePage),
      system_(system) {
    if (!db.pages().writable())
        throw Error(ErrorKind::ReadOnly, errnum::kReadOnly,
                    "Cannot update. Database or object is read-only: '" + db.path() +
                        "' was opened for reading only");
    for (const ColumnDef& c : table_.columns)
        if (!isKnownColumnType(c.type))
            throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                        "Table '" + table_.name + "': column '" + c.name +
                            "' has a type this engine cannot write (" +
                            std::to_string(static_cast<int>(c.type)) + ")");
    // Enforced relationships are checked in the first phase of every write (both when this
    // table holds the foreign key and when it holds the referenced key).
    state_ = std::make_unique<State>(State{RowEncoder(table_, db.format(), text_),
                                           LongValueWriter(db.pages(), db.format()),
                                           Relationships::load(db),
                                           0,
                                           false,
                                           0,
                                           {}});
    std::vector<Value> empty(table_.columns.size());
    for (size_t i = 0; i < empty.size(); ++i)
        if (table_.columns[i].type == ColumnType::Boolean) empty[i] = Value(Value::Storage(false));
    state_->minRowSize =
        state_->encoder
            .encode(empty, [](const ColumnDef&, const Bytes&, size_t) { return Bytes(); })
            .size();
}

TableWriter::~TableWriter() = default;

// Access's catalog tables are the MSys* tables; it refuses changes to their rows whatever
// else a table's flags say.
void TableWriter::refuseSystemTable(long number, const char* what) const {
    if (system_ == SystemTableWrites::Allowed) return;
    const std::string& name = table_.name;
    if (name.size() < 4 || !namesEqual(std::string_view(name).substr(0, 4), "MSys")) return;
    throw Error(ErrorKind::ReadOnly, number,
                std::string("Record(s) cannot be ") + what + "; no " +
                    (number == errnum::kNoInsertPermission   ? "insert"
                     : number == errnum::kNoUpdatePermission ? "update"
                                                             : "delete") +
                    " data permission on '" + name + "'.");
}

template <class F>
auto TableWriter::inSave(F&& body) {
    PageFile& pages = db_.pages();
    const bool own = !pages.inWrite();
    if (own) {
        pages.beginWrite();
        state_->removedByCascade.clear();
    }
    state_->secondPhase = false;
    try {
        auto result = body();
        if (own) {
            pages.commit();
            db_.refreshTableCounters();
        }
        return result;
    } catch (...) {
        state_->longValues.discard();
        // A failure before anything was written leaves a caller's save usable; one after
        // leaves it half-done, so it is rolled back here and the caller's commit refuses.
        if (own || state_->secondPhase) pages.rollback();
        if (own) db_.refreshTableCounters();
        throw;
    }
}

std::vector<Value> TableWriter::prepare(const std::vector<Value>& values,
                                        const std::vector<Value>* old, uint32_t& last) {
    if (values.size() != table_.columns.size())
        throw Error(ErrorKind::Internal, errnum::kInternal,
                    "table '" + table_.name + "' has " + std::to_string(table_.columns.size()) +
                        " columns, " + std::to_string(values.size()) + " values were given");
    const JetVersion version = db_.info().version;
    std::vector<Value> out(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        const ColumnDef& c = table_.columns[i];
        out[i] = coerceValue(c, values[i], version);
        if (!c.autoNumber) continue;
        if (old) {
            if (out[i].isNull()) out[i] = (*old)[i];
            if (out[i] != (*old)[i])
                throw Error(ErrorKind::Constraint, errnum::kNotUpdatable,
                            "Field '" + c.name + "' cannot be updated (it is an AutoNumber)");
            continue;
        }
        if (c.type == ColumnType::Long) {
            if (out[i].isNull()) {
                if (last >= static_cast<uint32_t>(INT32_MAX))
                    throw Error(ErrorKind::Type, errnum::kNumericOverflow,
                                "AutoNumber of table '" + table_.name + "' is exhausted");
                out[i] = Value(Value::Storage(static_cast<int32_t>(++last)));
            } else if (int32_t v = out[i].get<int32_t>();
                       v > 0 && static_cast<uint32_t>(v) > last) {
                last = static_cast<uint32_t>(v);
            }
        } else if (c.type == ColumnType::Guid && out[i].isNull()) {
            out[i] = Value(Value::Storage(randomGuid()));
        }
    }
    return out;
}

size_t TableWriter::minRowSize() const {
    return state_->minRowSize;
}

RowId TableWriter::insert(const std::vector<Value>& values) {
    refuseSystemTable(errnum::kNoInsertPermission, "added");
    return inSave([&] {
        TablePages pages(db_.pages(), db_.format(), table_, minRowSize());
        uint32_t last = pages.lastAutoNumber();
        uint32_t count = pages.rowCount();
        std::vector<Value> row = prepare(values, nullptr, last);
        state_->relationships.checkInsert(table_, row);
        IndexChanges indexes(db_, table_);
        indexes.plan(nullptr, &row, RowId{});
        measureNewRow(state_->encoder, state_->longValues, row);

        state_->secondPhase = true;
        Bytes bytes = storeNewRow(state_->encoder, state_->longValues, row);
        uint32_t page = pages.pageWithRoom(bytes.size());
        uint16_t slot = pages.edit(page).add(std::move(bytes));
        pages.flush();
        RowId id{page, slot};
        indexes.apply(id);
        pages.setCounters(count + 1, last);
        return id;
    });
}

std::vector<RowId> TableWriter::insertAll(const std::vector<std::vector<Value>>& rows) {
    refuseSystemTable(errnum::kNoInsertPermission, "added");
    return inSave([&] {
        TablePages pages(db_.pages(), db_.format(), table_, minRowSize());
        uint32_t last = pages.lastAutoNumber();
        const uint32_t count = pages.rowCount();
        IndexChanges indexes(db_, table_);
        std::vector<std::vector<Value>> prepared;
        prepared.reserve(rows.size());
        for (size_t r = 0; r < rows.size(); ++r) {
            try {
                std::vector<Value> row = prepare(rows[r], nullptr, last);
                state_->relationships.checkInsert(table_, row);
                indexes.planBatch(row);
                measureNewRow(state_->encoder, state_->longValues, row);
                prepared.push_back(std::move(row));
            } catch (const Error& e) {
                throw Error(e.kind(), e.number(), "row " + std::to_string(r + 1) + ": " + e.what());
            }
        }
        indexes.checkBatch();
        if (prepared.size() > UINT32_MAX - count)
            throw Error(ErrorKind::Type, errnum::kNumericOverflow,
                        "table '" + table_.name + "' cannot hold that many rows");

        state_->secondPhase = true;
        std::vector<RowId> ids;
        ids.reserve(prepared.size());
        uint32_t current = 0;
        for (size_t r = 0; r < prepared.size(); ++r) {
            Bytes bytes = storeNewRow(state_->encoder, state_->longValues, prepared[r]);
            // The rows fill a page with room, then new pages one after the other; each page
            // is written once, when the next row no longer fits it.
            if (current == 0 || !pages.edit(current).fitsNew(bytes.size())) {
                if (current != 0) pages.flush();
                current = current == 0 ? pages.pageWithRoom(bytes.size()) : pages.addPage();
            }
            const uint16_t slot = pages.edit(current).add(std::move(bytes));
            ids.push_back({current, slot});
        }
        pages.flush();
        indexes.applyBatch(ids);
        pages.setCounters(count + static_cast<uint32_t>(prepared.size()), last);
        return ids;
    });
}

void TableWriter::update(RowId id, const std::vector<Value>& values) {
    refuseSystemTable(errnum::kNoUpdatePermission, "edited");
    inSave([&] {
        TablePages pages(db_.pages(), db_.format(), table_, minRowSize());
        RowPlace place = locate(pages, table_, id);
        uint32_t last = pages.lastAutoNumber();
        std::vector<Value> old = db_.readRow(table_, id);
        std::vector<Value> row = prepare(values, &old, last);
        const std::vector<Cascade> cascades = state_->relationships.checkUpdate(table_, old, row);
        IndexChanges indexes(db_, table_);
        indexes.plan(&old, &row, id);
        LongValueWriter& lv = state_->longValues;
        DataPageEditor& home = pages.edit(place.home.page);
        DataPageEditor& body = pages.edit(place.body.page);
        const Bytes oldBytes = body.row(place.body.row);
        const ByteView oldRow(oldBytes.data(), oldBytes.size());
        const Format& f = db_.format();
        // A long value stored outside the row that the update leaves unchanged keeps its
        // rows: the new row gets the same reference. Otherwise an update of any column
        // would rewrite, and grow the file by, every memo and recording of the row.
        std::map<const ColumnDef*, Bytes> kept;
        for (size_t i = 0; i < table_.columns.size() && i < row.size() && i < old.size(); ++i) {
            const ColumnDef& c = table_.columns[i];
            if (!c.isLongValue() || row[i].isNull() || !(row[i] == old[i])) continue;
            auto field = rawVariableField(oldRow, f, table_, c);
            if (!field || field->size() != longvalue::kHeaderSize ||
                (field->u32(0) & longvalue::kInline))
                continue;
            kept.emplace(&c, Bytes(field->data(), field->data() + field->size()));
        }
        auto keptField = [&](const ColumnDef& c) -> const Bytes* {
            auto it = kept.find(&c);
            return it == kept.end() ? nullptr : &it->second;
        };
        state_->encoder.encode(row, [&](const ColumnDef& c, const Bytes& d, size_t space) {
            if (const Bytes* k = keptField(c)) return *k;
            return Bytes(lv.fieldSize(d.size(), space), 0);
        });

        state_->secondPhase = true;
        for (const ColumnDef& c : table_.columns)
            if (c.isLongValue() && !keptField(c))
                if (auto field = rawVariableField(oldRow, f, table_, c)) lv.free(*field);
        Bytes bytes =
            state_->encoder.encode(row, [&](const ColumnDef& c, const Bytes& d, size_t space) {
                if (const Bytes* k = keptField(c)) return *k;
                return lv.write(d, space);
            });
        lv.flush();

        const size_t n = bytes.size();
        if (place.overflow && body.fitsReplacing(place.body.row, n)) {
            body.replace(place.body.row, std::move(bytes), rowflag::kDeleted);
        } else {
            if (place.overflow) body.remove(place.body.row);
            if (home.fitsReplacing(place.home.row, n)) {
                home.replace(place.home.row, std::move(bytes), 0);
            } else {
                uint32_t page = pages.pageWithRoom(n, place.home.page);
                uint16_t slot = pages.edit(page).add(std::move(bytes), rowflag::kDeleted);
                home.replace(place.home.row, pointerRow(page, slot), rowflag::kLookup);
            }
        }
        pages.flush();
        indexes.apply(id);
        runCascades(cascades);
        return 0;
    });
}

void TableWriter::remove(RowId id) {
    refuseSystemTable(errnum::kNoDeletePermission, "deleted");
    try {
        removeRow(id);
    } catch (const Error& e) {
        // Already deleted by a cascade of this writer's own changes: done.
        if (e.number() == errnum::kRecordDeleted && !state_->secondPhase &&
            state_->removedByCascade.count(id))
            return;
        throw;
    }
}

void TableWriter::removeRow(RowId id) {
    inSave([&] {
        TablePages pages(db_.pages(), db_.format(), table_, minRowSize());
        RowPlace place = locate(pages, table_, id);
        uint32_t count = pages.rowCount();
        uint32_t last = pages.lastAutoNumber();
        std::vector<Value> old = db_.readRow(table_, id);
        const std::vector<Cascade> cascades = state_->relationships.checkDelete(table_, old);
        IndexChanges indexes(db_, table_);
        indexes.plan(&old, nullptr, id);

        state_->secondPhase = true;
        LongValueWriter& lv = state_->longValues;
        DataPageEditor& home = pages.edit(place.home.page);
        DataPageEditor& body = pages.edit(place.body.page);
        const Bytes& oldBytes = body.row(place.body.row);
        for (const ColumnDef& c : table_.columns)
            if (c.isLongValue())
                if (auto field = rawVariableField(ByteView(oldBytes.data(), oldBytes.size()),
                                                  db_.format(), table_, c))
                    lv.free(*field);
        lv.flush();
        if (place.overflow) body.remove(place.body.row);
        home.remove(place.home.row);
        pages.flush();
        indexes.apply(id);
        pages.setCounters(count == 0 ? 0 : count - 1, last);
        runCascades(cascades);
        return 0;
    });
}

// The child rows are changed after the parent row, inside its save: their writers check
// their own constraints (a child whose key is changed must find the new parent row) and
// cascade further. Any failure propagates with the save marked half-done, so the whole
// statement is rolled back.
void TableWriter::runCascades(const std::vector<Cascade>& cascades) {
    if (cascades.empty()) return;
    if (state_->cascadeDepth >= kMaxCascadeDepth)
        throw Error(ErrorKind::Constraint, kRelatedRecordsExist,
                    "The record cannot be deleted or changed: its related records lead through "
                    "more than " +
                        std::to_string(kMaxCascadeDepth) + " cascading relationships.");
    std::map<std::string, std::unique_ptr<TableWriter>> writers;
    auto writerFor = [&](const TableDef& child) -> TableWriter& {
        auto& w = writers[child.name];
        if (!w) {
            w = std::make_unique<TableWriter>(db_, child.name);
            w->state_->cascadeDepth = state_->cascadeDepth + 1;
        }
        return *w;
    };
    for (const Cascade& c : cascades) {
        state_->relationships.apply(
            c, [&](const TableDef& child, RowId row, const std::vector<Value>* values) {
                TableWriter& w = writerFor(child);
                try {
                    if (values) {
                        w.update(row, *values);
                    } else {
                        w.remove(row);
                        if (child.definitionPage == table_.definitionPage) {
                            auto& removed = state_->removedByCascade;
                            removed.insert(row);
                            removed.insert(w.state_->removedByCascade.begin(),
                                           w.state_->removedByCascade.end());
                        }
                    }
                } catch (const Error& e) {
                    // An earlier cascade of the same change already deleted the row (two
                    // paths to one table, or a table related to itself).
                    if (e.number() == errnum::kRecordDeleted && !w.state_->secondPhase) return;
                    throw;
                }
            });
    }
}

}  // namespace jet
