#include <algorithm>

#include "db/db_error.h"
#include "db/record_edit.h"
#include "db/recordset.h"
#include "db/recordset_state.h"

namespace tdv::db {
namespace {

// Text and Memo: the columns whose chunks are read as characters.
bool isCharacterColumn(jet::ColumnType t) {
    return t == jet::ColumnType::Text || t == jet::ColumnType::Memo;
}
bool isBinaryType(jet::ColumnType t) {
    return t == jet::ColumnType::OLE || t == jet::ColumnType::Binary;
}

// UTF-16 code units of the character starting with this UTF-8 byte (0 for continuation
// bytes), which is how the program's strings counted characters.
size_t utf16Units(uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xC0) return 0;
    return lead < 0xF0 ? 1 : 2;
}

size_t utf16Length(const std::string& s) {
    size_t n = 0;
    for (char c : s) n += utf16Units(static_cast<uint8_t>(c));
    return n;
}

// Byte length of the longest prefix of s (from `from`) holding at most `units` UTF-16 units,
// never splitting a character.
size_t utf8PrefixBytes(const std::string& s, size_t from, size_t units) {
    size_t i = from, taken = 0;
    while (i < s.size()) {
        const size_t u = utf16Units(static_cast<uint8_t>(s[i]));
        if (taken + u > units) break;
        taken += u;
        ++i;
        while (i < s.size() && utf16Units(static_cast<uint8_t>(s[i])) == 0) ++i;
    }
    return i - from;
}

}  // namespace

const std::string& Field::Name() const {
    state_->requireOpen();
    return state_->field(index_).name;
}

int Field::Type() const {
    state_->requireOpen();
    return state_->field(index_).adoType;
}

long Field::DefinedSize() const {
    state_->requireOpen();
    return state_->field(index_).definedSize;
}

Variant Field::Value() const {
    state_->requireCurrent();
    if (state_->chunkField != index_) state_->chunkField = RecordsetState::kNoField;
    return Variant::fromJet(state_->currentValue(index_));
}

std::optional<std::string_view> Field::TextView() const {
    state_->requireCurrent();
    if (state_->chunkField != index_) state_->chunkField = RecordsetState::kNoField;
    const jet::Value& v = state_->currentValue(index_);
    if (!v.is<jet::Text>()) return std::nullopt;
    return std::string_view(v.get<jet::Text>().utf8);
}

long Field::ActualSize() const {
    state_->requireCurrent();
    const jet::Value& v = state_->currentValue(index_);
    if (v.isNull()) return 0;
    if (v.is<jet::Text>()) return static_cast<long>(utf16Length(v.get<jet::Text>().utf8) * 2);
    if (v.is<jet::Bytes>()) return static_cast<long>(v.get<jet::Bytes>().size());
    return state_->field(index_).definedSize;
}

Variant Field::GetChunk(long size) {
    state_->requireCurrent();
    const jet::ColumnType type = state_->field(index_).type;
    if (!isCharacterColumn(type) && !isBinaryType(type)) throw illegalOperationError();
    if (size < 0) throw badArgumentsError();
    if (state_->chunkField != index_) {
        state_->chunkField = index_;
        state_->chunkOffset = 0;
    }
    const jet::Value& v = state_->currentValue(index_);
    const size_t from = state_->chunkOffset;
    if (v.is<jet::Bytes>()) {
        const jet::Bytes& b = v.get<jet::Bytes>();
        if (from >= b.size()) return Variant::null();
        const size_t n = std::min(b.size() - from, static_cast<size_t>(size));
        state_->chunkOffset += n;
        return Variant::fromBytes(jet::Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
                                             b.begin() + static_cast<std::ptrdiff_t>(from + n)));
    }
    if (v.is<jet::Text>()) {
        const std::string& s = v.get<jet::Text>().utf8;
        if (from >= s.size()) return Variant::null();
        const size_t n = utf8PrefixBytes(s, from, static_cast<size_t>(size));
        state_->chunkOffset += n;
        return Variant::fromString(s.substr(from, n));
    }
    return Variant::null();
}

void Field::setValue(const Variant& value) {
    assignField(*state_, index_, value);
}

long FieldList::Count() const {
    return state_ && state_->open ? static_cast<long>(state_->fields.size()) : 0;
}

Field FieldList::Item(std::string_view name) const {
    if (!state_ || !state_->open) throw itemNotFoundError();
    auto index = state_->findField(name);
    if (!index) throw itemNotFoundError();
    return Field(state_, *index);
}

Field FieldList::Item(long ordinal) const {
    if (!state_ || !state_->open || ordinal < 0 ||
        static_cast<size_t>(ordinal) >= state_->fields.size())
        throw itemNotFoundError();
    return Field(state_, static_cast<size_t>(ordinal));
}

}  // namespace tdv::db
