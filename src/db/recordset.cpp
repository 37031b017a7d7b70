#include "db/recordset.h"

#include <stdexcept>

#include "db/connect_string.h"
#include "db/database_cache.h"
#include "db/db_error.h"
#include "db/error_mapping.h"
#include "db/find_criterion.h"
#include "db/record_edit.h"
#include "db/recordset_state.h"
#include "db/vb_text.h"
#include "jet/index_key.h"

namespace tdv::db {
namespace {

bool validCursorType(long t) {
    return t >= adOpenUnspecified && t <= adOpenStatic;
}
bool validLockType(long t) {
    return t == adLockUnspecified || (t >= adLockReadOnly && t <= adLockBatchOptimistic);
}

std::string dataSourceOrThrow(std::string_view connectString) {
    if (connectString.empty()) throw invalidConnectionError();
    try {
        return dataSourceOf(connectString);
    } catch (const std::invalid_argument& e) {
        if (std::string_view(e.what()).starts_with("Provider")) throw providerNotFoundError();
        throw DbError(hresult::kFail, e.what());
    }
}

bool textLike(jet::ColumnType t) {
    return t == jet::ColumnType::Text || t == jet::ColumnType::Memo || t == jet::ColumnType::Guid;
}

bool matches(const jet::Value& v, jet::ColumnType type, const FindCriterion& c,
             jet::JetVersion version) {
    if (v.isNull()) return false;
    if (type == jet::ColumnType::OLE || type == jet::ColumnType::Binary) throw badArgumentsError();
    const Variant value = Variant::fromJet(v);
    if (textLike(type)) return jet::compareText(value.toText(), c.literal, version) == 0;
    const auto wanted = vbParseNumber(c.literal);
    if (!wanted) throw badArgumentsError();
    return value.toDouble() == *wanted;
}

std::string bracketed(std::string_view name) {
    return "[" + std::string(name) + "]";
}

}  // namespace

std::string selectExistingColumns(DatabaseCache* cache, std::string_view connectString,
                                  std::string_view table, const std::vector<std::string>& columns) {
    const std::string path = dataSourceOrThrow(connectString);
    auto db = cache ? cache->open(path, false) : openDatabase(path, false);
    const jet::TableDef& def =
        translatingEngineErrors([&]() -> const jet::TableDef& { return db->table(table); });
    std::string list;
    for (const std::string& wanted : columns) {
        if (!def.findColumn(wanted)) continue;
        if (!list.empty()) list += ", ";
        list += bracketed(wanted);
    }
    if (list.empty()) list = "*";
    return "SELECT " + list + " FROM " + bracketed(def.name);
}

Recordset::Recordset() : state_(std::make_unique<RecordsetState>()) {}

Recordset::Recordset(DatabaseCache& cache)
    : cache_(&cache), state_(std::make_unique<RecordsetState>()) {}

Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
Recordset::~Recordset() = default;

long Recordset::CursorLocation() const {
    return cursorLocation_;
}

void Recordset::setCursorLocation(long location) {
    if (state_ && state_->open) throw objectOpenError();
    if (location != adUseClient && location != adUseServer) throw badArgumentsError();
    cursorLocation_ = location;
}

void Recordset::Open(std::string_view source, std::string_view connectString, long cursorType,
                     long lockType, long /*options*/) {
    if (!state_) state_ = std::make_unique<RecordsetState>();
    if (state_->open) throw objectOpenError();
    if (!validCursorType(cursorType) || !validLockType(lockType)) throw badArgumentsError();
    const std::string path = dataSourceOrThrow(connectString);
    const bool select = translatingEngineErrors([&] { return jet::sql::isSelect(source); });
    const bool writable = !select || (lockType != adLockReadOnly && lockType != adLockUnspecified);
    auto db = cache_ ? cache_->open(path, writable) : openDatabase(path, writable);
    DatabaseCache* cache = cache_;
    auto afterWrite = [cache, weak = std::weak_ptr<jet::Database>(db)] {
        if (auto d = weak.lock(); d && cache) cache->noteWritten(*d);
    };
    if (!select) {
        // A statement that returns no rows: it runs, and the recordset stays closed.
        translatingEngineErrors([&] { return jet::sql::execute(*db, source); });
        afterWrite();
        return;
    }
    auto result = translatingEngineErrors([&] { return jet::sql::query(*db, source); });
    OpenResultSet(std::move(result), db->info().version, cursorType, lockType);
    state_->afterWrite = afterWrite;
    state_->db = std::move(db);
}

void Recordset::OpenResultSet(jet::sql::ResultSet result, jet::JetVersion version, long cursorType,
                              long lockType) {
    if (!state_) state_ = std::make_unique<RecordsetState>();
    if (state_->open) throw objectOpenError();
    if (!validCursorType(cursorType) || !validLockType(lockType)) throw badArgumentsError();
    if (cursorType == adOpenUnspecified) cursorType = adOpenForwardOnly;
    if (lockType == adLockUnspecified) lockType = adLockReadOnly;
    // A client-side cursor is always static; Jet serves a dynamic cursor as a keyset one.
    if (cursorLocation_ == adUseClient)
        cursorType = adOpenStatic;
    else if (cursorType == adOpenDynamic)
        cursorType = adOpenKeyset;

    RecordsetState& s = *state_;
    s = RecordsetState{};
    s.cursorType = cursorType;
    s.lockType = lockType;
    s.serverForwardOnly = cursorLocation_ == adUseServer && cursorType == adOpenForwardOnly;
    s.version = version;
    s.fields.reserve(result.columns.size());
    for (const auto& c : result.columns) {
        s.fields.push_back(FieldInfo{c.name, c.type, adoTypeOf(c.type),
                                     adoDefinedSize(c.type, c.size, version), c.baseColumn});
    }
    s.rows = std::move(result.rows);
    for (const auto& row : s.rows) {
        if (row.size() != s.fields.size())
            throw DbError(hresult::kFail, "Query result row does not match its columns");
    }
    if (!result.baseTable.empty() && result.rowIds.size() == s.rows.size()) {
        s.baseTable = std::move(result.baseTable);
        s.rowIds = std::move(result.rowIds);
    }
    s.moveTo(0);
    s.open = true;
}

void Recordset::Close() {
    if (!state_ || !state_->open) throw objectClosedError();
    if (hasPendingEdits(*state_)) throw illegalOperationError();
    *state_ = RecordsetState{};  // in place: Field handles keep pointing at a closed state
}

long Recordset::State() const {
    return state_ && state_->open ? adStateOpen : adStateClosed;
}

long Recordset::CursorType() const {
    return state_ && state_->open ? state_->cursorType : long{adOpenForwardOnly};
}

long Recordset::LockType() const {
    return state_ && state_->open ? state_->lockType : long{adLockReadOnly};
}

long Recordset::RecordCount() const {
    if (!state_) throw objectClosedError();
    state_->requireOpen();
    return state_->serverForwardOnly ? -1 : static_cast<long>(state_->rows.size());
}

bool Recordset::Eof() const {
    if (!state_) throw objectClosedError();
    state_->requireOpen();
    return state_->atEof();
}

bool Recordset::Bof() const {
    if (!state_) throw objectClosedError();
    state_->requireOpen();
    return state_->atBof();
}

void Recordset::MoveFirst() {
    if (!state_) throw objectClosedError();
    state_->requireOpen();
    saveRecord(*state_);
    if (state_->rows.empty()) throw noCurrentRecordError();
    state_->moveTo(0);
}

void Recordset::MoveLast() {
    if (!state_) throw objectClosedError();
    state_->requireOpen();
    saveRecord(*state_);
    if (state_->rows.empty()) throw noCurrentRecordError();
    state_->moveTo(static_cast<std::ptrdiff_t>(state_->rows.size()) - 1);
}

void Recordset::MoveNext() {
    if (!state_) throw objectClosedError();
    state_->requireOpen();
    saveRecord(*state_);
    if (state_->atEof()) throw noCurrentRecordError();
    state_->moveTo(state_->position + 1);
}

void Recordset::MovePrevious() {
    if (!state_) throw objectClosedError();
    state_->requireOpen();
    saveRecord(*state_);
    if (state_->atBof()) throw noCurrentRecordError();
    state_->moveTo(state_->position - 1);
}

void Recordset::Find(std::string_view criterion) {
    if (!state_) throw objectClosedError();
    state_->requireOpen();
    saveRecord(*state_);
    const FindCriterion c = parseFindCriterion(criterion);
    const auto index = state_->findField(c.column);
    if (!index) throw itemNotFoundError();
    state_->requireCurrent();
    const jet::ColumnType type = state_->fields[*index].type;
    const auto end = static_cast<std::ptrdiff_t>(state_->rows.size());
    for (std::ptrdiff_t pos = state_->position; pos < end; ++pos) {
        const auto& row = state_->rows[static_cast<size_t>(pos)];
        if (matches(row[*index], type, c, state_->version)) {
            state_->moveTo(pos);
            return;
        }
    }
    state_->moveTo(end);
}

FieldList Recordset::Fields() const {
    return FieldList(state_.get());
}

const std::string& Recordset::BaseTable() const {
    static const std::string kNone;
    return state_ ? state_->baseTable : kNone;
}

std::optional<jet::RowId> Recordset::CurrentRowId() const {
    if (!state_ || !state_->open || !state_->hasCurrent() || state_->rowIds.empty())
        return std::nullopt;
    return state_->rowIds[static_cast<size_t>(state_->position)];
}

void Recordset::Update() {
    if (!state_) throw objectClosedError();
    state_->requireOpen();
    if (state_->lockType == adLockReadOnly) throw updateNotSupportedError();
    saveRecord(*state_);
}

void Recordset::CancelUpdate() {
    if (!state_) throw objectClosedError();
    state_->requireOpen();
    cancelEdits(*state_);
}

void Recordset::Delete() {
    if (!state_) throw objectClosedError();
    deleteRecord(*state_);
}

std::shared_ptr<jet::Database> Recordset::Database() const {
    return state_ ? state_->db : nullptr;
}

}  // namespace tdv::db
