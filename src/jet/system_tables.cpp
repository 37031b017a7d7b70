#include "jet/system_tables.h"

#include "jet/error.h"

namespace jet {
namespace {

constexpr uint8_t kSystemColumnFlag = 0x10;  // every column of a system table
constexpr uint8_t kSecurityIdFlag = 0x20;    // the Owner / SID columns
constexpr uint32_t kSystemTextChars = 255;
constexpr uint16_t kSystemBinaryBytes = 510;
constexpr uint32_t kSystemObjectFlags = 0x80000000;

// The well-known short security identifiers Access uses in a database without a workgroup:
// the creator (owner of every standard object), the Admins group and the Users group.
const Bytes kCreatorSid{0x65, 0x89};
const Bytes kAdminsSid{0x64, 0x8B};
const Bytes kUsersSid{0x65, 0x8B};
const Bytes kInheritSid{0x65, 0x8E};

struct SystemIndex {
    std::string name;
    std::vector<std::pair<std::string, bool>> columns;  // name, ascending
    uint8_t flags;
    bool primaryKey;
    int number;
};

SystemTable makeSystemTable(const Format& format, const std::string& name,
                            const std::vector<NewColumn>& columns,
                            const std::vector<SystemIndex>& indexes) {
    NewTable desc;
    desc.name = name;
    desc.columns = columns;
    SystemTable out{layoutNewTable(desc, format), {}};
    TableDef& t = out.def;
    t.systemTable = true;
    out.extras.entriesByName = true;
    for (ColumnDef& c : t.columns) {
        c.compressedUnicode = false;
        if (c.type == ColumnType::Binary) c.length = kSystemBinaryBytes;
        bool sid = c.type == ColumnType::Binary && (c.name == "Owner" || c.name == "SID");
        out.extras.columnFlags.push_back(
            static_cast<uint8_t>(kSystemColumnFlag | (sid ? kSecurityIdFlag : 0)));
    }
    for (size_t i = 0; i < indexes.size(); ++i) {
        const SystemIndex& s = indexes[i];
        IndexDef ix;
        ix.name = s.name;
        ix.number = s.number;
        ix.realNumber = s.number;
        for (const auto& [col, asc] : s.columns) {
            auto pos = t.findColumn(col);
            if (!pos) throw Error(ErrorKind::Internal, errnum::kInternal, "system column " + col);
            ix.columns.push_back({*pos, asc});
        }
        ix.flags = s.flags;
        ix.unique = (s.flags & 0x01) != 0;
        ix.ignoreNulls = (s.flags & 0x02) != 0;
        ix.primaryKey = s.primaryKey;
        t.indexes.push_back(std::move(ix));
    }
    return out;
}

NewColumn col(const char* name, ColumnType type, uint32_t size = 0) {
    NewColumn c;
    c.name = name;
    c.type = type;
    c.size = type == ColumnType::Text ? kSystemTextChars : size;
    return c;
}

Value vLong(int32_t v) {
    return Value(Value::Storage(v));
}
Value vInt(int16_t v) {
    return Value(Value::Storage(v));
}
Value vBytes(const Bytes& b) {
    return Value(Value::Storage(b));
}

}  // namespace

std::vector<SystemTable> systemTables(const Format& f) {
    using CT = ColumnType;
    std::vector<SystemTable> out;
    out.push_back(makeSystemTable(
        f, "MSysObjects",
        {col("Id", CT::Long), col("ParentId", CT::Long), col("Name", CT::Text),
         col("Type", CT::Integer), col("DateCreate", CT::DateTime), col("DateUpdate", CT::DateTime),
         col("Owner", CT::Binary), col("Flags", CT::Long), col("Database", CT::Memo),
         col("Connect", CT::Memo), col("ForeignName", CT::Text), col("RmtInfoShort", CT::Binary),
         col("RmtInfoLong", CT::OLE), col("Lv", CT::OLE), col("LvProp", CT::OLE),
         col("LvModule", CT::OLE), col("LvExtra", CT::OLE)},
        {{"ParentIdName", {{"ParentId", true}, {"Name", true}}, 0x81, false, 0},
         {"Id", {{"Id", true}}, 0x81, true, 1}}));
    out.push_back(makeSystemTable(f, "MSysACEs",
                                  {col("ObjectId", CT::Long), col("SID", CT::Binary),
                                   col("ACM", CT::Long), col("FInheritable", CT::Boolean)},
                                  {{"ObjectId", {{"ObjectId", true}}, 0x88, false, 0}}));
    out.push_back(makeSystemTable(
        f, "MSysQueries",
        {col("ObjectId", CT::Long), col("Attribute", CT::Byte), col("Order", CT::Binary),
         col("Name1", CT::Text), col("Name2", CT::Text), col("Expression", CT::Memo),
         col("Flag", CT::Integer), col("LvExtra", CT::Long)},
        {{"ObjectIdAttribute",
          {{"ObjectId", true}, {"Attribute", true}, {"Order", true}},
          0x81,
          true,
          0}}));
    out.push_back(makeSystemTable(
        f, "MSysRelationships",
        {col("szRelationship", CT::Text), col("grbit", CT::Long), col("ccolumn", CT::Long),
         col("icolumn", CT::Long), col("szObject", CT::Text), col("szColumn", CT::Text),
         col("szReferencedObject", CT::Text), col("szReferencedColumn", CT::Text)},
        {{"szRelationship", {{"szRelationship", true}}, 0x82, false, 0},
         {"szObject", {{"szObject", true}}, 0x82, false, 1},
         {"szReferencedObject", {{"szReferencedObject", true}}, 0x82, false, 2}}));
    return out;
}

namespace {

std::vector<Value> catalogRow(const TableDef& t, int32_t id, int32_t parent,
                              const std::string& name, int16_t type, const Bytes& owner,
                              uint32_t flags, double created) {
    std::vector<Value> row(t.columns.size());
    auto set = [&](const char* column, Value v) { row[*t.findColumn(column)] = std::move(v); };
    set("Id", vLong(id));
    set("ParentId", vLong(parent));
    set("Name", Value::text(name));
    set("Type", vInt(type));
    set("DateCreate", Value(Value::Storage(DateTime{created})));
    set("DateUpdate", Value(Value::Storage(DateTime{created})));
    set("Owner", vBytes(owner));
    set("Flags", vLong(static_cast<int32_t>(flags)));
    return row;
}

}  // namespace

std::vector<Value> catalogTableRow(const TableDef& t, const std::string& name,
                                   uint32_t definitionPage, bool system, double created) {
    return catalogRow(t, static_cast<int32_t>(definitionPage), catalogid::kTables, name, 1,
                      kCreatorSid, system ? kSystemObjectFlags : 0, created);
}

std::vector<std::vector<Value>> catalogStandardRows(const TableDef& t, double created) {
    return {
        catalogRow(t, catalogid::kTables, catalogid::kRoot, "Tables", 3, kCreatorSid,
                   kSystemObjectFlags, created),
        catalogRow(t, catalogid::kDatabases, catalogid::kRoot, "Databases", 3, kCreatorSid,
                   kSystemObjectFlags, created),
        catalogRow(t, catalogid::kRelationships, catalogid::kRoot, "Relationships", 3, kCreatorSid,
                   kSystemObjectFlags, created),
        catalogRow(t, catalogid::kMSysDb, catalogid::kDatabases, "MSysDb", 2, kAdminsSid,
                   kSystemObjectFlags, created),
    };
}

std::vector<std::vector<Value>> defaultPermissionRows(const TableDef& t) {
    struct Ace {
        int32_t object;
        const Bytes& sid;
        int32_t rights;
        bool inheritable;
    };
    // The permissions Access grants on the standard objects of a new database.
    const Ace aces[] = {
        {2, kAdminsSid, 393216, false},
        {3, kAdminsSid, 393216, false},
        {4, kAdminsSid, 393216, false},
        {5, kAdminsSid, 917504, false},
        {catalogid::kTables, kInheritSid, 983294, true},
        {catalogid::kTables, kAdminsSid, 393217, false},
        {catalogid::kRelationships, kInheritSid, 983294, true},
        {catalogid::kRelationships, kAdminsSid, 393217, false},
        {catalogid::kDatabases, kAdminsSid, 393216, false},
        {catalogid::kMSysDb, kAdminsSid, 393230, false},
        {catalogid::kMSysDb, kUsersSid, 14, false},
        {4, kUsersSid, 20, false},
        {5, kUsersSid, 20, false},
        {2, kUsersSid, 20, false},
        {catalogid::kTables, kUsersSid, 1048319, true},
        {catalogid::kRelationships, kUsersSid, 1048575, true},
    };
    std::vector<std::vector<Value>> rows;
    for (const Ace& a : aces) {
        std::vector<Value> row(t.columns.size());
        row[*t.findColumn("ObjectId")] = vLong(a.object);
        row[*t.findColumn("SID")] = vBytes(a.sid);
        row[*t.findColumn("ACM")] = vLong(a.rights);
        row[*t.findColumn("FInheritable")] = Value(Value::Storage(a.inheritable));
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace jet
